// UTF-8 <-> UTF-16 at the control's edges, and the automation variant's
// coercions that every property assignment goes through.
#include "host/values.h"

#include <gtest/gtest.h>

#include "host/error.h"

namespace marklet {
namespace {

template <typename F>
int ErrorOf(F&& operation) {
  try {
    operation();
  } catch (const MarkletError& e) {
    return e.number();
  }
  return 0;
}

TEST(Utf, RoundTripsEveryPlaneIncludingAstralCharacters) {
  const std::string text = "a\xC3\xB3\xE2\x82\xAC\xF0\x9D\x84\x9E\xF4\x8F\xBF\xBFz";  // a ó € 𝄞 U+10FFFF z
  std::u16string wide = Utf8ToU16(text);
  EXPECT_EQ(wide, (std::u16string{u'a', 0x00F3, 0x20AC, 0xD834, 0xDD1E, 0xDBFF, 0xDFFF, u'z'}));
  EXPECT_EQ(U16ToUtf8(wide), text);
  EXPECT_EQ(Utf8ToU16(""), u"");
}

TEST(Utf, IllFormedUtf8IsRefusedWithTypeMismatch) {
  for (const char* bad : {
           "\x80",              // continuation byte without a lead
           "ab\xC3",            // truncated at the end
           "\xE2\x82",          // truncated three-byte form
           "\xC3(",             // lead byte followed by a non-continuation
           "\xC0\xAF",          // overlong '/'
           "\xE0\x80\xAF",      // overlong '/' in three bytes
           "\xED\xA0\x80",      // an encoded surrogate
           "\xF4\x90\x80\x80",  // past U+10FFFF
           "\xFF",
       }) {
    EXPECT_EQ(ErrorOf([&] { Utf8ToU16(bad); }), 13) << "accepted: " << testing::PrintToString(bad);
  }
}

TEST(Utf, LoneSurrogatesGoOutAsReplacementCharacters) {
  EXPECT_EQ(U16ToUtf8(std::u16string{u'a', 0xD800, u'b'}), "a\xEF\xBF\xBD" "b");
  EXPECT_EQ(U16ToUtf8(std::u16string{0xDC00}), "\xEF\xBF\xBD");
  EXPECT_EQ(U16ToUtf8(std::u16string{u'x', 0xDBFF}), "x\xEF\xBF\xBD");  // high one at the end
  // A reversed pair is two lone surrogates.
  EXPECT_EQ(U16ToUtf8(std::u16string{0xDC00, 0xD800}), "\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(VariantCoercion, NumericStringsAreReadAsNumbers) {
  EXPECT_EQ(Variant::FromString(u" 42 ").ToInteger(), 42);
  EXPECT_EQ(Variant::FromString(u"-7").ToLong(), -7);
  EXPECT_EQ(Variant::FromString(u"2.5").ToInteger(), 2);  // half to even
  EXPECT_EQ(Variant::FromString(u"1e3").ToLong(), 1000);
  EXPECT_EQ(Variant::FromString(u"&HFF").ToByte(), 255);
  EXPECT_EQ(Variant::FromString(u"&o17").ToInteger(), 15);
  EXPECT_EQ(Variant::FromString(u"&HFFFF").ToInteger(), -1);  // a 16-bit literal wraps
  EXPECT_FLOAT_EQ(Variant::FromString(u"8.25").ToSingle(), 8.25f);
  EXPECT_TRUE(Variant::FromString(u"True").ToBool());
  EXPECT_FALSE(Variant::FromString(u"0").ToBool());
  EXPECT_TRUE(Variant::FromString(u"-1").ToBool());
  EXPECT_EQ(Variant::FromBool(true).ToInteger(), -1);
  EXPECT_EQ(Variant().ToLong(), 0);  // Empty reads as zero
  EXPECT_EQ(Variant::FromSingle(8.25f).ToString(), u"8.25");
  EXPECT_EQ(Variant::FromInteger(-5).ToString(), u"-5");
}

TEST(VariantCoercion, NonNumbersGiveTypeMismatchAndOutOfRangeGivesOverflow) {
  for (const char16_t* text : {u"abc", u"", u"   ", u"12abc", u"1.2.3", u"&H", u"&HG1", u"&O8"})
    EXPECT_EQ(ErrorOf([&] { Variant::FromString(text).ToLong(); }), 13) << U16ToUtf8(text);
  EXPECT_EQ(ErrorOf([] { Variant::FromString(u"yes").ToBool(); }), 13);
  EXPECT_EQ(ErrorOf([] { Variant::FromFont(FontDesc{}).ToInteger(); }), 13);
  EXPECT_EQ(ErrorOf([] { Variant::FromInteger(1).ToFont(); }), 13);
  EXPECT_EQ(ErrorOf([] { Variant::FromString(u"x").ToPicture(); }), 13);
  EXPECT_EQ(Variant().ToPicture(), nullptr);  // Empty is Nothing

  EXPECT_EQ(ErrorOf([] { Variant::FromLong(300).ToByte(); }), 6);
  EXPECT_EQ(ErrorOf([] { Variant::FromString(u"300").ToByte(); }), 6);
  EXPECT_EQ(ErrorOf([] { Variant::FromInteger(-1).ToByte(); }), 6);
  EXPECT_EQ(ErrorOf([] { Variant::FromLong(32768).ToInteger(); }), 6);
  EXPECT_EQ(ErrorOf([] { Variant::FromDouble(1e10).ToLong(); }), 6);
  EXPECT_EQ(ErrorOf([] { Variant::FromDouble(1e40).ToSingle(); }), 6);
}

TEST(VariantCoercion, SystemColoursKeepTheirTopBit) {
  // A hexadecimal literal past 16 bits is a Long whose sign bit is the
  // system-colour flag; scripts may also pass the unsigned value.
  Long fromHex = Variant::FromString(u"&H8000000F").ToLong();
  EXPECT_EQ(static_cast<OleColor>(fromHex), 0x8000000Fu);
  Long fromUnsigned = Variant::FromDouble(2147483663.0).ToLong();
  EXPECT_EQ(static_cast<OleColor>(fromUnsigned), 0x8000000Fu);
  EXPECT_EQ(static_cast<OleColor>(Variant::FromString(u"&HFF0000").ToLong()), 0xFF0000u);
  EXPECT_EQ(ErrorOf([] { Variant::FromDouble(4294967296.0).ToLong(); }), 6);
}

TEST(AnsiCodePage, LinkKeysGoToTheShellInTheAnsiCodePage) {
  EXPECT_EQ(ToAnsi(u"mailto:info@marklet.example"), "mailto:info@marklet.example");
  EXPECT_EQ(ToAnsi(u"\u00f1\u20ac\u2019"), "\xF1\x80\x92");
  EXPECT_EQ(ToAnsi(u"a\u4e2db\U0001F600c"), "a?b?c");  // one '?' a character, pairs included
  EXPECT_EQ(ToAnsi(std::u16string(1, char16_t(0xD800))), "?");
}

TEST(AnsiCodePage, EveryAnsiByteReadsBackAsTheCharacterItStandsFor) {
  std::string all;
  for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
  std::u16string text = FromAnsi(all);
  ASSERT_EQ(text.size(), all.size());
  EXPECT_EQ(text[0x80 - 1], u'\u20AC');
  EXPECT_EQ(text[0x81 - 1], u'\u0081');  // unassigned: itself
  EXPECT_EQ(text[0xE1 - 1], u'\u00E1');
  EXPECT_EQ(ToAnsi(text), all);
}

}  // namespace
}  // namespace marklet
