// Kept searches at the depth limit: a search is handed out again only for the same objects
// and usable features, with its partition, floors and credits as they were, and the kept
// ones stay within their budget. (That a handed-out search grows the same trees is the search
// identity test's part.)
#include <gtest/gtest.h>

#include <vector>

#include "search_repeats.h"

namespace tarmel::search {
namespace {

constexpr int32_t Features = 3;

// A vertex split into a numeric interval and a set of two codes, both leaves.
OwnedTree TwoLeaves() {
  OwnedTree v(new TVertex);
  v->SplitFeature = 3;
  v->FirstBranch = NewBranch();
  v->FirstBranch->High = 4.5;
  v->FirstBranch->Child->Mean = 1.25;
  v->FirstBranch->Next = NewBranch();
  TBranch& codes = *v->FirstBranch->Next;
  codes.Kind = 2;
  codes.CategoryCount = 2;
  codes.Categories[1] = 3;
  codes.Categories[2] = 9;
  codes.Child->ObjCount = 5;
  return v;
}

// Features 1 and 3 usable: one count for every number of leaves for feature 1, nothing
// learned for feature 2, counts that fall with the leaves for feature 3.
std::vector<TErrorFloor> SomeFloors() {
  std::vector<TErrorFloor> floors(Features + 1);
  floors[0].Known = 0;
  floors[1] = {.Known = 12, .Codes = 4, .Spread = 0.5};
  floors[1].Fewest.fill(3);
  floors[3].Known = 11;
  for (size_t l = 0; l < floors[3].Fewest.size(); ++l) {
    floors[3].Fewest[l] = 9 - static_cast<int32_t>(l / 4);
  }
  return floors;
}

TEST(Repeats, HandOutOnlyTheSameSearchAsItWasKept) {
  FeatureFlags flags{};
  flags[1] = flags[3] = true;
  const std::vector<int32_t> objects{2, 5, 8, 13};
  const TRepeatKey key = RepeatKeyOf(objects, flags, 2);
  const std::vector<TErrorFloor> floors = SomeFloors();
  TRepeats repeats;
  *repeats.StartCredits() = {{3, 0.5}, {1, 0.25}};
  repeats.Keep(key, objects, *TwoLeaves(), {.Quality = 0.25, .Leaves = 2}, floors.data(), Features);
  RunContext rc;
  rc.FeaturesNumber = Features;

  TVertex again;
  TGrowResult result;
  std::vector<TErrorFloor> out(Features + 1);
  out[2].Known = 7;  // not usable: nothing learned, whatever the caller's list held
  // Reached below another feature that is not usable either: the same search.
  ASSERT_TRUE(repeats.Take(rc, RepeatKeyOf(objects, flags, 4), objects, again, result,
                           out.data()));
  EXPECT_EQ(rc.FeatureScore[3], 0.5);
  EXPECT_EQ(rc.FeatureHits[1], 1);
  EXPECT_EQ(result.Quality, 0.25);
  EXPECT_EQ(again.SplitFeature, 3);
  ASSERT_NE(again.FirstBranch, nullptr);
  ASSERT_NE(again.FirstBranch->Next, nullptr);
  EXPECT_EQ(again.FirstBranch->High, 4.5);
  EXPECT_EQ(again.FirstBranch->Child->Mean, 1.25);
  EXPECT_EQ(again.FirstBranch->Next->Categories, TwoLeaves()->FirstBranch->Next->Categories);
  EXPECT_EQ(again.FirstBranch->Next->Child->ObjCount, 5);
  EXPECT_EQ(again.FirstBranch->Next->Next, nullptr);
  FreeBranches(again.FirstBranch);
  for (int32_t g : {0, 1, 3}) {
    EXPECT_EQ(out[g].Known, floors[g].Known) << g;
    EXPECT_EQ(out[g].Codes, floors[g].Codes) << g;
    EXPECT_EQ(out[g].Spread, floors[g].Spread) << g;
    EXPECT_EQ(out[g].Fewest, floors[g].Fewest) << g;
  }
  EXPECT_EQ(out[2].Known, -1);

  // The same hash over other objects, fewer usable features or another feature left out is
  // not the same search, and does not push the kept one out.
  FeatureFlags fewer = flags;
  fewer[3] = false;
  const std::vector<int32_t> others{2, 5, 8, 14};
  TRepeatKey sameHash[] = {RepeatKeyOf(others, flags, 2), RepeatKeyOf(objects, fewer, 2),
                           RepeatKeyOf(objects, flags, 1)};
  const std::vector<int32_t>* lists[] = {&others, &objects, &objects};
  for (int k = 0; k < 3; ++k) {
    sameHash[k].Hash = key.Hash;
    EXPECT_EQ(repeats.Find(sameHash[k], *lists[k]), nullptr) << k;
    repeats.Keep(sameHash[k], *lists[k], TVertex{}, TGrowResult{}, nullptr, Features);
  }
  ASSERT_NE(repeats.Find(key, objects), nullptr);
  EXPECT_EQ(repeats.Find(key, objects)->Result.Quality, 0.25);

  // A search kept without floors tells that none were learned.
  repeats.StartCredits();
  repeats.Keep(RepeatKeyOf(others, flags, 2), others, TVertex{}, TGrowResult{}, nullptr, Features);
  out[0].Known = 0;
  ASSERT_TRUE(repeats.Take(rc, RepeatKeyOf(others, flags, 2), others, again, result,
                           out.data()));
  EXPECT_EQ(rc.FeatureHits[1], 1);
  EXPECT_EQ(out[0].Known, -1);
}

TEST(Repeats, KeptSearchesStayWithinTheirBudget) {
  const size_t saved = KeptBytes;
  KeptBytes = 4096;
  TRepeats repeats;
  const std::vector<TErrorFloor> floors = SomeFloors();
  auto keep = [&](int32_t k) {
    const std::vector<int32_t> objects(20, k);
    repeats.Keep(RepeatKeyOf(objects, FeatureFlags{}, 0), objects, *TwoLeaves(), TGrowResult{},
                 floors.data(), Features);
  };
  auto kept = [&](int32_t k) {
    const std::vector<int32_t> objects(20, k);
    return repeats.Find(RepeatKeyOf(objects, FeatureFlags{}, 0), objects) != nullptr;
  };
  for (int32_t k = 1; k <= 100; ++k) keep(k);
  // The first searches were forgotten to make room; the last one is still there.
  EXPECT_FALSE(kept(1));
  EXPECT_TRUE(kept(100));
  KeptBytes = saved;
}

}  // namespace
}  // namespace tarmel::search
