// The steps of one vertex's search that cross the files of the split search.
#pragma once

#include <cstdint>
#include <span>

#include "search_margins.h"
#include "search_records.h"
#include "split_search.h"

namespace tarmel::search {

// Elementary groups

// The groups of a numeric feature's known values at the vertex: the ranks of the distinct
// values in the scratch's Present, ascending, the bounds between them (not for the rows of
// LeafRows), and the group of each value's rank in GroupOfRank. Returns the feature's
// value ranks.
const TValueRanks& RankGroups(TFeatureSearch& s);

// The groups of a numeric feature at the depth limit in classification as rows of class
// counts (see TFeatureSearch::LeafRows), with the partition's totals; false when the
// feature has fewer than two groups. The groups are linked as they stand by the first
// sweep of MergeNumericLeaves.
bool FormLeafRows(TFeatureSearch& s);

// The objects with a known value of the feature; false when the feature cannot be used at
// this vertex, as half or more of its values are missing.
bool CollectKnown(TFeatureSearch& s);

// The elementary groups of the known objects with their statistics; false when the feature
// cannot be used at this vertex, with fewer than two groups. A branch holds at most
// MaxCategories codes, so a nominal feature with more is not used either.
bool FormGroups(TFeatureSearch& s);

// The subtree of group a (a = b) or of the union of groups a and b (statistics `stats`),
// grown below the vertex unless the union is homogeneous, blocked or at the depth limit.
TGroupTree BuildGroupBranch(TFeatureSearch& s, int32_t a, int32_t b, const TStats& stats,
                            bool bothHeld);

// Subtrees of the elementary groups; returns the quality of that partition. At the depth
// limit every one is a leaf, which is built only if the partition is linked.
double GrowElementaryGroups(TFeatureSearch& s);

// The partition

// Whether the current partition's groups pass the size check; once a partition of the
// feature has passed it, every later one does.
bool PassesSizeCheck(TFeatureSearch& s);

// Takes the current partition, of this quality, as the feature's best when its groups pass
// the size check and it is no worse than the best so far.
void ApplyAcceptance(TFeatureSearch& s, double quality);

// Credits feature f with a quality: in the run's scores, or in the log of a worker.
void CreditFeature(RunContext& rc, int32_t f, double quality);

// Credits feature f with a quality in the run's scores.
void AddCredit(RunContext& rc, int32_t f, double quality);

// Whether a deeper stage will read the feature scores: only then do the credits count.
inline bool ScoresRead(const RunContext& rc) { return rc.ScoresRead; }

// The feature gets its best quality, or the leaf quality when nothing was accepted; the
// best quality also goes to every feature split on inside the best partition's subtrees.
void AccumulateFeatureScores(RunContext& rc, TFeatureSearch& s, double leafQuality);

// Links the best partition's groups below v as its branches; result takes the partition's
// quality and totals.
void LinkBestPartition(TFeatureSearch& s, TVertex& v, TGrowResult& result);

// The best partition at the depth limit, rebuilt from the elementary groups by the merges
// that led to it, with a leaf for every group. A leaf is closed as it would have been
// when its group was formed: an elementary group was judged while its own feature was not
// yet available, a merged one by the two groups it came from.
void RebuildBestPartition(TFeatureSearch& s);

// Error floors (see TErrorFloor)

// How the pairs of a vertex are ordered, and whether its feature searches may stop early.
TPairOrder PairOrderAt(const RunContext& rc, bool atLimit);
bool MayStopAt(const RunContext& rc, bool atLimit);

// Room for a floor per feature for every group, or every pair slot, when the subtrees below
// them are searched at the depth limit (s.Floors).
void StartGroupFloors(TFeatureSearch& s);
void StartPairFloors(TFeatureSearch& s);
TErrorFloor* GroupFloorsOf(TFeatureSearch& s, int32_t group);
TErrorFloor* PairFloorsOf(TFeatureSearch& s, int32_t slot);
// Nothing learned in s.FloorOut: floor 0 of a group or pair tells whether its subtree's
// search wrote the others.
void ClearFloorOut(TFeatureSearch& s);
// The vertex's search will write its floors: nothing learned yet of any feature.
void StartFloorsOut(const TVertexSearch& vs);
// The next vertex grown gets the floors of groups a and b (none when a = b) and writes
// its own to s.FloorOut.
void HandFloors(TFeatureSearch& s, int32_t a, int32_t b);
// The merged group takes the floors of its pair.
void KeepPairFloors(TFeatureSearch& s, int32_t slot, int32_t group);
// Whether the feature, its known objects collected, need not be searched further at the
// vertex: the floors of its groups show that no partition can beat the vertex's best so
// far. The union's floor is kept.
bool FloorsRuleOut(const TFeatureSearch& s);
// The floors of the searched feature: its finest partition's errors, and what the margins
// (count of groups per margin, the last entry for that margin and above) add to them.
void KeepFineFloor(const TFeatureSearch& s);
// The floor of a feature whose groups are not rows: its finest partition's errors for any
// count of leaves, and in regression the spread within its values.
void KeepGroupsFloor(const TFeatureSearch& s);
void KeepRunFloor(const TFeatureSearch& s, const TMarginCounts& perMargin);

// Pairs and the merge loop

// Group a (a < b) takes in group b's value set, objects and range; b stops standing. The
// statistics are the caller's.
void JoinGroups(TFeatureSearch& s, int32_t a, int32_t b);

// Whether no later partition of the feature can change what the vertex links. At the
// depth limit a merge never lowers the misclassified count (a union's largest class is at
// most the sum of the two largest), every partition keeps at least two leaves and a
// variance term of at least 0, and a partition matters only when it can become the
// feature's best and beat the vertex's quality so far (see StopQuality).
bool CannotImprove(const TFeatureSearch& s);

// Whether the pairs of a classification at the depth limit order by their misclassified
// change alone, with no rounding ever making two changes rate the same: then the first
// pair of the lowest change is the one the merge loop takes. Every quality here is at most
// CW + LW + the cost term, and one more misclassified object adds CW / nKnown to it, far
// above the few units of its last place that rounding can move it by.
bool ChangesNeverTie(const TFeatureSearch& s);

// The merge loop of a numeric feature over the rows of FormLeafRows.
void MergeNumericLeaves(TFeatureSearch& s);

// Regression at the depth limit, numeric feature: whether no later partition can change
// what the vertex links, judged from the least cost of cutting the standing groups into
// intervals.
bool SegmentsRuleOut(TFeatureSearch& s);

// Merges the standing groups two at a time, always the pair of the best quality, down to
// two groups, offering every partition for acceptance.
void RunMergeLoop(TFeatureSearch& s);

// The vertex

// Searches feature g at the vertex; its best partition replaces v's subtree when strictly
// better than result, which then holds it.
void SearchFeature(const TVertexSearch& vs, int32_t g, double leafQuality, TVertex& v,
                   TGrowResult& result);

// Searches the top vertex's features on worker threads; false when that does not pay (one
// thread, a worker already, the depth limit, few objects or features), and nothing is done.
bool SearchFeaturesInParallel(RunContext& rc, TVertex& v, std::span<const int32_t> objects,
                              const FeatureFlags& available, int32_t depth, int32_t prevFeature,
                              TGrowResult& result);

}  // namespace tarmel::search
