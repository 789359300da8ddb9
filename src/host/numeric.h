// The control's numeric rules, in one place.
//
// Integer is 16-bit signed, Long 32-bit signed, Byte 8-bit unsigned, Single a
// 32-bit float. Every conversion of a floating value to a whole number rounds
// to the nearest, halves to the even one, and raises error 6 (overflow) when
// the result does not fit its width. Integer division truncates toward zero.
// Counts, indexes and character positions are Integers.
#pragma once

#include <cstdint>
#include <string>

namespace marklet {

using Integer = std::int16_t;
using Long = std::int32_t;
using Byte = std::uint8_t;
using Single = float;

// Round to the nearest whole number, a tie to the even one (banker's rounding).
double RoundHalfEven(double value);

// Floating value -> whole number of the given width (round half to even, error 6 on overflow
// or on a value that is not a number).
Integer CInt(double value);
Long CLng(double value);
Byte CByte(double value);
// Whole number -> narrower whole number (error 6 when it does not fit).
Integer CInt(std::int64_t value);
Long CLng(std::int64_t value);
Byte CByte(std::int64_t value);
// Double -> Single (error 6 when beyond the float range).
Single CSng(double value);

// Checked 16-bit and 32-bit arithmetic.
Integer AddInt(Integer a, Integer b);
Integer SubInt(Integer a, Integer b);
Long AddLng(Long a, Long b);
Long SubLng(Long a, Long b);
Long MulLng(Long a, Long b);
// Integer division truncating toward zero; error 11 on a zero divisor, error 6 on overflow.
Long DivLng(Long a, Long b);

// A string length or position as a 16-bit Integer (error 6 past 32,767).
Integer LenInt(std::size_t length);

// Single arithmetic: every intermediate result is stored as a float.
inline Single SAdd(Single a, Single b) { return static_cast<Single>(a + b); }
inline Single SSub(Single a, Single b) { return static_cast<Single>(a - b); }
inline Single SMul(Single a, Single b) { return static_cast<Single>(a * b); }

// The shortest decimal text that reads back to the same float (for records and files).
std::string FormatSingle(Single value);
std::string FormatDouble(double value);

}  // namespace marklet
