#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <tuple>
#include <vector>

#include "hand_trees.h"
#include "rule_report.h"

namespace tarmel {
namespace {

using testing::AddCategories;
using testing::AddInterval;
using testing::CrLf;
using testing::NewRoot;
using testing::SetValueNames;
using testing::SizeRun;
using testing::SplitAt;

const std::string Dashes(60, '-');
const std::string Stars(60, '*');

bool Contains(const std::string& report, const std::string& text) {
  return report.find(CrLf(text)) != std::string::npos;
}

// A regression run over x1, color (red, blue, green) and price; every object inactive
// until Activate gives it its values.
struct HousesRun {
  RunContext Rc;
  RunParameters Params;
  OwnedTree Root = NewRoot();
  explicit HousesRun(int32_t objects) {
    Rc.Params = &Params;
    Rc.InputFileName = "houses.txt";
    Rc.MinNodeSize = 6;
    SizeRun(Rc, 4, objects);
    Rc.ObjectActive.assign(Rc.ObjectActive.size(), 0);
    Rc.FeatureName[1] = "x1";
    Rc.FeatureName[2] = "color";
    SetValueNames(Rc, 2, {"red", "blue", "green"});
    Rc.IsRegression = true;
    Rc.ValueFeatureName = "price";
  }
  void Activate(int32_t o, double x1, double color, double price) {
    Rc.ObjectActive[static_cast<size_t>(o)] = 1;
    Rc.DataTable.At(1, o) = x1;
    Rc.DataTable.At(2, o) = color;
    Rc.TargetValue[static_cast<size_t>(o)] = price;
  }
  const std::string& Report(int32_t leaves) {
    ReportTree(Rc, Root.get(), false, leaves);
    return Rc.Out.Written();
  }
};

void SetLeaf(PVertex v, double mean, double variance, int32_t count, bool terminal) {
  v->Mean = mean;
  v->Variance = variance;
  v->ObjCount = count;
  v->Terminal = terminal;
}

// x1 <= 5.0 (x1 <= 3.2 (color in {red, blue} | {green}) | x1 > 3.2) | x1 > 5.0.
void GrowHousesTree(HousesRun& run) {
  for (const int32_t o : {1, 4, 5, 9, 12, 13, 20, 21, 22, 30, 31, 33, 40, 41, 47, 52}) {
    run.Activate(o, 1.0, o % 2 + 1, o == 1 ? 8.5 : o == 4 ? 15.25 : 12);
  }
  run.Activate(60, 3.2, 1, 12);  // on a bound: still the lower interval
  run.Activate(2, 4, 1, 7);
  run.Activate(7, 5.0, 2, 8);    // on a bound: still the lower interval
  run.Activate(8, 3.3, 3, 7.5);
  auto [low, high] = SplitAt(run.Root.get(), 1, 5.0);
  auto [lower, middle] = SplitAt(low, 1, 3.2);
  SetLeaf(AddCategories(lower, 2, {1, 2}), 12.25, 2.25, 17, true);
  SetLeaf(AddCategories(lower, 2, {3}), 20, 1, 2, true);
  SetLeaf(middle, 7.5, 0.0625, 3, false);
  SetLeaf(high, 30, -1e-12, 2, true);  // rounding noise below 0 counts as 0
}

TEST(ReportTree, RegressionRunMatchesTheHousesReport) {
  HousesRun run(100);
  GrowHousesTree(run);
  const std::string& report = run.Report(4);

  const std::string rule1 = CrLf(
      "input file: houses.txt\n"
      "Recursive Complexity= 1.000 Min_obj=  6 Homogeneity=0.050\n"
      "Number of objects= 100 Number of features=   3\n" +
      Dashes + "\n"
      "Variant N  1\n"
      " Rule   1,\n"
      " IF\n"
      " x1 <=    3.20, AND \n"
      "color = red,blue,\n"
      " THEN price = 12.25,\n"
      " Standard error   1.5000,\n"
      " Number of objects  17,\n"
      " Objects NN for which this rule is true : \n"
      "   1,   4,   5,   9,  12,  13,  20,  21,  22,  30,  31,  33,  40,  41,  47,\n"
      "  52,  60,\n"
      " Min value price -    8.500,\n"
      " Max value price -   15.250,\n" +
      Dashes + "\n");
  EXPECT_EQ(report.substr(0, rule1.size()), rule1);
  EXPECT_TRUE(Contains(report, Dashes + "\n"
                                        " Rule   3,\n"
                                        " IF\n"
                                        " x1 =]     3.20,    5.00],\n"
                                        " THEN price = 7.50,\n"
                                        " Standard error   0.2500,\n"
                                        " Number of objects   3,\n"
                                        " Objects NN for which this rule is true : \n"
                                        "   2,   7,   8,\n"
                                        " Min value price -    7.000,\n"
                                        " Max value price -    8.000,\n"
                                        " Heterogeneous group\n"
                                        " Rule can not be continued\n" +
                                        Dashes + "\n"
                                        " Rule   4,\n"));
  // sqrt(40.4375 / 24): the rules' squared errors over the objects they report.
  EXPECT_TRUE(
      Contains(report, Dashes + "\n Standard error for the tree is   1.30\n" + Stars + "\n"));
}

// The records follow the block: pre-order, each branch's condition as a rule ending below
// it writes it, rule numbers at the leaves, the error of the error line.
TEST(ReportTree, KeptRecordsMirrorTheBlock) {
  HousesRun run(100);
  GrowHousesTree(run);
  TKeptTree record;
  ReportTree(run.Rc, run.Root.get(), false, 4, &record);
  const std::string report = run.Rc.Out.Written();
  ASSERT_EQ(record.Nodes.size(), 7u);
  const std::vector<std::tuple<int32_t, const char*, int32_t, int32_t>> nodes = {
      // parent, condition, split feature, rule number
      {-1, "", 1, 0},       {0, "<= 5.00", 1, 0},       {1, "<= 3.20", 2, 0}, {2, "red,blue", 0, 1},
      {2, "green", 0, 2},   {1, "=] 3.20, 5.00]", 0, 3}, {0, "> 5.00", 0, 4},
  };
  for (size_t k = 0; k < nodes.size(); ++k) {
    const TTreeNode& n = record.Nodes[k];
    EXPECT_EQ(n.Parent, std::get<0>(nodes[k])) << k;
    EXPECT_EQ(n.Condition, std::get<1>(nodes[k])) << k;
    EXPECT_EQ(n.SplitFeature, std::get<2>(nodes[k])) << k;
    EXPECT_EQ(n.RuleNumber, std::get<3>(nodes[k])) << k;
  }
  EXPECT_EQ(record.Nodes[0].Children, (std::vector<int32_t>{1, 6}));
  EXPECT_EQ(record.Nodes[3].Categories, (std::vector<int32_t>{1, 2}));
  EXPECT_EQ(record.Nodes[3].StandardError, 1.5);
  EXPECT_EQ(record.Nodes[3].ObjCount, 17);
  EXPECT_EQ(record.Nodes[6].StandardError, 0.0);
  EXPECT_TRUE(record.Nodes[5].Heterogeneous);
  EXPECT_FALSE(record.Nodes[4].Heterogeneous);
  EXPECT_EQ(record.Nodes[1].Low, -Infinity);
  EXPECT_EQ(record.Nodes[1].High, 5.0);
  EXPECT_EQ(record.TreeError, std::sqrt(40.4375 / 24));
  EXPECT_EQ(record.LeavesNumber, 4);
  HousesRun plain(100);
  GrowHousesTree(plain);
  EXPECT_EQ(plain.Report(4), report);  // keeping the records changes nothing written
}

// A classification run over five features, the last one species with three classes.
struct IrisRun {
  RunContext Rc;
  RunParameters Params;
  OwnedTree Root = NewRoot();
  IrisRun() {
    Rc.Params = &Params;
    Rc.InputFileName = "iris.txt";
    SizeRun(Rc, 6, 150);
    Rc.ObjectActive.assign(Rc.ObjectActive.size(), 0);
    Rc.FeatureName[3] = "petal_len";
    Rc.FeatureName[4] = "petal_wid";
    Rc.IsClassification = true;
    Rc.ClassesNumber = 3;
    Rc.ClassName = {"", "setosa", "versicolor", "virginica"};
    Rc.ClassFeatureName = "species";
  }
  void Activate(int32_t o, double length, double width, int32_t cls) {
    Rc.ObjectActive[static_cast<size_t>(o)] = 1;
    Rc.DataTable.At(3, o) = length;
    Rc.DataTable.At(4, o) = width;
    Rc.ClassLabel[static_cast<size_t>(o)] = cls;
  }
};

TEST(ReportTree, ClassificationRunMatchesTheSpeciesReport) {
  IrisRun run;
  for (int32_t o = 51; o <= 74; ++o) run.Activate(o, 4, 1.3, 2);
  run.Activate(107, 5, 1.75, 3);
  auto [small, large] = SplitAt(run.Root.get(), 3, 2.45);
  auto [narrow, wide] = SplitAt(large, 4, 1.75);
  small->Terminal = wide->Terminal = narrow->Terminal = true;
  narrow->ClassCounts = {0, 0, 24, 1};
  ReportTree(run.Rc, run.Root.get(), false, 3);
  const std::string& report = run.Rc.Out.Written();
  EXPECT_TRUE(Contains(report, "Number of objects= 150 Number of features=   5"
                               " Number of classes=   3\n\n" +
                                   Dashes + "\nVariant N  1\n"));
  EXPECT_TRUE(Contains(report,
                       " Rule   2,\n"
                       " IF\n"
                       " petal_len >    2.45, AND \n"
                       " petal_wid <=    1.75,\n"
                       " THEN species =versicolor\n"
                       "\n"
                       " Number of objects  25,\n"
                       " Objects NN for which this rule is true : \n"
                       " setosa\n"
                       "\n"
                       " versicolor\n"
                       "  51,  52,  53,  54,  55,  56,  57,  58,  59,  60,"
                       "  61,  62,  63,  64,  65,  66,  67,  68,  69,\n"
                       "  70,  71,  72,  73,  74,\n"
                       " virginica\n"
                       " 107,\n" +
                           Dashes + "\n"));
  EXPECT_TRUE(Contains(report, " Misclassification frequency for the tree is   0.04\n" + Stars));
}

TEST(ReportTree, SingleLeafAndTimeSeriesBlocksHaveNoRules) {
  const struct {
    int32_t Variant, Leaves, Mode;
    bool Terminal;
    std::string Text;
  } cases[] = {
      {2, 1, 8, true, " No rule is found for given parameters\n Objects are homogenious\n"},
      {3, 1, 8, false, " No rule is found for given parameters\n Objects are heterogenious\n"},
      {2, 2, 12, false, Stars + "\n"},
  };
  for (const auto& c : cases) {
    HousesRun run(3);
    run.Rc.VariantNo = c.Variant;
    run.Rc.ReportMode = c.Mode;
    run.Root->Terminal = c.Terminal;
    if (c.Leaves > 1) SplitAt(run.Root.get(), 1, 2);
    const std::string heading = "\n" + Dashes + "\nVariant N  " + std::to_string(c.Variant) + "\n";
    EXPECT_EQ(run.Report(c.Leaves), CrLf(heading + c.Text));
  }
}

// Splits the parent on x1 at t, listing the chosen side first so the first rule goes down it.
PVertex AddSide(PVertex parent, double t, bool lowSide) {
  PVertex low = AddInterval(parent, 1, lowSide ? -Infinity : t, lowSide ? t : Infinity);
  AddInterval(parent, 1, lowSide ? t : -Infinity, lowSide ? Infinity : t);
  return low;
}

TEST(ReportTree, FeatureTestedAtSeveralLevelsIsWrittenOnceWithTheTightestInterval) {
  const struct {
    double First, Third;  // thresholds of x1 at levels 1 and 3; level 2 tests color
    bool FirstLow, ThirdLow;
    const char* Condition;
  } cases[] = {
      {1.5, 3.2, false, true, " x1 =]     1.50,    3.20],"},
      {3.2, 1.5, true, false, " x1 =]     1.50,    3.20],"},
      {1.5, 3.2, false, false, " x1 >    3.20,"},
      {3.2, 1.5, true, true, " x1 <=    1.50,"},
  };
  for (const auto& c : cases) {
    HousesRun run(1);
    PVertex second = AddCategories(AddSide(run.Root.get(), c.First, c.FirstLow), 2, {1});
    AddSide(second, c.Third, c.ThirdLow)->Terminal = true;
    const std::string expected = std::string(" Rule   1,\n IF\n") + c.Condition +
                                 " AND \ncolor = red,\n THEN";
    EXPECT_TRUE(Contains(run.Report(5), expected)) << c.First << " " << c.Third;
  }
}

TEST(ReportTree, OneSidedFormsTestTheInfinityMarkersLiterally) {
  // Only a Low of -1e17 gives "<=" and only a High of +1e17 gives ">"; a bound of the other
  // sign's marker is kept and written as a number.
  const struct {
    double Low, High;
    const char* Condition;
  } cases[] = {
      {-Infinity, 2.5, " x1 <=    2.50,"},
      {2.5, Infinity, " x1 >    2.50,"},
      {Infinity, Infinity, " x1 >100000000000000000.00,"},
      {Infinity, 1.5e17, " x1 =] 100000000000000000.00,150000000000000000.00],"},
      {-Infinity, -Infinity, " x1 <=-100000000000000000.00,"},
      {-1.5e17, -Infinity, " x1 =] -150000000000000000.00,-100000000000000000.00],"},
  };
  for (const auto& c : cases) {
    HousesRun run(1);
    AddInterval(run.Root.get(), 1, c.Low, c.High)->Terminal = true;
    AddInterval(run.Root.get(), 1, c.High, Infinity)->Terminal = true;
    const std::string expected = std::string(" Rule   1,\n IF\n") + c.Condition + "\n THEN";
    EXPECT_TRUE(Contains(run.Report(2), expected)) << c.Low << " " << c.High;
  }
}

TEST(ReportTree, ObjectListsBreakAfterEveryFifteenthOrNineteenthObject) {
  for (const int32_t n : {15, 16}) {
    HousesRun run(n);
    for (int32_t o = 1; o <= n; ++o) run.Activate(o, 1, 1, o);
    SplitAt(run.Root.get(), 1, 2);
    EXPECT_TRUE(Contains(run.Report(2), n == 15 ? "  15,\n\n Min" : "  15,\n  16,\n Min")) << n;
  }
  IrisRun run;
  for (int32_t o = 51; o <= 69; ++o) run.Activate(o, 4, 1.3, 2);
  SplitAt(run.Root.get(), 3, 2.45);
  ReportTree(run.Rc, run.Root.get(), false, 2);
  EXPECT_TRUE(Contains(run.Rc.Out.Written(), "  69,\n\n virginica\n"));
}

TEST(ReportTree, RuleCoveringNoObjectShowsTheUntouchedExtremes) {
  HousesRun run(1);
  SplitAt(run.Root.get(), 1, 2);
  EXPECT_TRUE(Contains(run.Report(2), " Objects NN for which this rule is true : \n\n"
                                      " Min value price - 100000000000000000.000,\n"
                                      " Max value price - -100000000000000000.000,\n"));
}

TEST(ReportTree, TreeWithoutReportedObjectsWritesZeroError) {
  HousesRun run(1);
  SplitAt(run.Root.get(), 1, 2);
  EXPECT_TRUE(Contains(run.Report(2), " Standard error for the tree is   0.00\n"));
  HousesRun classes(1);
  classes.Rc.IsRegression = false;
  classes.Rc.IsClassification = true;
  SplitAt(classes.Root.get(), 1, 2);
  EXPECT_TRUE(Contains(classes.Report(2), " Misclassification frequency for the tree is   0.00\n"));
}

TEST(ReportTree, RunWithoutTaskLeavesDecisionsEmptyAndWritesNoErrorLine) {
  HousesRun run(2);
  run.Rc.IsRegression = false;
  run.Activate(1, 1, 1, 5);
  auto [low, high] = SplitAt(run.Root.get(), 1, 2);
  SetLeaf(low, 0, 0, 5, true);
  high->Terminal = true;
  const std::string& report = run.Report(2);
  EXPECT_TRUE(Contains(report, "Number of features=   3\n" + Dashes));
  EXPECT_TRUE(Contains(report, " x1 <=    2.00,\n THEN \n Number of objects   5,\n"
                               " Objects NN for which this rule is true : \n" +
                                   Dashes + "\n"));
  EXPECT_TRUE(Contains(report, " true : \n" + Dashes + "\n" + Stars + "\n"));
}

TEST(ReportTree, PathsDeeperThanFortyFiveLevelsAreReported) {
  HousesRun run(1);
  PVertex v = run.Root.get();
  for (int32_t level = 1; level <= 60; ++level) {
    v = SplitAt(v, level % 2 + 1, level).second;  // color at odd levels, x1 at even ones
  }
  EXPECT_TRUE(
      Contains(run.Report(61), " Rule  61,\n IF\n color >   59.00, AND \n x1 >   60.00,\n"));
}

}  // namespace
}  // namespace tarmel
