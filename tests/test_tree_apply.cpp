#include <gtest/gtest.h>

#include "hand_trees.h"
#include "tree_apply.h"

namespace tarmel {
namespace {

using testing::AddCategories;
using testing::AddInterval;
using testing::NewRoot;
using testing::SizeRun;
using testing::SplitAt;

// Root split on feature 1 at 2.5; its left child split on the nominal feature 2 into
// {1, 3} and {2}. Means tell the vertices apart: root 0, left 1, right 2, {1,3} 11, {2} 12.
struct RoutingTree {
  OwnedTree Root = NewRoot();
  PVertex Left = nullptr;
  PVertex Right = nullptr;
  RoutingTree() {
    std::tie(Left, Right) = SplitAt(Root.get(), 1, 2.5);
    Root->Mean = 0;
    Left->Mean = 1;
    Right->Mean = 2;
    AddCategories(Left, 2, {1, 3})->Mean = 11;
    AddCategories(Left, 2, {2})->Mean = 12;
    Left->ClassCounts[2] = 7;
  }
};

double RoutedMean(const RunContext& rc, const RoutingTree& tree, double x1, double x2) {
  TTable table(2, 1);
  table.At(1, 1) = x1;
  table.At(2, 1) = x2;
  return RouteObject(rc, tree.Root.get(), table, 1).Mean;
}

TEST(RouteObject, StopsWhereTheObjectCannotGoFurther) {
  RunContext rc;
  const RoutingTree tree;
  const struct {
    double X1, X2, Mean;
  } cases[] = {
      {2.5, 1, 11},           // equal to the upper bound: the left branch
      {2.5000001, 1, 2},      // just above it: the right branch
      {1, 3, 11},             // second code of a two-code branch
      {1, 2.9, 12},           // a stored value is compared by its whole part
      {MissingValue, 1, 0},   // missing at the root: the root decides
      {1, MissingValue, 1},   // missing at an inner vertex: that vertex decides
      {1, 4, 1},              // a code no branch carries stops at the inner vertex
      {1e30, 1, 2},           // open bounds hold for values beyond 1e17
      {-1e30, 2, 12},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RoutedMean(rc, tree, c.X1, c.X2), c.Mean) << c.X1 << " " << c.X2;
  }
}

TEST(RouteObject, ReturnsTheClassCountsOfTheStoppingVertex) {
  RunContext rc;
  rc.ClassesNumber = 2;
  const RoutingTree tree;
  TTable table(2, 1);
  table.At(1, 1) = 0;
  table.At(2, 1) = MissingValue;
  EXPECT_EQ(RouteObject(rc, tree.Root.get(), table, 1).Counts[2], 7);
}

TEST(RouteObject, ValueInAGapBetweenIntervalsStopsAtTheVertex) {
  RunContext rc;
  OwnedTree root = NewRoot();
  root->Mean = 5;
  AddInterval(root.get(), 1, -Infinity, 1)->Mean = 6;
  AddInterval(root.get(), 1, 2, Infinity)->Mean = 7;
  TTable table(1, 1);
  table.At(1, 1) = 1.5;
  EXPECT_EQ(RouteObject(rc, root.get(), table, 1).Mean, 5);
}

TEST(MajorityClass, TieGoesToTheLowerClassAndOthersAreTheRest) {
  RunContext rc;
  rc.ClassesNumber = 4;
  const struct {
    TClassCounts Counts;
    int32_t Class, Others;
  } cases[] = {
      {{0, 3, 5, 5, 1}, 2, 9},
      {{0, 4, 4, 4, 4}, 1, 12},
      {{0, 0, 0, 0, 2}, 4, 0},
      {{0, 0, 0, 0, 0}, 1, 0},
  };
  for (const auto& c : cases) {
    int32_t others = -1;
    EXPECT_EQ(MajorityClass(rc, c.Counts, others), c.Class);
    EXPECT_EQ(others, c.Others);
  }
}

TEST(MajorityClass, NoOrOneClassGivesClassOneWithNothingMisclassified) {
  RunContext rc;
  TClassCounts counts{0, 5, 9};
  for (const int32_t classes : {0, 1}) {
    rc.ClassesNumber = classes;
    int32_t others = -1;
    EXPECT_EQ(MajorityClass(rc, counts, others), 1);
    EXPECT_EQ(others, 0);
  }
}

// A path x1 in (1, 3], then x2 in {2}, over objects with the given values.
struct PathCase {
  RunContext Rc;
  OwnedTree Root = NewRoot();
  PathCase() {
    SizeRun(Rc, 2, 6);
    PVertex mid = AddInterval(Root.get(), 1, 1, 3);
    AddCategories(mid, 2, {2});
    Rc.RulePath[1] = TPathEntry{Root->FirstBranch, 1, 0};
    Rc.RulePath[2] = TPathEntry{mid->FirstBranch, 2, 0};
    const double x1[] = {3, 1, 2, MissingValue, 2, 2};
    const double x2[] = {2, 2, 2.7, 2, MissingValue, 1};
    for (int32_t o = 1; o <= 6; ++o) {
      Rc.DataTable.At(1, o) = x1[o - 1];
      Rc.DataTable.At(2, o) = x2[o - 1];
    }
  }
};

TEST(RuleHolds, EveryConditionOfThePathMustHold) {
  PathCase p;
  const bool expected[] = {true, false, true, false, false, false};
  for (int32_t o = 1; o <= 6; ++o) {
    EXPECT_EQ(RuleHolds(p.Rc, p.Rc.RulePath, 2, o, false), expected[o - 1]) << "object " << o;
  }
}

TEST(RuleHolds, DepthZeroHoldsForEveryObjectAndDepthLimitsTheTest) {
  PathCase p;
  EXPECT_TRUE(RuleHolds(p.Rc, p.Rc.RulePath, 0, 4, false));
  EXPECT_TRUE(RuleHolds(p.Rc, p.Rc.RulePath, 1, 6, false));
  EXPECT_FALSE(RuleHolds(p.Rc, p.Rc.RulePath, 2, 6, false));
}

TEST(RuleHolds, TimeSeriesTableIsReadAtTheShiftedTime) {
  PathCase p;
  p.Rc.SeriesTable = TTable(2, 10);
  p.Rc.SeriesTable.At(1, 7) = 2;  // time 3 + 5 - 1
  p.Rc.SeriesTable.At(1, 5) = 9;  // the unshifted time would fail
  p.Rc.RulePath[1].Shift = 3;
  EXPECT_TRUE(RuleHolds(p.Rc, p.Rc.RulePath, 1, 5, true));
  p.Rc.RulePath[1].Shift = 1;
  EXPECT_FALSE(RuleHolds(p.Rc, p.Rc.RulePath, 1, 5, true));
}

TEST(Vote, ClassificationSumsCompetencePerClassAndTiesGoLow) {
  RunContext rc;
  rc.IsClassification = true;
  rc.ClassesNumber = 3;
  rc.Competence = {0, 0.25, 0.25, 0.5};
  EXPECT_EQ(Vote(rc, {0, 2, 2, 3}, 3), 2);       // 0.5 each: class 2 is lower
  EXPECT_EQ(Vote(rc, {0, 3, 2, 3}, 3), 3);       // 0.75 against 0.25
  EXPECT_EQ(Vote(rc, {0, 3.6, 1, 1}, 1), 3);     // only the first tree; whole part
  EXPECT_EQ(Vote(rc, {0, 0, 0, 0}, 3), 1);       // no class named: the lowest
}

TEST(Vote, RegressionIsTheWeightedSum) {
  RunContext rc;
  rc.IsRegression = true;
  rc.Competence = {0, 0.25, 0.75};
  EXPECT_DOUBLE_EQ(Vote(rc, {0, 4, 8}, 2), 7);
}

TEST(LargestVote, StrictlyLargerWins) {
  RunContext rc;
  rc.ClassesNumber = 3;
  EXPECT_EQ(LargestVote(rc, TVotes{0, 0.2, 0.4, 0.4}), 2);
  EXPECT_EQ(LargestVote(rc, TVotes{0, 0.2, 0.3, 0.5}), 3);
}

}  // namespace
}  // namespace tarmel
