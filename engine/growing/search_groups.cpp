// Elementary groups: a feature cuts the vertex's objects into its finest groups, and each
// group, or union of two, gets its subtree grown below the vertex.
#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <vector>

#include "search_stats.h"
#include "search_steps.h"

namespace tarmel::search {
namespace {

// Ranks of feature f over the outermost vertex's objects, read on first use.
const TValueRanks& RanksOf(TSearchScratch& sc, const RunContext& rc, int32_t f) {
  TValueRanks& r = sc.Ranks[f];
  if (r.Ready) return r;
  r.Ready = true;
  r.Value.assign(1, 0.0);
  int32_t last = 0;
  for (int32_t i : sc.Objects) {
    const double x = rc.DataTable.At(f, i);
    if (x != MissingValue) r.Value.push_back(x);
    last = std::max(last, i);
  }
  std::sort(r.Value.begin() + 1, r.Value.end());
  r.Value.erase(std::unique(r.Value.begin() + 1, r.Value.end()), r.Value.end());
  r.Rank.assign(static_cast<size_t>(last) + 1, 0);
  const auto top = static_cast<int32_t>(r.Value.size()) - 1;
  for (int32_t i : sc.Objects) {
    const double x = rc.DataTable.At(f, i);
    if (x == MissingValue) continue;
    const auto at = std::lower_bound(r.Value.begin() + 1, r.Value.end(), x) - r.Value.begin();
    r.Rank[i] = std::min(static_cast<int32_t>(at), top);  // only a value that is not a number
  }                                                      // can be missing from the list
  return r;
}

// Whether every object of the outermost vertex, and so of every vertex inside it, has a
// known value of f: then a vertex's known objects are all of its objects.
bool AllKnownAtTop(TSearchScratch& sc, const RunContext& rc, int32_t f) {
  int8_t& all = sc.AllKnown[f];
  if (all < 0) {
    const double* column = rc.DataTable.Column(f);
    all = std::none_of(sc.Objects.begin(), sc.Objects.end(),
                       [column](int32_t i) { return column[i] == MissingValue; });
  }
  return all != 0;
}

void SeeRank(std::vector<uint64_t>& seen, uint32_t rank) {
  seen[rank / 64] |= uint64_t{1} << (rank % 64);
}

// Counts the classes of the vertex's objects at the ranks of their values (rank 0 holds
// the missing ones, and is cleared) into RankClasses, and sets each rank's bit.
void CountRankClasses(TFeatureSearch& s, const TValueRanks& r, std::vector<uint64_t>& seen) {
  const RunContext& rc = s.V.rc;
  std::vector<int32_t>& counts = s.V.Scratch.RankClasses;
  const auto classes = static_cast<uint32_t>(rc.ClassesNumber);
  if (counts.size() < r.Value.size() * classes) counts.resize(r.Value.size() * classes, 0);
  for (int32_t object : s.V.Objects) {
    const auto rank = static_cast<uint32_t>(r.Rank[object]);
    SeeRank(seen, rank);
    const auto label = static_cast<uint32_t>(rc.ClassLabel[object] - 1);
    if (label < classes) ++counts[rank * classes + label];
  }
  seen[0] &= ~uint64_t{1};
  std::fill_n(counts.begin(), classes, 0);
}

// The ranks present among the vertex's known values, ascending: each known value sets its
// rank's bit, and the set bits are read off in order, a word of 64 ranks at a time. The
// rows of LeafRows count their classes in the same pass.
void PresentRanks(TFeatureSearch& s, const TValueRanks& r) {
  TSearchScratch& sc = s.V.Scratch;
  std::vector<uint64_t>& seen = sc.RankSeen;
  const size_t words = r.Value.size() / 64 + 1;
  if (seen.size() < words) seen.resize(words, 0);
  if (s.LeafRows) {
    CountRankClasses(s, r, seen);
  } else {
    for (int32_t object : s.B.KnownObjects) SeeRank(seen, static_cast<uint32_t>(r.Rank[object]));
  }
  std::vector<int32_t>& present = sc.Present;
  present.clear();
  for (size_t w = 0; w < words; ++w) {
    for (uint64_t bits = seen[w]; bits != 0; bits &= bits - 1) {
      present.push_back(static_cast<int32_t>(w * 64 + static_cast<size_t>(std::countr_zero(bits))));
    }
    seen[w] = 0;
  }
}

// Groups 1 to count - 1, empty. The list keeps its entries between searches, as writing
// whole fresh entries costs more than the few fields a search starts from.
void StartGroups(TFeatureSearch& s, size_t count) {
  s.Groups.resize(count);
  const auto classes = static_cast<size_t>(s.V.rc.ClassesNumber);
  for (size_t k = 1; k < count; ++k) {
    TGroup& g = s.Groups[k];
    g.First = -1;
    g.Last = -1;
    g.FirstCode = 0;
    g.LastCode = 0;
    g.CodeCount = 0;
    g.Tree = -1;
    g.Stats.Count = 0;
    g.Stats.Mean = 0.0;
    g.Stats.Variance = 0.0;
    std::fill_n(g.Stats.Classes.begin() + 1, classes, 0);
    g.Merged = false;
    g.BothHeld = false;
  }
}

// Numeric groups: one per distinct known value u1 < ... < uK, with bounds t[i] at the
// mid-points and a value in the first group whose bound is at or above it. When two values
// are neighbouring doubles their mid-point can round onto the upper one, which then joins
// the lower value's group and leaves the next group empty. The empty group stays: it is
// judged like any other (a leaf of no objects, which the size check rejects) and merged
// away by the pair ratings, so the groups and bounds do not depend on how the mid-points
// round. The last group also takes a value above +1e17, which no bound reaches.
void FormNumericGroups(TFeatureSearch& s) {
  const TValueRanks& r = RankGroups(s);
  for (int32_t p = 0; p < s.Known(); ++p) {
    s.B.Label[p] = s.V.Scratch.GroupOfRank[r.Rank[s.B.KnownObjects[p]]];
  }
  StartGroups(s, s.V.Scratch.Present.size() + 1);
}

// Nominal groups: one per distinct code, numbered in order of first appearance; each
// group's value set starts with its own code.
void FormNominalGroups(TFeatureSearch& s) {
  std::vector<int32_t>& codes = s.B.CodeValue;
  codes.assign(1, 0);
  // The group of every small code seen so far (0: none yet); a table filled by hand may
  // hold larger codes, which are looked up in the list.
  constexpr int32_t TableCodes = 128;
  std::array<int32_t, TableCodes> groupOfCode{};
  auto groupOf = [&codes, &groupOfCode](int32_t code) {
    const bool small = code >= 0 && code < TableCodes;
    if (small && groupOfCode[static_cast<size_t>(code)] != 0) {
      return groupOfCode[static_cast<size_t>(code)];
    }
    const auto it = small ? codes.end() : std::find(codes.begin() + 1, codes.end(), code);
    const auto k = static_cast<int32_t>(it - codes.begin());
    if (it == codes.end()) codes.push_back(code);
    if (small) groupOfCode[static_cast<size_t>(code)] = k;
    return k;
  };
  for (int32_t p = 0; p < s.Known(); ++p) s.B.Label[p] = groupOf(NominalCode(s.Cell(p)));
  StartGroups(s, codes.size());
  s.B.NextCode.assign(codes.size(), 0);
  for (int32_t k = 1; k < static_cast<int32_t>(codes.size()); ++k) {
    s.Groups[k].FirstCode = k;
    s.Groups[k].LastCode = k;
    s.Groups[k].CodeCount = 1;
  }
}

// Every group stands, in the order of their numbers.
void LinkGroups(TFeatureSearch& s) {
  const size_t size = s.Groups.size();
  s.B.NextLive.resize(size);
  s.B.PrevLive.resize(size);
  for (int32_t k = 1; k <= s.Standing; ++k) {
    s.Groups[k].End = k;
    s.B.NextLive[k] = k < s.Standing ? k + 1 : 0;
    s.B.PrevLive[k] = k - 1;
  }
}

// Every group's known positions chained in ascending order.
void ChainPositions(TFeatureSearch& s) {
  s.B.NextKnown.assign(static_cast<size_t>(s.Known()), -1);
  for (int32_t p = 0; p < s.Known(); ++p) {
    TGroup& group = s.Groups[s.B.Label[p]];
    if (group.First < 0) group.First = p;
    else s.B.NextKnown[group.Last] = p;
    group.Last = p;
  }
}

// The objects of groups a and b in the order of the vertex's list.
void CollectObjects(TFeatureSearch& s, int32_t a, int32_t b) {
  s.B.Collected.clear();
  int32_t x = s.Groups[a].First;
  int32_t y = a == b ? -1 : s.Groups[b].First;
  while (x >= 0 || y >= 0) {
    int32_t& p = y < 0 || (x >= 0 && x < y) ? x : y;
    s.B.Collected.push_back(s.B.KnownObjects[p]);
    p = s.B.NextKnown[p];
  }
}

// Calls visit with the head of every position chain that holds objects of the group: its
// own chain, or at the depth limit, where merges do not relink, those of the elementary
// groups it took in (a numeric range; nominal codes number their elementary groups).
template <typename Visit>
void ForEachChain(const TFeatureSearch& s, int32_t group, Visit visit) {
  const TGroup& g = s.Groups[group];
  if (!s.V.AtLimit) {
    visit(g.First);
  } else if (s.Nominal) {
    for (int32_t c = g.FirstCode; c != 0; c = s.B.NextCode[c]) visit(s.Groups[c].First);
  } else {
    for (int32_t k = group; k <= g.End; ++k) visit(s.Groups[k].First);
  }
}

// Whether two objects of groups a and b have different known values of f. Which object is
// the reference does not change the answer, so the chains are walked one after the other.
bool FeatureVaries(const TFeatureSearch& s, int32_t f, int32_t a, int32_t b) {
  const double* column = s.V.rc.DataTable.Column(f);
  bool seen = false;
  bool varies = false;
  double reference = 0.0;
  auto walk = [&](int32_t first) {
    for (int32_t p = first; p >= 0 && !varies; p = s.B.NextKnown[p]) {
      const double x = column[s.B.KnownObjects[p]];
      if (x == MissingValue) continue;
      if (!seen) {
        seen = true;
        reference = x;
      } else {
        varies = x != reference;
      }
    }
  };
  ForEachChain(s, a, walk);
  if (a != b) ForEachChain(s, b, walk);
  return varies;
}

// Whether the objects of groups a and b cannot be split: too few, or no usable feature
// varies among them. Two groups that both hold objects (bothHeld) hold different values of
// the searched feature.
bool CannotContinue(const TFeatureSearch& s, int32_t count, int32_t a, int32_t b, bool bothHeld) {
  const TVertexSearch& v = s.V;
  if (count < v.rc.MinNodeSize) return true;
  if (bothHeld && v.Available[s.G]) return false;
  for (int32_t f = 1; f <= v.rc.FeaturesNumber; ++f) {
    if (v.Available[f] && f != v.PrevFeature && FeatureVaries(s, f, a, b)) return false;
  }
  return true;
}

void FillLeaf(TVertex& leaf, const TStats& stats, bool terminal) {
  leaf.FirstBranch = nullptr;
  leaf.SplitFeature = 0;
  leaf.ClassCounts = stats.Classes;
  leaf.Variance = stats.Variance;
  leaf.Mean = stats.Mean;
  leaf.ObjCount = stats.Count;
  leaf.Terminal = terminal;
}

}  // namespace

const TValueRanks& RankGroups(TFeatureSearch& s) {
  TSearchScratch& sc = s.V.Scratch;
  const TValueRanks& r = RanksOf(sc, s.V.rc, s.G);
  PresentRanks(s, r);
  const std::vector<int32_t>& present = sc.Present;
  const size_t k = present.size();
  // The bound between the present values i - 1 and i (from 0): their mid-point.
  auto bound = [&r, &present](size_t i) {
    const double low = r.Value[static_cast<size_t>(present[i - 1])];
    return low + (r.Value[static_cast<size_t>(present[i])] - low) / 2;
  };
  // Leaves at the depth limit need no bounds until the best partition is rebuilt.
  if (!s.LeafRows) {
    std::vector<double>& t = s.B.Bounds;
    t.assign(1, -Infinity);
    for (size_t i = 1; i < k; ++i) t.push_back(bound(i));
    t.push_back(Infinity);
  }
  if (sc.GroupOfRank.size() < r.Value.size()) sc.GroupOfRank.resize(r.Value.size());
  // A value belongs to the first group whose bound is at or above it. While no difference
  // of two values overflows, every bound lies between the two values it parts, so value j
  // belongs to group j + 1 unless the bound under it rounded onto it, which leaves it in
  // group j; otherwise the groups are found by walking the bounds.
  const bool tame = k == 0 || (std::fabs(r.Value[1]) <= 1e307 && std::fabs(r.Value.back()) <= 1e307);
  size_t group = 1;
  for (size_t j = 0; j < k; ++j) {
    const double x = r.Value[static_cast<size_t>(present[j])];
    if (tame) group = j + 1 - (j > 0 && x <= bound(j));
    else while (group < k && x > bound(group)) ++group;
    sc.GroupOfRank[static_cast<size_t>(present[j])] = static_cast<int32_t>(group);
  }
  return r;
}

bool CollectKnown(TFeatureSearch& s) {
  std::vector<int32_t>& known = s.B.KnownObjects;
  const double* column = s.V.rc.DataTable.Column(s.G);
  if (AllKnownAtTop(s.V.Scratch, s.V.rc, s.G)) {
    if (!s.LeafRows) known.assign(s.V.Objects.begin(), s.V.Objects.end());
    s.KnownCount = s.V.N;
  } else if (s.LeafRows) {
    s.KnownCount = static_cast<int32_t>(
        std::count_if(s.V.Objects.begin(), s.V.Objects.end(),
                      [column](int32_t i) { return column[i] != MissingValue; }));
  } else {
    // Every object is written and kept by the count, as missing values come unforeseen.
    known.resize(s.V.Objects.size());
    size_t count = 0;
    for (int32_t i : s.V.Objects) {
      known[count] = i;
      count += column[i] != MissingValue;
    }
    known.resize(count);
    s.KnownCount = static_cast<int32_t>(count);
  }
  return s.Known() > 0 && static_cast<double>(s.V.N - s.Known()) / s.V.N < 0.5;
}

bool FormGroups(TFeatureSearch& s) {
  const RunContext& rc = s.V.rc;
  if (s.LeafRows) return FormLeafRows(s);
  s.B.Label.resize(static_cast<size_t>(s.Known()));
  if (s.Nominal) FormNominalGroups(s);
  else FormNumericGroups(s);
  s.Standing = static_cast<int32_t>(s.Groups.size()) - 1;
  if (s.Standing < 2 || (s.Nominal && s.Standing > MaxCategories)) return false;
  LinkGroups(s);
  if (s.Chains) ChainPositions(s);
  for (int32_t p = 0; p < s.Known(); ++p) {
    TStats& stats = s.Groups[s.B.Label[p]].Stats;
    if (s.Spread) AddObject(rc, s.B.KnownObjects[p], stats);
    else CountObject(rc, s.B.KnownObjects[p], stats);
  }
  s.B.Collected.reserve(static_cast<size_t>(s.Known()));  // no growth while subtrees are built
  return true;
}

TGroupTree BuildGroupBranch(TFeatureSearch& s, int32_t a, int32_t b, const TStats& stats,
                            bool bothHeld) {
  RunContext& rc = s.V.rc;
  TGroupTree tree;
  if (s.Floors) ClearFloorOut(s);
  tree.Figures = LeafFigures(rc, stats);
  if (!s.Nominal) {
    tree.Low = s.B.Bounds[a - 1];
    tree.High = s.B.Bounds[s.Groups[b].End];
  }
  // The rate is taken over the objects of the vertex being split, not of the union.
  const bool homogeneous =
      IsHomogeneous(rc, static_cast<double>(tree.Figures.Misclassified) / s.V.N, stats.Variance);
  const bool blocked = !homogeneous && CannotContinue(s, stats.Count, a, b, bothHeld);
  if (!homogeneous && !blocked && s.V.Depth < rc.MaxDepth) {
    CollectObjects(s, a, b);
    if (s.Floors) HandFloors(s, a, b);
    const TGrowResult grown =
        GrowVertex(rc, &tree.Top, s.B.Collected, s.V.Available, s.V.Depth, s.G);
    tree.Figures.Leaves = grown.Leaves;
    tree.Figures.Misclassified = grown.Misclassified;
    tree.Figures.Variance = grown.Variance;
  } else {
    FillLeaf(tree.Top, stats, homogeneous || blocked);
  }
  return tree;
}

double GrowElementaryGroups(TFeatureSearch& s) {
  if (s.LeafRows) return QualityOf(s, s.Totals);  // leaves whose totals the rows gave
  double weightedVariance = 0.0;
  for (int32_t k = 1; k <= s.Standing; ++k) {
    TGroup& group = s.Groups[k];
    if (s.V.AtLimit) {
      group.Figures = LeafFigures(s.V.rc, group.Stats);
      s.SmallLeaves += IsSmallLeaf(s.V.rc, group.Stats);
    } else {
      if (s.Floors) s.FloorOut = GroupFloorsOf(s, k);
      TGroupTree tree = BuildGroupBranch(s, k, k, group.Stats, false);
      group.Figures = tree.Figures;
      group.Tree = s.B.Store.Add(std::move(tree));
    }
    s.Totals.Leaves += group.Figures.Leaves;
    s.Totals.Misclassified += group.Figures.Misclassified;
    weightedVariance += static_cast<double>(group.Figures.Count) * group.Figures.Variance;
  }
  s.Totals.Variance = weightedVariance / s.Known();
  return QualityOf(s, s.Totals);
}

}  // namespace tarmel::search
