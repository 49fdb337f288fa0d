// The share of the run done counts finished trees: every variant is one share of the run,
// split evenly between its own tree and its folds' trees.
#include "run_progress.h"

#include <algorithm>
#include <cmath>

#include "run_context.h"

namespace tarmel {
namespace {

double FractionDone(const TRunTracker& t) {
  const RunProgress& p = t.Now;
  if (p.Variants <= 0 || p.Variant <= 0) return 0.0;
  const double trees = (t.TreeDone ? 1.0 : 0.0) + p.FoldsDone;
  const double inVariant = trees / (1.0 + p.Folds);
  return std::min(1.0, (p.Variant - 1 + inVariant) / p.Variants);
}

// Changes the tracker's progress under its lock and tells the observer.
template <typename Change>
void Update(RunContext& rc, Change change) {
  TRunTracker* t = rc.Tracker;
  if (t == nullptr) return;
  std::lock_guard<std::mutex> hold(t->Lock);
  change(*t);
  t->Now.Fraction = t->Now.Phase == RunPhase::Finished ? t->Now.Fraction : FractionDone(*t);
  if (t->Observer != nullptr) t->Observer->OnProgress(t->Now);
}

}  // namespace

void ShowVariantStart(RunContext& rc, int32_t variant, int32_t variants, int32_t folds) {
  Update(rc, [&](TRunTracker& t) {
    t.Now.Phase = RunPhase::Growing;
    t.Now.Variant = variant;
    t.Now.Variants = variants;
    t.Now.Folds = folds;
    t.Now.FoldsDone = 0;
    t.Now.LeavesGrown = 0;
    t.TreeDone = false;
  });
}

void ShowVariantTreeGrown(RunContext& rc) {
  Update(rc, [](TRunTracker& t) { t.TreeDone = true; });
}

void ShowFoldsStart(RunContext& rc, int32_t foldsSkipped) {
  Update(rc, [&](TRunTracker& t) {
    t.Now.Phase = RunPhase::CrossValidating;
    t.Now.FoldsDone = std::clamp(foldsSkipped, 0, t.Now.Folds);
    t.Now.LeavesGrown = 0;
  });
}

void ShowFoldDone(RunContext& rc) {
  Update(rc, [](TRunTracker& t) { t.Now.FoldsDone = std::min(t.Now.FoldsDone + 1, t.Now.Folds); });
}

void ShowLeaves(RunContext& rc, double total) {
  if (!rc.ShowsLeaves) return;
  const double leaves = std::clamp(std::trunc(total), 0.0, 2147483647.0);
  Update(rc, [&](TRunTracker& t) { t.Now.LeavesGrown = static_cast<int32_t>(leaves); });
}

void ShowPhase(RunContext& rc, RunPhase phase) {
  Update(rc, [&](TRunTracker& t) {
    t.Now.Phase = phase;
    if (phase == RunPhase::Finished) t.Now.Fraction = 1.0;
  });
}

}  // namespace tarmel
