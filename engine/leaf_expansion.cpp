// Growing a tree by leaf expansion. A first tree over all active objects is grafted into
// the node pool; then, again and again, the open leaf with the largest weighted error is
// regrown over the objects whose path reaches it and the regrown tree takes its place. A
// leaf that cannot be improved is closed (SplitFeature -1) and never chosen again.
// The time-series growth drives the same machinery over lagged candidate tables built
// from the series: the best candidate's tree is grafted into the second pool, leaf by leaf.
#include "leaf_expansion.h"

#include <string>
#include <utility>
#include <vector>

#include "run_progress.h"
#include "staged_lookahead.h"
#include "tree_apply.h"

namespace tarmel {
namespace {

constexpr double NoLeafScore = -100000.0;  // a leaf must score above this to be expanded
constexpr int32_t ClosedLeaf = -1;

// Fills rc.ObjectOrder[1..n] with the active objects that meet path[1..depth]; n.
int32_t CollectObjects(RunContext& rc, const TRulePath& path, int32_t depth) {
  rc.ObjectOrder.assign(static_cast<size_t>(rc.ObjectsNumber) + 1, 0);
  int32_t n = 0;
  for (int32_t i = 1; i <= rc.ObjectsNumber; ++i) {
    if (rc.ObjectActive[i] && RuleHolds(rc, path, depth, i, false)) rc.ObjectOrder[++n] = i;
  }
  return n;
}

std::span<const int32_t> ObjectList(const RunContext& rc, int32_t n) {
  return {rc.ObjectOrder.data() + 1, static_cast<size_t>(n)};
}

// Regrows the chosen leaf over its objects and grafts the result, or closes the leaf when
// the regrown tree is a single vertex or would pass the leaf limit.
void ExpandLeaf(RunContext& rc, const TLeafChoice& choice, double& total) {
  PVertex leaf = rc.RulePath[choice.Depth].Branch->Child;
  const int32_t prevFeature = rc.RulePath[choice.Depth].Feature;
  const int32_t n = CollectObjects(rc, rc.RulePath, choice.Depth);
  if (n == 0) {  // nothing to regrow over: the leaf cannot be improved
    leaf->SplitFeature = ClosedLeaf;
    return;
  }
  TSubtree sub = GrowSubtree(rc, ObjectList(rc, n), rc.ActivePredictors, 0, prevFeature);
  total += sub.Leaves;
  ShowLeaves(rc, total);
  if (sub.Tree && rc.LeavesNumber + sub.Leaves - 1 < rc.ObjectsNumber) {
    rc.LeavesNumber += sub.Leaves - 1;
    GraftTree(rc.Pool, sub.Tree.get(), leaf);
  }
  if (leaf->FirstBranch == nullptr) leaf->SplitFeature = ClosedLeaf;
}

// What a search below one vertex found: the leaf with the largest weighted error.
struct TLeafScore {
  bool Found = false;
  double Score = NoLeafScore;
  double Variance = 0.0;
  int32_t Misclassified = 0;
  int32_t Depth = 0;
};

TLeafScore SearchBelow(const RunContext& rc, const TVertex& vertex, TRulePath& path,
                       int32_t depth);

// The candidate a branch's child offers: the best leaf below it, or the child itself when
// it is an open leaf that no rule has closed.
TLeafScore CandidateAt(const RunContext& rc, const TVertex& child, TRulePath& path,
                       int32_t depth) {
  if (child.FirstBranch != nullptr) return SearchBelow(rc, child, path, depth + 1);
  TLeafScore leaf;
  if (child.SplitFeature == ClosedLeaf || child.Terminal) return leaf;
  MajorityClass(rc, child.ClassCounts, leaf.Misclassified);
  leaf.Variance = child.Variance;
  leaf.Depth = depth;
  leaf.Score = rc.RegressionWeight * leaf.Variance +
               rc.ClassificationWeight * leaf.Misclassified;
  leaf.Found = true;
  return leaf;
}

// Depth-first over the vertex's branches in order; path[depth..] ends up leading to the
// leaf found, although later branches wrote their own steps while being searched.
TLeafScore SearchBelow(const RunContext& rc, const TVertex& vertex, TRulePath& path,
                       int32_t depth) {
  TLeafScore best;
  std::vector<TPathEntry> bestSteps;
  for (PBranch b = vertex.FirstBranch; b != nullptr; b = b->Next) {
    path[depth] = PathEntryFor(rc, vertex, b);
    const TLeafScore candidate = CandidateAt(rc, *b->Child, path, depth);
    // Strictly greater: on equal scores the leaf met first in depth-first order wins.
    if (candidate.Found && candidate.Score > best.Score) {
      best = candidate;
      bestSteps.assign(path.Entries.begin() + depth, path.Entries.begin() + best.Depth + 1);
    }
  }
  for (size_t k = 0; k < bestSteps.size(); ++k) {
    path[depth + static_cast<int32_t>(k)] = bestSteps[k];
  }
  return best;
}

}  // namespace

TPathEntry PathEntryFor(const RunContext& rc, const TVertex& vertex, PBranch branch) {
  const int32_t candidate = vertex.SeriesCandidate;
  const int32_t series = rc.SeriesFeaturesNumber;
  if (candidate == 0) return {branch, vertex.SplitFeature, 0};
  // A candidate beyond the series holds every series at one shift; one up to the series
  // count holds one series at every shift, the split feature being the shift.
  if (candidate > series) return {branch, vertex.SplitFeature, candidate - series};
  return {branch, candidate, vertex.SplitFeature};
}

TLeafChoice FindLeafToExpand(const RunContext& rc, PVertex root, TRulePath& path) {
  const TLeafScore best = SearchBelow(rc, *root, path, 1);
  TLeafChoice choice;
  if (!best.Found) return choice;
  choice.Found = true;
  choice.Depth = best.Depth;
  choice.Variance = best.Variance;
  choice.Misclassified = best.Misclassified;
  return choice;
}

void GraftTree(NodePool& pool, const TVertex* source, PVertex destination) {
  ++pool.VerticesUsed;
  destination->SplitFeature = source->SplitFeature;
  destination->ClassCounts = source->ClassCounts;
  destination->ObjCount = source->ObjCount;
  destination->Variance = source->Variance;
  destination->Mean = source->Mean;
  destination->Terminal = source->Terminal;
  destination->SeriesCandidate = source->SeriesCandidate;
  PBranch* link = &destination->FirstBranch;
  for (PBranch s = source->FirstBranch; s != nullptr; s = s->Next) {
    PBranch d = pool.Branch(++pool.BranchesUsed);
    *link = d;
    link = &d->Next;
    d->Kind = s->Kind;
    d->Low = s->Low;
    d->High = s->High;
    d->CategoryCount = s->CategoryCount;
    d->Categories = s->Categories;
    d->Child = pool.Vertex(pool.VerticesUsed + 1);
    GraftTree(pool, s->Child, d->Child);
  }
  *link = nullptr;
}

double GrowTree(RunContext& rc) {
  rc.Pool.Reset();
  PVertex root = rc.Pool.Root();
  const int32_t n = CollectObjects(rc, rc.RulePath, 0);
  if (n == 0) {  // no object to grow over: an empty root that no expansion can touch
    *root = TVertex{};
    rc.LeavesNumber = 1;
    return Infinity;
  }
  TSubtree first = GrowSubtree(rc, ObjectList(rc, n), rc.ActivePredictors, 0, 0);
  rc.LeavesNumber = first.Leaves;
  GraftTree(rc.Pool, first.Tree.get(), root);
  double total = first.Leaves;
  ShowLeaves(rc, total);
  while (rc.LeavesNumber < rc.ObjectsNumber && !CancelRequested(rc)) {
    const TLeafChoice choice = FindLeafToExpand(rc, root, rc.RulePath);
    if (!choice.Found) break;
    ExpandLeaf(rc, choice, total);
  }
  return first.Quality;
}

namespace {

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

void SwapLayout(RunContext& rc, TFileLayout& layout) {
  std::swap(rc.ObjectsNumber, layout.ObjectsNumber);
  std::swap(rc.FeaturesNumber, layout.FeaturesNumber);
  std::swap(rc.FeatureType, layout.FeatureType);
  std::swap(rc.ValuesNumber, layout.ValuesNumber);
  std::swap(rc.ValueTable, layout.ValueTable);
  std::swap(rc.FeatureCost, layout.FeatureCost);
  std::swap(rc.ActivePredictors, layout.ActivePredictors);
  std::swap(rc.DataTable, layout.DataTable);
  std::swap(rc.ObjectActive, layout.ObjectActive);
  std::swap(rc.TargetValue, layout.TargetValue);
  std::swap(rc.ClassLabel, layout.ClassLabel);
}

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
      kept.Tree.reset(new TVertex(*root));
      kept.Tree->FirstBranch = nullptr;
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
