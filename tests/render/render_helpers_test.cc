// The renderer's small helpers: where a backward space search starts and the
// bound of a table.
#include <gtest/gtest.h>

#include "render/render.h"

namespace marklet {
namespace {

TEST(ReverseSearchStart, SkipsTheLastCharacterExceptForShortStrings) {
  EXPECT_EQ(ReverseSearchStart(u"abc"), 2);
  EXPECT_EQ(ReverseSearchStart(u"ab"), 1);
  EXPECT_EQ(ReverseSearchStart(u"a"), -1);
  EXPECT_EQ(ReverseSearchStart(u""), -1);
}

TEST(ReverseSearchStart, FindsOnlyASpaceBeforeTheLastCharacter) {
  // The link-wrap test: a space before the last character.
  auto wraps = [](const std::u16string& t) { return LastSpaceAtOrBefore(t, ReverseSearchStart(t)) > 0; };
  EXPECT_TRUE(wraps(u"click here"));
  EXPECT_TRUE(wraps(u"click here "));
  EXPECT_FALSE(wraps(u"click "));
  EXPECT_FALSE(wraps(u"click"));
  EXPECT_FALSE(wraps(u""));
  // A one-character string is searched whole.
  EXPECT_TRUE(wraps(u" "));
}

TEST(LastSpaceAtOrBefore, ReportsOneBasedPositions) {
  EXPECT_EQ(LastSpaceAtOrBefore(u"ab cd ef", 5), 3);
  EXPECT_EQ(LastSpaceAtOrBefore(u"ab cd ef", 6), 6);
  EXPECT_EQ(LastSpaceAtOrBefore(u"ab cd ef", 2), 0);
  EXPECT_EQ(LastSpaceAtOrBefore(u"ab cd ef", -1), 6);
  EXPECT_EQ(LastSpaceAtOrBefore(u"ab", 40), 0);
}

TEST(SafeUpperBound, IsMinusOneForAnEmptyTable) {
  std::vector<int> table;
  EXPECT_EQ(SafeUpperBound(table), -1);
  table = {1, 2, 3};
  EXPECT_EQ(SafeUpperBound(table), 2);
  table.clear();
  EXPECT_EQ(SafeUpperBound(table), -1);
}

}  // namespace
}  // namespace marklet
