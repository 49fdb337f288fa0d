#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <tuple>
#include <vector>

#include "hand_trees.h"
#include "prediction.h"

namespace tarmel {
namespace {

using testing::CrLf;
using testing::NewRoot;
using testing::SetValueNames;
using testing::SplitAt;

// Features: x (numeric, 1), the target (2), the constant feature (3). The tree splits x
// at 5; the objects to predict are given as (x, target) pairs.
struct PredictionRun {
  RunContext Rc;
  RunParameters Params;
  OwnedTree Root = NewRoot();

  PredictionRun(bool classification, std::vector<std::pair<double, double>> objects) {
    Rc.Params = &Params;
    Rc.IsClassification = classification;
    Rc.IsRegression = !classification;
    Rc.ClassFeature = classification ? 2 : 3;
    Rc.ValueFeature = classification ? 3 : 2;
    Rc.ClassesNumber = classification ? 3 : 0;
    Rc.ClassName = {"", "a", "b", "c"};
    SetValueNames(Rc, 2, {"a", "b", "c"});
    const auto n = static_cast<int32_t>(objects.size());
    Rc.PredictObjectsNumber = n;
    Rc.PredictTable = TTable(3, n);
    for (int32_t j = 1; j <= n; ++j) {
      std::tie(Rc.PredictTable.At(1, j), Rc.PredictTable.At(2, j)) = objects[size_t(j) - 1];
    }
    Rc.VoteTable.assign(static_cast<size_t>(n) + 1, std::vector<double>(4, 0.0));
    Rc.Competence.assign(4, 0.0);
    auto [low, high] = SplitAt(Root.get(), 1, 5);
    Root->ClassCounts = {0, 3, 3, 2};
    low->ClassCounts = {0, 3, 1, 0};
    high->ClassCounts = {0, 0, 2, 2};  // a tie: class b decides
    Root->Mean = 15;
    low->Mean = 10;
    high->Mean = 20;
  }

  std::string Predict() {
    EvaluateTree(Rc, Root.get(), Rc.PredictTable, Rc.PredictObjectsNumber, true);
    return Rc.Out.Written();
  }
  double TestError() {
    return EvaluateTree(Rc, Root.get(), Rc.PredictTable, Rc.PredictObjectsNumber, false);
  }
};

constexpr const char* Heading = "############ PREDICTION  ##########\n";

TEST(PredictionSection, ClassificationLinesStoreVotesAndCountMisclassified) {
  PredictionRun run(true, {{1, 1}, {7, 3}, {MissingValue, 2}, {2, MissingValue}});
  run.Rc.TreesNumber = 2;
  EXPECT_EQ(run.Predict(), CrLf(std::string(Heading) +
                                "Object   1-> a (true class= a)\n"
                                "Object   2-> b (true class= c)\n"
                                "Object   3-> a (true class= b)\n"
                                "Object   4-> a\n"
                                "test error=0.667\n"));
  const double column[] = {1, 2, 1, 1};
  for (size_t j = 1; j <= 4; ++j) EXPECT_EQ(run.Rc.VoteTable[j][2], column[j - 1]) << j;
  EXPECT_EQ(run.Rc.VoteTable[1][1], 0);
}

TEST(PredictionSection, RegressionErrorIsRelativeToTheSpreadOfKnownTargets) {
  PredictionRun run(false, {{1, 12}, {7, 17}, {8, MissingValue}});
  EXPECT_EQ(run.Predict(), CrLf(std::string(Heading) +
                                "Object   1->   10.00 (true value= 12.000)\n"
                                "Object   2->   20.00 (true value= 17.000)\n"
                                "Object   3->   20.00\n"
                                "Relative test error=1.020\n"));  // sqrt(13 / 12.5)
  EXPECT_EQ(run.Rc.VoteTable[3][1], 20);
}

TEST(PredictionSection, EqualTargetsGiveThePlainRootMeanSquareError) {
  PredictionRun run(false, {{1, 12}, {7, 12}});
  EXPECT_EQ(run.Predict(), CrLf(std::string(Heading) +
                                "Object   1->   10.00 (true value= 12.000)\n"
                                "Object   2->   20.00 (true value= 12.000)\n"
                                "test error=5.831\n"));  // sqrt(68 / 2)
}

TEST(PredictionSection, AllTargetsMissingWritesNoErrorLine) {
  for (const bool classification : {true, false}) {
    PredictionRun run(classification, {{1, MissingValue}, {9, MissingValue}});
    const std::string report = run.Predict();
    EXPECT_EQ(report.find("error"), std::string::npos) << report;
    EXPECT_EQ(report.substr(report.size() - 2), "\r\n");
  }
}

TEST(PredictionSection, RunWithoutTaskWritesBareObjectLines) {
  PredictionRun run(false, {{1, 12}, {7, 17}});
  run.Rc.IsRegression = false;
  EXPECT_EQ(run.Predict(), CrLf(std::string(Heading) + "Object   1-> \nObject   2-> \n"));
  EXPECT_EQ(run.TestError(), 0);
}

TEST(TestPass, ReturnsRootMeanSquareErrorOrMisclassificationFrequency) {
  PredictionRun regression(false, {{1, 12}, {7, 17}});
  EXPECT_DOUBLE_EQ(regression.TestError(), std::sqrt(13.0 / 2));
  PredictionRun classification(true, {{1, 1}, {7, 3}, {6, 2}});
  EXPECT_DOUBLE_EQ(classification.TestError(), 1.0 / 3);
  EXPECT_TRUE(classification.Rc.Out.Written().empty());
  PredictionRun empty(false, {});
  EXPECT_EQ(empty.TestError(), 0);
}

TEST(VotingWeights, InverseErrorsScaledToOneWithTenThousandForUnmeasuredTrees) {
  const struct {
    int32_t Folds;
    std::vector<double> Errors;  // Competence[1..] before voting
    std::vector<double> Weights;
  } cases[] = {
      {0, {0.5, 0.25}, {0.5, 0.5}},
      {10, {0.5, 0.25}, {1.0 / 3, 2.0 / 3}},
      {10, {0.5, 0}, {2 / 10002.0, 10000 / 10002.0}},
      {10, {0.0001, 0.0002}, {10000 / 15000.0, 5000 / 15000.0}},  // 0.0001 is not above
  };
  for (const auto& c : cases) {
    PredictionRun run(false, {{1, MissingValue}});
    run.Params.FoldsCrossValidate = c.Folds;
    run.Rc.TreesNumber = 2;
    run.Rc.Competence = {0, c.Errors[0], c.Errors[1], 0};
    WriteVotingSection(run.Rc);
    EXPECT_DOUBLE_EQ(run.Rc.Competence[1], c.Weights[0]) << c.Folds << " " << c.Errors[0];
    EXPECT_DOUBLE_EQ(run.Rc.Competence[2], c.Weights[1]) << c.Folds << " " << c.Errors[1];
  }
}

constexpr const char* VotingHeading =
    "\n###############Prediction################\n(Base trees voting)\nCompetence:\n";

TEST(VotingSection, ClassificationListsEveryTreesClassAndTheVote) {
  PredictionRun run(true, {{0, 1}, {0, 2}, {0, MissingValue}});
  run.Params.FoldsCrossValidate = 0;
  run.Rc.TreesNumber = 2;
  run.Rc.VoteTable[1] = {0, 1, 2, 0};  // equal weights: the lower class wins
  run.Rc.VoteTable[2] = {0, 3, 3, 0};
  run.Rc.VoteTable[3] = {0, 2, 1, 0};
  WriteVotingSection(run.Rc);
  EXPECT_EQ(run.Rc.Out.Written(), CrLf(std::string(VotingHeading) +
                                       " 1 tree=0.500\n"
                                       " 2 tree=0.500\n"
                                       "\n"
                                       "  1 object (Vote: a b ) -> a (true class= a)\n"
                                       "  2 object (Vote: c c ) -> c (true class= b)\n"
                                       "  3 object (Vote: b a ) -> a\n"
                                       "test error= 0.500\n"));
}

TEST(VotingSection, RegressionCombinesValuesByWeight) {
  PredictionRun run(false, {{0, 12}, {0, 9}});
  run.Params.FoldsCrossValidate = 10;
  run.Rc.TreesNumber = 2;
  run.Rc.Competence = {0, 0.5, 0.25, 0};
  run.Rc.VoteTable[1] = {0, 10, 13, 0};
  run.Rc.VoteTable[2] = {0, 4, 7, 0};
  WriteVotingSection(run.Rc);
  EXPECT_EQ(run.Rc.Out.Written(),
            CrLf(std::string(VotingHeading) +
                 " 1 tree=0.333\n"
                 " 2 tree=0.667\n"
                 "\n"
                 "  1 object (Vote: 10.000; 13.000; ) -> 12.000 (true value= 12.000)\n"
                 "  2 object (Vote: 4.000; 7.000; ) -> 6.000 (true value= 9.000)\n"
                 "Relative test error= 1.414\n"));  // sqrt(9 / 4.5)
}

}  // namespace
}  // namespace tarmel
