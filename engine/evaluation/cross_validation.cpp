// Cross-validation of one variant. The objects are drawn into folds afresh; one tree per
// fold grows over the other folds' objects and is tested on the fold, and the fold errors
// are weighed by the folds' shares of the objects. The result is the variant's error,
// which later becomes its voting weight.
#include "cross_validation.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <memory>
#include <thread>
#include <vector>

#include "leaf_expansion.h"
#include "prediction.h"
#include "run_progress.h"
#include "run_result.h"

namespace tarmel {
namespace {

// Standard deviation of the training targets (the active objects of the fold); 0 when
// there is one of them or they are all equal, up to rounding.
double TrainDeviation(const RunContext& rc) {
  int32_t n = 0;
  double sum = 0.0;
  double sumSquares = 0.0;
  for (int32_t i = 1; i <= rc.ObjectsNumber; ++i) {
    if (!rc.ObjectActive[i]) continue;
    ++n;
    sum += rc.TargetValue[i];
    sumSquares += rc.TargetValue[i] * rc.TargetValue[i];
  }
  if (n <= 1) return 0.0;
  const double mean = sum / n;
  const double ss = sumSquares - n * (mean * mean);
  if (ss <= 0.0) return 0.0;
  return std::sqrt(ss / (n - 1));
}

void BuildTestTable(RunContext& rc, const std::vector<uint8_t>& saved, int32_t fold,
                    int32_t testCount) {
  rc.TestTable = TTable(rc.FeaturesNumber, testCount);
  int32_t row = 0;
  for (int32_t i = 1; i <= rc.ObjectsNumber; ++i) {
    if (rc.FoldOf[i] != fold || !saved[i]) continue;
    ++row;
    for (int32_t f = 1; f <= rc.FeaturesNumber; ++f) rc.TestTable.At(f, row) = rc.DataTable.At(f, i);
  }
}

struct TFoldResult {
  double Error = 0.0;    // the fold's weighted error
  bool Grown = false;    // a tree was grown (the fold had training objects)
  TConfusion Confusion;  // classification: the fold's test objects by true and predicted class
};

// Grows the fold's tree over the other folds' objects and returns the fold's weighted
// error on its own objects. rc.ObjectActive is left narrowed to the training objects.
TFoldResult FoldError(RunContext& rc, const std::vector<uint8_t>& saved, int32_t fold) {
  int32_t testCount = 0;
  int32_t trainCount = 0;
  for (int32_t i = 1; i <= rc.ObjectsNumber; ++i) {
    if (rc.FoldOf[i] == fold) {
      rc.ObjectActive[i] = 0;
      if (saved[i]) ++testCount;
    } else if (saved[i]) {
      ++trainCount;
    }
  }
  TFoldResult result;
  if (trainCount == 0) return result;  // nothing to grow over: the fold is skipped
  const double deviation = rc.IsRegression ? TrainDeviation(rc) : 0.0;
  GrowTree(rc);
  result.Grown = true;
  if (testCount == 0) return result;
  BuildTestTable(rc, saved, fold, testCount);
  double error =
      EvaluateTree(rc, rc.Pool.Root(), rc.TestTable, testCount, false, &result.Confusion);
  rc.TestTable.Release();
  // A deviation of 0 (one training object, or all targets equal) keeps the error undivided.
  if (rc.IsRegression && deviation > 0.0) error = error / deviation;
  result.Error = error * testCount / (testCount + trainCount);
  return result;
}

// The folds worth growing a tree for, in increasing order: those holding a test object,
// and the last fold, whose tree is the one the variant loop looks at afterwards. Any
// other fold would grow, over every active object, a tree that contributes nothing and
// is replaced at once, so huge fold counts cost no more than the objects do.
std::vector<int32_t> FoldsToGrow(const RunContext& rc, const std::vector<uint8_t>& saved,
                                 int32_t folds) {
  std::vector<int32_t> list{folds};
  for (int32_t i = 1; i <= rc.ObjectsNumber; ++i) {
    if (saved[i]) list.push_back(rc.FoldOf[i]);
  }
  std::sort(list.begin(), list.end());
  list.erase(std::unique(list.begin(), list.end()), list.end());
  return list;
}

// The fold trees are independent of each other, so they grow on copies of the run state,
// one per processor core; each copy takes the next fold still to grow. The results are
// the same as one fold after the other, whatever the number of cores.
struct TFoldRun {
  std::vector<TFoldResult> Results;                  // per fold of the list
  std::vector<size_t> GrownBy;                       // per fold: the copy that grew it
  std::vector<std::unique_ptr<RunContext>> Copies;   // the copies of the run state
};

std::unique_ptr<RunContext> GrowthCopy(const RunContext& rc, bool showLeaves) {
  auto copy = std::make_unique<RunContext>(rc);  // the report does not follow the copy
  copy->Pool.Allocate(rc.NodePoolSize);
  copy->ShowsLeaves = showLeaves;
  copy->Result = nullptr;
  return copy;
}

void GrowFoldsOnCopy(const std::vector<uint8_t>& saved,
                     const std::vector<int32_t>& list, std::atomic<size_t>& next,
                     TFoldRun& run, size_t copy) {
  RunContext& ctx = *run.Copies[copy];
  const size_t workers = run.Copies.size();
  for (size_t k = next++; k < list.size() && !CancelRequested(ctx); k = next++) {
    // With several folds growing at once the cores are taken, so a fold's searches stay on
    // its own thread; only the last fold, which would leave the other cores idle once their
    // folds are done, searches on all of them, as a tree grown alone does.
    if (workers > 1) ctx.Threads = k + 1 == list.size() ? static_cast<int32_t>(workers) : 1;
    run.Results[k] = FoldError(ctx, saved, list[k]);
    run.GrownBy[k] = copy;
    ctx.ObjectActive = saved;
    ShowFoldDone(ctx);
  }
}

TFoldRun GrowFolds(RunContext& rc, const std::vector<uint8_t>& saved,
                   const std::vector<int32_t>& list) {
  TFoldRun run;
  run.Results.resize(list.size());
  run.GrownBy.resize(list.size());
  const auto threads = static_cast<size_t>(ThreadsOf(rc));
  const size_t workers = std::min(threads, list.size());
  for (size_t w = 0; w < workers; ++w) run.Copies.push_back(GrowthCopy(rc, w == 0));
  std::atomic<size_t> next{0};
  std::vector<std::thread> helpers;
  for (size_t w = 1; w < workers; ++w) {
    helpers.emplace_back(GrowFoldsOnCopy, std::cref(saved), std::cref(list), std::ref(next),
                         std::ref(run), w);
  }
  if (workers > 0) GrowFoldsOnCopy(saved, list, next, run, 0);
  for (std::thread& t : helpers) t.join();
  return run;
}

// The tree of the last fold that grew one becomes the run's tree grown last, as after
// growing the folds one by one; without any, the variant's own tree stays.
void AdoptLastFoldTree(RunContext& rc, TFoldRun& run) {
  for (size_t k = run.Results.size(); k-- > 0;) {
    if (!run.Results[k].Grown) continue;
    RunContext& grower = *run.Copies[run.GrownBy[k]];
    std::swap(rc.Pool, grower.Pool);
    rc.LeavesNumber = grower.LeavesNumber;
    return;
  }
}

void WriteCrossValidationLine(RunContext& rc, int32_t folds, double error) {
  rc.Out.LineEnd();
  rc.Out.Int(folds, 3);
  rc.Out.Text("-fold ");
  if (rc.IsRegression) rc.Out.Text(" relative ");
  rc.Out.Text("crossvalidate error ");
  rc.Out.Real(error, 5, 3);
  rc.Out.LineEnd();
}

TConfusion SumOfConfusions(const TFoldRun& run) {
  TConfusion sum;
  for (const TFoldResult& result : run.Results) {
    if (sum.empty()) sum.resize(result.Confusion.size());
    for (size_t t = 0; t < result.Confusion.size() && t < sum.size(); ++t) {
      std::vector<int32_t>& row = sum[t];
      row.resize(result.Confusion[t].size(), 0);
      for (size_t p = 0; p < row.size(); ++p) row[p] += result.Confusion[t][p];
    }
  }
  return sum;
}

}  // namespace

void DrawFolds(RunContext& rc) {
  const auto folds = static_cast<uint32_t>(std::max(rc.Params->FoldsCrossValidate, 1));
  rc.FoldOf.resize(static_cast<size_t>(rc.ObjectsNumber) + 1);
  for (int32_t i = 1; i <= rc.ObjectsNumber; ++i) {
    rc.FoldOf[i] = static_cast<int32_t>(rc.Random->Next(folds)) + 1;
  }
}

void CrossValidate(RunContext& rc) {
  const int32_t folds = rc.Params->FoldsCrossValidate;
  const std::vector<uint8_t> saved = rc.ObjectActive;
  DrawFolds(rc);
  const std::vector<int32_t> list = FoldsToGrow(rc, saved, folds);
  ShowFoldsStart(rc, folds - static_cast<int32_t>(list.size()));
  TFoldRun run = GrowFolds(rc, saved, list);
  if (CancelRequested(rc)) return;
  double error = 0.0;
  // Summed in fold order, as if the folds had been grown one after the other.
  for (const TFoldResult& result : run.Results) error += result.Error;
  AdoptLastFoldTree(rc, run);
  WriteCrossValidationLine(rc, folds, error);
  rc.Competence[static_cast<size_t>(rc.TreesNumber)] = error;
  if (KeepsTrees(rc)) KeepCrossValidation(rc, error, SumOfConfusions(run));
}

}  // namespace tarmel
