// Growing a tree by leaf expansion. A first tree over all active objects is grafted into
// the node pool; then, again and again, the open leaf with the largest weighted error is
// regrown over the objects whose path reaches it and the regrown tree takes its place. A
// leaf that cannot be improved is closed (SplitFeature -1) and never chosen again.
#include "leaf_expansion.h"

#include <string>
#include <vector>

#include "run_progress.h"
#include "staged_lookahead.h"
#include "tree_apply.h"

namespace tarmel {
namespace {

constexpr double NoLeafScore = -100000.0;  // a leaf must score above this to be expanded

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
  CopyVertexFields(*destination, *source);
  PBranch* link = &destination->FirstBranch;
  for (PBranch s = source->FirstBranch; s != nullptr; s = s->Next) {
    PBranch d = pool.Branch(++pool.BranchesUsed);
    *link = d;
    link = &d->Next;
    CopyBranchFields(*d, *s);
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

}  // namespace tarmel
