// What a run is given and how it ends: the nine run parameters, the generator its folds
// are drawn from, and its outcomes. The run itself, Run, is in run_request.h.
#pragma once

#include <cstdint>

namespace tarmel {

// The nine run parameters, in the order of the parameter file.
struct RunParameters {
  double ErrorWeight = 1.0;          // weight of the target's error term
  double RecursiveComplexity = 1.0;  // lookahead depth; its fraction steers deeper stages
  double Homogeneity = 0.05;         // threshold below which a vertex counts as homogeneous
  double MinObj = 0.05;              // minimum vertex size as a fraction of the objects
  int32_t VariantsNumber = 1;        // tree variants to grow
  int32_t FeatureToPredict = 1;      // 1-based target feature; the run changes it in a
                                     // classification task
  int32_t FoldsCrossValidate = 10;   // cross-validation folds; <= 1 means none
  int32_t Ordering = 0;              // 0 data table, otherwise time series
  int32_t Lag = 1;                   // lag of the time-series ordering
};

// The shared pseudo-random generator: seed := seed * 134775813 + 1 (mod 2^32).
struct TRandom {
  uint32_t Seed = 0;
  uint32_t Next(uint32_t n);  // 0 .. n - 1
};

// The program-wide generator: seed 0 at program start, continued by every run.
TRandom& SharedRandom();

enum class RunOutcome {
  Complete,          // the whole report was written
  DataError,         // the report ends with a message about the data or the parameters
  Cancelled,         // stopped on request; the report file is as it was before the run
  ReportNotCreated,  // the report file could not be created; nothing was written
  ReportNotWritten,  // writing or closing the report failed part way
};

}  // namespace tarmel
