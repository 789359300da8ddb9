// The number readers of colours, sizes and margins, and image offsets.
#include <cmath>

#include <gtest/gtest.h>

#include "markup/markup.h"

namespace marklet {
namespace {

OleColor Colour(std::u16string_view text) {
  OleColor colour = 0xDEADBEEF;
  return ReadColorNumber(text, colour) ? colour : 0xDEADBEEF;
}

TEST(ReadColorNumber, ReadsDecimalsRoundedHalfToEven) {
  EXPECT_EQ(Colour(u"255"), 255u);
  EXPECT_EQ(Colour(u"  +16711680 "), 16711680u);
  EXPECT_EQ(Colour(u"2.5"), 2u);
  EXPECT_EQ(Colour(u"3.5"), 4u);
  EXPECT_EQ(Colour(u".5"), 0u);
  EXPECT_EQ(Colour(u"-1"), 0xFFFFFFFFu);
  EXPECT_EQ(Colour(u"2147483647"), 0x7FFFFFFFu);
}

TEST(ReadColorNumber, ReadsHexadecimalBitsAsWritten) {
  EXPECT_EQ(Colour(u"&HFF"), 255u);
  EXPECT_EQ(Colour(u" &hffff "), 0xFFFFu);
  EXPECT_EQ(Colour(u"&H8000000F"), 0x8000000Fu);
  EXPECT_EQ(Colour(u"&H0000000FF"), 255u);
}

TEST(ReadColorNumber, RefusesWhatIsNoNumberOrDoesNotFit32Bits) {
  for (const char16_t* text : {u"", u"  ", u"red", u"12px", u"1 2", u"&H", u"&HFG", u"-&H1", u"1e3",
                               u"2147483648", u"2147483647.5", u"-2147483649", u"&H100000000",
                               u"+", u"."}) {
    OleColor colour = 7;
    EXPECT_FALSE(ReadColorNumber(text, colour)) << std::string(text, text + std::char_traits<char16_t>::length(text));
    EXPECT_EQ(colour, 7u);
  }
}

TEST(ReadLenientNumber, ReadsAsFarAsTheNumberGoes) {
  EXPECT_EQ(ReadLenientNumber(u"14"), 14);
  EXPECT_EQ(ReadLenientNumber(u" 1 2.5pt"), 12.5);
  EXPECT_EQ(ReadLenientNumber(u"\t-3\n"), -3);
  EXPECT_EQ(ReadLenientNumber(u"&H1A;"), 26);
  EXPECT_EQ(ReadLenientNumber(u"1.5e1x"), 15);
  EXPECT_EQ(ReadLenientNumber(u"7e"), 7);  // an exponent without digits is not read
  EXPECT_EQ(ReadLenientNumber(u"3,5"), 3);  // only a period separates the fraction
  EXPECT_EQ(ReadLenientNumber(u"9.9.9"), 9.9);
}

TEST(ReadLenientNumber, GivesZeroWhenNothingIsReadable) {
  EXPECT_EQ(ReadLenientNumber(u""), 0);
  EXPECT_EQ(ReadLenientNumber(u"abc"), 0);
  EXPECT_EQ(ReadLenientNumber(u"&H"), 0);
  EXPECT_EQ(ReadLenientNumber(u"-"), 0);
  EXPECT_EQ(ReadLenientNumber(u"$5"), 0);
  EXPECT_TRUE(std::isinf(ReadLenientNumber(u"1e999")));
}

TEST(ReadStrictNumber, NeedsTheWholeFieldToBeOneNumber) {
  double v = 0;
  EXPECT_TRUE(ReadStrictNumber(u" 16 ", v));
  EXPECT_EQ(v, 16);
  EXPECT_TRUE(ReadStrictNumber(u"-2.5", v));
  EXPECT_EQ(v, -2.5);
  EXPECT_TRUE(ReadStrictNumber(u"+4", v));
  EXPECT_EQ(v, 4);
  EXPECT_TRUE(ReadStrictNumber(u"1e2", v));
  EXPECT_EQ(v, 100);
  v = 99;
  for (const char16_t* text : {u"", u" ", u"16px", u"1 6", u"x", u"-", u"&H10", u"1e", u"--1"}) {
    EXPECT_FALSE(ReadStrictNumber(text, v));
  }
  EXPECT_EQ(v, 99);
}

}  // namespace
}  // namespace marklet
