#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "leaf_expansion.h"
#include "time_series.h"
#include "test_support.h"

namespace tarmel {
namespace {

// Splits the heap vertex on a numeric feature at the thresholds; the children are leaves.
TVertex& Split(TVertex& v, int32_t feature, std::initializer_list<double> thresholds) {
  v.SplitFeature = feature;
  PBranch* link = &v.FirstBranch;
  for (size_t k = 0; k <= thresholds.size(); ++k, link = &(*link)->Next) {
    *link = NewBranch();
    (*link)->Low = k == 0 ? -Infinity : thresholds.begin()[k - 1];
    (*link)->High = k == thresholds.size() ? Infinity : thresholds.begin()[k];
  }
  return v;
}

PBranch BranchTo(const TVertex& v, int k) {
  PBranch b = v.FirstBranch;
  while (--k > 0) b = b->Next;
  return b;
}

TVertex& Child(const TVertex& v, int k) { return *BranchTo(v, k)->Child; }

TEST(GraftTree, CopiesInPreOrderAndCountsTheRootGraftedIntoALeaf) {
  OwnedTree source(new TVertex);
  source->ObjCount = 9;
  Split(*source, 1, {5.0});
  Split(Child(*source, 1), 2, {1.5});
  Child(*source, 1).SeriesCandidate = 7;
  BranchTo(Child(*source, 1), 2)->Kind = 2;
  BranchTo(Child(*source, 1), 2)->CategoryCount = 1;
  BranchTo(Child(*source, 1), 2)->Categories[1] = 3;
  Child(Child(*source, 1), 2).ClassCounts = {0, 4, 1};
  Child(Child(*source, 1), 2).Terminal = true;
  Child(*source, 2).Mean = 7.25;
  NodePool pool;
  pool.Allocate(1);  // far too small: the pool grows instead of overflowing
  GraftTree(pool, source.get(), pool.Root());
  const TVertex& root = *pool.Root();
  EXPECT_EQ(pool.VerticesUsed, 5);
  EXPECT_EQ(pool.BranchesUsed, 4);
  EXPECT_EQ(root.ObjCount, 9);
  EXPECT_EQ(&Child(Child(root, 1), 2), pool.Vertex(4));
  EXPECT_EQ(BranchTo(root, 2), pool.Branch(4));
  EXPECT_EQ(Child(root, 2).Mean, 7.25);
  EXPECT_EQ(Child(root, 1).SeriesCandidate, 7);
  const TBranch& category = *BranchTo(Child(root, 1), 2);
  EXPECT_EQ(category.Kind, 2);
  EXPECT_EQ(category.Categories[1], 3);
  EXPECT_EQ(category.Child->ClassCounts, (TClassCounts{0, 4, 1}));
  EXPECT_TRUE(category.Child->Terminal);
  EXPECT_EQ(category.Next, nullptr);

  // Grafted into leaf 5, the source root still moves the counter: its children are 7, 8.
  GraftTree(pool, &Child(*source, 1), pool.Vertex(5));
  EXPECT_EQ(pool.VerticesUsed, 8);
  EXPECT_EQ(&Child(*pool.Vertex(5), 2), pool.Vertex(8));
  pool.Reset();  // reused records: a single vertex leaves no stale branch behind
  GraftTree(pool, &Child(*source, 2), pool.Root());
  EXPECT_EQ(pool.Root()->FirstBranch, nullptr);
}

TEST(LeafChoice, LargestErrorWinsAndEqualErrorsGoToTheFirstInDepthFirstOrder) {
  RunContext rc;
  rc.RegressionWeight = 1.0;
  TRulePath path;
  TVertex root;
  Split(root, 1, {0.0});
  Split(Child(root, 1), 2, {1.0});
  Split(Child(root, 2), 3, {1.0});
  Child(Child(root, 1), 1).Variance = 3.0;
  Child(Child(root, 2), 2).Variance = 3.0;  // searched later, overwriting path[2]
  TLeafChoice choice = FindLeafToExpand(rc, &root, path);
  ASSERT_TRUE(choice.Found);
  EXPECT_EQ(choice.Depth, 2);
  EXPECT_EQ(path[1].Branch, BranchTo(root, 1));
  EXPECT_EQ(path[2].Branch, BranchTo(Child(root, 1), 1));
  EXPECT_EQ(path[2].Feature, 2);
  Child(Child(root, 1), 1).SplitFeature = -1;  // closed leaves are passed over
  ASSERT_TRUE(FindLeafToExpand(rc, &root, path).Found);
  EXPECT_EQ(path[2].Branch, BranchTo(Child(root, 2), 2));
  Child(Child(root, 2), 2).Terminal = true;
  Child(Child(root, 2), 1).Variance = -100000.0;  // not above the floor
  Child(Child(root, 1), 2).Variance = -100000.0;
  EXPECT_FALSE(FindLeafToExpand(rc, &root, path).Found);
  FreeBranches(root.FirstBranch);
  EXPECT_FALSE(FindLeafToExpand(rc, &root, path).Found);  // a lone root is never chosen
}

TEST(LeafChoice, ClassificationCountsMisclassifiedAndSeriesVerticesGiveTheirShift) {
  RunContext rc;
  rc.ClassificationWeight = 1.0;
  rc.ClassesNumber = 3;
  rc.SeriesFeaturesNumber = 3;
  TRulePath path;
  TVertex root;
  Split(root, 2, {0.0});
  root.SeriesCandidate = 5;  // every series at shift 5 - 3
  Split(Child(root, 2), 4, {0.0});
  Child(root, 2).SeriesCandidate = 2;  // series 2 at every shift; feature 4 is shift 4
  Child(root, 1).ClassCounts = {0, 5, 1, 1};
  Child(root, 1).Variance = 99.0;  // weighs nothing in classification
  Child(Child(root, 2), 1).ClassCounts = {0, 0, 4, 3};
  const TLeafChoice choice = FindLeafToExpand(rc, &root, path);
  ASSERT_TRUE(choice.Found);
  EXPECT_EQ(choice.Misclassified, 3);
  EXPECT_EQ(path[1].Feature, 2);
  EXPECT_EQ(path[1].Shift, 2);
  EXPECT_EQ(path[2].Feature, 2);
  EXPECT_EQ(path[2].Shift, 4);
  FreeBranches(root.FirstBranch);
}

struct LeavesLog : RunObserver {
  int32_t Last = 0;
  void OnProgress(const RunProgress& progress) override { Last = progress.LeavesGrown; }
};

// One predictor only: a leaf regrown over its objects may not split on the feature of the
// vertex above it, so the impure leaf of the first tree regrows to a single vertex.
TEST(GrowTree, LeafRegrownToASingleVertexIsClosed) {
  RunParameters params;
  params.FeatureToPredict = 2;
  params.Homogeneity = 0.0;
  params.MinObj = 0.1;
  auto read = testing::ReadText(testing::CrLf({"10 2 ?", "1 0(2)", "x cls", "1 a", "2 a",
      "3 a", "4 a", "5 a", "6 b", "7 b", "8 b", "9 a", "10 b"}), params);
  ASSERT_TRUE(read->Ok) << read->Report;
  RunContext& rc = *read->Context;
  LeavesLog log;
  TRunTracker tracker;
  tracker.Observer = &log;
  rc.Tracker = &tracker;
  GrowTree(rc);
  const TVertex& root = *rc.Pool.Root();
  ASSERT_EQ(rc.LeavesNumber, 2);
  EXPECT_EQ(root.SplitFeature, 1);
  EXPECT_TRUE(Child(root, 1).Terminal);
  EXPECT_EQ(Child(root, 2).SplitFeature, -1);
  EXPECT_EQ(Child(root, 2).FirstBranch, nullptr);
  EXPECT_EQ(log.Last, 3);  // two first leaves and the single regrown vertex
}

// y at time t + 1 follows s at time t. y is missing at time 4, so time point 3 takes no
// part and the later points are not the first ones in line. Both the numeric target and
// the class label of a point come from the time it predicts: taken at the point's own
// time they would mix on each side of the split.
TEST(GrowTimeSeries, EveryTimePointReadsItsOwnTimeAndTheFileLayoutComesBack) {
  const struct {
    const char* type;
    std::vector<const char*> rows;
  } cases[] = {{"1 1", {"1 0", "9 1", "1 9", "9 ?", "1 9", "9 1", "1 9", "9 1"}},
               {"1 0(2)", {"1 lo", "9 lo", "1 hi", "9 ?", "1 hi", "9 lo", "1 hi", "9 lo"}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.type);
    RunParameters params;
    params.FeatureToPredict = 2;
    params.Ordering = 1;
    params.MinObj = 0.1;
    std::string text = testing::CrLf({"8 2 ?", c.type, "s y"});
    for (const char* row : c.rows) text += std::string(row) + "\r\n";
    auto read = testing::ReadText(text, params);
    ASSERT_TRUE(read->Ok) << read->Report;
    RunContext& rc = *read->Context;
    const std::vector<double> targets = rc.TargetValue;
    GrowTimeSeries(rc);
    const TVertex& root = *rc.SeriesPool.Root();
    EXPECT_EQ(root.ObjCount, 6);  // times 1, 2, 4..7 predict y at times 2, 3, 5..8
    ASSERT_EQ(rc.SeriesLeavesNumber, 2);
    const TPathEntry step = PathEntryFor(rc, root, root.FirstBranch);
    EXPECT_EQ(step.Feature, 1);
    EXPECT_EQ(step.Shift, 1);
    const TVertex& low = Child(root, 1);  // s = 1: y 1, "lo" follows
    const TVertex& high = Child(root, 2);  // s = 9: y 9, "hi" follows
    if (rc.IsClassification) {
      EXPECT_EQ(low.ClassCounts[1], 3);
      EXPECT_EQ(low.ClassCounts[2], 0);
      EXPECT_EQ(high.ClassCounts[1], 0);
      EXPECT_EQ(high.ClassCounts[2], 3);
    } else {
      EXPECT_EQ(low.Mean, 1.0);
      EXPECT_EQ(high.Mean, 9.0);
      EXPECT_EQ(low.Variance, 0.0);
      EXPECT_EQ(high.Variance, 0.0);
    }
    EXPECT_EQ(rc.ObjectsNumber, 8);
    EXPECT_EQ(rc.FeaturesNumber, 3);
    EXPECT_EQ(rc.TargetValue, targets);
    EXPECT_TRUE(rc.DataTable.Empty());
  }
}

}  // namespace
}  // namespace tarmel
