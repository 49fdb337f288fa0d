// The partition of a feature search: accepting it, keeping the best one, crediting the
// features it split on, and linking the best one into the tree (rebuilt first when the
// vertex is at the depth limit).
#include "search_stats.h"
#include "search_steps.h"

namespace tarmel::search {
namespace {

// A group judged as a single leaf needs MinNodeSize objects (of its largest class, in
// classification); a group whose subtree was split is exempt. A leaf holds its group's
// statistics.
bool HasSmallLeafGroup(TFeatureSearch& s) {
  if (s.V.AtLimit) return s.SmallLeaves > 0;
  for (int32_t k = 1; k != 0; k = s.B.NextLive[k]) {
    if (s.TreeOf(k).Top.FirstBranch != nullptr) continue;
    if (IsSmallLeaf(s.V.rc, s.Groups[k].Stats)) return true;
  }
  return false;
}

// The standing groups' subtrees and value sets become the best partition; the previous
// best partition's subtrees are freed unless the current partition still holds them.
void KeepAsBest(TFeatureSearch& s) {
  TTreeStore& store = s.B.Store;
  for (const TBestGroup& best : s.B.BestGroups) store.Release(best.Tree, TTreeStore::InBest);
  s.B.BestGroups.clear();
  s.B.BestCodes.clear();
  for (int32_t k = 1; k != 0; k = s.B.NextLive[k]) {
    const TGroup& group = s.Groups[k];
    store.Hold(group.Tree, TTreeStore::InBest);
    s.B.BestGroups.push_back(
        {group.Tree, static_cast<int32_t>(s.B.BestCodes.size()), group.CodeCount});
    for (int32_t c = group.FirstCode; c != 0; c = s.B.NextCode[c]) {
      s.B.BestCodes.push_back(s.B.CodeValue[c]);
    }
  }
}

// The vertex's split feature and those of every split vertex below it; leaves count nothing.
void CreditSplitVertices(RunContext& rc, const TVertex& vertex, double quality) {
  if (vertex.FirstBranch == nullptr) return;
  CreditFeature(rc, vertex.SplitFeature, quality);
  for (const TBranch* branch = vertex.FirstBranch; branch != nullptr; branch = branch->Next) {
    CreditSplitVertices(rc, *branch->Child, quality);
  }
}

// The branch that leads to a group of the best partition; its subtree passes to the branch.
PBranch LinkedBranch(TFeatureSearch& s, const TBestGroup& group) {
  TGroupTree& tree = s.B.Store.Trees[group.Tree];
  PBranch branch = NewBranch();
  branch->Kind = static_cast<uint8_t>(s.V.rc.FeatureType[s.G]);
  if (!s.Nominal) {
    branch->Low = tree.Low;
    branch->High = tree.High;
  }
  branch->CategoryCount = group.CodeCount;
  for (int32_t c = 0; c < group.CodeCount; ++c) {
    branch->Categories[c + 1] = s.B.BestCodes[static_cast<size_t>(group.FirstCode + c)];
  }
  *branch->Child = tree.Top;
  tree.Top.FirstBranch = nullptr;
  return branch;
}

}  // namespace

bool PassesSizeCheck(TFeatureSearch& s) {
  if (s.SizeChecked) return true;
  if (HasSmallLeafGroup(s)) return false;
  s.SizeChecked = true;
  return true;
}

void ApplyAcceptance(TFeatureSearch& s, double quality) {
  if (!PassesSizeCheck(s)) return;
  // Ties go to the later partition, which has fewer groups.
  if (quality > s.Best) return;
  s.Best = quality;
  s.BestTotals = s.Totals;
  if (s.V.AtLimit) s.BestStep = s.B.Merges.size();
  else KeepAsBest(s);
}

void CreditFeature(RunContext& rc, int32_t f, double quality) {
  TSearchScratch& scratch = ScratchOf(rc);
  if (scratch.CreditsMade != nullptr) scratch.CreditsMade->emplace_back(f, quality);
  if (scratch.CreditLog != nullptr) {
    TCreditLog& log = *scratch.CreditLog;
    log.Entries.emplace_back(f, quality);
    if (log.Entries.size() % CreditChunk == 0 && log.Grown) log.Grown();
    return;
  }
  AddCredit(rc, f, quality);
}

void AddCredit(RunContext& rc, int32_t f, double quality) {
  if (rc.FeatureScore[f] == Infinity) rc.FeatureScore[f] = 0;
  rc.FeatureHits[f] += 1;
  rc.FeatureScore[f] += quality;
}

void AccumulateFeatureScores(RunContext& rc, TFeatureSearch& s, double leafQuality) {
  if (s.Best == Infinity) {
    CreditFeature(rc, s.G, leafQuality);
    return;
  }
  CreditFeature(rc, s.G, s.Best);
  for (const TBestGroup& group : s.B.BestGroups) {
    CreditSplitVertices(rc, s.B.Store.Trees[group.Tree].Top, s.Best);
  }
}

void LinkBestPartition(TFeatureSearch& s, TVertex& v, TGrowResult& result) {
  result.Quality = s.Best;
  result.Leaves = s.BestTotals.Leaves;
  result.Misclassified = s.BestTotals.Misclassified;
  result.Variance = s.BestTotals.Variance;
  FreeBranches(v.FirstBranch);
  PBranch* tail = &v.FirstBranch;
  for (const TBestGroup& group : s.B.BestGroups) {
    *tail = LinkedBranch(s, group);
    tail = &(*tail)->Next;
  }
  v.SplitFeature = s.G;
}

void RebuildBestPartition(TFeatureSearch& s) {
  s.Spread = true;
  s.Chains = true;
  s.LeafRows = false;
  CollectKnown(s);  // as the search formed them
  FormGroups(s);
  for (size_t step = 0; step < s.BestStep; ++step) {
    const auto [a, b] = s.B.Merges[step];
    TGroup& ga = s.Groups[a];
    const TGroup& gb = s.Groups[b];
    ga.Merged = true;
    ga.BothHeld = ga.Stats.Count > 0 && gb.Stats.Count > 0;
    TStats pooled;
    Pool(s.V.rc, ga.Stats, gb.Stats, pooled);
    ga.Stats = pooled;
    JoinGroups(s, a, b);
  }
  for (int32_t k = 1; k != 0; k = s.B.NextLive[k]) {
    TGroup& group = s.Groups[k];
    s.V.Available[s.G] = group.Merged;
    group.Tree = s.B.Store.Add(BuildGroupBranch(s, k, k, group.Stats, group.BothHeld));
  }
  s.V.Available[s.G] = true;
  KeepAsBest(s);
}

}  // namespace tarmel::search
