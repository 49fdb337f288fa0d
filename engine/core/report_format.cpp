// Number formats of the report. Reals are printed with enough decimals to show the exact
// binary value and rounded by hand, half away from zero, so that a value exactly halfway
// rounds the same on every machine; a rounded zero loses its minus sign.
#include "report_format.h"

#include <charconv>
#include <cmath>

namespace tarmel {

namespace {

std::string PadLeft(std::string s, int width) {
  if (static_cast<int>(s.size()) < width) s.insert(0, static_cast<size_t>(width) - s.size(), ' ');
  return s;
}

// Adds one unit in the last place of a string of decimal digits (and a point).
void IncrementDigits(std::string& digits) {
  for (size_t i = digits.size(); i-- > 0;) {
    if (digits[i] == '.') continue;
    if (digits[i] != '9') {
      ++digits[i];
      return;
    }
    digits[i] = '0';
  }
  digits.insert(0, 1, '1');
}

}  // namespace

std::string FormatInt(int64_t n, int width) {
  char buf[24];
  auto res = std::to_chars(buf, buf + sizeof buf, n);
  return PadLeft(std::string(buf, res.ptr), width);
}

std::string FormatReal(double x, int width, int decimals) {
  if (!std::isfinite(x)) x = 0.0;
  // 1100 decimals give the exact binary value of any double; rounding is done by hand on
  // those digits because the library rounds ties to even. to_chars ignores the locale, so
  // the decimal point is always a point.
  constexpr int Exact = 1100;
  char buf[1500];
  const auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(x), std::chars_format::fixed, Exact);
  std::string all(buf, res.ptr);
  const size_t point = all.find('.');
  std::string kept = all.substr(0, decimals > 0 ? point + 1 + static_cast<size_t>(decimals) : point);
  if (all[point + 1 + static_cast<size_t>(decimals)] >= '5') IncrementDigits(kept);
  const bool zero = kept.find_first_not_of("0.") == std::string::npos;
  if (std::signbit(x) && !zero) kept.insert(0, 1, '-');
  return PadLeft(std::move(kept), width);
}

}  // namespace tarmel
