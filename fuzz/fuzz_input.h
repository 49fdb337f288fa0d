// The fuzzers' view of one input: a few leading bytes choose small run parameters, the rest
// is the text under test.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "run_request.h"

namespace tarmel::fuzz {

// Parameters kept small, so that every input runs in milliseconds.
inline RunParameters SmallParameters(const uint8_t* data, size_t size) {
  auto byte = [&](size_t i) { return i < size ? data[i] : uint8_t{0}; };
  RunParameters p;
  p.RecursiveComplexity = 0.5 * (1 + byte(0) % 4);  // 0.5 .. 2
  p.MinObj = 0.01 * (1 + byte(1) % 20);
  p.VariantsNumber = 1 + byte(2) % 3;
  p.FeatureToPredict = 1 + byte(3) % 5;
  p.FoldsCrossValidate = byte(4) % 4;
  p.Ordering = byte(5) % 4 == 0 ? 1 : 0;
  p.Lag = static_cast<int32_t>(byte(6) % 4) - 1;
  return p;
}

constexpr size_t ParameterBytes = 7;

inline std::string TextAfterParameters(const uint8_t* data, size_t size) {
  return size <= ParameterBytes ? std::string()
                                : std::string(reinterpret_cast<const char*>(data) + ParameterBytes,
                                              size - ParameterBytes);
}

// One whole run over the text on one thread, its report thrown away.
inline RunResult RunText(const uint8_t* data, size_t size) {
  RunRequest request;
  request.Params = SmallParameters(data, size);
  request.DataFileName = "fuzz.txt";
  request.DataText = TextAfterParameters(data, size);
  request.ReportFileName = "/dev/null";
  request.Threads = 1;
  TRandom random;
  request.Random = &random;
  return Run(request);
}

}  // namespace tarmel::fuzz
