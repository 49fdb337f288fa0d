// Conversion of the panel's edit texts. The C library's conversions follow the user's
// locale and accept forms such as "inf" or hexadecimal; the panel accepts only plain
// decimal numbers, so the text is checked against that form before it is converted.
#include "editNumbers.h"

#include <charconv>
#include <string>

namespace tarmel {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

size_t SkipDigits(const std::string& s, size_t i) {
  while (i < s.size() && IsDigit(s[i])) ++i;
  return i;
}

size_t SkipSign(const std::string& s, size_t i) {
  return i < s.size() && (s[i] == '+' || s[i] == '-') ? i + 1 : i;
}

// The text after its leading blanks; empty when it holds anything beyond ASCII.
std::string NumberPart(const QString& text) {
  const std::string ascii = text.toStdString();
  for (unsigned char c : ascii) {
    if (c >= 0x80) return {};
  }
  const size_t start = ascii.find_first_not_of(" \t");
  return start == std::string::npos ? std::string() : ascii.substr(start);
}

bool IsDecimalInt(const std::string& s) {
  const size_t digitsStart = SkipSign(s, 0);
  return digitsStart < s.size() && SkipDigits(s, digitsStart) == s.size();
}

// digits [. digits] or . digits, then an optional exponent, and nothing after it.
bool IsDecimalReal(const std::string& s) {
  size_t i = SkipSign(s, 0);
  const size_t intEnd = SkipDigits(s, i);
  size_t end = intEnd;
  bool digits = intEnd > i;
  if (end < s.size() && s[end] == '.') {
    const size_t fracEnd = SkipDigits(s, end + 1);
    digits = digits || fracEnd > end + 1;
    end = fracEnd;
  }
  if (!digits) return false;
  if (end < s.size() && (s[end] == 'e' || s[end] == 'E')) {
    const size_t expStart = SkipSign(s, end + 1);
    const size_t expEnd = SkipDigits(s, expStart);
    if (expEnd == expStart) return false;
    end = expEnd;
  }
  return end == s.size();
}

// The conversions take a minus sign but not a plus sign.
template <typename Number>
std::optional<Number> Convert(const std::string& s) {
  const char* first = s.data() + (s[0] == '+' ? 1 : 0);
  const char* last = s.data() + s.size();
  Number value{};
  const auto [ptr, ec] = std::from_chars(first, last, value);
  if (ec != std::errc() || ptr != last) return std::nullopt;
  return value;
}

}  // namespace

std::optional<double> EditTextToReal(const QString& text) {
  const std::string s = NumberPart(text);
  if (!IsDecimalReal(s)) return std::nullopt;
  return Convert<double>(s);
}

std::optional<int32_t> EditTextToInt(const QString& text) {
  const std::string s = NumberPart(text);
  if (!IsDecimalInt(s)) return std::nullopt;
  return Convert<int32_t>(s);
}

}  // namespace tarmel
