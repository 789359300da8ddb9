// The numeric rules every subsystem relies on: rounding, overflow, division
// and the shortest Single text.
#include "host/numeric.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "host/error.h"

namespace marklet {
namespace {

// The error number an operation raises, or 0 when it succeeds.
template <typename F>
int ErrorOf(F&& operation) {
  try {
    operation();
  } catch (const MarkletError& e) {
    return e.number();
  }
  return 0;
}

TEST(Numeric, HalvesRoundToTheEvenNeighbourOnBothSides) {
  EXPECT_EQ(CInt(0.5), 0);
  EXPECT_EQ(CInt(1.5), 2);
  EXPECT_EQ(CInt(2.5), 2);
  EXPECT_EQ(CInt(3.5), 4);
  EXPECT_EQ(CInt(-0.5), 0);
  EXPECT_EQ(CInt(-1.5), -2);
  EXPECT_EQ(CInt(-2.5), -2);
  EXPECT_EQ(CInt(-3.5), -4);
  // Just off the half goes to the nearer one.
  EXPECT_EQ(CInt(2.5000001), 3);
  EXPECT_EQ(CInt(-2.4999999), -2);
  EXPECT_EQ(CLng(1234567.5), 1234568);
  EXPECT_EQ(CByte(254.5), 254);
  EXPECT_EQ(RoundHalfEven(-1e300), -1e300);
}

TEST(Numeric, ConversionsRaiseOverflowPastTheirWidth) {
  EXPECT_EQ(CInt(32767.4), 32767);
  EXPECT_EQ(ErrorOf([] { CInt(32767.5); }), 6);  // rounds to 32768
  EXPECT_EQ(CInt(-32768.5), -32768);             // rounds to the even -32768
  EXPECT_EQ(ErrorOf([] { CInt(-32768.6); }), 6);
  EXPECT_EQ(ErrorOf([] { CInt(std::int64_t{32768}); }), 6);
  EXPECT_EQ(CInt(std::int64_t{-32768}), -32768);

  EXPECT_EQ(CLng(2147483647.0), 2147483647);
  EXPECT_EQ(ErrorOf([] { CLng(2147483647.5); }), 6);
  EXPECT_EQ(CLng(-2147483648.5), std::numeric_limits<Long>::min());
  EXPECT_EQ(ErrorOf([] { CLng(std::int64_t{2147483648}); }), 6);

  EXPECT_EQ(CByte(255.4), 255);
  EXPECT_EQ(ErrorOf([] { CByte(255.5); }), 6);
  EXPECT_EQ(CByte(-0.5), 0);
  EXPECT_EQ(ErrorOf([] { CByte(-0.6); }), 6);
  EXPECT_EQ(ErrorOf([] { CByte(std::int64_t{256}); }), 6);

  EXPECT_EQ(ErrorOf([] { CInt(std::nan("")); }), 6);
  EXPECT_EQ(ErrorOf([] { CLng(std::numeric_limits<double>::infinity()); }), 6);
  EXPECT_EQ(ErrorOf([] { CSng(1e39); }), 6);
}

TEST(Numeric, CheckedArithmeticAndDivision) {
  EXPECT_EQ(ErrorOf([] { AddInt(32767, 1); }), 6);
  EXPECT_EQ(ErrorOf([] { SubInt(-32768, 1); }), 6);
  EXPECT_EQ(AddInt(-32768, 32767), -1);
  EXPECT_EQ(ErrorOf([] { AddLng(2147483647, 1); }), 6);
  EXPECT_EQ(ErrorOf([] { MulLng(65536, 32768); }), 6);
  EXPECT_EQ(MulLng(-65536, 32768), std::numeric_limits<Long>::min());

  // Division truncates toward zero, whatever the signs.
  EXPECT_EQ(DivLng(7, 2), 3);
  EXPECT_EQ(DivLng(-7, 2), -3);
  EXPECT_EQ(DivLng(7, -2), -3);
  EXPECT_EQ(DivLng(-7, -2), 3);
  EXPECT_EQ(ErrorOf([] { DivLng(1, 0); }), 11);
  EXPECT_EQ(ErrorOf([] { DivLng(0, 0); }), 11);
  EXPECT_EQ(ErrorOf([] { DivLng(std::numeric_limits<Long>::min(), -1); }), 6);
}

TEST(Numeric, LengthsAreSixteenBitCounts) {
  EXPECT_EQ(LenInt(0), 0);
  EXPECT_EQ(LenInt(32767), 32767);
  EXPECT_EQ(ErrorOf([] { LenInt(32768); }), 6);
  EXPECT_EQ(ErrorOf([] { LenInt(std::numeric_limits<std::size_t>::max()); }), 6);
}

TEST(Numeric, SingleTextIsTheShortestThatReadsBack) {
  EXPECT_EQ(FormatSingle(8.25f), "8.25");
  EXPECT_EQ(FormatSingle(0.1f), "0.1");  // not 0.100000001
  EXPECT_EQ(FormatSingle(14.25f), "14.25");
  EXPECT_EQ(FormatSingle(1350.0f), "1350");
  EXPECT_EQ(FormatSingle(-75.0f), "-75");
  EXPECT_EQ(FormatSingle(1.0f / 3.0f), "0.33333334");
  // Single arithmetic rounds each step to a float.
  Single tenth = SMul(0.1f, 3.0f);
  EXPECT_EQ(FormatSingle(tenth), "0.3");
  EXPECT_EQ(std::stof(FormatSingle(tenth)), tenth);
  EXPECT_EQ(FormatDouble(0.1), "0.1");
}

}  // namespace
}  // namespace marklet
