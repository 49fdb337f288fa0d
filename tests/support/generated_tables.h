// Data tables made by a small fixed generator, so every test run reads the same text:
// numeric and nominal predictors with a few missing cells and a target that depends on
// some of them with noise: the tests' one table generator. These tables stay as they are,
// since golden reports are made from them; the benchmark keeps a generator of its own, as
// bench/compare.sh builds it in older trees.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace tarmel::testing {

struct TTableShape {
  int32_t Objects = 100;
  int32_t Features = 10;        // in the file, the target last
  bool Classification = false;  // a nominal target of three classes
  int32_t WideValues = 0;       // > 0: the feature before the target is nominal with this
                                // many values (allowed for the last two features only)
  int32_t Predict = 0;          // rows of a prediction block
};

struct TGenerator {
  uint64_t State = 88172645463325252ull;
  uint32_t Next(uint32_t n) {
    State ^= State << 13;
    State ^= State >> 7;
    State ^= State << 17;
    return static_cast<uint32_t>(State % n);
  }
};

namespace detail {

inline bool IsNominal(const TTableShape& s, int32_t f) {
  return f % 3 == 0 || (s.WideValues > 0 && f == s.Features - 1);
}
inline int32_t ValuesOf(const TTableShape& s, int32_t f) {
  return s.WideValues > 0 && f == s.Features - 1 ? s.WideValues : 3 + f % 4;
}

inline void AppendRow(std::string& text, const TTableShape& s, TGenerator& gen) {
  std::vector<int32_t> cells(static_cast<size_t>(s.Features) + 1, 0);
  for (int32_t f = 1; f < s.Features; ++f) {
    const bool nominal = IsNominal(s, f);
    cells[f] = static_cast<int32_t>(gen.Next(nominal ? ValuesOf(s, f) : 10 + 10 * (f % 4)));
    if (gen.Next(100) < 3) {
      text += "? ";
    } else {
      text += (nominal ? "v" : "") + std::to_string(cells[f]) + " ";
    }
  }
  const int32_t wide = s.WideValues > 0 ? cells[s.Features - 1] % 5 : 0;
  const int32_t signal = cells[1] + 2 * cells[2] % 7 +
                         cells[s.Features > 4 ? 4 : 1] + wide + static_cast<int32_t>(gen.Next(8));
  if (s.Classification) {
    text += "c" + std::to_string(std::min(2, signal / 15)) + "\r\n";
  } else {
    text += std::to_string(signal) + "." + std::to_string(gen.Next(10)) + "\r\n";
  }
}

}  // namespace detail

inline std::string GeneratedTable(const TTableShape& s) {
  TGenerator gen;
  std::string text = std::to_string(s.Objects) + " " + std::to_string(s.Features) + " ?\r\n";
  for (int32_t f = 1; f < s.Features; ++f) {
    text += detail::IsNominal(s, f) ? "0(" + std::to_string(detail::ValuesOf(s, f)) + ") " : "1 ";
  }
  text += s.Classification ? "0(3)\r\n" : "1\r\n";
  for (int32_t f = 1; f <= s.Features; ++f) {
    text += "f" + std::to_string(f) + (f < s.Features ? " " : "\r\n");
  }
  for (int32_t i = 1; i <= s.Objects; ++i) detail::AppendRow(text, s, gen);
  if (s.Predict > 0) {
    text += "Predict " + std::to_string(s.Predict) + "\r\n";
    for (int32_t j = 1; j <= s.Predict; ++j) detail::AppendRow(text, s, gen);
  }
  return text;
}

}  // namespace tarmel::testing
