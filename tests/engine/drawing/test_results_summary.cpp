// The results table cells and the summary text the batch runner writes.
#include <gtest/gtest.h>

#include "hand_results.h"
#include "results_summary.h"

namespace tarmel {
namespace {

using testing::ChainResult;
using testing::FlowerResult;

TEST(ResultsSummary, OneRowPerTreeWithDashesForFiguresNotProduced) {
  RunResult run = FlowerResult();
  run.Trees.push_back(run.Trees[0]);
  run.Trees[1].Variant = 3;
  run.Trees[1].Nodes[0].SplitFeature = 5;
  run.Trees[1].CrossValidated = false;
  run.Trees[0].VotingWeight = 0.625;
  const TTextGrid grid = ResultsGrid(run);
  ASSERT_EQ(grid.size(), 3u);
  EXPECT_EQ(grid[0][3], "Misclassification frequency");
  EXPECT_EQ(grid[1], (std::vector<std::string>{"1", "petal_len", "3", "0.02", "0.050", "0.625"}));
  EXPECT_EQ(grid[2], (std::vector<std::string>{"3", "petal_wid", "3", "0.02", "-", "-"}));
}

TEST(ResultsSummary, RegressionRowsNameTheRelativeError) {
  RunResult run = ChainResult(1);
  run.Trees[0].TreeError = 1.25;
  const TTextGrid grid = ResultsGrid(run);
  EXPECT_EQ(grid[0][3], "Standard error");
  EXPECT_EQ(grid[0][4], "Relative cross-validation error");
  EXPECT_EQ(grid[1][1], "-");  // a tree of one leaf has no root feature
  EXPECT_TRUE(ConfusionGrid(run, run.Trees[0]).empty());
}

TEST(ResultsSummary, ConfusionMatrixWithRecallPerRowAndPrecisionPerColumn) {
  const RunResult run = FlowerResult();
  const TTextGrid grid = ConfusionGrid(run, run.Trees[0]);
  ASSERT_EQ(grid.size(), 5u);
  EXPECT_EQ(grid[0], (std::vector<std::string>{"true \\ predicted", "iris", "bellis", "viola", "Recall"}));
  EXPECT_EQ(grid[1], (std::vector<std::string>{"iris", "18", "0", "2", "0.900"}));
  EXPECT_EQ(grid[4], (std::vector<std::string>{"Precision", "0.947", "1.000", "0.905", ""}));
  EXPECT_EQ(ConfusionTotal(run.Trees[0]), 60);
  EXPECT_DOUBLE_EQ(ConfusionError(run.Trees[0]), 3.0 / 60.0);
}

TEST(ResultsSummary, ClassNeverPredictedOrNeverTestedShowsADash) {
  RunResult run = FlowerResult();
  run.Trees[0].Confusion = {{5, 0, 0}, {0, 0, 0}, {3, 0, 2}};
  const TTextGrid grid = ConfusionGrid(run, run.Trees[0]);
  EXPECT_EQ(grid[2][4], "-");  // bellis never tested: no recall
  EXPECT_EQ(grid[4][2], "-");  // bellis never predicted: no precision
  EXPECT_EQ(grid[4][1], "0.625");
}

TEST(ResultsSummary, TsvHasTheTableThenTheChosenMatrices) {
  RunResult run = FlowerResult();
  run.Trees.push_back(run.Trees[0]);
  run.Trees[1].Variant = 2;
  const std::string one = SummaryTsv(run, 1);
  EXPECT_EQ(one.rfind("Variant\tRoot feature\tLeaves\t", 0), 0u);
  EXPECT_EQ(one.find("Confusion matrix of variant 1"), std::string::npos);
  EXPECT_NE(one.find("\nConfusion matrix of variant 2\ntrue \\ predicted\tiris\tbellis\tviola\tRecall\n"),
            std::string::npos);
  const std::string all = SummaryTsv(run, -1);
  EXPECT_NE(all.find("Confusion matrix of variant 1"), std::string::npos);
  EXPECT_NE(all.find("Confusion matrix of variant 2"), std::string::npos);
}

}  // namespace
}  // namespace tarmel
