// Pairs of groups and the merge loop. At the depth limit, where every group is a leaf, the
// best pair is mostly found by its misclassified change or variance drop alone, without
// rating every pair.
#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "search_stats.h"
#include "search_steps.h"

namespace tarmel::search {
namespace {

// Marks the slot free; its subtree, if any, is the caller's.
void FreeSlot(TFeatureSearch& s, int32_t slot) {
  s.Pairs[slot].Free();
  if (s.Indexed) s.B.Changes.Free(slot);
  if (s.KeyRow) s.B.KeyRow.Free(slot);
}

// The union of groups a and b as one leaf at the depth limit. Without the target's spread
// every variance is 0, and so is the drop.
void RateUnionLeaf(TFeatureSearch& s, const TGroup& ga, const TGroup& gb, TPair& pair) {
  pair.Tree = -1;
  if (s.Spread) {
    Pool(s.V.rc, ga.Stats, gb.Stats, pair.Union);
    pair.UnionFigures = LeafFigures(s.V.rc, pair.Union);
    return;
  }
  pair.UnionFigures = {ga.Stats.Count + gb.Stats.Count, 1,
                       PoolClassCounts(s.V.rc, ga.Stats, gb.Stats, pair.Union), 0.0};
}

// A pair's place in the order of qualities at the depth limit when they fall with the
// variance drop alone (see TPairOrder).
double VarianceKey(const TPair& pair) { return -pair.VarianceDrop; }

// Grows the union of groups a and b into a free slot, with what merging them would change.
void BuildPair(TFeatureSearch& s, int32_t slot, int32_t a, int32_t b) {
  const TGroup& ga = s.Groups[a];
  const TGroup& gb = s.Groups[b];
  TPair& pair = s.Pairs[slot];
  pair.A = a;
  pair.B = b;
  if (s.V.AtLimit) {
    RateUnionLeaf(s, ga, gb, pair);
  } else {
    Pool(s.V.rc, ga.Stats, gb.Stats, pair.Union);
    const bool bothHeld = ga.Stats.Count > 0 && gb.Stats.Count > 0;
    if (s.Floors) s.FloorOut = PairFloorsOf(s, slot);
    TGroupTree ab = BuildGroupBranch(s, a, b, pair.Union, bothHeld);
    pair.UnionFigures = ab.Figures;
    pair.Tree = s.B.Store.Add(std::move(ab));
  }
  const TFigures& fa = ga.Figures;
  const TFigures& fb = gb.Figures;
  const TFigures& fab = pair.UnionFigures;
  pair.LeavesChange = fab.Leaves - fa.Leaves - fb.Leaves;
  pair.MisclassifiedChange = fab.Misclassified - fa.Misclassified - fb.Misclassified;
  // A change out of the index's range (none at the depth limit) leaves the pairs to be rated.
  if (s.Indexed) s.Indexed = s.B.Changes.Set(slot, pair.MisclassifiedChange);
  if (!s.Spread) {
    pair.VarianceDrop = 0.0;
    return;
  }
  const double na = fa.Count;
  const double nb = fb.Count;
  const double nab = fab.Count;
  pair.VarianceDrop = (na * fa.Variance + nb * fb.Variance - nab * fab.Variance) / s.Known();
  if (s.KeyRow) s.B.KeyRow.Set(slot, VarianceKey(pair));
}

// Frees the slot and its subtree; a free slot stays free.
void ReleasePair(TFeatureSearch& s, int32_t slot) {
  const TPair& pair = s.Pairs[slot];
  if (pair.A == 0) return;
  if (pair.Tree >= 0) s.B.Store.Release(pair.Tree, TTreeStore::InPartition);
  FreeSlot(s, slot);
}

// Calls visit with every used pair slot in pair number or slot order.
template <typename Visit>
void ForEachUsedPair(const TFeatureSearch& s, Visit visit) {
  if (!s.Nominal) {
    // Numeric pair k joins standing group k to the next one: value order is pair order.
    for (int32_t k = 1; s.B.NextLive[k] != 0; k = s.B.NextLive[k]) visit(k);
  } else {
    for (int32_t slot = 1; slot < static_cast<int32_t>(s.Pairs.size()); ++slot) {
      if (s.Pairs[slot].A != 0) visit(slot);
    }
  }
}

// Rates every used pair with the current totals and returns the best one's slot. Where
// the qualities rise with the leaves and misclassified count alone (and rounding keeps
// that order), a pair that changes neither by less than the best so far cannot rate
// lower, and is not rated.
int32_t RateEveryPair(TFeatureSearch& s) {
  int32_t best = 0;
  double bestQuality = Infinity;
  ForEachUsedPair(s, [&s, &best, &bestQuality](int32_t slot) {
    TPair& pair = s.Pairs[slot];
    if (s.V.CountsRate && best != 0 && pair.LeavesChange >= s.Pairs[best].LeavesChange &&
        pair.MisclassifiedChange >= s.Pairs[best].MisclassifiedChange) {
      return;
    }
    pair.Quality = QualityOf(s, MergedTotals(s, pair));
    // Strictly lower only: on equal qualities the lowest pair number or slot wins.
    if (best == 0 || pair.Quality < bestQuality) {
      best = slot;
      bestQuality = pair.Quality;
    }
  });
  return best;
}

// Regression at the depth limit: the first pair of the smallest variance rise (from the
// key tree or the key row). There a pair's quality depends on its key alone and rises
// with it, so only a pair of a higher key can come out at the same quality, through
// rounding, and the next higher key tells. Returns 0 when it does, or when a key is not a
// finite number, and every pair must be rated.
int32_t LeastVarianceRise(TFeatureSearch& s) {
  int32_t first = 0;
  double low = NoKey;
  double next = NoKey;
  if (s.KeyTree) {
    if (!s.B.Keys.Ordered()) return 0;
    first = s.B.Keys.First();
    next = s.B.Keys.Next();
  } else {
    if (!s.B.KeyRow.Ordered()) return 0;
    s.B.KeyRow.Scan(first, low, next);
  }
  if (first == 0) return 0;
  TPair& best = s.Pairs[first];
  best.Quality = QualityOf(s, MergedTotals(s, best));
  if (next == NoKey) return first;
  const TTotals higher = MergedTotals(s, best.LeavesChange, best.MisclassifiedChange, -next);
  return QualityOf(s, higher) > best.Quality ? first : 0;
}

// Classification at the depth limit: the first pair of the lowest misclassified change.
// When one more misclassified object already makes a worse quality, no pair of a higher
// change can tie with it; otherwise 0, and the pairs are rated the long way.
int32_t FirstLeastMisclassifying(TFeatureSearch& s) {
  if (!s.Indexed) return 0;
  const int32_t first = s.B.Changes.FirstLowest();
  if (first == 0) return 0;
  TPair& best = s.Pairs[first];
  best.Quality = QualityOf(s, MergedTotals(s, best));
  if (s.NeverTie) return first;
  const TTotals worse =
      MergedTotals(s, best.LeavesChange, best.MisclassifiedChange + 1, best.VarianceDrop);
  return QualityOf(s, worse) > best.Quality ? first : 0;
}

// Regression at the depth limit: whether no later partition can change what the vertex
// links, judged from the variance rises of the standing pairs. Merging the groups of a
// block into one raises the spread within groups by at least the rises of any disjoint
// pairs in it, and a block of k groups holds floor(k/2) of them, so going from R groups to
// L raises the variance term by at least the ceil((R - L)/2) smallest rises of all pairs.
// Over the ascending rises each one more takes two more leaves off (the last only one when
// R is odd), so the bound falls while a rise costs less than two leaves and rises after
// that: its least value takes exactly the rises cheaper than two leaves, or all it may
// take, and then perhaps one less. No sort is needed. The totals keep their variance by
// subtracting drops, which may stray from that sum in the last places: a partition is
// ruled out only by a margin far above such strays.
bool RisesRuleOut(TFeatureSearch& s) {
  if (!s.V.MayStop || s.V.Order != TPairOrder::ByVarianceDrop) return false;
  const RunContext& rc = s.V.rc;
  // A rise costs rw * rise against the two leaves' worth; rounding in the cost only moves
  // which rises count as cheap among those that cost about two leaves, where taking one
  // more or less changes the bound by next to nothing.
  const double rw = rc.RootVariance == 0 ? 0.0 : rc.RegressionWeight / rc.RootVariance;
  const double twoLeaves = PerObject(2 * rc.LeafWeight, s.V.N);
  std::vector<double>& rises = s.B.Rises;
  rises.clear();
  double cheapSum = 0.0;
  double cheapMax = 0.0;
  int32_t cheap = 0;
  ForEachUsedPair(s, [&](int32_t slot) {
    const double rise = std::max(0.0, -s.Pairs[slot].VarianceDrop);
    rises.push_back(rise);
    if (rw * rise < twoLeaves) {
      cheapSum += rise;
      cheapMax = std::max(cheapMax, rise);
      ++cheap;
    }
  });
  const int32_t r = s.Standing;
  const int32_t most = (r - 1) / 2;  // the rises taken down to two leaves
  const int32_t taken = std::clamp(cheap, 1, most);
  const bool oneLess = r % 2 == 1 && taken == most && taken > 1;
  const double limit = StopLimit(s);
  // Whether the bound over `sum`, the smallest j rises (or more), and the taken rises less
  // the last of them, `less`, rules out every later partition.
  auto ruledOut = [&s, r, limit, taken, oneLess](double sum, double less) {
    auto above = [&s, r, limit](int32_t j, double rises) {
      const TTotals bound{std::max(2, r - 2 * j), s.Totals.Misclassified,
                          s.Totals.Variance + rises};
      return QualityOf(s, bound) > limit;
    };
    return above(taken, sum) && (!oneLess || above(taken - 1, less));
  };
  if (taken == cheap) return ruledOut(cheapSum, cheapSum - cheapMax);
  // More cheap rises than merges left: the least bound takes the smallest of them, which
  // add up to no more than that many of their mean; it tells first whether the bound can
  // hold (rounding there can only keep the search going).
  if (taken < cheap) {
    const double mean = cheapSum / cheap;
    if (!ruledOut(mean * taken, mean * (taken - 1))) return false;
  }
  std::nth_element(rises.begin(), rises.begin() + (taken - 1), rises.end());
  double sum = 0.0;
  for (int32_t j = 0; j < taken; ++j) sum += rises[static_cast<size_t>(j)];
  return ruledOut(sum, sum - rises[static_cast<size_t>(taken - 1)]);
}

// The slot of the pair with the lowest quality, the lowest slot on ties; only that pair's
// quality is sure to be up to date.
int32_t RateUsedPairs(TFeatureSearch& s) {
  int32_t best = 0;
  if (s.V.Order == TPairOrder::ByMisclassified) best = FirstLeastMisclassifying(s);
  if (s.V.Order == TPairOrder::ByVarianceDrop) best = LeastVarianceRise(s);
  return best != 0 ? best : RateEveryPair(s);
}

// Every slot free in the index of changes or the key row, when the pairs are ordered by
// them; the key tree orders the keys of many numeric groups instead of the row.
void StartPairIndexes(TFeatureSearch& s) {
  const auto slots = static_cast<int32_t>(s.Pairs.size());
  s.Indexed = s.V.Order == TPairOrder::ByMisclassified;
  if (s.Indexed) s.B.Changes.Reset(slots, s.Known());
  s.KeyTree = s.V.Order == TPairOrder::ByVarianceDrop && !s.Nominal && s.Standing >= KeyTreeGroups;
  if (s.KeyTree) s.B.Keys.Reset(slots);
  s.KeyRow = s.V.Order == TPairOrder::ByVarianceDrop && !s.KeyTree;
  if (s.KeyRow) s.B.KeyRow.Reset(slots);
}

// Builds the pairs of the elementary groups; returns the best one's slot.
int32_t BuildInitialPairs(TFeatureSearch& s) {
  const int32_t k = s.Standing;
  if (!s.Nominal) {
    // Numeric pair i joins standing group i to the next one. Slots keep what an earlier
    // search left in them until they are built, so the slots of groups without a pair (the
    // last one, and those merged away before the pairs were built) are freed.
    const auto groups = static_cast<int32_t>(s.Groups.size()) - 1;
    s.Pairs.resize(static_cast<size_t>(groups) + 1);
    StartPairFloors(s);
    StartPairIndexes(s);
    for (int32_t i = 1; i <= groups; ++i) s.Pairs[i].Free();  // the indexes start free
    for (int32_t i = 1; s.B.NextLive[i] != 0; i = s.B.NextLive[i]) {
      BuildPair(s, i, i, s.B.NextLive[i]);
      if (s.KeyTree) s.B.Keys.Place(i, VarianceKey(s.Pairs[i]));
    }
    if (s.KeyTree) s.B.Keys.Order();
  } else {
    s.Pairs.resize(static_cast<size_t>(k * (k - 1) / 2) + 1);
    StartPairFloors(s);
    StartPairIndexes(s);
    int32_t slot = 0;
    for (int32_t a = 1; a < k; ++a) {
      for (int32_t b = a + 1; b <= k; ++b) BuildPair(s, ++slot, a, b);
    }
  }
  return RateUsedPairs(s);
}

// The small leaves after two groups of these statistics became one of the union's.
void CountSmallLeaves(TFeatureSearch& s, const TStats& a, const TStats& b, const TStats& u) {
  const RunContext& rc = s.V.rc;
  s.SmallLeaves += IsSmallLeaf(rc, u) - IsSmallLeaf(rc, a) - IsSmallLeaf(rc, b);
}

// Links the ascending position chains starting at x and y into one; returns its head.
int32_t MergeChains(std::vector<int32_t>& next, int32_t x, int32_t y) {
  int32_t head = -1;
  int32_t* link = &head;
  while (x >= 0 && y >= 0) {
    int32_t& p = x < y ? x : y;
    *link = p;
    link = &next[p];
    p = next[p];
  }
  *link = x >= 0 ? x : y;  // the chain left over ends the union
  return head;
}

// Replaces the pair's groups by their union, whose subtree is the pair's; the pair's slot
// is freed. At the depth limit the merge is logged instead, for rebuilding the best
// partition.
void MergeGroups(TFeatureSearch& s, int32_t slot) {
  const TPair& pair = s.Pairs[slot];
  const int32_t a = pair.A;
  const int32_t b = pair.B;
  s.Totals = MergedTotals(s, pair);
  TGroup& ga = s.Groups[a];
  if (s.V.AtLimit) {
    s.B.Merges.emplace_back(a, b);
    CountSmallLeaves(s, ga.Stats, s.Groups[b].Stats, pair.Union);
  } else {
    s.B.Store.Release(ga.Tree, TTreeStore::InPartition);
    s.B.Store.Release(s.Groups[b].Tree, TTreeStore::InPartition);
    ga.Tree = pair.Tree;
    if (s.Floors) KeepPairFloors(s, slot, a);
  }
  ga.Stats = pair.Union;
  ga.Figures = pair.UnionFigures;
  FreeSlot(s, slot);
  JoinGroups(s, a, b);
}

// Neighbouring pairs after group a took in the next group b: the pairs that touched a or b
// are grown afresh, the left one first, and their keys follow.
void RenewNumericPairs(TFeatureSearch& s, int32_t a, int32_t b) {
  const int32_t before = s.B.PrevLive[a];
  const int32_t after = s.B.NextLive[a];
  ReleasePair(s, b);
  if (before != 0) {
    ReleasePair(s, before);
    BuildPair(s, before, before, a);
  }
  if (after != 0) BuildPair(s, a, a, after);
  if (!s.KeyTree) return;
  TKeyTree& keys = s.B.Keys;
  keys.Free(b);
  if (before != 0) keys.Set(before, VarianceKey(s.Pairs[before]));
  if (after != 0) keys.Set(a, VarianceKey(s.Pairs[a]));
  else keys.Free(a);
}

// Slots after groups a and b merged: every slot of a or b is freed, and the pairs of the
// merged group take the lowest free slots in one upward sweep, in the order
// (1,a) .. (x,a) for the standing groups x before a, then (a,x) for those after it.
void RenewNominalPairs(TFeatureSearch& s, int32_t a, int32_t b) {
  for (int32_t slot = 1; slot < static_cast<int32_t>(s.Pairs.size()); ++slot) {
    const TPair& pair = s.Pairs[slot];
    if (pair.A == a || pair.A == b || pair.B == a || pair.B == b) ReleasePair(s, slot);
  }
  size_t slot = 0;
  auto nextFreeSlot = [&s, &slot]() {
    do ++slot; while (s.Pairs[slot].A != 0);
    return static_cast<int32_t>(slot);
  };
  for (int32_t x = 1; x != a; x = s.B.NextLive[x]) BuildPair(s, nextFreeSlot(), x, a);
  for (int32_t x = s.B.NextLive[a]; x != 0; x = s.B.NextLive[x]) {
    BuildPair(s, nextFreeSlot(), a, x);
  }
}

}  // namespace

void JoinGroups(TFeatureSearch& s, int32_t a, int32_t b) {
  TGroup& ga = s.Groups[a];
  const TGroup& gb = s.Groups[b];
  if (gb.CodeCount > 0) {
    s.B.NextCode[ga.LastCode] = gb.FirstCode;
    ga.LastCode = gb.LastCode;
    ga.CodeCount += gb.CodeCount;
  }
  if (!s.V.AtLimit) {
    ga.First = MergeChains(s.B.NextKnown, ga.First, gb.First);
    ga.Last = std::max(ga.Last, gb.Last);
  }
  ga.End = gb.End;
  const int32_t next = s.B.NextLive[b];
  s.B.NextLive[s.B.PrevLive[b]] = next;
  if (next != 0) s.B.PrevLive[next] = s.B.PrevLive[b];
  --s.Standing;
}

bool CannotImprove(const TFeatureSearch& s) {
  if (!s.V.MayStop) return false;
  const TTotals bound{2, s.Totals.Misclassified, 0.0};
  return QualityOf(s, bound) >= StopQuality(s);
}

void RunMergeLoop(TFeatureSearch& s) {
  if (s.LeafRows) {
    MergeNumericLeaves(s);
    return;
  }
  // The cheapest cut into intervals bounds every later partition of a numeric feature
  // exactly; it is judged once, before any pair is built, as it costs more than the rises
  // and seldom holds after it has failed. The rises are judged at once where there is no
  // such cut (nominal groups join in any combination), and whenever a quarter of the
  // groups has gone: a judgment costs a pass over the pairs, and in between the bound
  // moves little.
  const bool cut = !s.Nominal && s.V.Order == TPairOrder::ByVarianceDrop;
  if (cut && SegmentsRuleOut(s)) return;
  int32_t best = BuildInitialPairs(s);
  int32_t judgeAt = cut ? s.Standing - s.Standing / 4 - 1 : s.Standing;
  while (s.Standing > 2) {
    if (s.Standing <= judgeAt) {
      if (RisesRuleOut(s)) return;
      judgeAt = s.Standing - s.Standing / 4 - 1;
    }
    const TPair& pair = s.Pairs[best];
    const double quality = pair.Quality;
    const int32_t a = pair.A;
    const int32_t b = pair.B;
    // The bound of CannotImprove moves only with the misclassified count.
    const bool moved = pair.MisclassifiedChange != 0;
    MergeGroups(s, best);
    ApplyAcceptance(s, quality);
    if (s.Standing <= 2 || (moved && CannotImprove(s))) break;
    if (s.Nominal) {
      RenewNominalPairs(s, a, b);
    } else {
      RenewNumericPairs(s, a, b);
    }
    best = RateUsedPairs(s);
  }
}

}  // namespace tarmel::search
