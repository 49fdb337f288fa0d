#include <gtest/gtest.h>

#include "hand_trees.h"
#include "tree_apply.h"

namespace tarmel {
namespace {

using testing::AddCategories;
using testing::AddInterval;
using testing::NewRoot;
using testing::SizeRun;

// Root split on x1 at 2.5 (means: root 0, upper 2); the lower child (mean 1) is split on the
// nominal x2 into {1, 3} (mean 11) and {2} (mean 12).
TEST(RouteObject, StopsWhereTheObjectCannotGoFurther) {
  RunContext rc;
  OwnedTree root = NewRoot();
  PVertex low = AddInterval(root.get(), 1, -Infinity, 2.5);
  AddInterval(root.get(), 1, 2.5, Infinity)->Mean = 2;
  low->Mean = 1;
  AddCategories(low, 2, {1, 3})->Mean = 11;
  AddCategories(low, 2, {2})->Mean = 12;
  const struct {
    double X1, X2, Mean;
  } cases[] = {
      {2.5, 1, 11},          // equal to the upper bound: the lower interval
      {2.5000001, 1, 2},     // just above it: the upper interval
      {1, 2.9, 12},          // a stored value is compared by its whole part
      {MissingValue, 1, 0},  // missing at the root: the root decides
      {1, MissingValue, 1},  // missing at an inner vertex: that vertex decides
      {1, 4, 1},             // a code no branch carries stops at the inner vertex
      {1e30, 1, 2},          // open bounds hold for values beyond 1e17
      {-1e30, 3, 11},
  };
  TTable table(2, 1);
  for (const auto& c : cases) {
    table.At(1, 1) = c.X1;
    table.At(2, 1) = c.X2;
    EXPECT_EQ(RouteObject(rc, root.get(), table, 1).Mean, c.Mean) << c.X1 << " " << c.X2;
  }
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
  const struct {
    int32_t Classes;
    TClassCounts Counts;
    int32_t Class, Others;
  } cases[] = {
      {4, {0, 3, 5, 5, 1}, 2, 9},
      {4, {0, 0, 0, 0, 2}, 4, 0},
      {4, {0, 0, 0, 0, 0}, 1, 0},
      {1, {0, 5, 9}, 1, 0},  // one class, or none: class 1, nothing misclassified
      {0, {0, 5, 9}, 1, 0},
  };
  for (const auto& c : cases) {
    rc.ClassesNumber = c.Classes;
    int32_t others = -1;
    EXPECT_EQ(MajorityClass(rc, c.Counts, others), c.Class);
    EXPECT_EQ(others, c.Others);
  }
}

// The path x1 in (1, 3], then x2 in {2}.
TEST(RuleHolds, EveryConditionOfThePathMustHold) {
  RunContext rc;
  SizeRun(rc, 2, 6);
  OwnedTree root = NewRoot();
  PVertex mid = AddInterval(root.get(), 1, 1, 3);
  AddCategories(mid, 2, {2});
  rc.RulePath[1] = TPathEntry{root->FirstBranch, 1, 0};
  rc.RulePath[2] = TPathEntry{mid->FirstBranch, 2, 0};
  const double x1[] = {3, 1, 2, MissingValue, 2, 2};
  const double x2[] = {2, 2, 2.7, 2, MissingValue, 1};
  const bool holds[] = {true, false, true, false, false, false};
  for (int32_t o = 1; o <= 6; ++o) {
    rc.DataTable.At(1, o) = x1[o - 1];
    rc.DataTable.At(2, o) = x2[o - 1];
    EXPECT_EQ(RuleHolds(rc, rc.RulePath, 2, o, false), holds[o - 1]) << "object " << o;
  }
  EXPECT_TRUE(RuleHolds(rc, rc.RulePath, 0, 4, false));
  EXPECT_TRUE(RuleHolds(rc, rc.RulePath, 1, 6, false));

  rc.SeriesTable = TTable(2, 10);
  rc.SeriesTable.At(1, 7) = 2;  // object 5 at shift 3 is read at time 3 + 5 - 1
  rc.RulePath[1].Shift = 3;
  EXPECT_TRUE(RuleHolds(rc, rc.RulePath, 1, 5, true));
  rc.RulePath[1].Shift = 1;
  EXPECT_FALSE(RuleHolds(rc, rc.RulePath, 1, 5, true));
}

TEST(Vote, ClassificationSumsCompetencePerClassAndTiesGoLow) {
  RunContext rc;
  rc.IsClassification = true;
  rc.ClassesNumber = 3;
  rc.Competence = {0, 0.25, 0.25, 0.5};
  EXPECT_EQ(Vote(rc, {0, 2, 2, 3}, 3), 2);    // 0.5 each: class 2 is lower
  EXPECT_EQ(Vote(rc, {0, 3, 2, 3}, 3), 3);    // 0.75 against 0.25
  EXPECT_EQ(Vote(rc, {0, 3.6, 1, 1}, 1), 3);  // only the first tree; whole part
  EXPECT_EQ(Vote(rc, {0, 0, 0, 0}, 3), 1);    // no class named: the lowest
}

TEST(Vote, RegressionIsTheWeightedSum) {
  RunContext rc;
  rc.IsRegression = true;
  rc.Competence = {0, 0.25, 0.75};
  EXPECT_DOUBLE_EQ(Vote(rc, {0, 4, 8}, 2), 7);
}

}  // namespace
}  // namespace tarmel
