// The run driver's read phase, reusable without a report file: reads the data file opened
// in rc.In into the context, checks it, decides the task, appends the constant feature
// and prepares the tables of the run. False after a message in rc.Out.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "run_context.h"

namespace tarmel {

// rc.Params, rc.In and rc.Out must be set up; rc.Random may be null until folds are drawn.
bool ReadRun(RunContext& rc);

// Sets up rc for a run over the given file text with a report kept in memory, then
// reads it. The parameters must outlive rc.
bool ReadRunFromText(RunContext& rc, RunParameters& params, std::string text,
                     TRandom* random = nullptr);

// The file's table and its per-feature description. The time-series growth swaps it out
// while the candidate tables stand in its place and swaps it back when it ends, so the
// rest of the run sees the file's values.
struct TFileLayout {
  int32_t ObjectsNumber = 0;
  int32_t FeaturesNumber = 0;
  PerFeature<int32_t> FeatureType{};
  PerFeature<int32_t> ValuesNumber{};
  PerFeature<TValueTable> ValueTable;
  PerFeature<double> FeatureCost{};
  FeatureFlags ActivePredictors{};
  TTable DataTable;
  std::vector<uint8_t> ObjectActive;
  std::vector<double> TargetValue;
  std::vector<int32_t> ClassLabel;
};

// Exchanges the layout the read phase left in rc with the one held aside.
void SwapLayout(RunContext& rc, TFileLayout& layout);

}  // namespace tarmel
