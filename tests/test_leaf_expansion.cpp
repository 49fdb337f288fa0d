#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "leaf_expansion.h"
#include "test_support.h"

namespace tarmel {
namespace {

using testing::CrLf;
using testing::ReadText;

// Splits the heap vertex on a numeric feature at the thresholds; the children are leaves.
TVertex& Split(TVertex& v, int32_t feature, std::initializer_list<double> thresholds) {
  v.SplitFeature = feature;
  PBranch* link = &v.FirstBranch;
  double low = -Infinity;
  std::vector<double> highs(thresholds);
  highs.push_back(Infinity);
  for (double high : highs) {
    *link = NewBranch();
    (*link)->Low = low;
    (*link)->High = high;
    low = high;
    link = &(*link)->Next;
  }
  return v;
}

TVertex& Child(const TVertex& v, int k) {
  PBranch b = v.FirstBranch;
  while (--k > 0) b = b->Next;
  return *b->Child;
}

PBranch BranchTo(const TVertex& v, int k) {
  PBranch b = v.FirstBranch;
  while (--k > 0) b = b->Next;
  return b;
}

void ExpectSameTree(const TVertex& a, const TVertex& b) {
  EXPECT_EQ(a.SplitFeature, b.SplitFeature);
  EXPECT_EQ(a.ObjCount, b.ObjCount);
  EXPECT_EQ(a.Variance, b.Variance);
  EXPECT_EQ(a.Mean, b.Mean);
  EXPECT_EQ(a.Terminal, b.Terminal);
  EXPECT_EQ(a.ClassCounts, b.ClassCounts);
  EXPECT_EQ(a.SeriesCandidate, b.SeriesCandidate);
  PBranch x = a.FirstBranch;
  PBranch y = b.FirstBranch;
  for (; x != nullptr && y != nullptr; x = x->Next, y = y->Next) {
    EXPECT_NE(x, y);
    EXPECT_EQ(x->Kind, y->Kind);
    EXPECT_EQ(x->Low, y->Low);
    EXPECT_EQ(x->High, y->High);
    EXPECT_EQ(x->CategoryCount, y->CategoryCount);
    EXPECT_EQ(x->Categories, y->Categories);
    ExpectSameTree(*x->Child, *y->Child);
  }
  EXPECT_EQ(x, nullptr);
  EXPECT_EQ(y, nullptr);
}

// Root on feature 1 at 5; its first child on feature 2 by categories {3, 1} and {2}.
OwnedTree HeapTree() {
  OwnedTree root(new TVertex);
  root->ObjCount = 9;
  root->Mean = 4.5;
  Split(*root, 1, {5.0});
  TVertex& left = Child(*root, 1);
  left.SplitFeature = 2;
  left.ObjCount = 6;
  left.SeriesCandidate = 7;
  left.FirstBranch = NewBranch();
  left.FirstBranch->Kind = 2;
  left.FirstBranch->CategoryCount = 2;
  left.FirstBranch->Categories[1] = 3;
  left.FirstBranch->Categories[2] = 1;
  left.FirstBranch->Child->ClassCounts = {0, 4, 1};
  left.FirstBranch->Child->Terminal = true;
  left.FirstBranch->Next = NewBranch();
  left.FirstBranch->Next->Kind = 2;
  left.FirstBranch->Next->CategoryCount = 1;
  left.FirstBranch->Next->Categories[1] = 2;
  left.FirstBranch->Next->Child->Variance = -1e-12;
  Child(*root, 2).Mean = 7.25;
  return root;
}

TEST(GraftTree, CopiesAHeapTreeIntoThePoolInPreOrder) {
  OwnedTree source = HeapTree();
  NodePool pool;
  pool.Allocate(1);  // far too small: the pool grows instead of overflowing
  GraftTree(pool, source.get(), pool.Root());
  ExpectSameTree(*source, *pool.Root());
  EXPECT_EQ(pool.VerticesUsed, 5);
  EXPECT_EQ(pool.BranchesUsed, 4);
  const TVertex& root = *pool.Root();
  EXPECT_EQ(root.FirstBranch, pool.Branch(1));
  EXPECT_EQ(&Child(root, 1), pool.Vertex(2));
  EXPECT_EQ(Child(root, 1).FirstBranch, pool.Branch(2));
  EXPECT_EQ(&Child(Child(root, 1), 2), pool.Vertex(4));
  EXPECT_EQ(BranchTo(root, 2), pool.Branch(4));
  EXPECT_EQ(&Child(root, 2), pool.Vertex(5));
}

TEST(GraftTree, GraftIntoALeafCountsTheSourceRootAndDropsStaleBranches) {
  NodePool pool;
  pool.Allocate(10);
  OwnedTree first(new TVertex);
  Split(*first, 1, {2.0});
  GraftTree(pool, first.get(), pool.Root());
  OwnedTree second(new TVertex);
  second->ObjCount = 3;
  Split(*second, 4, {0.5});
  PVertex leaf = pool.Vertex(2);
  GraftTree(pool, second.get(), leaf);
  // The copy of the source root lands in the leaf, yet the counter moves past vertex 4.
  EXPECT_EQ(pool.VerticesUsed, 6);
  EXPECT_EQ(pool.BranchesUsed, 4);
  EXPECT_EQ(&Child(*leaf, 1), pool.Vertex(5));
  EXPECT_EQ(&Child(*leaf, 2), pool.Vertex(6));
  ExpectSameTree(*second, *leaf);

  // Reused records: a single vertex grafted over an old split leaves no branch behind.
  pool.Reset();
  OwnedTree single(new TVertex);
  GraftTree(pool, single.get(), pool.Root());
  EXPECT_EQ(pool.Root()->FirstBranch, nullptr);
  EXPECT_EQ(pool.VerticesUsed, 1);
}

struct LeafChoiceTest : ::testing::Test {
  RunContext rc;
  TRulePath path;
  void SetUp() override {
    rc.RegressionWeight = 1.0;
    rc.ClassificationWeight = 0.0;
  }
};

TEST_F(LeafChoiceTest, EqualErrorsGoToTheFirstLeafInDepthFirstOrder) {
  TVertex root;
  Split(root, 1, {0.0});
  Split(Child(root, 1), 2, {1.0});
  Child(Child(root, 1), 1).Variance = 2.0;
  Child(Child(root, 1), 2).Variance = 3.0;
  Child(root, 2).Variance = 3.0;
  TLeafChoice choice = FindLeafToExpand(rc, &root, path);
  ASSERT_TRUE(choice.Found);
  EXPECT_EQ(choice.Depth, 2);
  EXPECT_EQ(choice.Variance, 3.0);
  EXPECT_EQ(path[1].Branch, BranchTo(root, 1));
  EXPECT_EQ(path[1].Feature, 1);
  EXPECT_EQ(path[2].Branch, BranchTo(Child(root, 1), 2));
  EXPECT_EQ(path[2].Feature, 2);

  Child(root, 2).Variance = 3.5;  // a strictly larger error later on wins
  choice = FindLeafToExpand(rc, &root, path);
  EXPECT_EQ(choice.Depth, 1);
  EXPECT_EQ(path[1].Branch, BranchTo(root, 2));
  FreeBranches(root.FirstBranch);
}

TEST_F(LeafChoiceTest, PathLeadsToTheChosenLeafAfterLaterBranchesWereSearched) {
  TVertex root;
  Split(root, 1, {0.0});
  Split(Child(root, 1), 2, {1.0});
  Split(Child(root, 2), 3, {1.0, 2.0});
  Child(Child(root, 1), 1).Variance = 5.0;
  Child(Child(root, 1), 2).Variance = 1.0;
  Child(Child(root, 2), 3).Variance = 4.0;
  const TLeafChoice choice = FindLeafToExpand(rc, &root, path);
  ASSERT_TRUE(choice.Found);
  EXPECT_EQ(choice.Depth, 2);
  EXPECT_EQ(path[1].Branch, BranchTo(root, 1));
  EXPECT_EQ(path[2].Branch, BranchTo(Child(root, 1), 1));
  EXPECT_EQ(path[2].Feature, 2);
  FreeBranches(root.FirstBranch);
}

TEST_F(LeafChoiceTest, ClosedTerminalAndHopelessLeavesAreNeverChosen) {
  TVertex root;
  EXPECT_FALSE(FindLeafToExpand(rc, &root, path).Found);  // a lone root is never a leaf
  Split(root, 1, {1.0, 2.0, 3.0});
  Child(root, 1).Variance = 9.0;
  Child(root, 1).SplitFeature = -1;
  Child(root, 2).Variance = 8.0;
  Child(root, 2).Terminal = true;
  Child(root, 3).Variance = -100000.0;  // not above the floor
  Child(root, 4).Variance = 1.0;
  TLeafChoice choice = FindLeafToExpand(rc, &root, path);
  ASSERT_TRUE(choice.Found);
  EXPECT_EQ(path[1].Branch, BranchTo(root, 4));
  Child(root, 4).SplitFeature = -1;
  EXPECT_FALSE(FindLeafToExpand(rc, &root, path).Found);
  Child(root, 3).Variance = -99999.0;
  choice = FindLeafToExpand(rc, &root, path);
  ASSERT_TRUE(choice.Found);
  EXPECT_EQ(path[1].Branch, BranchTo(root, 3));
  FreeBranches(root.FirstBranch);
}

TEST_F(LeafChoiceTest, ClassificationScoresTheObjectsOutsideTheMajority) {
  rc.RegressionWeight = 0.0;
  rc.ClassificationWeight = 1.0;
  rc.ClassesNumber = 3;
  TVertex root;
  Split(root, 1, {1.0, 2.0});
  Child(root, 1).ClassCounts = {0, 5, 1, 1};
  Child(root, 2).ClassCounts = {0, 0, 4, 3};
  Child(root, 2).Variance = 0.25;
  Child(root, 3).ClassCounts = {0, 3, 3, 0};
  Child(root, 3).Variance = 99.0;  // weighs nothing in classification
  const TLeafChoice choice = FindLeafToExpand(rc, &root, path);
  ASSERT_TRUE(choice.Found);
  EXPECT_EQ(path[1].Branch, BranchTo(root, 2));
  EXPECT_EQ(choice.Misclassified, 3);
  EXPECT_EQ(choice.Variance, 0.25);
  FreeBranches(root.FirstBranch);
}

TEST_F(LeafChoiceTest, TimeSeriesVerticesCarryTheirSeriesAndShiftIntoThePath) {
  rc.SeriesFeaturesNumber = 3;
  TVertex root;
  Split(root, 2, {0.0});
  root.SeriesCandidate = 5;  // every series at shift 5 - 3
  Split(Child(root, 1), 4, {0.0});
  Child(root, 1).SeriesCandidate = 2;  // series 2 at every shift; feature 4 is shift 4
  Child(Child(root, 1), 2).Variance = 1.0;
  ASSERT_TRUE(FindLeafToExpand(rc, &root, path).Found);
  EXPECT_EQ(path[1].Feature, 2);
  EXPECT_EQ(path[1].Shift, 2);
  EXPECT_EQ(path[2].Feature, 2);
  EXPECT_EQ(path[2].Shift, 4);
  FreeBranches(root.FirstBranch);
}

// One predictor only: a leaf regrown over its objects may not split on the feature of the
// vertex above it, so every open leaf of the first tree regrows to a single vertex.
const std::string OnePredictor = CrLf({
    "10 2 ?",
    "1 0(2)",
    "x cls",
    "1 a", "2 a", "3 a", "4 a", "5 a", "6 b", "7 b", "8 b", "9 a", "10 b",
});

void ExpectEveryLeafClosedOrTerminal(const TVertex& v, int& closedOpenLeaves) {
  if (v.FirstBranch == nullptr) {
    EXPECT_TRUE(v.Terminal || v.SplitFeature == -1);
    if (!v.Terminal && v.SplitFeature == -1) ++closedOpenLeaves;
    return;
  }
  for (PBranch b = v.FirstBranch; b != nullptr; b = b->Next) {
    ExpectEveryLeafClosedOrTerminal(*b->Child, closedOpenLeaves);
  }
}

TEST(GrowTree, LeafRegrownToASingleVertexIsClosed) {
  RunParameters params;
  params.FeatureToPredict = 2;
  params.Homogeneity = 0.0;
  params.MinObj = 0.1;
  auto read = ReadText(OnePredictor, params);
  ASSERT_TRUE(read->Ok) << read->Report;
  RunContext& rc = *read->Context;
  GrowTree(rc);
  const TVertex& root = *rc.Pool.Root();
  ASSERT_NE(root.FirstBranch, nullptr);
  EXPECT_EQ(root.SplitFeature, 1);
  int closed = 0;
  ExpectEveryLeafClosedOrTerminal(root, closed);
  EXPECT_GE(closed, 1);
  TRulePath path;
  EXPECT_FALSE(FindLeafToExpand(rc, rc.Pool.Root(), path).Found);
  EXPECT_LE(rc.LeavesNumber, rc.ObjectsNumber);
}

struct PanelLog : ProgressSink {
  std::vector<std::string> Texts;
  void SetPanelText(int panel, const std::string& text) override {
    EXPECT_EQ(panel, 1);
    Texts.push_back(text);
  }
};

TEST(GrowTree, WithoutActiveObjectsTheRootStaysAnEmptyLeaf) {
  RunParameters params;
  params.FeatureToPredict = 2;
  auto read = ReadText(OnePredictor, params);
  ASSERT_TRUE(read->Ok) << read->Report;
  RunContext& rc = *read->Context;
  GrowTree(rc);
  std::fill(rc.ObjectActive.begin(), rc.ObjectActive.end(), 0);
  PanelLog log;
  rc.Progress = &log;
  GrowTree(rc);
  EXPECT_EQ(rc.Pool.Root()->FirstBranch, nullptr);
  EXPECT_EQ(rc.Pool.Root()->ObjCount, 0);
  EXPECT_EQ(rc.LeavesNumber, 1);
  EXPECT_TRUE(log.Texts.empty());
}

TEST(GrowTree, ShowsTheRunningTotalOfGrownLeaves) {
  RunParameters params;
  params.FeatureToPredict = 2;
  params.Homogeneity = 0.0;
  params.MinObj = 0.1;
  auto read = ReadText(OnePredictor, params);
  ASSERT_TRUE(read->Ok) << read->Report;
  RunContext& rc = *read->Context;
  PanelLog log;
  rc.Progress = &log;
  GrowTree(rc);
  ASSERT_FALSE(log.Texts.empty());
  // The first text counts the first tree's leaves; each regrowth adds its own.
  long previous = 0;
  for (const std::string& text : log.Texts) {
    ASSERT_EQ(text.rfind(" Node ", 0), 0u) << text;
    const long total = std::stol(text.substr(6));
    EXPECT_GT(total, previous);
    previous = total;
  }
  EXPECT_GE(previous, rc.LeavesNumber);
}

// Two series, s and y; y at time t + 1 follows s at time t. y is missing at time 4, so
// time point 3 takes no part and the later points are not the first ones in line.
const std::string TwoSeries = CrLf({
    "8 2 ?",
    "1 1",
    "s y",
    "1 0", "9 1", "1 9", "9 ?", "1 9", "9 1", "1 9", "9 1",
});

TEST(GrowTimeSeries, GivesTheFileLayoutBackAfterTheCandidateTables) {
  RunParameters params;
  params.FeatureToPredict = 2;
  params.Ordering = 1;
  params.Lag = 1;
  params.MinObj = 0.1;
  auto read = ReadText(TwoSeries, params);
  ASSERT_TRUE(read->Ok) << read->Report;
  RunContext& rc = *read->Context;
  const std::vector<double> targets = rc.TargetValue;
  const FeatureFlags predictors = rc.ActivePredictors;
  GrowTimeSeries(rc);
  EXPECT_EQ(rc.ObjectsNumber, 8);
  EXPECT_EQ(rc.FeaturesNumber, 3);
  EXPECT_EQ(rc.TargetValue, targets);
  EXPECT_EQ(rc.ActivePredictors, predictors);
  EXPECT_TRUE(rc.DataTable.Empty());
  EXPECT_GE(rc.SeriesLeavesNumber, 1);
}

TEST(GrowTimeSeries, SplitsOnTheSeriesThatLeadsTheTarget) {
  RunParameters params;
  params.FeatureToPredict = 2;
  params.Ordering = 1;
  params.Lag = 1;
  params.MinObj = 0.1;
  auto read = ReadText(TwoSeries, params);
  ASSERT_TRUE(read->Ok) << read->Report;
  RunContext& rc = *read->Context;
  GrowTimeSeries(rc);
  const TVertex& root = *rc.SeriesPool.Root();
  ASSERT_NE(root.FirstBranch, nullptr);
  // Candidate 1 is series s over the one lag; candidate 4 is every series one step back.
  const TPathEntry step = PathEntryFor(rc, root, root.FirstBranch);
  EXPECT_EQ(step.Feature, 1);
  EXPECT_EQ(step.Shift, 1);
  EXPECT_EQ(root.ObjCount, 6);  // times 1, 2, 4..7 predict y at times 2, 3, 5..8
  EXPECT_EQ(rc.SeriesLeavesNumber, 2);
  // Each time point reads s at its own time, so both sides are pure.
  for (PBranch b = root.FirstBranch; b != nullptr; b = b->Next) {
    EXPECT_EQ(b->Child->ObjCount, 3);
    EXPECT_EQ(b->Child->Variance, 0.0);
    EXPECT_EQ(b->Child->SeriesCandidate, 1);
  }
}

}  // namespace
}  // namespace tarmel
