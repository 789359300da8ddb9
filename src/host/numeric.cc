#include "host/numeric.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "host/error.h"

namespace marklet {

namespace {

template <typename T>
T NarrowRounded(double value) {
  if (std::isnan(value)) RaiseOverflow();
  double r = RoundHalfEven(value);
  if (r < static_cast<double>(std::numeric_limits<T>::min()) ||
      r > static_cast<double>(std::numeric_limits<T>::max())) {
    RaiseOverflow();
  }
  return static_cast<T>(r);
}

template <typename T>
T NarrowWhole(std::int64_t value) {
  if (value < static_cast<std::int64_t>(std::numeric_limits<T>::min()) ||
      value > static_cast<std::int64_t>(std::numeric_limits<T>::max())) {
    RaiseOverflow();
  }
  return static_cast<T>(value);
}

}  // namespace

double RoundHalfEven(double value) {
  if (!std::isfinite(value)) return value;
  double floor = std::floor(value);
  double diff = value - floor;
  if (diff < 0.5) return floor;
  if (diff > 0.5) return floor + 1.0;
  return std::fmod(floor, 2.0) == 0.0 ? floor : floor + 1.0;
}

Integer CInt(double value) { return NarrowRounded<Integer>(value); }
Long CLng(double value) { return NarrowRounded<Long>(value); }
Byte CByte(double value) { return NarrowRounded<Byte>(value); }
Integer CInt(std::int64_t value) { return NarrowWhole<Integer>(value); }
Long CLng(std::int64_t value) { return NarrowWhole<Long>(value); }
Byte CByte(std::int64_t value) { return NarrowWhole<Byte>(value); }

Single CSng(double value) {
  if (std::isnan(value)) return std::numeric_limits<Single>::quiet_NaN();
  if (std::fabs(value) > static_cast<double>(std::numeric_limits<Single>::max())) RaiseOverflow();
  return static_cast<Single>(value);
}

Integer AddInt(Integer a, Integer b) { return CInt(static_cast<std::int64_t>(a) + b); }
Integer SubInt(Integer a, Integer b) { return CInt(static_cast<std::int64_t>(a) - b); }
Long AddLng(Long a, Long b) { return CLng(static_cast<std::int64_t>(a) + b); }
Long SubLng(Long a, Long b) { return CLng(static_cast<std::int64_t>(a) - b); }
Long MulLng(Long a, Long b) { return CLng(static_cast<std::int64_t>(a) * b); }

Long DivLng(Long a, Long b) {
  if (b == 0) throw MarkletError(ErrorNumber::DivisionByZero);
  return CLng(static_cast<std::int64_t>(a) / b);
}

Integer LenInt(std::size_t length) {
  if (length > static_cast<std::size_t>(std::numeric_limits<Integer>::max())) RaiseOverflow();
  return static_cast<Integer>(length);
}

std::string FormatSingle(Single value) {
  if (std::isnan(value)) return "NaN";
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

std::string FormatDouble(double value) {
  if (std::isnan(value)) return "NaN";
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

}  // namespace marklet
