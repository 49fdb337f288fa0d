// Time-series runs: the lag and the known targets the read phase checks, the variants that
// each drop the series their predecessors' roots tested, and the warnings about what such
// a run leaves unused. The golden time-series reports pin the header's counts and the
// absence of prediction and voting sections.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "golden_cases.h"
#include "test_support.h"

namespace tarmel {
namespace {

namespace fs = std::filesystem;
using testing::CrLf;
using testing::ReadText;

TEST(TimeSeriesRun, LagAndKnownTargetsAreCheckedOnceTheCountsAreRead) {
  const std::string three = CrLf({"3 2 ?", "1 1", "s y", "1 5", "2 6", "3 7"});
  const std::string lagLow = "Error in parameters: Lag must be at least 1\r\n";
  const std::string lagHigh = "Error in parameters: Lag must be less than the number of objects\r\n";
  const std::string noTarget = " Error: no object with a known target\r\n";
  const std::string earlyTargetOnly = CrLf({"3 1 ?", "1", "y", "1", "?", "?"});
  struct Case {
    std::string text;
    int32_t predicted, ordering, lag;
    std::string report;  // empty when the data is read
  } cases[] = {
      {three, 2, 1, 0, lagLow},
      {three, 2, 1, -3, lagLow},
      {three, 2, 1, 3, lagHigh},
      {three, 2, 1, 2, ""},
      {three, 2, 0, 0, ""},                          // the lag counts only for a time series
      {CrLf({"0 2 ?"}), 2, 1, 0, " Error: too few objects\r\n"},  // the counts come first
      {CrLf({"3 2 ?", "1 x"}), 2, 1, 0, lagLow},     // and the types after the lag
      // Time 1 is never predicted: its target alone is not enough.
      {earlyTargetOnly, 1, 1, 1, noTarget},
      {earlyTargetOnly, 1, 0, 1, ""},
      {CrLf({"3 2 ?", "1 1", "s y", "1 5", "2 ?", "3 7"}), 2, 1, 1, ""},
      {CrLf({"3 2 ?", "1 1", "s y", "1 5", "2 6", "3 ?"}), 2, 1, 2, noTarget},
  };
  for (const Case& c : cases) {
    RunParameters params;
    params.FeatureToPredict = c.predicted;
    params.Ordering = c.ordering;
    params.Lag = c.lag;
    auto read = ReadText(c.text, params);
    EXPECT_EQ(read->Report, c.report) << c.text << " ordering " << c.ordering << " lag " << c.lag;
    EXPECT_EQ(read->Ok, c.report.empty()) << c.text;
  }
}

class TimeSeriesGolden : public ::testing::Test {
 protected:
  void TearDown() override { fs::remove(report_); }
  fs::path report_ = testing::ProcessTempFile("tarmel-series");
};

// A later variant is grown without the series its predecessors' roots split on, so every
// variant of the golden case keeps a tree of its own, and no tree tests a dropped series.
TEST_F(TimeSeriesGolden, EachVariantDropsTheSeriesOfTheRootsBeforeIt) {
  const testing::GoldenRun run = testing::RunGoldenCase(testing::GoldenCase("time_series_predict_block"), report_);
  ASSERT_EQ(run.Result.Outcome, RunOutcome::Complete);
  ASSERT_EQ(run.Result.Trees.size(), 3u);
  std::set<int32_t> dropped;
  for (const TKeptTree& tree : run.Result.Trees) {
    ASSERT_FALSE(tree.Nodes[0].Children.empty()) << "variant " << tree.Variant;
    for (const TTreeNode& node : tree.Nodes) {
      EXPECT_EQ(dropped.count(node.SplitFeature), 0u) << "variant " << tree.Variant;
    }
    dropped.insert(tree.Nodes[0].SplitFeature);
  }
  EXPECT_EQ(dropped.size(), 3u);
}

// The report is the golden one; the warnings say what it leaves out, and a data-table run
// with a prediction block and folds has none of them.
TEST_F(TimeSeriesGolden, UnusedPredictionFoldsAndTargetPastAreWarnings) {
  const testing::GoldenRun run = testing::RunGoldenCase(testing::GoldenCase("time_series_predict_block"), report_);
  std::vector<std::string> texts;
  for (const RunWarning& w : run.Result.Warnings) texts.push_back(w.Text);
  EXPECT_EQ(texts, (std::vector<std::string>{
                       "the Predict block is not used in time-series ordering: a time-series "
                       "tree predicts no objects",
                       "cross-validation (FoldsCrossValidate 10) is not used in time-series "
                       "ordering",
                       "the past of the series to predict, \"sales\", is not used as a "
                       "predictor in time-series ordering; to use it, add a copy of the "
                       "series as another column (a tree reads it only at earlier times)"}));
  EXPECT_TRUE(testing::RunGoldenCase(testing::GoldenCase("houses_three_variants"), report_).Result.Warnings.empty());
}

}  // namespace
}  // namespace tarmel
