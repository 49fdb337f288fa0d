#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "split_search_fixture.h"

namespace tarmel {
namespace {

using namespace split_test;

// x separates the targets -2 (five times) from 0, 1, 2, 3, 4: root variance 5, and the two
// groups' variances 0 and 2 give S = (5 x 0 + 5 x 2) / 10 = 1 = 0.2 x 5.
const std::string RegressionTable = CrLf({"10 2 ?", "1 1", "x y", "1 -2", "1 -2", "1 -2", "1 -2",
                                          "1 -2", "2 0", "2 1", "2 2", "2 3", "2 4"});

TEST(SplitSearch, WorkedRegressionExample) {
  TGrown g = GrowTop(RegressionTable, Params(2));
  EXPECT_DOUBLE_EQ(g.Result.Quality, 0.2 + 2.0 / 10 + 0.1);
  EXPECT_EQ(g.Result.Leaves, 2);
  EXPECT_DOUBLE_EQ(g.Result.Variance, 1.0);
  EXPECT_DOUBLE_EQ(g.Run->Context->RootVariance, 5.0);
  ASSERT_EQ(g.Root->SplitFeature, 1);
  const std::vector<PBranch> b = Branches(*g.Root);
  ASSERT_EQ(b.size(), 2u);
  EXPECT_EQ(b[0]->Low, -Infinity);
  EXPECT_EQ(b[0]->High, 1.5);
  EXPECT_EQ(b[1]->Low, 1.5);
  EXPECT_EQ(b[1]->High, Infinity);
  EXPECT_EQ(b[0]->Child->ObjCount, 5);
  EXPECT_DOUBLE_EQ(b[0]->Child->Mean, -2.0);
  EXPECT_DOUBLE_EQ(b[1]->Child->Mean, 2.0);
  EXPECT_DOUBLE_EQ(b[1]->Child->Variance, 2.0);
  EXPECT_TRUE(b[0]->Child->Terminal);  // no variance left: homogeneous
  EXPECT_TRUE(b[1]->Child->Terminal);  // no other feature varies over it

  RunContext& rc = *g.Run->Context;
  const std::span<const int32_t> all(rc.ObjectOrder.begin() + 1, rc.ObjectOrder.end());
  OwnedTree leaf(new TVertex);
  const TGrowResult r = GrowVertex(rc, leaf.get(), all, FeatureFlags{}, 0, 0);
  EXPECT_DOUBLE_EQ(r.Quality, 1.0 + 1.0 / 10);
  EXPECT_FALSE(leaf->Terminal);
}


TEST(SplitSearch, WorkedClassificationExample) {
  TGrown g = GrowTop(TwoClassTable(), Params(2));
  EXPECT_DOUBLE_EQ(g.Result.Quality, 0.0 + 2.0 / 20 + 0.1);
  EXPECT_EQ(g.Result.Misclassified, 0);
  const std::vector<PBranch> b = Branches(*g.Root);
  ASSERT_EQ(b.size(), 2u);
  EXPECT_EQ(b[0]->Child->ClassCounts[1], 12);
  EXPECT_EQ(b[1]->Child->ClassCounts[2], 8);
  EXPECT_TRUE(b[1]->Child->Terminal);

  // MinNodeSize 9: the pure leaf of 8 objects is too small, so the leaf (8/20 + 1/20) stays.
  TGrown small = GrowTop(TwoClassTable(), Params(2, 0.4));
  EXPECT_EQ(small.Run->Context->MinNodeSize, 9);
  EXPECT_DOUBLE_EQ(small.Result.Quality, 8.0 / 20 + 1.0 / 20);
  EXPECT_EQ(small.Result.Misclassified, 8);
  EXPECT_EQ(small.Root->FirstBranch, nullptr);
  EXPECT_FALSE(small.Root->Terminal);
}

TEST(SplitSearch, SmallOrHomogeneousVertexIsTerminalLeaf) {
  // MinObj 0.5 of 10 objects: MinNodeSize 6, so the first five objects make a terminal leaf.
  auto run = ReadText(RegressionTable, Params(2, 0.5));
  RunContext& rc = *run->Context;
  rc.MaxDepth = 3;
  const std::vector<int32_t> five = {6, 7, 8, 9, 10};
  const std::vector<int32_t> same = {1, 2, 3};
  OwnedTree v(new TVertex);
  TGrowResult r = GrowVertex(rc, v.get(), five, rc.ActivePredictors, 0, 0);
  EXPECT_TRUE(v->Terminal);
  EXPECT_DOUBLE_EQ(r.Quality, 1.0 + 1.0 / 5);
  EXPECT_DOUBLE_EQ(v->Mean, 2.0);

  rc.MinNodeSize = 1;
  rc.RootVariance = 5.0;
  r = GrowVertex(rc, v.get(), same, rc.ActivePredictors, 0, 1);  // target -2 three times
  EXPECT_TRUE(v->Terminal);
  EXPECT_EQ(v->FirstBranch, nullptr);
  EXPECT_DOUBLE_EQ(r.Quality, 1.0 / 3);
}

TEST(SplitSearch, FeatureWithOneValueOrHalfMissingIsNotUsed) {
  struct Case {
    const char* x;  // the ten cells of x, against targets 0 (five times) and 10
    bool split;
  };
  const Case cases[] = {
      {"1 1 1 1 1 2 2 2 2 2", true},
      {"3 3 3 3 3 3 3 3 3 3", false},
      {"1 1 1 ? ? ? ? ? 2 2", false},  // half missing
      {"1 1 1 1 ? ? ? ? 2 2", true},   // four of ten missing
  };
  for (const Case& c : cases) {
    std::string text = "10 2 ?\r\n1 1\r\nx y\r\n";
    std::string cells = c.x;
    for (int i = 0; i < 10; ++i) {
      text += cells.substr(static_cast<size_t>(2 * i), 1) + (i < 5 ? " 0\r\n" : " 10\r\n");
    }
    TGrown g = GrowTop(text, Params(2));
    EXPECT_EQ(g.Root->SplitFeature, c.split ? 1 : 0) << c.x;
    EXPECT_EQ(g.Run->Context->FeatureHits[1], c.split ? 1 : 0) << c.x;
    EXPECT_FALSE(g.Root->Terminal) << c.x;
  }
}

// Groups of 4 (class a), 1 (class c) and 3 (class b) objects: three pure groups cost
// 0 + 3/8 + 0.1, and merging the lone c into either neighbour costs 1/8 + 2/8 + 0.1, the
// same quality. The two-group partition wins the tie, and of the two equal neighbour pairs
// the first one.
TEST(SplitSearch, ThreeGroupTieGoesToTwoGroups) {
  const std::string text = CrLf({"8 2 ?", "1 0(3)", "x class", "1 a", "1 a", "1 a", "1 a",
                                 "2 c", "3 b", "3 b", "3 b"});
  TGrown g = GrowTop(text, Params(2));
  EXPECT_DOUBLE_EQ(g.Result.Quality, 1.0 / 8 + 2.0 / 8 + 0.1);
  EXPECT_EQ(g.Result.Misclassified, 1);
  const std::vector<PBranch> b = Branches(*g.Root);
  ASSERT_EQ(b.size(), 2u);
  EXPECT_EQ(b[0]->High, 2.5);
  EXPECT_EQ(b[1]->Low, 2.5);
  EXPECT_EQ(b[0]->Child->ObjCount, 5);
}

TEST(SplitSearch, NumericIntervalsCoverTheLineAtMidPoints) {
  // Three pure classes: every merge costs two errors, so all three groups stay.
  const std::string text = CrLf({"6 2 ?", "1 0(3)", "x class", "4 c", "1 a", "2 b", "1 a",
                                 "2 b", "4 c"});
  TGrown g = GrowTop(text, Params(2));
  const std::vector<PBranch> b = Branches(*g.Root);
  ASSERT_EQ(b.size(), 3u);
  const double bounds[] = {-Infinity, 1.5, 3.0, Infinity};
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(b[i]->Kind, 0);
    EXPECT_EQ(b[i]->Low, bounds[i]);
    EXPECT_EQ(b[i]->High, bounds[i + 1]);
    EXPECT_EQ(b[i]->Child->ObjCount, 2);
  }
  EXPECT_EQ(b[0]->Child->ClassCounts[2], 2);  // class a, code 2, lies lowest
}

TEST(SplitSearch, EqualToLeafIsNotTaken) {
  // Leaf: 4/8 + 1/8. Split at x: 1/8 + 2/8 + cost; equal to the leaf with a cost of 0.25.
  const std::string text = CrLf({"8 2 ?", "1 0(2)", "x class", "1 a", "1 a", "1 a", "1 a",
                                 "1 b", "2 b", "2 b", "2 b"});
  for (const double cost : {0.25, 0.125}) {
    TGrown g = ReadTable(text, Params(2));
    g.Rc().CostWeight = cost;
    g.Grow(1);
    EXPECT_EQ(g.Root->SplitFeature, cost == 0.25 ? 0 : 1) << cost;
    EXPECT_DOUBLE_EQ(g.Result.Quality, cost == 0.25 ? 0.625 : 0.5) << cost;
  }
}

// Groups of two objects; a merge costs n_a n_b / (n_a + n_b) x (mean difference)^2 and the
// two objects with x missing make every merge worth its saved leaf. First case: merge 1+2
// (cost 1), then 3+4 (4) beats the regrown 12+3 (16/3), though the old 2+3 subtree would
// look cheaper. The second mirrors it. Third: 2+3 (1), 1+23 (25/3 against 49/3), 123+4.
TEST(SplitSearch, NumericMergesRegrowThePairsBesideTheMergedGroup) {
  struct Case {
    std::vector<std::string> means;
    double high;
    int32_t count;
    int32_t depth;  // at 2 the union subtrees are grown over the objects collected for them
  };
  const Case cases[] = {{{"0", "1", "2.5", "4.5"}, 2.5, 4, 1},
                        {{"0", "2", "3.5", "4.5"}, 2.5, 4, 1},
                        {{"8", "10", "11", "14", "100"}, 4.5, 8, 1},
                        {{"8", "10", "11", "14", "100"}, 4.5, 8, 2}};
  for (const Case& c : cases) {
    std::string text = std::to_string(2 * c.means.size() + 2) + " 2 ?\r\n1 1\r\nx y\r\n";
    text += "? 100\r\n? -100\r\n";
    for (size_t i = 0; i < 2 * c.means.size(); ++i) {
      const size_t k = i % c.means.size();
      text += std::to_string(k + 1) + " " + c.means[k] + "\r\n";
    }
    RunParameters params = Params(2);
    params.Homogeneity = 0.0;  // no union is ever close enough to the root to stop early
    TGrown g = GrowTop(text, params, c.depth);
    const std::vector<PBranch> b = Branches(*g.Root);
    ASSERT_EQ(b.size(), 2u) << c.means[1];
    EXPECT_EQ(b[0]->Low, -Infinity) << c.means[1];
    EXPECT_EQ(b[0]->High, c.high) << c.means[1];
    EXPECT_EQ(b[1]->Low, c.high) << c.means[1];
    EXPECT_EQ(b[0]->Child->ObjCount, c.count) << c.means[1];
  }
}

// Three blocks of x (1-2, 3-4, 5-6), 20 apart in y. Merging inside a block saves a leaf;
// merging across blocks costs far more, so the three-block partition is accepted and must
// survive the later merges of its own groups. Its groups were merged from two each: their
// bounds reach from the first group's lower bound to the last one's upper bound.
TEST(SplitSearch, AcceptedPartitionSurvivesLaterMerges) {
  std::string text = CrLf({"24 3 ?", "1 1 1", "x z y"});
  for (int32_t x = 1; x <= 6; ++x) {
    for (int32_t z = 1; z <= 2; ++z) {
      const std::string row = std::to_string(x) + " " + std::to_string(z) + " " +
                              std::to_string((x - 1) / 2 * 20 + (z - 1) * 10) + "\r\n";
      text += row + row;
    }
  }
  RunParameters params = Params(3);
  params.Homogeneity = 0.0;
  TGrown g = GrowTop(text, params, 3);
  ASSERT_EQ(g.Root->SplitFeature, 1);
  const std::vector<PBranch> b = Branches(*g.Root);
  ASSERT_EQ(b.size(), 3u);
  const double bounds[] = {-Infinity, 2.5, 4.5, Infinity};
  for (size_t k = 0; k < 3; ++k) {
    EXPECT_EQ(b[k]->Low, bounds[k]) << k;
    EXPECT_EQ(b[k]->High, bounds[k + 1]) << k;
    EXPECT_EQ(b[k]->Child->ObjCount, 8) << k;
    EXPECT_EQ(b[k]->Child->Mean, 20.0 * static_cast<double>(k) + 5) << k;
  }
}

// x = 1 holds one object: the three-group partition (0 + 3/9 + 0.1) is rejected for its
// too small leaf, and the merge of the outlier into its neighbour is taken instead.
TEST(SplitSearch, SmallLeafGroupRejectsPartition) {
  const std::string text = CrLf({"9 2 ?", "1 1", "x y", "1 -20", "2 0", "2 0", "2 0", "2 0",
                                 "3 20", "3 20", "3 20", "3 20"});
  TGrown g = GrowTop(text, Params(2, 0.2));
  ASSERT_EQ(g.Run->Context->MinNodeSize, 2);
  const std::vector<PBranch> b = Branches(*g.Root);
  ASSERT_EQ(b.size(), 2u);
  EXPECT_EQ(b[0]->High, 2.5);
  EXPECT_EQ(b[0]->Child->ObjCount, 5);
}

// Nominal x with codes p, q, r, s (groups 1..4). First merge: q with r, the only free one.
// Then the union of q, r with s (slot 2) and p with s (slot 3) tie; slot order takes q, r,
// s together. Qualities with weight 7/8: 0.9, 0.7, then 0.675 against the leaf's 0.725.
TEST(SplitSearch, NominalMergeTieGoesToTheLowestSlot) {
  const std::string text = CrLf({"5 2 ?", "0(4) 0(3)", "x class", "p c", "p c", "q a", "r a",
                                 "s b"});
  TGrown g = GrowTop(text, Params(2, 0.0, 0.875));
  EXPECT_DOUBLE_EQ(g.Result.Quality, 0.875 * (1.0 / 5) + 2.0 / 5 + 0.1);
  const std::vector<PBranch> b = Branches(*g.Root);
  ASSERT_EQ(b.size(), 2u);
  EXPECT_EQ(b[0]->Kind, 2);
  EXPECT_EQ(Codes(*b[0]), (std::vector<int32_t>{1}));
  EXPECT_EQ(Codes(*b[1]), (std::vector<int32_t>{2, 3, 4}));
  EXPECT_EQ(b[1]->Child->ObjCount, 3);
}

// Groups p (b b b), q (a), r (a), s (d d d), no cost. First merge: q with r. Then p with
// q, r (slot 1) ties with q, r with s (slot 2): the pairs of the merged group fill the free
// slots from (1,a) upward. Qualities with weight 1/2: 0.5, 0.375, 0.375 against the leaf's
// 0.4375.
TEST(SplitSearch, MergedGroupPairsFillSlotsFromTheLowerGroups) {
  const std::string text = CrLf({"8 2 ?", "0(4) 0(3)", "x class", "p b", "p b", "p b", "q a",
                                 "r a", "s d", "s d", "s d"});
  TGrown g = ReadTable(text, Params(2, 0.0, 0.5));
  g.Rc().CostWeight = 0.0;
  g.Grow(1);
  EXPECT_DOUBLE_EQ(g.Result.Quality, 0.5 * (2.0 / 8) + 2.0 / 8);
  const std::vector<PBranch> b = Branches(*g.Root);
  ASSERT_EQ(b.size(), 2u);
  EXPECT_EQ(Codes(*b[0]), (std::vector<int32_t>{1, 2, 3}));
  EXPECT_EQ(Codes(*b[1]), (std::vector<int32_t>{4}));
}

// Groups p, q (a), r (b b), s, t (c): p joins q first (slot 1), then s and t, whose slot
// has followed the renumbering of the groups. Two more errors for a saved leaf do not pay,
// so three groups stay.
TEST(SplitSearch, NominalSlotsFollowTheGroupNumbers) {
  const std::string text = CrLf({"6 2 ?", "0(5) 0(3)", "x class", "p a", "q a", "r b", "r b",
                                 "s c", "t c"});
  TGrown g = GrowTop(text, Params(2));
  const std::vector<PBranch> b = Branches(*g.Root);
  ASSERT_EQ(b.size(), 3u);
  EXPECT_EQ(Codes(*b[0]), (std::vector<int32_t>{1, 2}));
  EXPECT_EQ(Codes(*b[1]), (std::vector<int32_t>{3}));
  EXPECT_EQ(Codes(*b[2]), (std::vector<int32_t>{4, 5}));
}

// The union of x = 1 and x = 2 is grown over its objects in the vertex's order, so its z
// groups are numbered from the first object (z = q) even though x = 1 is the lower group.
TEST(SplitSearch, UnionSubtreeSeesObjectsInVertexOrder) {
  const std::string text = Table({"8 3 ?", "1 0(3) 0(3)", "x z class"},
                                 {{1, "2 q a"}, {1, "1 p b"}, {1, "2 q a"}, {1, "1 p b"},
                                  {4, "3 r c"}});
  TGrown g = GrowTop(text, Params(3), 2);
  ASSERT_EQ(g.Root->SplitFeature, 1);
  const std::vector<PBranch> b = Branches(*g.Root);
  ASSERT_EQ(b.size(), 2u);
  const TVertex& merged = *b[0]->Child;
  ASSERT_EQ(merged.SplitFeature, 2);
  EXPECT_EQ(Codes(*merged.FirstBranch), (std::vector<int32_t>{1}));
}

// Class = x1 xor x2, two objects per cell. One level sees nothing worth splitting; two
// levels see the pure grandchildren.
const std::string XorTable = CrLf({"8 3 ?", "1 1 0(2)", "x1 x2 class", "1 1 a", "1 1 a",
                                   "1 2 b", "1 2 b", "2 1 b", "2 1 b", "2 2 a", "2 2 a"});

TEST(SplitSearch, DepthLimitDecidesLookahead) {
  TGrown one = GrowTop(XorTable, Params(3), 1);
  EXPECT_EQ(one.Root->FirstBranch, nullptr);
  EXPECT_DOUBLE_EQ(one.Result.Quality, 4.0 / 8 + 1.0 / 8);

  TGrown two = GrowTop(XorTable, Params(3), 2);
  EXPECT_DOUBLE_EQ(two.Result.Quality, 0.0 + 4.0 / 8 + 0.1);
  EXPECT_EQ(two.Result.Leaves, 4);
  ASSERT_EQ(two.Root->SplitFeature, 1);  // x2 ties and loses to the lower feature
  for (PBranch b : Branches(*two.Root)) {
    EXPECT_EQ(b->Child->SplitFeature, 2);
    for (PBranch leaf : Branches(*b->Child)) EXPECT_TRUE(leaf->Child->Terminal);
  }
  // Each feature: two group credits while the other is searched, its own credit at the
  // root and two credits as the split feature of the other's best partition.
  const RunContext& rc = *two.Run->Context;
  for (int32_t f : {1, 2}) {
    EXPECT_EQ(rc.FeatureHits[f], 5);
    EXPECT_DOUBLE_EQ(rc.FeatureScore[f], 5 * 0.6);
  }
  EXPECT_EQ(rc.FeatureScore[3], Infinity);
}

TEST(SplitSearch, SkippedFeatureStaysUnavailableBelowLaterFeatures) {
  // x1 is missing for half the objects: skipped at the top, and then not used by the
  // subtrees of x2's groups either, though it separates the classes there.
  const std::string text = CrLf({"8 3 ?", "1 1 0(2)", "x1 x2 class", "1 1 a", "1 1 a",
                                 "2 1 b", "2 1 b", "? 2 b", "? 2 b", "? 2 a", "? 2 a"});
  TGrown g = GrowTop(text, Params(3), 2);
  EXPECT_EQ(g.Rc().FeatureHits[1], 0);
  EXPECT_EQ(g.Rc().FeatureHits[2], 1);
}

TEST(SplitSearch, GroupHomogeneityCountsTheSplitVertexObjects) {
  // Group x1 = 1 has 1 error in 4 objects: 1/20 of the vertex is within the homogeneity
  // 0.05, so that group is a leaf and x2 is never searched below it.
  const std::string text = Table({"20 3 ?", "1 1 0(2)", "x1 x2 class"},
                                 {{3, "1 1 a"}, {1, "1 2 b"}, {16, "2 1 b"}});
  TGrown g = GrowTop(text, Params(3), 2);
  EXPECT_EQ(g.Rc().FeatureHits[2], 1);
}

TEST(SplitSearch, NeighbouringDoublesLeaveAnEmptyGroupThatRejectsThePartition) {
  // The mid-point of two neighbouring doubles rounds onto the upper one, which joins the
  // lower value's group. The second group stays, empty: a leaf of no objects fails the size
  // check, so the only partition is rejected and the feature is credited the leaf quality.
  auto run = ReadText(RegressionTable, Params(2));
  RunContext& rc = *run->Context;
  const double low = std::nextafter(1.0, 2.0);
  const double high = std::nextafter(low, 2.0);
  ASSERT_EQ(low + (high - low) / 2, high);
  for (int32_t i = 1; i <= 10; ++i) rc.DataTable.At(1, i) = i <= 5 ? low : high;
  rc.MaxDepth = 1;
  const std::span<const int32_t> all(rc.ObjectOrder.begin() + 1, rc.ObjectOrder.end());
  OwnedTree v(new TVertex);
  const TGrowResult leaf = GrowVertex(rc, v.get(), all, rc.ActivePredictors, 0, 0);
  EXPECT_EQ(v->FirstBranch, nullptr);
  EXPECT_EQ(rc.FeatureHits[1], 1);
  EXPECT_EQ(rc.FeatureScore[1], leaf.Quality);
}

TEST(SplitSearch, QualityTerms) {
  RunContext rc;
  RunParameters p;
  rc.Params = &p;
  rc.RegressionWeight = 1.0;
  rc.ClassificationWeight = 0.5;
  rc.ClassesNumber = 3;
  struct Case {
    double rootVariance, v;
    double quality;  // of 2 leaves over 8 objects, rate 0.25, cost 1
    bool homogeneous;
  };
  const Case cases[] = {
      {4.0, 1.0, 0.25 + 0.125 + 0.25 + 0.1, false},
      {4.0, -1.0, 0.0 + 0.125 + 0.25 + 0.1, true},  // clamped in the quality only
      {0.0, 3.0, 0.0 + 0.125 + 0.25 + 0.1, true},  // no variance term at all
  };
  for (const Case& c : cases) {
    rc.RootVariance = c.rootVariance;
    EXPECT_DOUBLE_EQ(SplitQuality(rc, 8, 2, 0.25, c.v, 1.0), c.quality) << c.v;
    p.Homogeneity = 0.125;
    EXPECT_EQ(IsHomogeneous(rc, 0.0, c.v), c.homogeneous) << c.v;
  }
  TClassCounts counts{};
  counts[1] = 3;
  counts[2] = 5;
  counts[3] = 5;
  EXPECT_EQ(Misclassified(rc, counts), 8);
  rc.ClassesNumber = 0;
  EXPECT_EQ(Misclassified(rc, counts), 0);
}

}  // namespace
}  // namespace tarmel
