#include <gtest/gtest.h>

#include <cmath>
#include <limits>
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

// A regression run over x1, color (red, blue, green) and price, with the constant feature.
void SetUpHouses(RunContext& rc, RunParameters& params, int32_t objects) {
  rc.Params = &params;
  rc.InputFileName = "houses.txt";
  rc.MinNodeSize = 6;
  SizeRun(rc, 4, objects);
  rc.FeatureName[1] = "x1";
  rc.FeatureName[2] = "color";
  rc.FeatureName[3] = "price";
  rc.FeatureName[4] = "W";
  SetValueNames(rc, 2, {"red", "blue", "green"});
  rc.IsRegression = true;
  rc.ValueFeature = 3;
  rc.ValueFeatureName = "price";
}

void SetObject(RunContext& rc, int32_t o, double x1, double color, double price) {
  rc.DataTable.At(1, o) = x1;
  rc.DataTable.At(2, o) = color;
  rc.TargetValue[static_cast<size_t>(o)] = price;
}

void SetLeaf(PVertex v, double mean, double variance, int32_t count, bool terminal) {
  v->Mean = mean;
  v->Variance = variance;
  v->ObjCount = count;
  v->Terminal = terminal;
}

TEST(ReportTree, RegressionRunMatchesTheHousesReport) {
  RunContext rc;
  RunParameters params;
  SetUpHouses(rc, params, 100);
  for (int32_t o = 1; o <= 100; ++o) rc.ObjectActive[static_cast<size_t>(o)] = 0;
  auto activate = [&rc](int32_t o, double x1, double color, double price) {
    rc.ObjectActive[static_cast<size_t>(o)] = 1;
    SetObject(rc, o, x1, color, price);
  };
  for (const int32_t o : {1, 4, 5, 9, 12, 13, 20, 21, 22, 30, 31, 33, 40, 41, 47, 52}) {
    activate(o, 1.0, o % 2 == 0 ? 2 : 1, 12);
  }
  activate(60, 3.2, 1, 12);  // on the bound: still the lower interval
  rc.TargetValue[1] = 8.5;
  rc.TargetValue[4] = 15.25;
  activate(3, 2, 3, 19);
  activate(6, 2, 3, 21);
  activate(2, 4, 1, 7);
  activate(7, 5.0, 2, 8);  // on the bound: still the lower interval
  activate(8, 3.3, 3, 7.5);
  activate(10, 6, 1, 30);
  activate(11, 9, 2, 30);

  OwnedTree root = NewRoot();
  auto [low, high] = SplitAt(root.get(), 1, 5.0);
  auto [lower, middle] = SplitAt(low, 1, 3.2);
  SetLeaf(AddCategories(lower, 2, {1, 2}), 12.25, 2.25, 17, true);
  SetLeaf(AddCategories(lower, 2, {3}), 20, 1, 2, true);
  SetLeaf(middle, 7.5, 0.0625, 3, false);
  SetLeaf(high, 30, -1e-12, 2, true);  // rounding noise below 0 counts as 0
  ReportTree(rc, root.get(), false, 4);

  const std::string expected = CrLf(
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
      Dashes + "\n"
      " Rule   2,\n"
      " IF\n"
      " x1 <=    3.20, AND \n"
      "color = green,\n"
      " THEN price = 20.00,\n"
      " Standard error   1.0000,\n"
      " Number of objects   2,\n"
      " Objects NN for which this rule is true : \n"
      "   3,   6,\n"
      " Min value price -   19.000,\n"
      " Max value price -   21.000,\n" +
      Dashes + "\n"
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
      " Rule   4,\n"
      " IF\n"
      " x1 >    5.00,\n"
      " THEN price = 30.00,\n"
      " Standard error   0.0000,\n"
      " Number of objects   2,\n"
      " Objects NN for which this rule is true : \n"
      "  10,  11,\n"
      " Min value price -   30.000,\n"
      " Max value price -   30.000,\n" +
      Dashes + "\n"
      " Standard error for the tree is   1.30\n" +  // sqrt(40.4375 / 24)
      Stars + "\n");
  EXPECT_EQ(rc.Out.Written(), expected);
}

// A classification run over five features, the last one species with three classes.
void SetUpIris(RunContext& rc, RunParameters& params) {
  rc.Params = &params;
  rc.InputFileName = "iris.txt";
  rc.MinNodeSize = 8;
  SizeRun(rc, 6, 150);
  const char* names[] = {"", "sepal_len", "sepal_wid", "petal_len", "petal_wid", "species", "Y"};
  for (int32_t f = 1; f <= 6; ++f) rc.FeatureName[static_cast<size_t>(f)] = names[f];
  rc.IsClassification = true;
  rc.ClassesNumber = 3;
  rc.ClassName[1] = "setosa";
  rc.ClassName[2] = "versicolor";
  rc.ClassName[3] = "virginica";
  rc.ClassFeature = 5;
  rc.ClassFeatureName = "species";
  for (int32_t o = 1; o <= 150; ++o) rc.ObjectActive[static_cast<size_t>(o)] = 0;
}

void SetFlower(RunContext& rc, int32_t o, double length, double width, int32_t cls) {
  rc.ObjectActive[static_cast<size_t>(o)] = 1;
  rc.DataTable.At(3, o) = length;
  rc.DataTable.At(4, o) = width;
  rc.ClassLabel[static_cast<size_t>(o)] = cls;
}

TEST(ReportTree, ClassificationRunMatchesTheSpeciesReport) {
  RunContext rc;
  RunParameters params;
  SetUpIris(rc, params);
  SetFlower(rc, 1, 1.4, 0.2, 1);
  SetFlower(rc, 2, 1.3, 0.2, 1);
  for (int32_t o = 51; o <= 74; ++o) SetFlower(rc, o, 4, 1.3, 2);
  SetFlower(rc, 107, 5, 1.6, 3);
  SetFlower(rc, 75, 4.8, 1.8, 2);
  SetFlower(rc, 120, 5.5, 2.0, 3);
  SetFlower(rc, 121, MissingValue, 2.0, 3);  // covered by no rule

  OwnedTree root = NewRoot();
  auto [small, large] = SplitAt(root.get(), 3, 2.45);
  auto [narrow, wide] = SplitAt(large, 4, 1.75);
  small->ClassCounts = {0, 2, 0, 0};
  small->Terminal = true;
  narrow->ClassCounts = {0, 0, 24, 1};
  narrow->Terminal = true;
  wide->ClassCounts = {0, 0, 1, 1};  // a tie: the lower class is the decision
  ReportTree(rc, root.get(), false, 3);

  const std::string expected = CrLf(
      "input file: iris.txt\n"
      "Recursive Complexity= 1.000 Min_obj=  8 Homogeneity=0.050\n"
      "Number of objects= 150 Number of features=   5 Number of classes=   3\n"
      "\n" +
      Dashes + "\n"
      "Variant N  1\n"
      " Rule   1,\n"
      " IF\n"
      " petal_len <=    2.45,\n"
      " THEN species =setosa\n"
      "\n"
      " Number of objects   2,\n"
      " Objects NN for which this rule is true : \n"
      " setosa\n"
      "   1,   2,\n"
      " versicolor\n"
      "\n"
      " virginica\n"
      "\n" +
      Dashes + "\n"
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
      Dashes + "\n"
      " Rule   3,\n"
      " IF\n"
      " petal_len >    2.45, AND \n"
      " petal_wid >    1.75,\n"
      " THEN species =versicolor\n"
      "\n"
      " Number of objects   2,\n"
      " Objects NN for which this rule is true : \n"
      " setosa\n"
      "\n"
      " versicolor\n"
      "  75,\n"
      " virginica\n"
      " 120,\n"
      " Heterogeneous group\n"
      " Rule can not be continued\n" +
      Dashes + "\n"
      " Misclassification frequency for the tree is   0.07\n" +  // 2 of 29
      Stars + "\n");
  EXPECT_EQ(rc.Out.Written(), expected);
}

TEST(ReportTree, SingleLeafTreeHasNoRulesAndNoClosingLine) {
  const struct {
    int32_t Variant;
    bool Terminal;
    const char* Text;
  } cases[] = {
      {2, true, "\n------------------------------------------------------------\nVariant N  2\n"
                " No rule is found for given parameters\n Objects are homogenious\n"},
      {3, false, "\n------------------------------------------------------------\nVariant N  3\n"
                 " No rule is found for given parameters\n Objects are heterogenious\n"},
  };
  for (const auto& c : cases) {
    RunContext rc;
    RunParameters params;
    SetUpHouses(rc, params, 3);
    rc.VariantNo = c.Variant;
    OwnedTree root = NewRoot();
    root->Terminal = c.Terminal;
    ReportTree(rc, root.get(), false, 1);
    EXPECT_EQ(rc.Out.Written(), CrLf(c.Text));
  }
}

TEST(ReportTree, TimeSeriesModeWritesOnlyTheHeadingAndClosingLine) {
  RunContext rc;
  RunParameters params;
  SetUpHouses(rc, params, 3);
  rc.VariantNo = 2;
  rc.ReportMode = 12;
  OwnedTree root = NewRoot();
  SplitAt(root.get(), 1, 2);
  ReportTree(rc, root.get(), true, 2);
  EXPECT_EQ(rc.Out.Written(), CrLf("\n" + Dashes + "\nVariant N  2\n" + Stars + "\n"));
}

// The condition lines of the first rule (conditions up to the THEN line).
std::string FirstConditions(const std::string& report) {
  const size_t from = report.find(" IF\r\n") + 5;
  return report.substr(from, report.find(" THEN") - from);
}

// Splits the parent on x1 at t, listing the chosen side first so the first rule goes down it.
PVertex AddSide(PVertex parent, double t, bool lowSide) {
  if (lowSide) {
    PVertex chosen = AddInterval(parent, 1, -Infinity, t);
    AddInterval(parent, 1, t, Infinity);
    return chosen;
  }
  PVertex chosen = AddInterval(parent, 1, t, Infinity);
  AddInterval(parent, 1, -Infinity, t);
  return chosen;
}

TEST(ReportTree, FeatureTestedAtSeveralLevelsIsWrittenOnceWithTheTightestInterval) {
  const struct {
    double First, Third;  // thresholds of x1 at levels 1 and 3; level 2 tests color
    bool FirstLow, ThirdLow;
    const char* Conditions;
  } cases[] = {
      {1.5, 3.2, false, true, " x1 =]     1.50,    3.20], AND \r\ncolor = red,\r\n"},
      {3.2, 1.5, true, false, " x1 =]     1.50,    3.20], AND \r\ncolor = red,\r\n"},
      {1.5, 3.2, false, false, " x1 >    3.20, AND \r\ncolor = red,\r\n"},
      {3.2, 1.5, true, true, " x1 <=    1.50, AND \r\ncolor = red,\r\n"},
  };
  for (const auto& c : cases) {
    RunContext rc;
    RunParameters params;
    SetUpHouses(rc, params, 1);
    OwnedTree root = NewRoot();
    PVertex second = AddCategories(AddSide(root.get(), c.First, c.FirstLow), 2, {1});
    AddSide(second, c.Third, c.ThirdLow)->Terminal = true;
    ReportTree(rc, root.get(), false, 5);
    EXPECT_EQ(FirstConditions(rc.Out.Written()), c.Conditions) << c.First << " " << c.Third;
  }
}


// A regression tree split on x1 at 2, over objects whose x1 values are given.
struct TwoLeafRun {
  RunContext Rc;
  RunParameters Params;
  OwnedTree Root = NewRoot();
  PVertex Low = nullptr;
  PVertex High = nullptr;
  explicit TwoLeafRun(std::vector<double> x1) {
    SetUpHouses(Rc, Params, static_cast<int32_t>(x1.size()));
    for (size_t o = 1; o <= x1.size(); ++o) {
      SetObject(Rc, static_cast<int32_t>(o), x1[o - 1], 1, static_cast<double>(o));
    }
    std::tie(Low, High) = SplitAt(Root.get(), 1, 2);
    Low->Terminal = true;
    High->Terminal = true;
  }
  std::string Report() {
    ReportTree(Rc, Root.get(), false, 2);
    return Rc.Out.Written();
  }
};

TEST(ReportTree, RuleCoveringNoObjectShowsTheUntouchedExtremes) {
  TwoLeafRun run({1, 3});
  run.Rc.ObjectActive[2] = 0;  // the only object of the upper interval is inactive
  EXPECT_NE(run.Report().find(" Objects NN for which this rule is true : \r\n\r\n"
                              " Min value price - 100000000000000000.000,\r\n"
                              " Max value price - -100000000000000000.000,\r\n"),
            std::string::npos);
}

TEST(ReportTree, ObjectListBreaksAfterEveryFifteenthObject) {
  const struct {
    size_t Objects;
    const char* Ending;
  } cases[] = {
      {14, "  14,\r\n Min value"},
      {15, "  15,\r\n\r\n Min value"},
      {16, "  15,\r\n  16,\r\n Min value"},
      {30, "  30,\r\n\r\n Min value"},
  };
  for (const auto& c : cases) {
    TwoLeafRun run(std::vector<double>(c.Objects, 1.0));
    EXPECT_NE(run.Report().find(c.Ending), std::string::npos) << c.Objects;
  }
}

TEST(ReportTree, ClassListBreaksAfterEveryNineteenthObjectOfTheClass) {
  const struct {
    int32_t Objects;
    const char* Ending;
  } cases[] = {
      {18, "  68,\r\n virginica"},
      {19, "  69,\r\n\r\n virginica"},
      {20, "  69,\r\n  70,\r\n virginica"},
  };
  for (const auto& c : cases) {
    RunContext rc;
    RunParameters params;
    SetUpIris(rc, params);
    for (int32_t o = 51; o < 51 + c.Objects; ++o) SetFlower(rc, o, 4, 1.3, 2);
    OwnedTree root = NewRoot();
    SplitAt(root.get(), 3, 2.45);
    ReportTree(rc, root.get(), false, 2);
    EXPECT_NE(rc.Out.Written().find(c.Ending), std::string::npos) << c.Objects;
  }
}

TEST(ReportTree, RunWithoutTaskLeavesDecisionsEmptyAndWritesNoErrorLine) {
  TwoLeafRun run({1, 3});
  run.Rc.IsRegression = false;
  run.Low->ObjCount = 5;
  const std::string expected = CrLf(
      "input file: houses.txt\n"
      "Recursive Complexity= 1.000 Min_obj=  6 Homogeneity=0.050\n"
      "Number of objects=   2 Number of features=   3\n" +
      Dashes + "\n"
      "Variant N  1\n"
      " Rule   1,\n"
      " IF\n"
      " x1 <=    2.00,\n"
      " THEN \n"
      " Number of objects   5,\n"
      " Objects NN for which this rule is true : \n" +
      Dashes + "\n"
      " Rule   2,\n"
      " IF\n"
      " x1 >    2.00,\n"
      " THEN \n"
      " Number of objects   0,\n"
      " Objects NN for which this rule is true : \n" +
      Dashes + "\n" + Stars + "\n");
  EXPECT_EQ(run.Report(), expected);
}

TEST(ReportTree, TreeWithoutReportedObjectsWritesZeroError) {
  TwoLeafRun regression({1, 3});
  EXPECT_NE(regression.Report().find(" Standard error for the tree is   0.00\r\n"),
            std::string::npos);
  TwoLeafRun classification({1, 3});
  classification.Rc.IsRegression = false;
  classification.Rc.IsClassification = true;
  classification.Rc.ClassesNumber = 2;
  EXPECT_NE(classification.Report().find(" Misclassification frequency for the tree is   0.00\r\n"),
            std::string::npos);
}

TEST(ReportTree, UndefinedVarianceCountsAsZero) {
  TwoLeafRun run({1, 3});
  run.Low->Variance = std::numeric_limits<double>::quiet_NaN();
  run.Low->ObjCount = 3;
  run.High->Variance = 4;
  run.High->ObjCount = 1;
  const std::string report = run.Report();
  EXPECT_NE(report.find(" Standard error   0.0000,\r\n"), std::string::npos);
  EXPECT_NE(report.find(" Standard error for the tree is   1.00\r\n"), std::string::npos);
}

TEST(ReportTree, PathsDeeperThanFortyFiveLevelsAreReported) {
  RunContext rc;
  RunParameters params;
  SetUpHouses(rc, params, 1);
  OwnedTree root = NewRoot();
  PVertex v = root.get();
  for (int32_t level = 1; level <= 60; ++level) {
    v = SplitAt(v, level % 2 + 1, level).second;  // color at odd levels, x1 at even ones
  }
  ReportTree(rc, root.get(), false, 61);
  const std::string& report = rc.Out.Written();
  const size_t last = report.find(" Rule  61,");
  ASSERT_NE(last, std::string::npos);
  EXPECT_NE(report.find(" IF\r\n color >   59.00, AND \r\n x1 >   60.00,\r\n", last),
            std::string::npos);
}
}  // namespace
}  // namespace tarmel
