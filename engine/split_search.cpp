// Split search: grows the best subtree below one vertex. Every usable feature cuts the
// vertex's objects into its finest groups (numeric intervals around the distinct values,
// one group per nominal code); a subtree is grown below every group and below every
// candidate pair of groups, and the groups are merged two at a time, always the pair that
// gives the best quality, down to two groups. The best accepted partition over all features
// replaces the leaf only when it is strictly better. Every searched feature is credited with
// its best quality, which ranks the features for the deeper lookahead stages.
#include "split_search.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace tarmel {
namespace {

struct BranchDeleter {
  void operator()(TBranch* b) const { FreeBranches(b); }
};
using OwnedBranch = std::unique_ptr<TBranch, BranchDeleter>;

// x / n, or 0 over no objects at all (an empty object list has no mean and no error).
double PerObject(double x, int32_t n) { return n > 0 ? x / n : 0.0; }

int32_t LargestClass(const RunContext& rc, const TClassCounts& counts) {
  int32_t largest = 0;
  for (int32_t k = 1; k <= rc.ClassesNumber; ++k) largest = std::max(largest, counts[k]);
  return largest;
}

void CountClass(const RunContext& rc, int32_t object, TClassCounts& counts) {
  const int32_t label = rc.ClassLabel[object];
  if (label >= 1 && label <= rc.ClassesNumber) ++counts[label];
}

// The integer part of a stored nominal value. Stored codes are small; the range check only
// keeps the conversion defined for whatever a hand-filled table may hold.
int32_t NominalCode(double x) { return x > -1e9 && x < 1e9 ? static_cast<int32_t>(x) : 0; }

// Count, mean, variance and class counts of a group's target values.
struct TStats {
  int32_t Count = 0;
  double Mean = 0.0;
  double Variance = 0.0;
  TClassCounts Classes{};
};

void AddObject(const RunContext& rc, int32_t object, TStats& s) {
  const double y = rc.TargetValue[object];
  const double n = s.Count;
  const double mean = (n * s.Mean + y) / (n + 1);
  const double d = s.Mean - mean;
  const double e = y - mean;
  s.Variance = (n * (d * d + s.Variance) + e * e) / (n + 1);
  s.Mean = mean;
  ++s.Count;
  CountClass(rc, object, s.Classes);
}

TStats Pooled(const RunContext& rc, const TStats& a, const TStats& b) {
  TStats u;
  u.Count = a.Count + b.Count;
  const double na = a.Count;
  const double nb = b.Count;
  u.Mean = (na * a.Mean + nb * b.Mean) / u.Count;
  const double da = a.Mean - u.Mean;
  const double db = b.Mean - u.Mean;
  u.Variance = (na * (da * da + a.Variance) + nb * (db * db + b.Variance)) / u.Count;
  for (int32_t k = 1; k <= rc.ClassesNumber; ++k) u.Classes[k] = a.Classes[k] + b.Classes[k];
  return u;
}

// A subtree grown below a group or a pair of groups, with the outputs the quality needs.
struct TGroupTree {
  OwnedBranch Branch;
  int32_t Count = 0;  // objects it covers
  int32_t Leaves = 0;
  int32_t Misclassified = 0;
  double Variance = 0.0;
};

struct TGroup {
  std::vector<int32_t> Known;  // positions in the known-object list, ascending
  std::vector<int32_t> Codes;  // nominal: the value set, in merge order
  TStats Stats;
  TGroupTree Tree;
};

struct TPair {
  int32_t A = 0;  // 0: a free slot
  int32_t B = 0;
  TGroupTree Tree;
  double Quality = Infinity;
};

// The running totals of a partition: leaves, misclassified objects, variance term.
struct TTotals {
  int32_t Leaves = 0;
  int32_t Misclassified = 0;
  double Variance = 0.0;
};

// The vertex being split, as its feature searches see it.
struct TVertexSearch {
  RunContext& rc;
  std::span<const int32_t> Objects;
  int32_t N = 0;
  int32_t Depth = 0;  // after the vertex's own increment
  int32_t PrevFeature = 0;
  FeatureFlags& Available;  // the vertex's current flags
};

// Working data of one feature's search at one vertex; frees every subtree it still holds.
struct TFeatureSearch {
  TFeatureSearch(const TVertexSearch& v, int32_t g)
      : V(v), G(g), Nominal(v.rc.FeatureType[g] == NominalFeature) {}

  const TVertexSearch& V;
  int32_t G;
  bool Nominal;
  std::vector<int32_t> KnownObjects;  // objects with a known value, in list order
  std::vector<TGroup> Groups;         // 1..K
  std::vector<double> Bounds;         // numeric: t[0..K]
  std::vector<TPair> Pairs;           // numeric: pair i joins i and i+1; nominal: slots
  TTotals Totals;
  bool SizeChecked = false;  // a partition has passed the size check
  double Best = Infinity;
  TTotals BestTotals;
  std::vector<OwnedBranch> BestTrees;
  std::vector<int32_t> Collected;  // objects of the subtree being built

  int32_t K() const { return static_cast<int32_t>(Groups.size()) - 1; }
  int32_t Known() const { return static_cast<int32_t>(KnownObjects.size()); }
  double Cell(int32_t position) const { return V.rc.DataTable.At(G, KnownObjects[position]); }
};

bool FeatureVaries(const RunContext& rc, int32_t f, std::span<const int32_t> objects) {
  bool seen = false;
  double reference = 0.0;
  for (int32_t i : objects) {
    const double x = rc.DataTable.At(f, i);
    if (x == MissingValue) continue;
    if (!seen) {
      seen = true;
      reference = x;
    } else if (x != reference) {
      return true;
    }
  }
  return false;
}

bool CannotContinue(const TVertexSearch& v, std::span<const int32_t> objects) {
  if (static_cast<int32_t>(objects.size()) < v.rc.MinNodeSize) return true;
  for (int32_t f = 1; f <= v.rc.FeaturesNumber; ++f) {
    if (v.Available[f] && f != v.PrevFeature && FeatureVaries(v.rc, f, objects)) return false;
  }
  return true;
}

// Numeric groups: the distinct known values u1 < ... < uD with bounds at the mid-points.
// A value belongs to the first group whose bound is at or above it. When two distinct
// values are neighbouring doubles the mid-point can round onto the upper one; that group
// would stay empty and is dropped, its interval going to the next group, so the intervals
// still cover the line and every group holds objects.
std::vector<int32_t> FormNumericGroups(TFeatureSearch& s) {
  std::vector<double> u(static_cast<size_t>(s.Known()));
  for (int32_t p = 0; p < s.Known(); ++p) u[p] = s.Cell(p);
  std::sort(u.begin(), u.end());
  u.erase(std::unique(u.begin(), u.end()), u.end());
  const size_t d = u.size();
  // Bound m (0-based) lies between u[m] and u[m + 1]; m = d - 1 stands for +infinity.
  auto midPoint = [&u, d](size_t m) {
    return m + 1 < d ? u[m] + (u[m + 1] - u[m]) / 2 : Infinity;
  };
  std::vector<int32_t> groupOfValue(d);
  s.Bounds.assign(1, -Infinity);
  size_t bound = 0;
  size_t lastBound = d;  // bound of the latest group formed
  for (size_t j = 0; j < d; ++j) {
    while (bound + 1 < d && u[j] > midPoint(bound)) ++bound;
    if (bound != lastBound) {
      lastBound = bound;
      s.Bounds.push_back(midPoint(bound));
    }
    groupOfValue[j] = static_cast<int32_t>(s.Bounds.size()) - 1;
  }
  s.Bounds.back() = Infinity;
  std::vector<int32_t> label(static_cast<size_t>(s.Known()));
  for (int32_t p = 0; p < s.Known(); ++p) {
    label[p] = groupOfValue[std::lower_bound(u.begin(), u.end(), s.Cell(p)) - u.begin()];
  }
  s.Groups.resize(s.Bounds.size());
  return label;
}

// Nominal groups: one per distinct code, numbered in order of first appearance.
std::vector<int32_t> FormNominalGroups(TFeatureSearch& s) {
  std::vector<int32_t> firstCodes(1);
  std::vector<int32_t> label(static_cast<size_t>(s.Known()));
  for (int32_t p = 0; p < s.Known(); ++p) {
    const int32_t code = NominalCode(s.Cell(p));
    const auto it = std::find(firstCodes.begin() + 1, firstCodes.end(), code);
    label[p] = static_cast<int32_t>(it - firstCodes.begin());
    if (it == firstCodes.end()) firstCodes.push_back(code);
  }
  s.Groups.resize(firstCodes.size());
  for (int32_t k = 1; k <= s.K(); ++k) s.Groups[k].Codes.assign(1, firstCodes[k]);
  return label;
}

// The elementary groups with their statistics; false when the feature cannot be used at
// this vertex (fewer than two groups, or half or more of its values missing). A branch
// holds at most MaxCategories codes, so a nominal feature with more is not used either.
bool FormGroups(TFeatureSearch& s) {
  const RunContext& rc = s.V.rc;
  s.KnownObjects.reserve(s.V.Objects.size());
  for (int32_t i : s.V.Objects) {
    if (rc.DataTable.At(s.G, i) != MissingValue) s.KnownObjects.push_back(i);
  }
  if (s.Known() == 0 || static_cast<double>(s.V.N - s.Known()) / s.V.N >= 0.5) return false;
  const std::vector<int32_t> label = s.Nominal ? FormNominalGroups(s) : FormNumericGroups(s);
  if (s.K() < 2 || (s.Nominal && s.K() > MaxCategories)) return false;
  for (int32_t p = 0; p < s.Known(); ++p) {
    TGroup& group = s.Groups[label[p]];
    group.Known.push_back(p);
    AddObject(rc, s.KnownObjects[p], group.Stats);
  }
  s.Collected.reserve(s.KnownObjects.size());  // no growth while subtrees are built
  return true;
}

// The objects of groups a and b in the order of the vertex's list.
void CollectObjects(TFeatureSearch& s, int32_t a, int32_t b) {
  s.Collected.clear();
  const std::vector<int32_t>& x = s.Groups[a].Known;
  const std::vector<int32_t>& y = s.Groups[b].Known;
  const size_t ySize = a == b ? 0 : y.size();
  size_t i = 0;
  size_t j = 0;
  while (i < x.size() || j < ySize) {
    const bool fromX = j == ySize || (i < x.size() && x[i] < y[j]);
    s.Collected.push_back(s.KnownObjects[fromX ? x[i++] : y[j++]]);
  }
}

void SetCondition(const TFeatureSearch& s, TBranch& branch, int32_t a, int32_t b) {
  branch.Kind = static_cast<uint8_t>(s.V.rc.FeatureType[s.G]);
  if (!s.Nominal) {
    branch.Low = s.Bounds[a - 1];
    branch.High = s.Bounds[b];
    return;
  }
  branch.CategoryCount = 0;
  for (int32_t group : {a, b}) {
    for (int32_t code : s.Groups[group].Codes) branch.Categories[++branch.CategoryCount] = code;
    if (a == b) break;
  }
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

// The subtree of group a (a = b) or of the union of groups a and b, grown below the
// vertex unless the union is homogeneous, blocked or at the depth limit.
TGroupTree BuildGroupBranch(TFeatureSearch& s, int32_t a, int32_t b) {
  RunContext& rc = s.V.rc;
  CollectObjects(s, a, b);
  const TStats stats =
      a == b ? s.Groups[a].Stats : Pooled(rc, s.Groups[a].Stats, s.Groups[b].Stats);
  const int32_t mis = Misclassified(rc, stats.Classes);
  TGroupTree tree;
  tree.Branch.reset(NewBranch());
  tree.Count = stats.Count;
  SetCondition(s, *tree.Branch, a, b);
  // The rate is taken over the objects of the vertex being split, not of the union.
  const bool homogeneous = IsHomogeneous(rc, static_cast<double>(mis) / s.V.N, stats.Variance);
  const bool blocked = CannotContinue(s.V, s.Collected);
  if (!homogeneous && !blocked && s.V.Depth < rc.MaxDepth) {
    const TGrowResult grown =
        GrowVertex(rc, tree.Branch->Child, s.Collected, s.V.Available, s.V.Depth, s.G);
    tree.Leaves = grown.Leaves;
    tree.Misclassified = grown.Misclassified;
    tree.Variance = grown.Variance;
  } else {
    FillLeaf(*tree.Branch->Child, stats, homogeneous || blocked);
    tree.Leaves = 1;
    tree.Misclassified = mis;
    tree.Variance = stats.Variance;
  }
  return tree;
}

double QualityOf(const TFeatureSearch& s, const TTotals& t) {
  return SplitQuality(s.V.rc, s.V.N, t.Leaves, static_cast<double>(t.Misclassified) / s.Known(),
                      t.Variance, s.V.rc.FeatureCost[s.G]);
}

// The totals of the partition in which groups a and b are replaced by their union ab.
TTotals MergedTotals(const TFeatureSearch& s, int32_t a, int32_t b, const TGroupTree& ab) {
  const TGroupTree& ta = s.Groups[a].Tree;
  const TGroupTree& tb = s.Groups[b].Tree;
  TTotals t;
  t.Leaves = s.Totals.Leaves - ta.Leaves - tb.Leaves + ab.Leaves;
  t.Misclassified = s.Totals.Misclassified - ta.Misclassified - tb.Misclassified +
                    ab.Misclassified;
  const double na = ta.Count;
  const double nb = tb.Count;
  const double nab = ab.Count;
  t.Variance = s.Totals.Variance -
               (na * ta.Variance + nb * tb.Variance - nab * ab.Variance) / s.Known();
  return t;
}

// Subtrees of the elementary groups; returns the quality of that partition.
double GrowElementaryGroups(TFeatureSearch& s) {
  double weightedVariance = 0.0;
  for (int32_t k = 1; k <= s.K(); ++k) {
    TGroupTree& tree = s.Groups[k].Tree;
    tree = BuildGroupBranch(s, k, k);
    s.Totals.Leaves += tree.Leaves;
    s.Totals.Misclassified += tree.Misclassified;
    weightedVariance += static_cast<double>(tree.Count) * tree.Variance;
  }
  s.Totals.Variance = weightedVariance / s.Known();
  return QualityOf(s, s.Totals);
}

// A group judged as a single leaf needs MinNodeSize objects (of its largest class, in
// classification); a group whose subtree was split is exempt.
bool HasSmallLeafGroup(const TFeatureSearch& s) {
  const RunContext& rc = s.V.rc;
  for (int32_t k = 1; k <= s.K(); ++k) {
    const TVertex& child = *s.Groups[k].Tree.Branch->Child;
    if (child.FirstBranch != nullptr) continue;
    const int32_t size =
        rc.ClassificationWeight != 0 ? LargestClass(rc, child.ClassCounts) : child.ObjCount;
    if (size < rc.MinNodeSize) return true;
  }
  return false;
}

void ApplyAcceptance(TFeatureSearch& s, double quality) {
  if (!s.SizeChecked) {
    if (HasSmallLeafGroup(s)) return;
    s.SizeChecked = true;
  }
  // Ties go to the later partition, which has fewer groups.
  if (quality > s.Best) return;
  s.Best = quality;
  s.BestTotals = s.Totals;
  s.BestTrees.clear();
  for (int32_t k = 1; k <= s.K(); ++k) {
    PBranch copy = nullptr;
    CopyBranches(copy, s.Groups[k].Tree.Branch.get());
    s.BestTrees.emplace_back(copy);
  }
}

void BuildPair(TFeatureSearch& s, int32_t slot, int32_t a, int32_t b) {
  TPair& pair = s.Pairs[slot];
  pair.Tree.Branch.reset();
  pair.A = a;
  pair.B = b;
  pair.Tree = BuildGroupBranch(s, a, b);
}

void RateUsedPairs(TFeatureSearch& s) {
  for (TPair& pair : s.Pairs) {
    if (pair.A != 0) pair.Quality = QualityOf(s, MergedTotals(s, pair.A, pair.B, pair.Tree));
  }
}

void BuildInitialPairs(TFeatureSearch& s) {
  const int32_t k = s.K();
  if (!s.Nominal) {
    s.Pairs.resize(static_cast<size_t>(k));
    for (int32_t i = 1; i < k; ++i) BuildPair(s, i, i, i + 1);
  } else {
    s.Pairs.resize(static_cast<size_t>(k * (k - 1) / 2) + 1);
    int32_t slot = 0;
    for (int32_t a = 1; a < k; ++a) {
      for (int32_t b = a + 1; b <= k; ++b) BuildPair(s, ++slot, a, b);
    }
  }
  RateUsedPairs(s);
}

int32_t BestPair(const TFeatureSearch& s) {
  int32_t best = 0;
  for (int32_t slot = 1; slot < static_cast<int32_t>(s.Pairs.size()); ++slot) {
    const TPair& pair = s.Pairs[slot];
    if (pair.A == 0) continue;
    // Strictly lower only: on equal qualities the lowest pair number or slot wins.
    if (best == 0 || pair.Quality < s.Pairs[best].Quality) best = slot;
  }
  return best;
}

// Replaces groups a and b by their union, whose subtree is the pair's.
void MergeGroups(TFeatureSearch& s, TPair& pair) {
  const int32_t a = pair.A;
  const int32_t b = pair.B;
  s.Totals = MergedTotals(s, a, b, pair.Tree);
  TGroup& ga = s.Groups[a];
  TGroup& gb = s.Groups[b];
  ga.Tree = std::move(pair.Tree);
  ga.Stats = Pooled(s.V.rc, ga.Stats, gb.Stats);
  ga.Codes.insert(ga.Codes.end(), gb.Codes.begin(), gb.Codes.end());
  std::vector<int32_t> known(ga.Known.size() + gb.Known.size());
  std::merge(ga.Known.begin(), ga.Known.end(), gb.Known.begin(), gb.Known.end(), known.begin());
  ga.Known.swap(known);
  s.Groups.erase(s.Groups.begin() + b);
  if (!s.Nominal) s.Bounds.erase(s.Bounds.begin() + a);
}

// Neighbouring pairs after groups a and a+1 merged: the pairs right of the merge move down
// one place, and the two pairs that touch the merged group are grown afresh.
void RenewNumericPairs(TFeatureSearch& s, int32_t a) {
  s.Pairs.erase(s.Pairs.begin() + a);
  for (int32_t i = 1; i < s.K(); ++i) {
    s.Pairs[i].A = i;
    s.Pairs[i].B = i + 1;
  }
  if (a > 1) BuildPair(s, a - 1, a - 1, a);
  if (a < s.K()) BuildPair(s, a, a, a + 1);
}

// Slots after groups a and b merged: every slot of a or b is freed, the other slots follow
// the renumbering of the groups, and the pairs of the merged group take the lowest free
// slots in one upward sweep, in the order (1,a) .. (a-1,a), (a,a+1) .. (a,K).
void RenewNominalPairs(TFeatureSearch& s, int32_t a, int32_t b) {
  for (TPair& pair : s.Pairs) {
    if (pair.A == a || pair.A == b || pair.B == a || pair.B == b) {
      pair.Tree.Branch.reset();
      pair.A = 0;
      pair.B = 0;
      pair.Quality = Infinity;
    } else {
      if (pair.A > b) --pair.A;
      if (pair.B > b) --pair.B;
    }
  }
  size_t slot = 0;
  auto nextFreeSlot = [&s, &slot]() {
    do ++slot; while (s.Pairs[slot].A != 0);
    return static_cast<int32_t>(slot);
  };
  for (int32_t x = 1; x < a; ++x) BuildPair(s, nextFreeSlot(), x, a);
  for (int32_t x = a + 1; x <= s.K(); ++x) BuildPair(s, nextFreeSlot(), a, x);
}

void RunMergeLoop(TFeatureSearch& s) {
  BuildInitialPairs(s);
  while (s.K() > 2) {
    TPair& pair = s.Pairs[BestPair(s)];
    const double quality = pair.Quality;
    const int32_t a = pair.A;
    const int32_t b = pair.B;
    MergeGroups(s, pair);
    ApplyAcceptance(s, quality);
    if (s.K() <= 2) break;
    if (s.Nominal) {
      RenewNominalPairs(s, a, b);
    } else {
      RenewNumericPairs(s, a);
    }
    RateUsedPairs(s);
  }
}

void CreditFeature(RunContext& rc, int32_t f, double quality) {
  if (rc.FeatureScore[f] == Infinity) rc.FeatureScore[f] = 0;
  rc.FeatureHits[f] += 1;
  rc.FeatureScore[f] += quality;
}

void CreditSplitVertices(RunContext& rc, const TBranch* branch, double quality) {
  for (; branch != nullptr; branch = branch->Next) {
    const TVertex& child = *branch->Child;
    if (child.FirstBranch == nullptr) continue;
    CreditFeature(rc, child.SplitFeature, quality);
    CreditSplitVertices(rc, child.FirstBranch, quality);
  }
}

// The feature gets its best quality, or the leaf quality when nothing was accepted; the
// best quality also goes to every feature split on inside the best partition's subtrees.
void AccumulateFeatureScores(RunContext& rc, const TFeatureSearch& s, double leafQuality) {
  if (s.Best == Infinity) {
    CreditFeature(rc, s.G, leafQuality);
    return;
  }
  CreditFeature(rc, s.G, s.Best);
  for (const OwnedBranch& tree : s.BestTrees) CreditSplitVertices(rc, tree.get(), s.Best);
}

void LinkBestPartition(TFeatureSearch& s, TVertex& v, TGrowResult& result) {
  result.Quality = s.Best;
  result.Leaves = s.BestTotals.Leaves;
  result.Misclassified = s.BestTotals.Misclassified;
  result.Variance = s.BestTotals.Variance;
  FreeBranches(v.FirstBranch);
  PBranch* tail = &v.FirstBranch;
  for (OwnedBranch& tree : s.BestTrees) {
    *tail = tree.release();
    tail = &(*tail)->Next;
  }
  v.SplitFeature = s.G;
}

void SearchFeature(const TVertexSearch& vs, int32_t g, double leafQuality, TVertex& v,
                   TGrowResult& result) {
  vs.Available[g] = false;
  TFeatureSearch s(vs, g);
  // A feature that cannot be used stays unavailable for the rest of this vertex's search.
  if (!FormGroups(s)) return;
  const double quality = GrowElementaryGroups(s);
  vs.Available[g] = true;
  s.BestTrees.reserve(static_cast<size_t>(s.K()));
  ApplyAcceptance(s, quality);
  if (s.K() > 2) RunMergeLoop(s);
  AccumulateFeatureScores(vs.rc, s, leafQuality);
  // Strictly better only: the leaf, or the lower-numbered feature, keeps an equal quality.
  if (s.Best < result.Quality) LinkBestPartition(s, v, result);
}

// Statistics of the vertex's own objects and its quality as a leaf.
void FillVertex(RunContext& rc, TVertex& v, std::span<const int32_t> objects, int32_t prevFeature,
                TGrowResult& result) {
  const int32_t n = static_cast<int32_t>(objects.size());
  TClassCounts counts{};
  double sum = 0.0;
  double squares = 0.0;
  for (int32_t i : objects) {
    if (rc.ClassesNumber > 0) CountClass(rc, i, counts);
    const double y = rc.TargetValue[i];
    sum += y;
    squares += y * y;
  }
  result.Misclassified = Misclassified(rc, counts);
  const double rate = PerObject(result.Misclassified, n);
  const double mean = PerObject(sum, n);
  result.Variance = PerObject(squares, n) - mean * mean;
  result.Cost = 0.0;
  if (prevFeature == 0) rc.RootVariance = result.Variance;
  FreeBranches(v.FirstBranch);
  v.ClassCounts = counts;
  v.Mean = mean;
  v.Variance = result.Variance;
  v.ObjCount = n;
  v.Terminal = IsHomogeneous(rc, rate, result.Variance) || n < rc.MinNodeSize;
  v.SplitFeature = 0;
  result.Leaves = 1;
  result.Quality = SplitQuality(rc, n, 1, rate, result.Variance, 0);
}

}  // namespace

double SplitQuality(const RunContext& rc, int32_t n, double k, double r, double v, double c) {
  const double variance =
      rc.RootVariance == 0 ? 0.0 : rc.RegressionWeight * std::max(v, 0.0) / rc.RootVariance;
  return variance + rc.ClassificationWeight * r + PerObject(rc.LeafWeight * k, n) +
         rc.CostWeight * c;
}

bool IsHomogeneous(const RunContext& rc, double r, double v) {
  const double variance = rc.RootVariance == 0 ? 0.0 : rc.RegressionWeight * v / rc.RootVariance;
  return rc.ClassificationWeight * r + variance <= rc.Params->Homogeneity;
}

int32_t Misclassified(const RunContext& rc, const TClassCounts& counts) {
  int32_t total = 0;
  for (int32_t k = 1; k <= rc.ClassesNumber; ++k) total += counts[k];
  return total - LargestClass(rc, counts);
}

TGrowResult GrowVertex(RunContext& rc, PVertex v, std::span<const int32_t> objects,
                       FeatureFlags available, int32_t depth, int32_t prevFeature) {
  ++depth;
  TGrowResult result;
  FillVertex(rc, *v, objects, prevFeature, result);
  if (v->Terminal) return result;
  const double leafQuality = result.Quality;
  const TVertexSearch vs{rc, objects, static_cast<int32_t>(objects.size()), depth, prevFeature,
                         available};
  for (int32_t g = 1; g <= rc.FeaturesNumber; ++g) {
    if (available[g] && g != prevFeature) SearchFeature(vs, g, leafQuality, *v, result);
  }
  return result;
}

}  // namespace tarmel
