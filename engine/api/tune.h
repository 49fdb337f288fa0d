// Tuning: the lookahead (RecursiveComplexity) and the node size (MinObj) that predict best,
// found by cross-validating the first variant over a grid of both, several times with
// different fold draws. The draws come from a generator of the tune's own, seeded the same
// every time, so a tune repeats its numbers and leaves the program's generator, and with it
// the next run's folds, as they were. A tune writes no report.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "run_request.h"

namespace tarmel {

// Where a tune stands: runs are one cell's cross-validation with one fold draw.
struct TuneProgress {
  int32_t RunsDone = 0;
  int32_t Runs = 0;
  double Fraction = 0.0;  // 0 .. 1, also counting the runs going on
  bool Finished = false;
};

// Called from the tune's threads, one call at a time; must not block for long.
class TuneObserver {
 public:
  virtual ~TuneObserver() = default;
  virtual void OnProgress(const TuneProgress& progress) = 0;
};

// The seed the tune's generator starts from unless the caller gives another.
constexpr uint32_t TuneSeed = 1;

struct TuneRequest {
  RunParameters Params;                 // the other parameters, kept in the proposed line
  std::string DataFileName;
  std::optional<std::string> DataText;  // when set, the data itself
  std::vector<double> RecursiveComplexities{1.0, 1.5, 2.0, 3.0};
  std::vector<double> MinObjs{0.01, 0.02, 0.05, 0.1};
  int32_t Repeats = 3;                  // fold draws per cell, 1 .. MaxTuneRepeats
  uint32_t Seed = TuneSeed;             // repeat r draws as the r-th of runs in a row
                                        // would, each continuing this generator
  // Cells above RecursiveComplexity 2 are left out when one run at 2 or below took longer
  // than this many seconds; 0 runs every cell.
  double DeepLimitSeconds = 5.0;
  TuneObserver* Observer = nullptr;
  int32_t Threads = 0;                  // 0 = one per core
  const CancelToken* Cancel = nullptr;
};

constexpr int32_t MaxTuneRepeats = 100;
constexpr double MaxTuneComplexity = 10.0;  // deeper lookahead would not finish

struct TuneCell {
  double RecursiveComplexity = 0.0;
  double MinObj = 0.0;
  std::vector<double> Errors;   // the cross-validation error of each repeat
  double Mean = 0.0;            // of Errors
  double Deviation = 0.0;       // sample standard deviation of Errors; 0 with one repeat
  double Leaves = 0.0;          // mean leaves of the tree grown over all objects
  double Seconds = 0.0;         // mean time of one run
};

struct TuneResult {
  RunOutcome Outcome = RunOutcome::Complete;  // ReportNotCreated and ReportNotWritten never
  std::string Message;          // what went wrong, for a person; empty when complete
  std::string Note;             // cells left out and why; empty when none were
  TaskKind Task = TaskKind::Neither;  // Regression: the errors are relative
  std::vector<TuneCell> Cells;  // RecursiveComplexity ascending, then MinObj ascending
  int32_t Best = -1;            // index of the lowest mean
  int32_t Proposed = -1;        // the simplest cell within one standard error of Best
  RunParameters Params;         // the request's parameters with the proposed cell's
};

// Best and Proposed among cells: the lowest mean (the first such), and within its mean
// plus its standard error (deviation / sqrt(repeats)) the lowest RecursiveComplexity,
// then the largest MinObj. -1 for both when no cell has errors.
struct TuneChoice {
  int32_t Best = -1;
  int32_t Proposed = -1;
};
TuneChoice ChooseCell(const std::vector<TuneCell>& cells);

// The request's parameters with the cell's RecursiveComplexity and MinObj.
RunParameters ParamsOfCell(const RunParameters& params, const TuneCell& cell);

// The whole tune. Never throws; every outcome is in the result.
TuneResult Tune(const TuneRequest& request);

}  // namespace tarmel
