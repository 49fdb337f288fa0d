// The variant loop. Every variant after the first is grown without the root features of
// the trees grown before it; the first variant's tree, and a later one whose tree splits
// its root, is kept: it predicts the prediction block, fills a column of the vote table
// and goes into the run's result as records. Each variant is then cross-validated.
#include "variant_loop.h"

#include <algorithm>

#include "cross_validation.h"
#include "leaf_expansion.h"
#include "prediction.h"
#include "rule_report.h"
#include "run_progress.h"
#include "run_result.h"
#include "time_series.h"

namespace tarmel {
namespace {

bool IsTimeSeries(const RunContext& rc) { return rc.Params->Ordering != 0; }

PVertex CurrentRoot(RunContext& rc) {
  return IsTimeSeries(rc) ? rc.SeriesPool.Root() : rc.Pool.Root();
}

// Grows and reports the variant's tree; its records go to record when the run keeps them.
void GrowAndReport(RunContext& rc, TKeptTree* record) {
  if (IsTimeSeries(rc)) {
    GrowTimeSeries(rc);
    ReportTree(rc, rc.SeriesPool.Root(), true, rc.SeriesLeavesNumber, record);
  } else {
    GrowTree(rc);
    ReportTree(rc, rc.Pool.Root(), false, rc.LeavesNumber, record);
  }
}

// The variant's tree, grown and reported; false when the run was given up meanwhile. The
// first variant's tree is always kept, a later one only when its root is split.
bool GrowVariantTree(RunContext& rc) {
  TKeptTree record;
  GrowAndReport(rc, KeepsTrees(rc) ? &record : nullptr);
  if (CancelRequested(rc)) return false;
  ShowVariantTreeGrown(rc);
  const bool kept = rc.VariantNo == 1 || CurrentRoot(rc)->FirstBranch != nullptr;
  if (kept) KeepTree(rc, std::move(record));
  return true;
}

// The prediction section of the tree just grown; the time-series tree does not read the
// prediction block's layout, so it predicts nothing.
void PredictBlock(RunContext& rc) {
  if (rc.PredictObjectsNumber <= 0 || IsTimeSeries(rc)) return;
  EvaluateTree(rc, rc.Pool.Root(), rc.PredictTable, rc.PredictObjectsNumber, true);
}

// The folds the variant's cross-validation will grow: the first variant needs two folds,
// later ones three; time-series trees are not cross-validated.
int32_t FoldsOfVariant(const RunContext& rc, int32_t variant) {
  const int32_t folds = rc.Params->FoldsCrossValidate;
  if (IsTimeSeries(rc) || folds <= (variant == 1 ? 1 : 2)) return 0;
  return folds;
}

// Takes the root feature of the tree grown last away from every later variant.
void ExcludeRootFeature(RunContext& rc, const TVertex& root) {
  const int32_t f = PathEntryFor(rc, root, root.FirstBranch).Feature;
  if (f >= 1 && f <= MaxFeatures) rc.ActivePredictors[f] = false;
}

}  // namespace

void RunVariants(RunContext& rc) {
  const int32_t variants = std::max(1, rc.Params->VariantsNumber);
  const auto shown = std::clamp<int32_t>(static_cast<int32_t>(rc.Competence.size()) - 1, 1,
                                         variants);
  rc.VariantNo = 1;
  rc.TreesNumber = 1;
  ShowVariantStart(rc, 1, shown, FoldsOfVariant(rc, 1));
  if (!GrowVariantTree(rc)) return;
  PredictBlock(rc);
  if (FoldsOfVariant(rc, 1) > 0) CrossValidate(rc);
  // Each variant takes one more feature away, so the loop ends long before a huge
  // variant count: once no feature splits the root there is nothing left to vary.
  for (int64_t v = 2; v <= variants && !CancelRequested(rc); ++v) {
    const PVertex last = CurrentRoot(rc);
    if (last->FirstBranch == nullptr) break;
    ExcludeRootFeature(rc, *last);
    rc.VariantNo = static_cast<int32_t>(v);
    ShowVariantStart(rc, rc.VariantNo, shown, FoldsOfVariant(rc, rc.VariantNo));
    if (!GrowVariantTree(rc)) return;
    if (CurrentRoot(rc)->FirstBranch != nullptr) {
      ++rc.TreesNumber;
      PredictBlock(rc);
    }
    // The error of a tree that was not kept replaces that of the last kept tree.
    if (FoldsOfVariant(rc, rc.VariantNo) > 0) CrossValidate(rc);
  }
}

}  // namespace tarmel
