// Numbers of a table in the data file's plain decimal form: the cell's digits read exactly,
// its exponent applied, and the result rounded half up to fit the name length.
#include <algorithm>
#include <charconv>
#include <cmath>

#include "run_context.h"
#include "table_import.h"

namespace tarmel {

namespace {

struct TDecimal {
  bool Negative = false;
  std::string Digits;  // every digit written, the point left out
  int64_t Point = 0;   // digits before the point, after applying the exponent
  bool Plain = true;   // already in the data file's own form
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool ParseExponent(std::string_view s, size_t& i, int64_t& exponent) {
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  if (i >= s.size() || !IsDigit(s[i])) return false;
  for (; i < s.size() && IsDigit(s[i]); ++i) {
    exponent = std::min<int64_t>(exponent * 10 + (s[i] - '0'), 100000);
  }
  if (negative) exponent = -exponent;
  return true;
}

bool ParseDecimal(std::string_view s, bool decimalComma, TDecimal& d) {
  size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
    d.Negative = s[i] == '-';
    d.Plain = d.Negative;
    ++i;
  }
  int64_t before = 0;
  for (; i < s.size() && IsDigit(s[i]); ++i, ++before) d.Digits.push_back(s[i]);
  if (i < s.size() && (s[i] == '.' || (decimalComma && s[i] == ','))) {
    d.Plain = d.Plain && s[i] == '.';
    for (++i; i < s.size() && IsDigit(s[i]); ++i) d.Digits.push_back(s[i]);
  }
  if (d.Digits.empty()) return false;
  int64_t exponent = 0;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    d.Plain = false;
    if (!ParseExponent(s, ++i, exponent)) return false;
  }
  d.Point = before + exponent;
  return i == s.size();
}

double ExactValue(const TDecimal& d) {
  const std::string text = (d.Negative ? "-" : "") + d.Digits + "e" +
                           std::to_string(d.Point - static_cast<int64_t>(d.Digits.size()));
  double value = 0.0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error == std::errc::result_out_of_range) {
    value = d.Point > 0 ? HUGE_VAL : 0.0;
    if (d.Negative) value = -value;
  }
  return value;
}

// Adds one in the last place of the digit string; true when it carries out of the front.
bool Increment(std::string& digits) {
  for (size_t k = digits.size(); k-- > 0;) {
    if (digits[k] != '9') {
      ++digits[k];
      return false;
    }
    digits[k] = '0';
  }
  return true;
}

// Rounds half up to keep fraction digits.
void RoundFraction(std::string& integer, std::string& fraction, size_t keep) {
  const bool up = fraction[keep] >= '5';
  fraction.resize(keep);
  if (!up) return;
  if (Increment(fraction)) {
    if (Increment(integer)) integer.insert(integer.begin(), '1');
  }
}

// The integer and fraction digits of the decimal, without leading or trailing zeros.
void SplitDigits(const TDecimal& d, std::string& integer, std::string& fraction) {
  std::string digits = d.Digits;
  int64_t point = d.Point;
  while (!digits.empty() && digits[0] == '0') digits.erase(0, 1), --point;
  integer = "0";
  fraction.clear();
  if (digits.empty()) return;
  // Past these bounds nothing of the number fits into the name length anyway.
  point = std::clamp<int64_t>(point, -NameLength - 1, NameLength + 1);
  const auto size = static_cast<int64_t>(digits.size());
  if (point <= 0) {
    fraction = std::string(static_cast<size_t>(-point), '0') + digits;
  } else if (point >= size) {
    integer = digits + std::string(static_cast<size_t>(point - size), '0');
  } else {
    integer = digits.substr(0, static_cast<size_t>(point));
    fraction = digits.substr(static_cast<size_t>(point));
  }
  while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
}

void FitPlainText(const TDecimal& d, TPlainNumber& n) {
  std::string integer, fraction;
  SplitDigits(d, integer, fraction);
  const size_t sign = d.Negative ? 1 : 0;
  if (sign + integer.size() + (fraction.empty() ? 0 : fraction.size() + 1) > NameLength &&
      sign + integer.size() <= NameLength) {
    const size_t used = sign + integer.size() + 1;
    RoundFraction(integer, fraction, used >= NameLength ? 0 : NameLength - used);
    while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
    n.Rounded = true;
  }
  // Rounding up may carry into a twenty-first digit.
  n.TooLong = sign + integer.size() > NameLength;
  const bool zero = integer.find_first_not_of('0') == std::string::npos && fraction.empty();
  n.Text = (d.Negative && !zero ? "-" : "") + integer + (fraction.empty() ? "" : "." + fraction);
}

}  // namespace

std::optional<TPlainNumber> PlainNumber(std::string_view cell, bool decimalComma) {
  TDecimal d;
  if (!ParseDecimal(cell, decimalComma, d)) return std::nullopt;
  TPlainNumber n;
  n.Value = ExactValue(d);
  if (d.Plain && cell.size() <= static_cast<size_t>(NameLength)) {
    n.Text = cell;
    return n;
  }
  n.Rewritten = true;
  FitPlainText(d, n);
  return n;
}

}  // namespace tarmel
