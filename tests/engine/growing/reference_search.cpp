// A straightforward split search and staged growth for the identity tests: every group
// keeps its objects as labels on the known objects, every merge relabels them, every pair
// is rated after every merge and the best partition is kept as deep copies. Slow, and
// written to be read against the engine's search, whose reports must be the same.
#include "reference_search.h"

#include <algorithm>

#include "split_search.h"
#include "staged_lookahead.h"

namespace tarmel::reference {
namespace {

// A candidate subtree with its outputs; owns Branch.
struct TSub {
  PBranch Branch = nullptr;
  int32_t Leaves = 1;
  int32_t Misclassified = 0;
  double Variance = 0.0;
  int32_t Count = 0;
};

void Free(TSub& s) { FreeBranches(s.Branch); }

struct TGroupData {
  int32_t Code = 0;  // the label its known objects carry
  int32_t Count = 0;
  double Mean = 0.0;
  double Variance = 0.0;
  TClassCounts Classes{};
  std::vector<int32_t> Values;  // nominal value set
  TSub Sub;
};

struct TSlot {
  int32_t A = 0;  // 0: free
  int32_t B = 0;
  TSub Sub;
  double Quality = Infinity;
};

struct TSearch {
  TSearch(RunContext& r, const std::vector<int32_t>& objects, int32_t depth, int32_t prev,
          FeatureFlags& available, int32_t g)
      : rc(r), Objects(objects), N(static_cast<int32_t>(objects.size())), Depth(depth),
        PrevFeature(prev), Available(available), G(g) {}
  RunContext& rc;
  const std::vector<int32_t>& Objects;
  int32_t N;
  int32_t Depth;
  int32_t PrevFeature;
  FeatureFlags& Available;
  int32_t G = 0;
  std::vector<int32_t> Known;   // known objects in list order
  std::vector<int32_t> Label;   // their group codes
  std::vector<TGroupData> Groups;  // 1..K
  std::vector<double> T;           // numeric bounds t[0..K]
  std::vector<TSlot> Slots;        // numeric: pair i = (i, i+1); nominal: slots
  int32_t L = 0, M = 0;
  double S = 0.0;
  double Best = Infinity;
  int32_t BestL = 0, BestM = 0;
  double BestS = 0.0;
  std::vector<TSub> BestSubs;
  bool SizeChecked = false;
  int32_t K() const { return static_cast<int32_t>(Groups.size()) - 1; }
  bool Nominal() const { return rc.FeatureType[G] == NominalFeature; }
};

TGrowResult Grow(RunContext& rc, PVertex v, const std::vector<int32_t>& objects,
                 FeatureFlags available, int32_t depth, int32_t prevFeature);

void Pool(const RunContext& rc, const TGroupData& a, const TGroupData& b, TGroupData& u) {
  u.Count = a.Count + b.Count;
  const double na = a.Count, nb = b.Count;
  u.Mean = (na * a.Mean + nb * b.Mean) / u.Count;
  u.Variance = (na * ((a.Mean - u.Mean) * (a.Mean - u.Mean) + a.Variance) +
                nb * ((b.Mean - u.Mean) * (b.Mean - u.Mean) + b.Variance)) /
               u.Count;
  for (int32_t k = 1; k <= rc.ClassesNumber; ++k) u.Classes[k] = a.Classes[k] + b.Classes[k];
}

bool CannotContinue(const TSearch& s, const std::vector<int32_t>& objects) {
  if (static_cast<int32_t>(objects.size()) < s.rc.MinNodeSize) return true;
  for (int32_t f = 1; f <= s.rc.FeaturesNumber; ++f) {
    if (!s.Available[f] || f == s.PrevFeature) continue;
    bool seen = false;
    double reference = 0.0;
    for (int32_t i : objects) {
      const double x = s.rc.DataTable.At(f, i);
      if (x == MissingValue) continue;
      if (seen && x != reference) return false;
      if (!seen) reference = x;
      seen = true;
    }
  }
  return true;
}

TSub BuildGroupBranch(TSearch& s, int32_t a, int32_t b) {
  RunContext& rc = s.rc;
  std::vector<int32_t> objects;
  for (size_t p = 0; p < s.Known.size(); ++p) {
    if (s.Label[p] == s.Groups[a].Code || s.Label[p] == s.Groups[b].Code) {
      objects.push_back(s.Known[p]);
    }
  }
  TGroupData u = s.Groups[a];
  if (a != b) Pool(rc, s.Groups[a], s.Groups[b], u);
  const int32_t mis = Misclassified(rc, u.Classes);
  TSub sub;
  sub.Branch = NewBranch();
  sub.Branch->Kind = static_cast<uint8_t>(rc.FeatureType[s.G]);
  sub.Count = static_cast<int32_t>(objects.size());
  const bool homogeneous = IsHomogeneous(rc, static_cast<double>(mis) / s.N, u.Variance);
  const bool blocked = CannotContinue(s, objects);
  TVertex& child = *sub.Branch->Child;
  if (!homogeneous && !blocked && s.Depth < rc.MaxDepth) {
    const TGrowResult r = Grow(rc, &child, objects, s.Available, s.Depth, s.G);
    sub.Leaves = r.Leaves;
    sub.Misclassified = r.Misclassified;
    sub.Variance = r.Variance;
  } else {
    child.ClassCounts = u.Classes;
    child.Variance = u.Variance;
    child.Mean = u.Mean;
    child.ObjCount = sub.Count;
    child.Terminal = homogeneous || blocked;
    sub.Misclassified = mis;
    sub.Variance = u.Variance;
  }
  if (!s.Nominal()) {
    sub.Branch->Low = s.T[static_cast<size_t>(a - 1)];
    sub.Branch->High = s.T[static_cast<size_t>(b)];
  } else {
    std::vector<int32_t> codes = s.Groups[a].Values;
    if (a != b) codes.insert(codes.end(), s.Groups[b].Values.begin(), s.Groups[b].Values.end());
    sub.Branch->CategoryCount = static_cast<int32_t>(codes.size());
    for (size_t c = 0; c < codes.size(); ++c) sub.Branch->Categories[c + 1] = codes[c];
  }
  return sub;
}

double Quality(const TSearch& s, int32_t l, int32_t m, double v) {
  return SplitQuality(s.rc, s.N, l, static_cast<double>(m) / static_cast<double>(s.Known.size()),
                      v, s.rc.FeatureCost[s.G]);
}

double PairQuality(const TSearch& s, const TSlot& p) {
  const TSub& x = s.Groups[p.A].Sub;
  const TSub& y = s.Groups[p.B].Sub;
  const double nk = static_cast<double>(s.Known.size());
  return Quality(s, s.L - x.Leaves - y.Leaves + p.Sub.Leaves,
                 s.M - x.Misclassified - y.Misclassified + p.Sub.Misclassified,
                 s.S - (static_cast<double>(x.Count) * x.Variance +
                        static_cast<double>(y.Count) * y.Variance -
                        static_cast<double>(p.Sub.Count) * p.Sub.Variance) / nk);
}

void Accept(TSearch& s, double q) {
  if (!s.SizeChecked) {
    for (int32_t k = 1; k <= s.K(); ++k) {
      const TVertex& leaf = *s.Groups[k].Sub.Branch->Child;
      if (leaf.FirstBranch != nullptr) continue;
      int32_t size = leaf.ObjCount;
      if (s.rc.ClassificationWeight != 0) {
        size = 0;
        for (int32_t c = 1; c <= s.rc.ClassesNumber; ++c) size = std::max(size, leaf.ClassCounts[c]);
      }
      if (size < s.rc.MinNodeSize) return;
    }
    s.SizeChecked = true;
  }
  if (q > s.Best) return;
  s.Best = q;
  s.BestL = s.L;
  s.BestM = s.M;
  s.BestS = s.S;
  for (TSub& b : s.BestSubs) Free(b);
  s.BestSubs.clear();
  for (int32_t k = 1; k <= s.K(); ++k) {
    TSub copy = s.Groups[k].Sub;
    copy.Branch = nullptr;
    CopyBranches(copy.Branch, s.Groups[k].Sub.Branch);
    s.BestSubs.push_back(copy);
  }
}

void AddTarget(const RunContext& rc, int32_t i, TGroupData& g) {
  const double y = rc.TargetValue[i];
  const double n = g.Count;
  const double mean = (n * g.Mean + y) / (n + 1);
  g.Variance = (n * ((g.Mean - mean) * (g.Mean - mean) + g.Variance) +
                (y - mean) * (y - mean)) / (n + 1);
  g.Mean = mean;
  ++g.Count;
  const int32_t c = rc.ClassLabel[i];
  if (rc.ClassesNumber > 0 && c >= 1 && c <= rc.ClassesNumber) ++g.Classes[c];
}

int32_t CodeOf(double x) { return x > -1e9 && x < 1e9 ? static_cast<int32_t>(x) : 0; }

// Elementary groups; false when the feature is not used at this vertex.
bool FormGroups(TSearch& s) {
  const RunContext& rc = s.rc;
  for (int32_t i : s.Objects) {
    if (rc.DataTable.At(s.G, i) != MissingValue) s.Known.push_back(i);
  }
  const auto known = static_cast<int32_t>(s.Known.size());
  if (known == 0 || static_cast<double>(s.N - known) / s.N >= 0.5) return false;
  s.Groups.resize(1);
  if (s.Nominal()) {
    for (int32_t i : s.Known) {
      const int32_t code = CodeOf(rc.DataTable.At(s.G, i));
      int32_t k = 1;
      while (k <= s.K() && s.Groups[k].Values[0] != code) ++k;
      if (k > s.K()) {
        s.Groups.emplace_back();
        s.Groups.back().Code = k;
        s.Groups.back().Values = {code};
      }
      s.Label.push_back(k);
    }
    if (s.K() > MaxCategories) return false;
  } else {
    std::vector<double> u;
    for (int32_t i : s.Known) u.push_back(rc.DataTable.At(s.G, i));
    std::sort(u.begin(), u.end());
    u.erase(std::unique(u.begin(), u.end()), u.end());
    const size_t k = known < 2 ? 1 : u.size();
    s.T.assign(1, -Infinity);
    for (size_t i = 1; i < k; ++i) s.T.push_back(u[i - 1] + (u[i] - u[i - 1]) / 2);
    s.T.push_back(Infinity);
    s.Groups.resize(k + 1);
    for (size_t i = 1; i <= k; ++i) s.Groups[i].Code = static_cast<int32_t>(i);
    for (int32_t i : s.Known) {
      size_t g = 1;
      while (g < k && !(rc.DataTable.At(s.G, i) <= s.T[g])) ++g;
      s.Label.push_back(static_cast<int32_t>(g));
    }
  }
  if (s.K() < 2) return false;
  for (size_t p = 0; p < s.Known.size(); ++p) AddTarget(rc, s.Known[p], s.Groups[s.Label[p]]);
  return true;
}

void BuildSlot(TSearch& s, size_t slot, int32_t a, int32_t b) {
  Free(s.Slots[slot].Sub);
  s.Slots[slot].A = a;
  s.Slots[slot].B = b;
  s.Slots[slot].Sub = BuildGroupBranch(s, a, b);
}

// Merges the pair in the slot and prepares the pairs of the next step.
void Merge(TSearch& s, size_t best) {
  const int32_t a = s.Slots[best].A;
  const int32_t b = s.Slots[best].B;
  TSlot pair = s.Slots[best];
  s.Slots[best].Sub.Branch = nullptr;
  s.Slots[best].A = 0;
  TGroupData& ga = s.Groups[a];
  TGroupData& gb = s.Groups[b];
  s.L = s.L - ga.Sub.Leaves - gb.Sub.Leaves + pair.Sub.Leaves;
  s.M = s.M - ga.Sub.Misclassified - gb.Sub.Misclassified + pair.Sub.Misclassified;
  s.S = s.S - (static_cast<double>(ga.Sub.Count) * ga.Sub.Variance +
               static_cast<double>(gb.Sub.Count) * gb.Sub.Variance -
               static_cast<double>(pair.Sub.Count) * pair.Sub.Variance) /
                  static_cast<double>(s.Known.size());
  Free(ga.Sub);
  Free(gb.Sub);
  ga.Sub = pair.Sub;
  for (int32_t& label : s.Label) {
    if (label == gb.Code) label = ga.Code;
  }
  TGroupData u;
  Pool(s.rc, ga, gb, u);
  ga.Count = u.Count;
  ga.Mean = u.Mean;
  ga.Variance = u.Variance;
  ga.Classes = u.Classes;
  ga.Values.insert(ga.Values.end(), gb.Values.begin(), gb.Values.end());
  s.Groups.erase(s.Groups.begin() + b);
  if (!s.Nominal()) {
    s.T.erase(s.T.begin() + a);
    // The pair (b, b + 1) goes; when b was the last group, the emptied last slot does.
    const size_t gone = std::min(static_cast<size_t>(b), s.Slots.size() - 1);
    Free(s.Slots[gone].Sub);
    s.Slots.erase(s.Slots.begin() + static_cast<std::ptrdiff_t>(gone));
    for (size_t slot = gone; slot < s.Slots.size(); ++slot) {
      if (s.Slots[slot].A != 0) --s.Slots[slot].A, --s.Slots[slot].B;
    }
  }
}

void RenewPairs(TSearch& s, int32_t a, int32_t b) {
  if (!s.Nominal()) {
    if (a > 1) BuildSlot(s, static_cast<size_t>(a - 1), a - 1, a);
    if (a < s.K()) BuildSlot(s, static_cast<size_t>(a), a, a + 1);
    return;
  }
  for (size_t slot = 1; slot < s.Slots.size(); ++slot) {
    TSlot& p = s.Slots[slot];
    if (p.A == 0) continue;
    if (p.A == a || p.B == a || p.A == b || p.B == b) {
      Free(p.Sub);
      p = TSlot();
      continue;
    }
    if (p.A > b) --p.A;
    if (p.B > b) --p.B;
  }
  size_t slot = 0;
  auto next = [&s, &slot]() {
    do ++slot; while (s.Slots[slot].A != 0);
    return slot;
  };
  for (int32_t x = 1; x < a; ++x) BuildSlot(s, next(), x, a);
  for (int32_t x = a + 1; x <= s.K(); ++x) BuildSlot(s, next(), a, x);
}

size_t BestSlot(TSearch& s) {
  size_t best = 0;
  for (size_t slot = 1; slot < s.Slots.size(); ++slot) {
    TSlot& p = s.Slots[slot];
    if (p.A == 0) continue;
    p.Quality = PairQuality(s, p);
    if (best == 0 || p.Quality < s.Slots[best].Quality) best = slot;
  }
  return best;
}

void MergeLoop(TSearch& s) {
  const int32_t k = s.K();
  if (!s.Nominal()) {
    s.Slots.resize(static_cast<size_t>(k));
    for (int32_t i = 1; i < k; ++i) BuildSlot(s, static_cast<size_t>(i), i, i + 1);
  } else {
    s.Slots.resize(static_cast<size_t>(k * (k - 1) / 2) + 1);
    size_t slot = 0;
    for (int32_t a = 1; a < k; ++a) {
      for (int32_t b = a + 1; b <= k; ++b) BuildSlot(s, ++slot, a, b);
    }
  }
  while (s.K() > 2) {
    const size_t best = BestSlot(s);
    const double q = s.Slots[best].Quality;
    const int32_t a = s.Slots[best].A;
    const int32_t b = s.Slots[best].B;
    Merge(s, best);
    Accept(s, q);
    if (s.K() > 2) RenewPairs(s, a, b);
  }
}

void Credit(RunContext& rc, int32_t f, double q) {
  if (rc.FeatureScore[f] == Infinity) rc.FeatureScore[f] = 0;
  rc.FeatureHits[f] += 1;
  rc.FeatureScore[f] += q;
}

void CreditBelow(RunContext& rc, const TVertex& v, double q) {
  if (v.FirstBranch == nullptr) return;
  Credit(rc, v.SplitFeature, q);
  for (PBranch b = v.FirstBranch; b != nullptr; b = b->Next) CreditBelow(rc, *b->Child, q);
}

void SearchFeature(TSearch& s, double leafQuality, PVertex v, TGrowResult& result) {
  s.Available[s.G] = false;
  if (!FormGroups(s)) return;
  double weighted = 0.0;
  for (int32_t k = 1; k <= s.K(); ++k) {
    TGroupData& g = s.Groups[k];
    g.Sub = BuildGroupBranch(s, k, k);
    s.L += g.Sub.Leaves;
    s.M += g.Sub.Misclassified;
    weighted += static_cast<double>(g.Sub.Count) * g.Sub.Variance;
  }
  s.S = weighted / static_cast<double>(s.Known.size());
  const double q = Quality(s, s.L, s.M, s.S);
  s.Available[s.G] = true;
  Accept(s, q);
  if (s.K() > 2) MergeLoop(s);
  if (s.Best == Infinity) {
    Credit(s.rc, s.G, leafQuality);
  } else {
    Credit(s.rc, s.G, s.Best);
    for (const TSub& b : s.BestSubs) CreditBelow(s.rc, *b.Branch->Child, s.Best);
  }
  if (s.Best < result.Quality) {
    result.Quality = s.Best;
    result.Leaves = s.BestL;
    result.Misclassified = s.BestM;
    result.Variance = s.BestS;
    FreeBranches(v->FirstBranch);
    PBranch* tail = &v->FirstBranch;
    for (TSub& b : s.BestSubs) {
      *tail = b.Branch;
      tail = &b.Branch->Next;
      b.Branch = nullptr;
    }
    v->SplitFeature = s.G;
  }
}

void FreeSearch(TSearch& s) {
  for (TGroupData& g : s.Groups) Free(g.Sub);
  for (TSlot& p : s.Slots) Free(p.Sub);
  for (TSub& b : s.BestSubs) Free(b);
}

TGrowResult Grow(RunContext& rc, PVertex v, const std::vector<int32_t>& objects,
                 FeatureFlags available, int32_t depth, int32_t prevFeature) {
  ++depth;
  const auto n = static_cast<int32_t>(objects.size());
  TClassCounts counts{};
  double sum = 0.0, squares = 0.0;
  for (int32_t i : objects) {
    const int32_t c = rc.ClassLabel[i];
    if (rc.ClassesNumber > 0 && c >= 1 && c <= rc.ClassesNumber) ++counts[c];
    sum += rc.TargetValue[i];
    squares += rc.TargetValue[i] * rc.TargetValue[i];
  }
  TGrowResult result;
  result.Misclassified = Misclassified(rc, counts);
  const double rate = n > 0 ? static_cast<double>(result.Misclassified) / n : 0.0;
  const double mean = n > 0 ? sum / n : 0.0;
  result.Variance = (n > 0 ? squares / n : 0.0) - mean * mean;
  if (prevFeature == 0) rc.RootVariance = result.Variance;
  FreeBranches(v->FirstBranch);
  v->ClassCounts = counts;
  v->Mean = mean;
  v->Variance = result.Variance;
  v->ObjCount = n;
  v->Terminal = IsHomogeneous(rc, rate, result.Variance) || n < rc.MinNodeSize;
  v->SplitFeature = 0;
  result.Quality = SplitQuality(rc, n, 1, rate, result.Variance, 0);
  if (v->Terminal) return result;
  const double leafQuality = result.Quality;
  for (int32_t g = 1; g <= rc.FeaturesNumber; ++g) {
    if (!available[g] || g == prevFeature) continue;
    TSearch s(rc, objects, depth, prevFeature, available, g);
    SearchFeature(s, leafQuality, v, result);
    FreeSearch(s);
  }
  return result;
}

}  // namespace

TSubtree GrowSubtree(RunContext& rc, const std::vector<int32_t>& objects,
                     const FeatureFlags& available, int32_t prevFeature) {
  TSubtree kept;
  rc.MaxDepth = rc.RecursionDepth - 1;
  while (true) {
    ++rc.MaxDepth;
    FeatureFlags stage{};
    int32_t m = 0;
    if (!SelectStageFeatures(rc, available, stage, m)) break;
    for (int32_t f = 1; f <= rc.FeaturesNumber; ++f) {
      rc.FeatureScore[f] = Infinity;
      rc.FeatureHits[f] = 0;
    }
    OwnedTree root(new TVertex);
    const TGrowResult grown = Grow(rc, root.get(), objects, stage, 0, prevFeature);
    if (!kept.Tree || grown.Quality < kept.Quality) {
      kept.Tree = std::move(root);
      kept.Quality = grown.Quality;
      kept.Leaves = grown.Leaves;
      kept.Misclassified = grown.Misclassified;
    }
    for (int32_t f = 1; f <= rc.FeaturesNumber; ++f) {
      if (rc.FeatureHits[f] > 0) rc.FeatureScore[f] = rc.FeatureScore[f] / rc.FeatureHits[f];
    }
    if (rc.MaxDepth == rc.FeaturesNumber) break;
  }
  return kept;
}

}  // namespace tarmel::reference
