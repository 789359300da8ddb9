// Text preparation: line conversion, source lines, tag isolation, pieces and
// the hash escape.
#include <gtest/gtest.h>

#include "markup/markup.h"

namespace marklet {
namespace {

TEST(ConvertLines, MultiLineTurnsLineEndsIntoBreaksAndTabsIntoSpaces) {
  EXPECT_EQ(ConvertLines(u"a\r\nb\tc\\td", true, 3), u"a\\nb   c   d");
  EXPECT_EQ(ConvertLines(u"a\tb\\tc", true, 0), u"abc");
  // A lone CR or LF is no line end.
  EXPECT_EQ(ConvertLines(u"a\rb\nc", true, 4), u"a\rb\nc");
  // What a replacement inserts is never read again: "\" before a tab is not "\t".
  EXPECT_EQ(ConvertLines(u"\\\tx", true, 1), u"\\ x");
}

TEST(ConvertLines, SingleLineTurnsLineEndsAndTabsIntoOneSpaceAndKeepsTheTabEscape) {
  EXPECT_EQ(ConvertLines(u"a\r\nb\tc\\td\\ne", false, 5), u"a b c\\td\\ne");
}

TEST(CutSourceLines, CutsAtTheBreakEscape) {
  EXPECT_TRUE(CutSourceLines(u"").empty());
  EXPECT_EQ(CutSourceLines(u"A\\nB"), (std::vector<std::u16string_view>{u"A", u"B"}));
  EXPECT_EQ(CutSourceLines(u"A\\n"), (std::vector<std::u16string_view>{u"A", u""}));
  EXPECT_EQ(CutSourceLines(u"\\n\\n"), (std::vector<std::u16string_view>{u"", u"", u""}));
  // The first backslash-n pair cuts; a backslash before it stays on the line.
  EXPECT_EQ(CutSourceLines(u"a\\\\nb"), (std::vector<std::u16string_view>{u"a\\", u"b"}));
}

struct Prepared {
  const char16_t* line;
  const char16_t* expected;
};

class PrepareLineExample : public ::testing::TestWithParam<Prepared> {};

TEST_P(PrepareLineExample, IsolatesEveryStyleTag) {
  EXPECT_EQ(PrepareLine(GetParam().line), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, PrepareLineExample,
    ::testing::Values(Prepared{u"Hello&bWorld ", u"Hello\\0  &b World "},
                      Prepared{u"&bHello\\b world ", u"&b Hello\\0  \\b  world "},
                      Prepared{u"a &b c ", u"a &b  c "},
                      // A tag at the second position is glued like any other.
                      Prepared{u"x&bY ", u"x\\0  &b Y "},
                      // No glue after an ampersand pair; a backslash pair does not count.
                      Prepared{u"&i&bX ", u"&i &b X "},
                      Prepared{u"\\i&bX ", u"\\i \\0  &b X "},
                      Prepared{u"R&D&bX ", u"R&D&b X "},
                      Prepared{u"&b&b ", u"&b &b  "},
                      // Upper case is not isolated.
                      Prepared{u"&BX ", u"&BX "},
                      // Every tag in its turn, "\f" included; "\s" and "\0" are no tags.
                      Prepared{u"a\\fb\\sc\\0d&ue ", u"a\\0  \\f b\\sc\\0d\\0  &u e "},
                      Prepared{u" ", u" "}));

TEST(IsolateTag, HandlesOneTagOnlyAndEveryOccurrenceOfIt) {
  std::u16string line = u"a&b&ub&b ";
  IsolateTag(line, u"&b");
  EXPECT_EQ(line, u"a\\0  &b &ub\\0  &b  ");
}

// PrepareLine isolates all tags in one pass; it must agree with isolating
// them one tag after the other, in their order, on every line.
TEST(PrepareLine, AgreesWithIsolatingEachTagInTurn) {
  const char16_t alphabet[] = u"&\\bufiB0 x";
  std::uint32_t seed = 7;
  for (int n = 0; n < 20000; ++n) {
    std::u16string line;
    seed = seed * 1103515245u + 12345u;
    int length = static_cast<int>(seed >> 28);
    for (int i = 0; i < length; ++i) {
      seed = seed * 1103515245u + 12345u;
      line.push_back(alphabet[(seed >> 16) % 10]);
    }
    std::u16string stepwise = line;
    for (std::u16string_view tag : kStyleTags) IsolateTag(stepwise, tag);
    ASSERT_EQ(PrepareLine(line), stepwise) << "line " << n;
  }
}

TEST(SplitAtHash, CutsBeforeEveryHash) {
  using Pieces = std::vector<std::u16string>;
  EXPECT_EQ(SplitAtHash(u"ab#ek<x>#c "), (Pieces{u"ab", u"#ek<x>", u"#c "}));
  EXPECT_EQ(SplitAtHash(u"#ek<x> "), (Pieces{u"#ek<x> "}));
  // Of several hashes in a row only the last one survives.
  EXPECT_EQ(SplitAtHash(u"a##b "), (Pieces{u"a", u"#b "}));
  EXPECT_EQ(SplitAtHash(u"a#"), (Pieces{u"a"}));
  EXPECT_EQ(SplitAtHash(u"plain "), (Pieces{u"plain "}));
}

TEST(UnescapeHash, ReplacesTheEscapeOnlyInLowerCase) {
  EXPECT_EQ(UnescapeHash(u"a\\sb\\Sc\\\\s"), u"a#b\\Sc\\#");
}

TEST(ClassifyStyleTag, RecognisesTagsTrimmedOfSpacesInEitherCase) {
  EXPECT_EQ(ClassifyStyleTag(u"&b "), StyleTag::BoldOn);
  EXPECT_EQ(ClassifyStyleTag(u"  \\B"), StyleTag::BoldOff);
  EXPECT_EQ(ClassifyStyleTag(u" \\F "), StyleTag::FontReset);
  EXPECT_EQ(ClassifyStyleTag(u"&U "), StyleTag::UnderlineOn);
  EXPECT_EQ(ClassifyStyleTag(u"\\i "), StyleTag::ItalicOff);
  // A glue marker, other white space, longer words and non-tags are not tags.
  EXPECT_EQ(ClassifyStyleTag(u"&b\\0 "), StyleTag::None);
  EXPECT_EQ(ClassifyStyleTag(u"&b\t"), StyleTag::None);
  EXPECT_EQ(ClassifyStyleTag(u"&bold "), StyleTag::None);
  EXPECT_EQ(ClassifyStyleTag(u"&f "), StyleTag::None);
  EXPECT_EQ(ClassifyStyleTag(u"\\s "), StyleTag::None);
  EXPECT_EQ(ClassifyStyleTag(u" "), StyleTag::None);
}

}  // namespace
}  // namespace marklet
