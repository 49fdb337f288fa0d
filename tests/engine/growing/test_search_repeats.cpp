// Kept searches at the depth limit: a search is handed out again only for the same objects,
// flags and feature above, with its partition and floors as they were, and the kept ones
// stay within their budget.
#include <gtest/gtest.h>

#include <vector>

#include "search_repeats.h"

namespace tarmel::search {
namespace {

constexpr int32_t Features = 3;

// A vertex split into a numeric interval and a set of two codes, both leaves.
OwnedTree TwoLeaves() {
  OwnedTree v(new TVertex);
  v->SplitFeature = 2;
  v->FirstBranch = NewBranch();
  v->FirstBranch->High = 4.5;
  v->FirstBranch->Child->ObjCount = 7;
  v->FirstBranch->Child->Mean = 1.25;
  v->FirstBranch->Child->ClassCounts[1] = 7;
  v->FirstBranch->Next = NewBranch();
  TBranch& codes = *v->FirstBranch->Next;
  codes.Kind = 2;
  codes.CategoryCount = 2;
  codes.Categories[1] = 3;
  codes.Categories[2] = 9;
  codes.Child->ObjCount = 5;
  codes.Child->Terminal = true;
  return v;
}

// Floors for features 0..3 where 1 and 3 are usable: one count for every number of leaves
// for feature 1, none learned for feature 2, counts that fall with the leaves for feature 3.
std::vector<TErrorFloor> SomeFloors() {
  std::vector<TErrorFloor> floors(Features + 1);
  floors[0].Known = 0;
  floors[1] = {.Known = 12, .Codes = 4, .Spread = 0.5};
  floors[1].Fewest.fill(3);
  floors[3].Known = 11;
  for (size_t l = 0; l < floors[3].Fewest.size(); ++l) floors[3].Fewest[l] = l < 2 ? 1 : 9 - static_cast<int32_t>(l / 4);
  return floors;
}

void ExpectSameFloors(const std::vector<TErrorFloor>& a, const std::vector<TErrorFloor>& b) {
  for (size_t g = 0; g < a.size(); ++g) {
    EXPECT_EQ(a[g].Known, b[g].Known) << g;
    if (a[g].Known < 0) continue;
    EXPECT_EQ(a[g].Codes, b[g].Codes) << g;
    EXPECT_EQ(a[g].Spread, b[g].Spread) << g;
    EXPECT_EQ(a[g].Fewest, b[g].Fewest) << g;
  }
}

void ExpectSameLeaves(const TVertex& a, const TVertex& b) {
  EXPECT_EQ(a.SplitFeature, b.SplitFeature);
  const TBranch* x = a.FirstBranch;
  const TBranch* y = b.FirstBranch;
  for (; x != nullptr && y != nullptr; x = x->Next, y = y->Next) {
    EXPECT_EQ(x->Kind, y->Kind);
    EXPECT_EQ(x->Low, y->Low);
    EXPECT_EQ(x->High, y->High);
    EXPECT_EQ(x->CategoryCount, y->CategoryCount);
    EXPECT_EQ(x->Categories, y->Categories);
    EXPECT_EQ(x->Child->ObjCount, y->Child->ObjCount);
    EXPECT_EQ(x->Child->Mean, y->Child->Mean);
    EXPECT_EQ(x->Child->Terminal, y->Child->Terminal);
    EXPECT_EQ(x->Child->ClassCounts, y->Child->ClassCounts);
    EXPECT_EQ(x->Child->FirstBranch, nullptr);
  }
  EXPECT_EQ(x == nullptr, y == nullptr);
}

TEST(Repeats, HandOutOnlyTheSameSearchAsItWasKept) {
  FeatureFlags flags{};
  flags[1] = flags[3] = true;
  const std::vector<int32_t> objects{2, 5, 8, 13};
  const TRepeatKey key = RepeatKeyOf(objects, flags, 2);
  const OwnedTree v = TwoLeaves();
  const std::vector<TErrorFloor> floors = SomeFloors();
  const TGrowResult result{.Quality = 0.25, .Variance = 0.5, .Misclassified = 3, .Leaves = 2};
  TRepeats repeats;
  repeats.Keep(key, objects, *v, result, floors.data(), Features);

  TVertex again;
  TGrowResult got;
  std::vector<TErrorFloor> gotFloors(Features + 1);
  ASSERT_TRUE(TakeRepeat(repeats, key, objects, again, got, gotFloors.data(), Features));
  EXPECT_EQ(got.Quality, result.Quality);
  EXPECT_EQ(got.Misclassified, result.Misclassified);
  EXPECT_EQ(got.Leaves, result.Leaves);
  ExpectSameLeaves(again, *v);
  ExpectSameFloors(gotFloors, floors);
  FreeBranches(again.FirstBranch);

  // The same hash over other objects, other flags or another feature above is not the
  // same search, and does not push the kept one out.
  const std::vector<int32_t> others{2, 5, 8, 14};
  FeatureFlags fewer = flags;
  fewer[3] = false;
  TRepeatKey sameHash[] = {RepeatKeyOf(others, flags, 2), RepeatKeyOf(objects, fewer, 2),
                           RepeatKeyOf(objects, flags, 1)};
  for (TRepeatKey& other : sameHash) other.Hash = key.Hash;
  const std::vector<int32_t>* lists[] = {&others, &objects, &objects};
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(repeats.Find(sameHash[k], *lists[k]), nullptr) << k;
    repeats.Keep(sameHash[k], *lists[k], TVertex{}, TGrowResult{}, nullptr, Features);
  }
  ASSERT_NE(repeats.Find(key, objects), nullptr);
  EXPECT_EQ(repeats.Find(key, objects)->Result.Quality, 0.25);
  // Reached below another feature that is not usable either: the same search.
  EXPECT_NE(repeats.Find(RepeatKeyOf(objects, flags, 4), objects), nullptr);
}

TEST(Repeats, SearchKeptWithoutFloorsTellsNoneWereLearned) {
  const std::vector<int32_t> objects{1, 2, 3};
  const TRepeatKey key = RepeatKeyOf(objects, FeatureFlags{}, 0);
  TRepeats repeats;
  repeats.Keep(key, objects, TVertex{}, TGrowResult{}, nullptr, Features);
  std::vector<TErrorFloor> out = SomeFloors();
  TVertex v;
  TGrowResult result;
  ASSERT_TRUE(TakeRepeat(repeats, key, objects, v, result, out.data(), Features));
  EXPECT_EQ(out[0].Known, -1);
  EXPECT_EQ(v.FirstBranch, nullptr);
}

TEST(Repeats, KeptSearchesStayWithinTheirBudget) {
  const size_t saved = KeptBytes;
  KeptBytes = 4096;
  TRepeats repeats;
  const std::vector<TErrorFloor> floors = SomeFloors();
  std::vector<int32_t> objects(20);
  auto keyOf = [&objects](int32_t k) {
    objects.assign(20, k);
    return RepeatKeyOf(objects, FeatureFlags{}, 0);
  };
  for (int32_t k = 1; k <= 100; ++k) {
    repeats.Keep(keyOf(k), objects, *TwoLeaves(), TGrowResult{}, floors.data(), Features);
  }
  // The first searches have been forgotten to make room; the last one is still there.
  const TRepeatKey first = keyOf(1);
  EXPECT_EQ(repeats.Find(first, objects), nullptr);
  const TRepeatKey last = keyOf(100);
  EXPECT_NE(repeats.Find(last, objects), nullptr);
  KeptBytes = saved;
}

}  // namespace
}  // namespace tarmel::search
