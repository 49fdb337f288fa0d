#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "cross_validation.h"
#include "leaf_expansion.h"
#include "variant_loop.h"
#include "test_support.h"

namespace tarmel {
namespace {

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

// The feature never varies, so every tree is its root alone and predicts the training mean.
// The context has grown its variant's tree; the next fold draw follows `folds`.
std::unique_ptr<testing::ReadOutcome> Flat(const std::string& targets,
                                           const std::vector<int32_t>& folds) {
  RunParameters p;
  p.FeatureToPredict = 2;
  p.FoldsCrossValidate = 2;
  std::string text = std::to_string(folds.size()) + " 2 ?\r\n1 1\r\nx y\r\n";
  for (char y : targets) text += std::string("1 ") + y + "\r\n";
  auto read = ReadText(text, p);
  EXPECT_TRUE(read->Ok) << read->Report;
  GrowTree(*read->Context);
  read->Random.Seed = SeedDrawing(folds, 2);
  return read;
}

std::string Line(const char* error) {
  return "\r\n  2-fold  relative crossvalidate error " + std::string(error) + "\r\n";
}

TEST(CrossValidate, FoldErrorsAreRelativeAndWeighedByShareAndMissingTargetsAreInNoFold) {
  // Object 3 has no target: drawn into fold 2, it neither counts nor weighs there.
  auto read = Flat("12?36", {1, 1, 2, 2, 2});
  RunContext& rc = *read->Context;
  CrossValidate(rc);
  // Fold 1 tests 1, 2 against mean 4.5 and deviation sqrt(4.5); fold 2 tests 3, 6
  // against mean 1.5 and deviation sqrt(0.5); each fold holds half the objects.
  const double expected = std::sqrt((3.5 * 3.5 + 2.5 * 2.5) / 2) / std::sqrt(4.5) / 2 +
                          std::sqrt((1.5 * 1.5 + 4.5 * 4.5) / 2) / std::sqrt(0.5) / 2;
  EXPECT_NEAR(rc.Competence[1], expected, 1e-12);
  EXPECT_NE(rc.Out.Written().find(Line("3.089")), std::string::npos);
  EXPECT_EQ(rc.ObjectActive[3], 0);
  EXPECT_EQ(rc.ObjectActive[4], 1);
}

TEST(CrossValidate, OneTrainingObjectKeepsTheFoldErrorUndivided) {
  auto read = Flat("14", {1, 2});
  CrossValidate(*read->Context);
  EXPECT_EQ(read->Context->Competence[1], 3.0);
  EXPECT_NE(read->Context->Out.Written().find(Line("3.000")), std::string::npos);
}

TEST(CrossValidate, AFoldWithoutTrainingObjectsIsSkipped) {
  for (const int32_t fold : {1, 2}) {
    auto read = Flat("126", {fold, fold, fold});
    RunContext& rc = *read->Context;
    CrossValidate(rc);
    EXPECT_EQ(rc.Competence[1], 0.0) << "all in fold " << fold;
    EXPECT_NE(rc.Out.Written().find(Line("0.000")), std::string::npos);
    EXPECT_EQ(rc.Pool.Root()->ObjCount, 3);  // the tree grown last covers every object
  }
}

// Three copies of one perfect predictor: ties go to the lowest feature, so variant v
// splits its root on feature v once the earlier ones are taken away.
std::unique_ptr<testing::ReadOutcome> RunThreeCopies(int32_t variants, int32_t folds) {
  RunParameters p;
  p.FeatureToPredict = 4;
  p.VariantsNumber = variants;
  p.FoldsCrossValidate = folds;
  std::string text = "12 4 ?\r\n1 1 1 0(2)\r\nx1 x2 x3 cls\r\n";
  for (int i = 1; i <= 12; ++i) {
    const std::string x = std::to_string(i) + " ";
    text += x + x + x + (i <= 6 ? "a\r\n" : "b\r\n");
  }
  auto read = ReadText(text, p);
  EXPECT_TRUE(read->Ok) << read->Report;
  RunVariants(*read->Context);
  return read;
}

TEST(Variants, RootFeatureExclusionsAddUp) {
  struct Case { int32_t Variants, Trees; bool Active1, Active2; };
  for (const Case c : {Case{1, 1, true, true}, Case{0, 1, true, true},
                       Case{3, 3, false, false}}) {
    auto read = RunThreeCopies(c.Variants, 0);
    RunContext& rc = *read->Context;
    EXPECT_EQ(rc.TreesNumber, c.Trees) << c.Variants << " variants";
    EXPECT_EQ(Count(rc.Out.Written(), "Variant N"), c.Trees);
    EXPECT_EQ(rc.ActivePredictors[1], c.Active1);
    EXPECT_EQ(rc.ActivePredictors[2], c.Active2);
    EXPECT_TRUE(rc.ActivePredictors[3]);
    EXPECT_EQ(rc.Pool.Root()->SplitFeature, c.Trees);
  }
}

TEST(Variants, FoldCountDecidesWhichVariantsAreCrossValidated) {
  struct Case { int32_t Folds; int Lines; };
  for (const Case c : {Case{0, 0}, Case{1, 0}, Case{2, 1}, Case{10, 3}}) {
    auto read = RunThreeCopies(3, c.Folds);
    const RunContext& rc = *read->Context;
    const std::string line = "\r\n" + FormatInt(c.Folds, 3) + "-fold crossvalidate error ";
    EXPECT_EQ(Count(rc.Out.Written(), line), c.Lines) << c.Folds << " folds";
    EXPECT_EQ(read->Random.Seed != 0, c.Lines > 0) << "folds drawn only when validating";
    if (c.Folds == 2) {
      EXPECT_EQ(rc.Competence[2] + rc.Competence[3], 0.0);
    }
  }
}

TEST(Variants, ATreeThatIsNotKeptReplacesTheErrorOfTheLastKeptTree) {
  RunParameters p;
  p.FeatureToPredict = 3;
  p.VariantsNumber = 2;
  p.FoldsCrossValidate = 3;
  std::string text = "12 3 ?\r\n1 1 0(2)\r\nx flat cls\r\n";
  for (int i = 1; i <= 12; ++i) text += std::to_string(i) + (i <= 6 ? " 5 a\r\n" : " 5 b\r\n");
  auto read = ReadText(text, p);
  ASSERT_TRUE(read->Ok) << read->Report;
  RunContext& rc = *read->Context;
  RunVariants(rc);
  EXPECT_EQ(rc.TreesNumber, 1);  // without x the second variant cannot split
  const std::string& report = rc.Out.Written();
  const std::string key = "crossvalidate error ";
  ASSERT_EQ(Count(report, key), 2);
  EXPECT_EQ(report.substr(report.rfind(key) + key.size(), 5), FormatReal(rc.Competence[1], 5, 3));
  EXPECT_NE(report.substr(report.find(key) + key.size(), 5), FormatReal(rc.Competence[1], 5, 3));
}

TEST(Variants, RunsInOneSessionDrawDifferentFoldsAndAFreshGeneratorRepeatsTheFirst) {
  auto foldsOf = [](TRandom& random) {
    auto read = Flat("12345678", std::vector<int32_t>(8, 1));
    read->Context->Random = &random;
    RunVariants(*read->Context);
    return read->Context->FoldOf;
  };
  TRandom session;
  const std::vector<int32_t> first = foldsOf(session);
  EXPECT_NE(foldsOf(session), first);
  TRandom restarted;
  EXPECT_EQ(foldsOf(restarted), first);
}

}  // namespace
}  // namespace tarmel
