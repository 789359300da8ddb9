// The renderer's small helpers: where a backward space search starts, the
// bound of a table, the lenient number of a margin item.
#include <gtest/gtest.h>

#include "host/error.h"
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

TEST(LeadingNumber, ReadsLeniently) {
  EXPECT_EQ(LeadingNumber(u"20"), 20);
  EXPECT_EQ(LeadingNumber(u"  20px"), 20);
  EXPECT_EQ(LeadingNumber(u"1 2"), 12);
  EXPECT_EQ(LeadingNumber(u"-3.5x"), -3.5);
  EXPECT_EQ(LeadingNumber(u"+7"), 7);
  EXPECT_EQ(LeadingNumber(u"2e2"), 200);
  EXPECT_EQ(LeadingNumber(u"2e"), 2);
  EXPECT_EQ(LeadingNumber(u"1.2.3"), 1.2);
  EXPECT_EQ(LeadingNumber(u"&H10"), 16);
  EXPECT_EQ(LeadingNumber(u"&HFFFF"), -1);
  EXPECT_EQ(LeadingNumber(u"&H10000"), 65536);
  EXPECT_EQ(LeadingNumber(u"&O17"), 15);
  EXPECT_EQ(LeadingNumber(u"abc"), 0);
  EXPECT_EQ(LeadingNumber(u""), 0);
  EXPECT_EQ(LeadingNumber(u"-"), 0);
  EXPECT_EQ(LeadingNumber(u"1e-999"), 0);
}

TEST(LeadingNumber, RaisesOverflowForNumbersNoMarginCanHold) {
  try {
    LeadingNumber(u"1e999");
    FAIL() << "no error";
  } catch (const MarkletError& e) {
    EXPECT_EQ(e.number(), 6);
  }
  EXPECT_THROW(LeadingNumber(u"&H123456789"), MarkletError);
}

}  // namespace
}  // namespace marklet
