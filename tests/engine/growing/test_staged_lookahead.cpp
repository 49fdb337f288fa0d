#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "staged_lookahead.h"
#include "test_support.h"

namespace tarmel {
namespace {

using testing::ReadText;

// 16 objects, predictors 1..19 with varied patterns and the target as feature 20, so that
// the run has 21 features with the appended one.
std::string TwentyFeatureTable() {
  std::string text = "16 20 ?\r\n";
  for (int f = 1; f <= 20; ++f) text += f < 20 ? "1 " : "1\r\n";
  for (int f = 1; f <= 20; ++f) text += "f" + std::to_string(f) + (f < 20 ? " " : "\r\n");
  for (int i = 1; i <= 16; ++i) {
    for (int f = 1; f < 20; ++f) text += std::to_string((i * (f + 2)) % (f % 4 + 2)) + " ";
    text += std::to_string((i * i) % 7) + "\r\n";
  }
  return text;
}

RunParameters Complexity(double rc, int32_t featureToPredict) {
  RunParameters p;
  p.RecursiveComplexity = rc;
  p.FeatureToPredict = featureToPredict;
  p.MinObj = 0.0;
  p.FoldsCrossValidate = 1;
  return p;
}

TSubtree GrowAll(RunContext& rc) {
  const std::span<const int32_t> all(rc.ObjectOrder.begin() + 1, rc.ObjectOrder.end());
  return GrowSubtree(rc, all, rc.ActivePredictors, 0, 0);
}

// The stage at which the schedule stops: MaxDepth 1..3 for 1.5 (all, best 10, best 5), a
// single stage for integral values, and the two one-level stages first below 1.
TEST(StagedLookahead, ScheduleStopsWhereTheFeatureShareRunsOut) {
  struct Case {
    double complexity;
    int32_t stopDepth;
  };
  const Case cases[] = {{1.0, 2}, {2.0, 3}, {1.5, 4}, {0.5, 4}, {0.0, 2}};
  for (const Case& c : cases) {
    auto run = ReadText(TwentyFeatureTable(), Complexity(c.complexity, 20));
    ASSERT_TRUE(run->Ok) << run->Report;
    RunContext& rc = *run->Context;
    ASSERT_EQ(rc.FeaturesNumber, 21);
    const TSubtree grown = GrowAll(rc);
    EXPECT_EQ(rc.MaxDepth, c.stopDepth) << c.complexity;
    ASSERT_NE(grown.Tree, nullptr);
    EXPECT_LT(grown.Quality, Infinity);
  }
}

struct TStageContext {
  RunParameters Params;
  RunContext Rc;
  FeatureFlags All{};

  TStageContext(double complexity, int32_t depth) {
    Params.RecursiveComplexity = complexity;
    Rc.Params = &Params;
    Rc.RecursionDepth = static_cast<int32_t>(complexity);
    Rc.FeaturesNumber = 21;
    Rc.MaxDepth = depth;
    for (int32_t f = 1; f <= 21; ++f) All[f] = true;
  }
  int32_t M = 0;
  std::vector<int32_t> Select(bool& more) {
    FeatureFlags stage{};
    more = SelectStageFeatures(Rc, All, stage, M);
    std::vector<int32_t> chosen;
    for (int32_t f = 1; f <= 21; ++f) {
      if (stage[f]) chosen.push_back(f);
    }
    return chosen;
  }
};

TEST(StagedLookahead, DeeperStagesTakeTheBestScoredFeatures) {
  TStageContext s(1.5, 2);
  for (int32_t f = 1; f <= 21; ++f) s.Rc.FeatureScore[f] = 100.0 - f;
  bool more = false;
  EXPECT_EQ(s.Select(more), (std::vector<int32_t>{12, 13, 14, 15, 16, 17, 18, 19, 20, 21}));
  s.Rc.MaxDepth = 3;
  EXPECT_EQ(s.Select(more), (std::vector<int32_t>{17, 18, 19, 20, 21}));
  // Only three features were credited: the stage shrinks to them; with one it is not run.
  for (int32_t f = 1; f <= 18; ++f) s.Rc.FeatureScore[f] = Infinity;
  EXPECT_EQ(s.Select(more), (std::vector<int32_t>{19, 20, 21}));
  s.Rc.FeatureScore[19] = s.Rc.FeatureScore[20] = Infinity;
  s.Select(more);
  EXPECT_FALSE(more);
  s.Rc.MaxDepth = 4;  // trunc(0.125 x 21) = 2 is below the depth
  for (int32_t f = 1; f <= 21; ++f) s.Rc.FeatureScore[f] = 1.0;
  s.Select(more);
  EXPECT_FALSE(more);
}

TEST(StagedLookahead, EveryStageRanksFromFeatureOrderAfresh) {
  TStageContext s(1.5, 2);
  for (int32_t f = 1; f <= 21; ++f) s.Rc.FeatureScore[f] = f <= 10 ? 2.0 : 1.0;
  bool more = false;
  EXPECT_EQ(s.Select(more), (std::vector<int32_t>{11, 12, 13, 14, 15, 16, 17, 18, 19, 20}));
  // All equal: the first ten in feature order, whatever the previous ranking was.
  for (int32_t f = 1; f <= 21; ++f) s.Rc.FeatureScore[f] = 1.0;
  EXPECT_EQ(s.Select(more), (std::vector<int32_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
}

// Class = x1 xor x2: the one-level first stage leaves a leaf (4/8 + 1/8); the deeper stage
// over the two credited features finds the split with pure grandchildren (0 + 4/8 + 0.1).
TEST(StagedLookahead, DeeperStageReplacesOnlyAStrictlyWorseTree) {
  const std::string text = testing::CrLf({"8 3 ?", "1 1 0(2)", "x1 x2 class", "1 1 a", "1 1 a",
                                          "1 2 b", "1 2 b", "2 1 b", "2 1 b", "2 2 a", "2 2 a"});
  struct Case {
    double complexity;
    double quality;
    int32_t leaves;
  };
  const Case cases[] = {{1.0, 0.625, 1}, {1.5, 0.6, 4}, {2.0, 0.6, 4}};
  for (const Case& c : cases) {
    auto run = ReadText(text, Complexity(c.complexity, 3));
    RunContext& rc = *run->Context;
    const TSubtree grown = GrowAll(rc);
    EXPECT_DOUBLE_EQ(grown.Quality, c.quality) << c.complexity;
    EXPECT_EQ(grown.Leaves, c.leaves) << c.complexity;
    EXPECT_EQ(grown.Misclassified, c.leaves == 1 ? 4 : 0) << c.complexity;
    EXPECT_EQ(grown.Tree->SplitFeature, c.leaves == 1 ? 0 : 1) << c.complexity;
  }
  // Two levels credit each feature five times with 0.6; the stage keeps their average.
  auto run = ReadText(text, Complexity(2.0, 3));
  GrowAll(*run->Context);
  EXPECT_DOUBLE_EQ(run->Context->FeatureScore[1], 0.6);
  EXPECT_EQ(run->Context->FeatureHits[1], 5);
}

}  // namespace
}  // namespace tarmel
