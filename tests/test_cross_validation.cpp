#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "cross_validation.h"
#include "leaf_expansion.h"
#include "test_support.h"

namespace tarmel {
namespace {

using testing::CrLf;
using testing::ReadText;

// A seed from which the fold draw puts objects 1, 2, ... into the given folds.
uint32_t SeedDrawing(const std::vector<int32_t>& folds, uint32_t count) {
  for (uint32_t seed = 0;; ++seed) {
    TRandom r{seed};
    size_t i = 0;
    while (i < folds.size() && static_cast<int32_t>(r.Next(count)) + 1 == folds[i]) ++i;
    if (i == folds.size()) return seed;
  }
}

int Count(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// The feature never varies, so every tree is its root alone and predicts the mean of its
// training targets.
std::string FlatRegression(std::initializer_list<const char*> targets) {
  std::string head = std::to_string(targets.size()) + " 2 ?";
  std::string text = head + "\r\n1 1\r\nx y\r\n";
  for (const char* y : targets) text += std::string("1 ") + y + "\r\n";
  return text;
}

RunParameters Regression(int32_t folds) {
  RunParameters p;
  p.FeatureToPredict = 2;
  p.FoldsCrossValidate = folds;
  return p;
}

// Root mean square error of predicting the training mean, relative to the training
// deviation, weighted by the fold's share: one fold's part of the error of a root-only tree.
double FlatFoldPart(const std::vector<double>& test, const std::vector<double>& train) {
  double sum = 0.0, squares = 0.0;
  for (double y : train) sum += y, squares += y * y;
  const double n = static_cast<double>(train.size());
  const double mean = sum / n;
  const double deviation = std::sqrt((squares - n * (mean * mean)) / (n - 1));
  double error = 0.0;
  for (double y : test) error += (mean - y) * (mean - y);
  const double rms = std::sqrt(error / static_cast<double>(test.size()));
  return rms / deviation * static_cast<double>(test.size()) / (test.size() + train.size());
}

TEST(CrossValidate, EachFoldErrorIsRelativeToItsTrainingDeviationAndWeighedByItsShare) {
  auto read = ReadText(FlatRegression({"1", "2", "3", "6"}), Regression(2));
  ASSERT_TRUE(read->Ok) << read->Report;
  RunContext& rc = *read->Context;
  GrowTree(rc);
  read->Random.Seed = SeedDrawing({1, 1, 2, 2}, 2);
  CrossValidate(rc);
  const double expected = FlatFoldPart({1, 2}, {3, 6}) + FlatFoldPart({3, 6}, {1, 2});
  EXPECT_NEAR(rc.Competence[1], expected, 1e-12);
  const std::string line = "\r\n  2-fold  relative crossvalidate error " +
                           FormatReal(expected, 5, 3) + "\r\n";
  EXPECT_EQ(rc.Out.Written().substr(rc.Out.Written().size() - line.size()), line);
}

TEST(CrossValidate, AnObjectWithAMissingTargetIsInNoFold) {
  auto read = ReadText(FlatRegression({"1", "2", "?", "3", "6"}), Regression(2));
  ASSERT_TRUE(read->Ok) << read->Report;
  RunContext& rc = *read->Context;
  GrowTree(rc);
  read->Random.Seed = SeedDrawing({1, 1, 2, 2, 2}, 2);
  CrossValidate(rc);
  // Object 3 falls in fold 2, yet neither counts there nor weighs in the shares.
  const double expected = FlatFoldPart({1, 2}, {3, 6}) + FlatFoldPart({3, 6}, {1, 2});
  EXPECT_NEAR(rc.Competence[1], expected, 1e-12);
  EXPECT_EQ(rc.ObjectActive, (std::vector<uint8_t>{rc.ObjectActive[0], 1, 1, 0, 1, 1}));
}

TEST(CrossValidate, OneTrainingObjectKeepsTheFoldErrorUndivided) {
  auto read = ReadText(FlatRegression({"1", "4"}), Regression(2));
  ASSERT_TRUE(read->Ok) << read->Report;
  RunContext& rc = *read->Context;
  GrowTree(rc);
  read->Random.Seed = SeedDrawing({1, 2}, 2);
  CrossValidate(rc);
  EXPECT_EQ(rc.Competence[1], 3.0);
  EXPECT_NE(rc.Out.Written().find("  2-fold  relative crossvalidate error 3.000\r\n"),
            std::string::npos);
}

TEST(CrossValidate, AFoldWithoutTrainingObjectsIsSkipped) {
  for (const int32_t fold : {1, 2}) {
    auto read = ReadText(FlatRegression({"1", "2", "6"}), Regression(2));
    ASSERT_TRUE(read->Ok) << read->Report;
    RunContext& rc = *read->Context;
    GrowTree(rc);
    read->Random.Seed = SeedDrawing({fold, fold, fold}, 2);
    CrossValidate(rc);
    EXPECT_EQ(rc.Competence[1], 0.0) << "all in fold " << fold;
    EXPECT_NE(rc.Out.Written().find("  2-fold  relative crossvalidate error 0.000\r\n"),
              std::string::npos);
    // The tree grown last is still one over every object, whichever fold was skipped.
    EXPECT_EQ(rc.Pool.Root()->ObjCount, 3);
  }
}

// Three copies of one perfect predictor: ties go to the lowest feature, so variant v
// splits its root on feature v once the earlier ones are taken away.
const std::string ThreeCopies = CrLf({
    "12 4 ?", "1 1 1 0(2)", "x1 x2 x3 cls",
    "1 1 1 a", "2 2 2 a", "3 3 3 a", "4 4 4 a", "5 5 5 a", "6 6 6 a",
    "7 7 7 b", "8 8 8 b", "9 9 9 b", "10 10 10 b", "11 11 11 b", "12 12 12 b",
});

RunParameters Classification(int32_t variants, int32_t folds) {
  RunParameters p;
  p.FeatureToPredict = 4;
  p.VariantsNumber = variants;
  p.FoldsCrossValidate = folds;
  return p;
}

TEST(Variants, OneVariantGrowsOneTreeAndTakesNoFeatureAway) {
  for (const int32_t variants : {1, 0, -3}) {  // fewer than one counts as one
    auto read = ReadText(ThreeCopies, Classification(variants, 0));
    ASSERT_TRUE(read->Ok) << read->Report;
    RunContext& rc = *read->Context;
    const FeatureFlags before = rc.ActivePredictors;
    RunVariants(rc);
    EXPECT_EQ(rc.TreesNumber, 1);
    EXPECT_EQ(rc.ActivePredictors, before);
    EXPECT_EQ(Count(rc.Out.Written(), "Variant N"), 1) << variants << " variants";
  }
}

TEST(Variants, RootFeatureExclusionsAddUp) {
  auto read = ReadText(ThreeCopies, Classification(3, 0));
  ASSERT_TRUE(read->Ok) << read->Report;
  RunContext& rc = *read->Context;
  RunVariants(rc);
  EXPECT_EQ(rc.TreesNumber, 3);
  EXPECT_FALSE(rc.ActivePredictors[1]);
  EXPECT_FALSE(rc.ActivePredictors[2]);
  EXPECT_TRUE(rc.ActivePredictors[3]);
  EXPECT_EQ(rc.Pool.Root()->SplitFeature, 3);
  EXPECT_EQ(Count(rc.Out.Written(), "Variant N"), 3);
}

TEST(Variants, FoldCountDecidesWhichVariantsAreCrossValidated) {
  struct Case {
    int32_t Folds;
    int Lines;
    bool LaterTreesValidated;
  };
  for (const Case c : {Case{0, 0, false}, Case{1, 0, false}, Case{2, 1, false},
                       Case{10, 3, true}}) {
    auto read = ReadText(ThreeCopies, Classification(3, c.Folds));
    ASSERT_TRUE(read->Ok) << read->Report;
    RunContext& rc = *read->Context;
    RunVariants(rc);
    const std::string& report = rc.Out.Written();
    EXPECT_EQ(Count(report, "crossvalidate error"), c.Lines) << c.Folds << " folds";
    if (c.Lines > 0) {
      EXPECT_NE(report.find("\r\n" + FormatInt(c.Folds, 3) + "-fold crossvalidate error "),
                std::string::npos);
    }
    EXPECT_EQ(read->Random.Seed != 0, c.Lines > 0) << "folds drawn only when validating";
    EXPECT_EQ(rc.TreesNumber, 3);
    if (!c.LaterTreesValidated) {
      EXPECT_EQ(rc.Competence[2], 0.0);
      EXPECT_EQ(rc.Competence[3], 0.0);
    }
  }
}

TEST(Variants, ATreeThatIsNotKeptReplacesTheErrorOfTheLastKeptTree) {
  const std::string oneUseful = CrLf({
      "12 3 ?", "1 1 0(2)", "x flat cls",
      "1 5 a", "2 5 a", "3 5 a", "4 5 a", "5 5 a", "6 5 a",
      "7 5 b", "8 5 b", "9 5 b", "10 5 b", "11 5 b", "12 5 b",
  });
  RunParameters p = Classification(2, 3);
  p.FeatureToPredict = 3;
  auto read = ReadText(oneUseful, p);
  ASSERT_TRUE(read->Ok) << read->Report;
  RunContext& rc = *read->Context;
  RunVariants(rc);
  EXPECT_EQ(rc.TreesNumber, 1);  // the second variant cannot split without x
  const std::string& report = rc.Out.Written();
  ASSERT_EQ(Count(report, "crossvalidate error "), 2);
  const std::string key = "crossvalidate error ";
  const std::string last = report.substr(report.rfind(key) + key.size(), 5);
  EXPECT_EQ(last, FormatReal(rc.Competence[1], 5, 3));
  EXPECT_EQ(rc.Competence[2], 0.0);
}

TEST(Variants, RunsInOneSessionDrawDifferentFoldsAndAFreshGeneratorRepeatsTheFirst) {
  auto foldsOf = [](TRandom& random) {
    auto read = ReadText(FlatRegression({"1", "2", "3", "4", "5", "6", "7", "8"}),
                         Regression(3));
    EXPECT_TRUE(read->Ok) << read->Report;
    read->Context->Random = &random;
    RunVariants(*read->Context);
    return read->Context->FoldOf;
  };
  TRandom session;
  const std::vector<int32_t> first = foldsOf(session);
  const std::vector<int32_t> second = foldsOf(session);
  EXPECT_NE(first, second);
  TRandom restarted;
  EXPECT_EQ(foldsOf(restarted), first);
}

TEST(Variants, TimeSeriesOrderingNeitherPredictsNorCrossValidates) {
  const std::string series = CrLf({
      "8 2 ?", "1 1", "s y",
      "1 0", "9 1", "1 9", "9 1", "1 9", "9 1", "1 9", "9 1",
      "predict 1", "1 1",
  });
  RunParameters p = Regression(10);
  p.Ordering = 1;
  auto read = ReadText(series, p);
  ASSERT_TRUE(read->Ok) << read->Report;
  RunContext& rc = *read->Context;
  RunVariants(rc);
  EXPECT_EQ(read->Random.Seed, 0u);
  EXPECT_EQ(rc.Out.Written().find("crossvalidate"), std::string::npos);
  EXPECT_EQ(rc.Out.Written().find("PREDICTION"), std::string::npos);
  EXPECT_EQ(rc.ObjectsNumber, 8);
}

}  // namespace
}  // namespace tarmel
