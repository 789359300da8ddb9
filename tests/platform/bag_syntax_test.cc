// The property-bag text: every string and number comes back as it was
// written, and a text that is not well formed is refused naming its line.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>

#include "host/error.h"
#include "platform/bag/bag_syntax.h"

namespace marklet::bag {
namespace {

Variant ParseOne(const std::string& valueText) {
  auto entries = ParseBagText("K = " + valueText + "\n");
  EXPECT_EQ(entries.size(), 1u);
  return entries.at(0).value;
}

std::u16string RoundTripString(const std::u16string& s) {
  std::string text = FormatBagText({BagEntry{u"K", Variant::FromString(s), {}}});
  auto entries = ParseBagText(text);
  return entries.at(0).value.AsString();
}

// The message of the error 13 a bad text raises.
std::string Refusal(const std::string& text) {
  try {
    ParseBagText(text, "f.bag");
  } catch (const MarkletError& e) {
    EXPECT_EQ(e.number(), 13);
    return e.what();
  }
  return "accepted";
}

TEST(BagStrings, EveryUtf16StringComesBack) {
  const std::u16string cases[] = {
      u"",
      u"\"",
      u"\"\"quoted\"\"",
      u"line 1\r\nline 2",
      u"\r\n\r\n",
      u"lone\rcr and lone\nlf",
      u"\n\r",  // a reversed pair stays two characters
      u"\ttab\t",
      std::u16string(1, u'\0') + u"nul",
      u"\x01\x1F\x7F\x80\x9F",
      std::u16string(1, char16_t(0xD800)),
      std::u16string(1, char16_t(0xDFFF)) + u"x",
      u"a" + std::u16string(1, char16_t(0xDC00)) + std::u16string(1, char16_t(0xD800)) + u"b",
      u"pair \U0001F600 stays",
      u"\u2028\u2029\uFEFF",
      u"ñ € 中文 ' comment-like",
      u"& vbCrLf & \"",
  };
  for (const auto& s : cases) EXPECT_EQ(RoundTripString(s), s) << FormatStringExpression(s);
}

TEST(BagStrings, RandomCodeUnitsComeBack) {
  std::mt19937 random(20240611);
  std::uniform_int_distribution<int> unit(0, 0xFFFF), length(0, 40), pick(0, 3);
  for (int n = 0; n < 500; ++n) {
    std::u16string s;
    int len = length(random);
    for (int i = 0; i < len; ++i) {
      // Favour the characters that need care.
      switch (pick(random)) {
        case 0: s.push_back(static_cast<char16_t>(unit(random) % 0x20)); break;
        case 1: s.push_back(static_cast<char16_t>(0xD800 + unit(random) % 0x800)); break;
        case 2: s.push_back(u"\"&' x"[unit(random) % 5]); break;
        default: s.push_back(static_cast<char16_t>(unit(random))); break;
      }
    }
    ASSERT_EQ(RoundTripString(s), s) << FormatStringExpression(s);
  }
}

TEST(BagStrings, WrittenInTheDesignersNotation) {
  EXPECT_EQ(FormatStringExpression(u""), "\"\"");
  EXPECT_EQ(FormatStringExpression(u"say \"hi\""), "\"say \"\"hi\"\"\"");
  EXPECT_EQ(FormatStringExpression(u"line 1\r\nline 2"), "\"line 1\" & vbCrLf & \"line 2\"");
  EXPECT_EQ(FormatStringExpression(u"\t\n\r\x01"), "vbTab & vbLf & vbCr & Chr(1)");
  EXPECT_EQ(FormatStringExpression(std::u16string(1, char16_t(0xD800))), "ChrW(55296)");
  // Constants and functions read in any case; ChrW takes negative codes too.
  EXPECT_EQ(ParseOne("VBCRLF & chrw(-1) & CHR(65) & vbNullChar").AsString(),
            std::u16string(u"\r\n\uFFFFA\0", 5));
}

TEST(BagNumbers, EachTypeReadsFromItsNotation) {
  struct Case {
    const char* text;
    VarType type;
    double value;
  } cases[] = {
      {"0", VarType::Integer, 0},
      {"-32768", VarType::Integer, -32768},
      {"40000", VarType::Long, 40000},
      {"3000000000", VarType::Double, 3e9},
      {"7%", VarType::Integer, 7},
      {"7&", VarType::Long, 7},
      {"&H8000", VarType::Integer, -32768},
      {"&H8000&", VarType::Long, 32768},
      {"&HFFFFFFFF&", VarType::Long, -1},
      {"&H8000000F&", VarType::Long, -2147483633},
      {"&H10000", VarType::Long, 65536},
      {"-&HFF", VarType::Integer, -255},
      {"&O17", VarType::Integer, 15},
      {"1.5", VarType::Double, 1.5},
      {"1.5!", VarType::Single, 1.5},
      {"2#", VarType::Double, 2},
      {"1E3", VarType::Double, 1000},
      {"CByte(255)", VarType::Byte, 255},
      {"-1", VarType::Integer, -1},
      {"True", VarType::Bool, -1},
  };
  for (const auto& c : cases) {
    Variant v = ParseOne(c.text);
    EXPECT_EQ(v.type(), c.type) << c.text;
    EXPECT_EQ(v.ToDouble(), c.value) << c.text;
  }
  EXPECT_EQ(ParseOne("Nothing").type(), VarType::Picture);
  EXPECT_TRUE(ParseOne("Empty").IsEmpty());
}

TEST(BagNumbers, EveryValueOfEachTypeComesBack) {
  std::vector<Variant> values = {
      Variant::FromInteger(-32768), Variant::FromInteger(32767), Variant::FromInteger(0),
      Variant::FromLong(INT32_MIN), Variant::FromLong(-1), Variant::FromLong(65535),
      Variant::FromLong(65536), Variant::FromLong(INT32_MAX), Variant::FromByte(0),
      Variant::FromByte(255), Variant::FromSingle(8.25f), Variant::FromSingle(1e-45f),
      Variant::FromSingle(3.4028235e38f), Variant::FromSingle(-0.1f), Variant::FromDouble(0.1),
      Variant::FromDouble(-1.7976931348623157e308), Variant::FromDouble(123456789012.0)};
  for (const auto& v : values) {
    std::string text = FormatBagText({BagEntry{u"K", v, {}}});
    Variant back = ParseBagText(text).at(0).value;
    EXPECT_EQ(back, v) << text;
  }
  // Booleans are written -1 / 0 and read back as those numbers.
  std::string text = FormatBagText({BagEntry{u"B", Variant::FromBool(true), {}}});
  EXPECT_EQ(text, "B = -1  'True\n");
  EXPECT_EQ(ParseBagText(text).at(0).value.ToDouble(), -1);
}

TEST(BagNumbers, ValuesOutsideTheirNotationAreRefused) {
  EXPECT_NE(Refusal("K = 70000%\n"), "accepted");
  EXPECT_NE(Refusal("K = 3000000000&\n"), "accepted");
  EXPECT_NE(Refusal("K = &H1FFFF%\n"), "accepted");
  EXPECT_NE(Refusal("K = &H100000000\n"), "accepted");
  EXPECT_NE(Refusal("K = CByte(256)\n"), "accepted");
  EXPECT_NE(Refusal("K = CByte(1.5)\n"), "accepted");
  EXPECT_NE(Refusal("K = 1.5&\n"), "accepted");
  EXPECT_NE(Refusal("K = 1E999\n"), "accepted");
  EXPECT_NE(Refusal("K = Chr(200)\n"), "accepted");
}

TEST(BagFonts, FontBlockComesBackWithEveryField) {
  FontDesc f;
  f.name = u"Name \"with\" quotes";
  f.size = 9.75f;
  f.bold = true;
  f.weight = 800;
  f.italic = true;
  f.underline = true;
  f.strikethrough = true;
  f.charset = 161;
  std::string text = FormatBagText({BagEntry{u"Font", Variant::FromFont(f), {}},
                                    BagEntry{u"After", Variant::FromInteger(1), {}}});
  auto entries = ParseBagText(text);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].value.AsFont(), f) << text;
  EXPECT_EQ(entries[1].key, u"After");
}

TEST(BagFonts, WeightDecidesBoldAndFieldsComeInAnyOrder) {
  FontDesc boldByFlag{u"Arial", 10};
  boldByFlag.bold = true;  // weight left at 400: written as 700 so bold survives
  auto back = ParseBagText(FormatBagText({BagEntry{u"F", Variant::FromFont(boldByFlag), {}}}));
  EXPECT_TRUE(back.at(0).value.AsFont().bold);
  EXPECT_EQ(back.at(0).value.AsFont().weight, 700);

  auto entries = ParseBagText(
      "BeginProperty Font {0000-GUID}\n"
      "  italic = True\n"
      "  WEIGHT = 600  ' semibold reads as bold\n"
      "  Name = \"Tahoma\"\n"
      "EndProperty\n");
  FontDesc f = entries.at(0).value.AsFont();
  EXPECT_EQ(f.name, u"Tahoma");
  EXPECT_EQ(f.size, 8.25f);  // missing fields keep the font object's default
  EXPECT_TRUE(f.bold);
  EXPECT_TRUE(f.italic);
}

TEST(BagText, LayoutCommentsAndLineEndsAreFree) {
  auto entries = ParseBagText(
      "\xEF\xBB\xBF' a comment line\r\n"
      "\r\n"
      "   Text   =   \"a 'quoted' apostrophe\"   ' trailing comment\r\n"
      "\tNumber=5\n"
      "Last = \"no final line end\"");
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].value.AsString(), u"a 'quoted' apostrophe");
  EXPECT_EQ(entries[1].value.ToInteger(), 5);
  EXPECT_EQ(entries[2].value.AsString(), u"no final line end");
}

TEST(BagText, PicturesAreKeptByTheirFile) {
  auto entries = ParseBagText("P = LoadPicture(\"dir/a b.gif\")\nQ = LoadPicture()\n");
  ASSERT_TRUE(entries.at(0).pictureFile.has_value());
  EXPECT_EQ(*entries[0].pictureFile, u"dir/a b.gif");
  EXPECT_TRUE(entries[0].value.IsEmpty());  // loaded only when read
  EXPECT_FALSE(entries[1].pictureFile.has_value());
  EXPECT_EQ(entries[1].value.type(), VarType::Picture);
  EXPECT_EQ(FormatBagText(entries), "P = LoadPicture(\"dir/a b.gif\")\nQ = Nothing\n");

  auto memory = std::make_shared<PictureObject>();
  EXPECT_THROW(FormatBagText({BagEntry{u"P", Variant::FromPicture(memory), {}}}), MarkletError);
}

TEST(BagText, RefusalsNameTheLine) {
  EXPECT_EQ(Refusal("A = 1\nB = \"open\n"), "Property bag 'f.bag', line 2: unterminated string");
  EXPECT_EQ(Refusal("A = 1\nB = \xC3\x28\n"),
            "Property bag 'f.bag', line 2: not UTF-8 (Invalid UTF-8 at byte 5)");
  EXPECT_EQ(Refusal("A = 1\nBeginProperty Font\n Name = \"x\"\n"),
            "Property bag 'f.bag', line 2: BeginProperty Font has no EndProperty");
  EXPECT_EQ(Refusal("EndProperty\n"), "Property bag 'f.bag', line 1: EndProperty without BeginProperty");
  EXPECT_EQ(Refusal("BeginProperty F\nBeginProperty G\n"),
            "Property bag 'f.bag', line 2: BeginProperty inside a BeginProperty block");
  EXPECT_EQ(Refusal("BeginProperty F\n Colour = 5\nEndProperty\n"),
            "Property bag 'f.bag', line 2: unknown font field 'Colour'");
  EXPECT_EQ(Refusal("A = 1\na = 2\nA = 3\n"), "Property bag 'f.bag', line 3: key 'A' given twice");
  EXPECT_EQ(Refusal("A = 1 2\n"), "Property bag 'f.bag', line 1: unexpected text '2'");
  EXPECT_EQ(Refusal("A = vbPurple\n"), "Property bag 'f.bag', line 1: unknown name 'vbPurple' in a string");
  EXPECT_EQ(Refusal("A =\n"), "Property bag 'f.bag', line 1: expected a value at ''");
  EXPECT_EQ(Refusal("9A = 1\n"), "Property bag 'f.bag', line 1: expected a name");
  EXPECT_EQ(Refusal("A = \"x\" & 5\n"), "Property bag 'f.bag', line 1: expected a string");
}

TEST(BagText, OneValueReadsAsAfterItsKey) {
  for (const char* text : {"&H8000000F&", "CByte(7)", "-1  'True", "\"a \"\"b\"\"\" & vbTab", "1.5!", "&O17"}) {
    EXPECT_EQ(ParseBagValue(text).value, ParseOne(text)) << text;
  }
  EXPECT_EQ(*ParseBagValue("LoadPicture(\"a.png\")").pictureFile, u"a.png");
  auto refusal = [](const std::string& text) {
    try {
      ParseBagValue(text, "--prop K");
    } catch (const MarkletError& e) {
      EXPECT_EQ(e.number(), 13);
      return std::string(e.what());
    }
    return std::string("accepted");
  };
  EXPECT_EQ(refusal("1 2"), "--prop K: unexpected text '2'");
  EXPECT_EQ(refusal("\"a\r\nb\""), "--prop K: control character 13 in the value");
  EXPECT_EQ(refusal(""), "--prop K: expected a value at ''");
}

TEST(BagText, KeysAreNamesTheTextCanHold) {
  EXPECT_TRUE(IsValidKey(u"BackColor"));
  EXPECT_TRUE(IsValidKey(u"_x9"));
  EXPECT_FALSE(IsValidKey(u""));
  EXPECT_FALSE(IsValidKey(u"9x"));
  EXPECT_FALSE(IsValidKey(u"Back Color"));
  EXPECT_FALSE(IsValidKey(u"beginproperty"));
}

}  // namespace
}  // namespace marklet::bag
