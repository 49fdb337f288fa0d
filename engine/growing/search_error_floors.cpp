// Error floors: what the depth-limit searches of two groups learned about a feature bounds
// what the search of their union can find there, so a feature that cannot beat the union's
// best so far is not searched at all (see TErrorFloor).
#include <algorithm>
#include <cmath>
#include <span>

#include "search_stats.h"
#include "search_steps.h"

namespace tarmel::search {
namespace {

size_t FloorsPer(const RunContext& rc) { return static_cast<size_t>(rc.FeaturesNumber) + 1; }

// The floor of the union of two object sets, whose objects with a known value the caller
// counted; a set that learned nothing adds a floor of no errors, and as many codes as it
// has known values.
TErrorFloor UnionFloor(const TErrorFloor* a, const TErrorFloor* b, int32_t known) {
  TErrorFloor u;
  u.Known = known;
  for (const TErrorFloor* part : {a, b}) {
    const TErrorFloor* other = part == a ? b : a;
    if (part == nullptr) {
      u.Codes += known - other->Known;
      continue;
    }
    u.Codes += part->Codes;
    u.Spread += part->Spread;
    for (size_t l = 0; l < u.Fewest.size(); ++l) u.Fewest[l] += part->Fewest[l];
  }
  return u;
}

// The quality of a partition of the union into this many leaves with this many errors and
// the floor's spread, rated as the feature's search would rate it at the depth limit.
double FloorQuality(const TVertexSearch& vs, int32_t g, const TErrorFloor& f, int32_t leaves,
                    int32_t misclassified) {
  return SplitQuality(vs.rc, vs.N, leaves, static_cast<double>(misclassified) / f.Known,
                      f.Spread / f.Known, vs.rc.FeatureCost[g]);
}

// Whether every partition the floor allows rates no better than the vertex's best so far,
// which is all a feature's search may end with when it stops early (see CannotImprove).
// The search's totals of spread stray from the floor's in the last places, so a floor with
// a spread rules out only by a margin far above that, and one too large for a double not
// at all.
bool FloorCannotImprove(const TVertexSearch& vs, int32_t g, const TErrorFloor& f) {
  if (!std::isfinite(f.Spread)) return false;
  const double best = *vs.VertexQuality;
  const double bar = f.Spread > 0 ? AboveRounding(best) : best;
  for (int32_t l = 2; l <= FloorLeaves; ++l) {
    if (FloorQuality(vs, g, f, l, f.Fewest[static_cast<size_t>(l)]) < bar) return false;
  }
  return FloorQuality(vs, g, f, FloorLeaves + 1, f.Fewest[0]) >= bar;
}

// Whether the subtrees grown below this vertex's groups are searched at the depth limit,
// where their features' floors are learned and used.
bool KeepsFloors(const TVertexSearch& vs) {
  const TPairOrder order = PairOrderAt(vs.rc, true);
  return !vs.AtLimit && vs.Depth + 1 >= vs.rc.MaxDepth && MayStopAt(vs.rc, true) &&
         (order == TPairOrder::ByMisclassified || order == TPairOrder::ByVarianceDrop);
}

}  // namespace

void StartGroupFloors(TFeatureSearch& s) {
  s.Floors = KeepsFloors(s.V);
  if (s.Floors) s.B.GroupFloors.resize(s.Groups.size() * FloorsPer(s.V.rc));
}

void StartPairFloors(TFeatureSearch& s) {
  if (s.Floors) s.B.PairFloors.resize(s.Pairs.size() * FloorsPer(s.V.rc));
}

TErrorFloor* GroupFloorsOf(TFeatureSearch& s, int32_t group) {
  return s.B.GroupFloors.data() + static_cast<size_t>(group) * FloorsPer(s.V.rc);
}

TErrorFloor* PairFloorsOf(TFeatureSearch& s, int32_t slot) {
  return s.B.PairFloors.data() + static_cast<size_t>(slot) * FloorsPer(s.V.rc);
}

void ClearFloorOut(TFeatureSearch& s) { s.FloorOut[0].Known = -1; }

void StartFloorsOut(const TVertexSearch& vs) {
  if (vs.FloorsOut == nullptr) return;
  for (int32_t g = 0; g <= vs.rc.FeaturesNumber; ++g) vs.FloorsOut[g].Known = -1;
  vs.FloorsOut[0].Known = 0;
}

void HandFloors(TFeatureSearch& s, int32_t a, int32_t b) {
  TSearchScratch& scratch = s.V.Scratch;
  scratch.FloorsOut = s.FloorOut;
  scratch.FloorsOf[0] = a != b ? GroupFloorsOf(s, a) : nullptr;
  scratch.FloorsOf[1] = a != b ? GroupFloorsOf(s, b) : nullptr;
}

void KeepPairFloors(TFeatureSearch& s, int32_t slot, int32_t group) {
  const TErrorFloor* pair = PairFloorsOf(s, slot);
  TErrorFloor* kept = GroupFloorsOf(s, group);
  if (pair[0].Known < 0) kept[0].Known = -1;
  else std::copy_n(pair, FloorsPer(s.V.rc), kept);
}

bool FloorsRuleOut(const TFeatureSearch& s) {
  const TVertexSearch& vs = s.V;
  if (vs.FloorsOf[0] == nullptr || vs.FloorsOut == nullptr) return false;
  // A group whose subtree was not searched at the depth limit learned nothing.
  auto floorOf = [&vs, g = s.G](int32_t part) {
    const TErrorFloor* floors = vs.FloorsOf[part];
    return floors[0].Known < 0 || floors[g].Known < 0 ? nullptr : &floors[g];
  };
  // A floor learned on either group also tells that the feature has two values or more in
  // the union, as forming its groups would find.
  if (floorOf(0) == nullptr && floorOf(1) == nullptr) return false;
  const TErrorFloor u = UnionFloor(floorOf(0), floorOf(1), s.Known());
  // Nominal groups must also be few enough for a branch, as forming them would find.
  if (s.Nominal && u.Codes > MaxCategories) return false;
  if (!FloorCannotImprove(vs, s.G, u)) return false;
  vs.FloorsOut[s.G] = u;
  return true;
}

void KeepFineFloor(const TFeatureSearch& s) {
  if (s.V.FloorsOut == nullptr) return;
  TErrorFloor& f = s.V.FloorsOut[s.G];
  f.Known = s.Known();
  f.Codes = 0;  // a numeric feature's values are not codes
  f.Spread = 0.0;
  f.Fewest.fill(s.Totals.Misclassified);
}

void KeepGroupsFloor(const TFeatureSearch& s) {
  if (s.V.FloorsOut == nullptr) return;
  int32_t fine = 0;
  double spread = 0.0;
  for (int32_t k = 1; k <= s.Standing; ++k) {
    const TStats& stats = s.Groups[k].Stats;
    fine += Misclassified(s.V.rc, stats.Classes);
    if (s.Spread) spread += stats.Count * stats.Variance;
  }
  TErrorFloor& f = s.V.FloorsOut[s.G];
  f.Known = s.Known();
  f.Codes = s.Standing;
  f.Fewest.fill(fine);
  f.Spread = spread;
}

void KeepRunFloor(const TFeatureSearch& s, const TMarginCounts& perMargin) {
  if (s.V.FloorsOut == nullptr) return;
  TErrorFloor& f = s.V.FloorsOut[s.G];
  f.Known = s.Known();
  f.Fewest.fill(s.Totals.Misclassified);
  ForEachMarginFloor(s.Totals.Misclassified, s.Standing, perMargin,
                     [&f](int32_t low, int32_t fewest) {
                       for (int32_t l : {low, low + 1}) {
                         if (l >= 2 && l <= FloorLeaves) f.Fewest[static_cast<size_t>(l)] = fewest;
                       }
                       return true;
                     });
}

}  // namespace tarmel::search
