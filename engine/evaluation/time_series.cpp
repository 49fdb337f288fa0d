// Growing the time-series tree. The series read from the file give, for every candidate,
// a lagged table: one series at every shift up to the lag, or every series at one shift.
// A tree is grown by leaf expansion on each candidate table and the best one is grafted
// into the time-series pool in place of the current leaf; then the leaf with the largest
// weighted error is chosen over the time points that reach it, until no leaf is left or
// the tree has as many leaves as there are time points. The file's own tables are set
// aside meanwhile and come back when the growth ends.
#include "time_series.h"

#include <vector>

#include "leaf_expansion.h"
#include "read_phase.h"
#include "tree_apply.h"

namespace tarmel {

namespace {

// The time points t = 1 .. T - Lag that meet path[1..depth] in the series table and whose
// target, at time Lag + t, is known; the k-th of them becomes object k of the candidate
// tables, with that target.
std::vector<int32_t> SelectTimePoints(RunContext& rc, const TFileLayout& file,
                                      const TRulePath& path, int32_t depth) {
  std::vector<int32_t> times;
  const int32_t lag = rc.Params->Lag;
  if (lag < 1) return times;  // no earlier time to predict from
  for (int32_t t = 1; t <= rc.SeriesObjectsNumber - lag; ++t) {
    if (file.ObjectActive[lag + t] && RuleHolds(rc, path, depth, t, true)) times.push_back(t);
  }
  const size_t n = times.size();
  rc.ObjectActive.assign(n + 1, 1);
  rc.TargetValue.assign(n + 1, 0.0);
  rc.ClassLabel.assign(n + 1, 0);
  for (size_t k = 1; k <= n; ++k) {
    rc.TargetValue[k] = file.TargetValue[lag + times[k - 1]];
    rc.ClassLabel[k] = file.ClassLabel[lag + times[k - 1]];
  }
  return times;
}

// Candidate c up to the series count S: feature f is series c at time t + f - 1 (Lag
// features); beyond S: feature f is series f at time (c - S) + t - 1 (S features). Fills
// the candidate table into rc; false when the candidate is not to be grown.
bool BuildCandidate(RunContext& rc, const TFileLayout& file, const std::vector<int32_t>& times,
                    int32_t c) {
  const int32_t series = rc.SeriesFeaturesNumber;
  const bool oneSeries = c <= series;
  const int32_t features = oneSeries ? rc.Params->Lag : series;
  if (oneSeries && (!file.ActivePredictors[c] || features > MaxFeatures)) return false;
  const auto n = static_cast<int32_t>(times.size());
  rc.ObjectsNumber = n;
  rc.FeaturesNumber = features;
  rc.DataTable = TTable(features, n);
  rc.ActivePredictors.fill(false);
  for (int32_t f = 1; f <= features; ++f) {
    const int32_t source = oneSeries ? c : f;
    const int32_t shift = oneSeries ? f : c - series;
    rc.FeatureType[f] = file.FeatureType[source];
    rc.ValuesNumber[f] = file.ValuesNumber[source];
    rc.ValueTable[f] = file.ValueTable[source];
    rc.FeatureCost[f] = file.FeatureCost[source];
    rc.ActivePredictors[f] = file.ActivePredictors[source];
    for (int32_t k = 1; k <= n; ++k) {
      rc.DataTable.At(f, k) = rc.SeriesTable.At(source, times[k - 1] + shift - 1);
    }
  }
  return true;
}

void MarkCandidate(TVertex& vertex, int32_t candidate) {
  vertex.SeriesCandidate = candidate;
  for (PBranch b = vertex.FirstBranch; b != nullptr; b = b->Next) {
    MarkCandidate(*b->Child, candidate);
  }
}

struct TKeptCandidate {
  OwnedTree Tree;  // heap copy of the candidate's pooled tree
  int32_t Leaves = 1;
};

// Grows a tree on every candidate table and keeps the one whose first tree has the lowest
// quality; its vertices remember the candidate, so their paths read the right times.
TKeptCandidate BestCandidate(RunContext& rc, const TFileLayout& file,
                             const std::vector<int32_t>& times) {
  TKeptCandidate kept;
  if (times.empty()) return kept;
  double best = Infinity;
  int32_t bestCandidate = 0;
  const int32_t candidates = rc.SeriesFeaturesNumber + rc.Params->Lag;
  for (int32_t c = 1; c <= candidates && !CancelRequested(rc); ++c) {
    if (!BuildCandidate(rc, file, times, c)) continue;
    const double quality = GrowTree(rc);
    // Strictly lower: on equal qualities the earlier candidate stays.
    if (quality < best) {
      best = quality;
      bestCandidate = c;
      PVertex root = rc.Pool.Root();
      kept.Tree.reset(new TVertex);
      CopyVertexFields(*kept.Tree, *root);
      CopyBranches(kept.Tree->FirstBranch, root->FirstBranch);
      kept.Leaves = rc.LeavesNumber;
    }
  }
  if (kept.Tree) MarkCandidate(*kept.Tree, bestCandidate);
  return kept;
}

}  // namespace

void GrowTimeSeries(RunContext& rc) {
  TFileLayout file;
  SwapLayout(rc, file);
  rc.SeriesPool.Reset();
  PVertex root = rc.SeriesPool.Root();
  *root = TVertex{};
  rc.SeriesLeavesNumber = 1;
  TRulePath path;
  int32_t depth = 0;
  PVertex current = root;
  while (rc.SeriesLeavesNumber <= rc.SeriesObjectsNumber && !CancelRequested(rc)) {
    const std::vector<int32_t> times = SelectTimePoints(rc, file, path, depth);
    const TKeptCandidate kept = BestCandidate(rc, file, times);
    if (kept.Tree) {
      rc.SeriesLeavesNumber += kept.Leaves - 1;
      GraftTree(rc.SeriesPool, kept.Tree.get(), current);
    }
    if (current->FirstBranch == nullptr) current->SplitFeature = ClosedLeaf;
    const TLeafChoice choice = FindLeafToExpand(rc, root, path);
    if (!choice.Found) break;
    depth = choice.Depth;
    current = path[depth].Branch->Child;
  }
  SwapLayout(rc, file);
}

}  // namespace tarmel
