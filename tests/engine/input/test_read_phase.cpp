// The read phase: the task and the tables it prepares from the parameters and the data.
#include <gtest/gtest.h>

#include "generated_tables.h"
#include "test_support.h"

namespace tarmel {
namespace {

using testing::CrLf;
using testing::GeneratedTable;
using testing::ReadText;
using testing::WorkedExample;

TEST(ReadPhase, MinNodeSizeUsesTheDoubleProduct) {
  struct Case {
    int objects;
    double minObj;
    int32_t minNodeSize, poolSize;
  } cases[] = {{100, 0.05, 6, 32}, {100, 0.0, 1, 200}, {100, 0.29, 29, 6}, {7, 1.0, 8, 0}};
  for (const Case& c : cases) {
    RunParameters params;
    params.MinObj = c.minObj;
    params.FeatureToPredict = 2;
    auto run = ReadText(GeneratedTable({c.objects, 2}), params);
    ASSERT_TRUE(run->Ok) << run->Report;
    EXPECT_EQ(run->Context->MinNodeSize, c.minNodeSize) << c.minObj;
    EXPECT_EQ(run->Context->NodePoolSize, c.poolSize) << c.minObj;
  }
}

TEST(ReadPhase, NumericTargetMakesARegressionTaskWithTheNominalConstantFeature) {
  RunParameters params;
  params.FeatureToPredict = 3;
  auto run = ReadText(CrLf(WorkedExample), params);
  ASSERT_TRUE(run->Ok) << run->Report;
  const RunContext& rc = *run->Context;
  EXPECT_TRUE(rc.IsRegression);
  EXPECT_FALSE(rc.IsClassification);
  EXPECT_EQ(rc.ClassesNumber, 0);
  EXPECT_EQ(rc.ValueFeature, 3);
  EXPECT_EQ(rc.ClassFeature, 3);
  EXPECT_EQ(rc.FeaturesNumber, 4);
  EXPECT_EQ(rc.FeatureName[4], "W");
  EXPECT_EQ(rc.FeatureType[4], NominalFeature);
  EXPECT_EQ(rc.ValueTable[4][1].ValueName, "1");
  EXPECT_EQ(rc.PredictTable.At(4, 2), 1.0);
  EXPECT_EQ(run->Params.FeatureToPredict, 3);
  // Object 4 has no price: it takes no part.
  EXPECT_TRUE(rc.ObjectActive[3]);
  EXPECT_FALSE(rc.ObjectActive[4]);
  EXPECT_EQ(rc.TargetValue[5], 11);
  EXPECT_FALSE(rc.PredictorFlags[3]);
  EXPECT_FALSE(rc.PredictorFlags[4]);
  EXPECT_TRUE(rc.PredictorFlags[1] && rc.PredictorFlags[2]);
}

TEST(ReadPhase, NominalTargetMakesAClassificationTask) {
  RunParameters params;
  params.FeatureToPredict = 1;
  auto run = ReadText(
      "4 2 ?\r\n0(3) 1\r\nkind x\r\nb 1\r\na 2\r\nc ?\r\n? 3\r\nPredict 1\r\nd 1\r\n", params);
  EXPECT_EQ(run->Report, "Prediction: Error in input file row   1 column   1 :too much values\r\n");
  run = ReadText("4 2 ?\r\n0(4) 1\r\nkind x\r\nb 1\r\na 2\r\nc ?\r\n? 3\r\nPredict 1\r\nd 1\r\n",
                 params);
  ASSERT_TRUE(run->Ok) << run->Report;
  const RunContext& rc = *run->Context;
  EXPECT_TRUE(rc.IsClassification);
  EXPECT_EQ(rc.ClassFeature, 1);
  EXPECT_EQ(rc.ValueFeature, 2);
  EXPECT_EQ(run->Params.FeatureToPredict, 2);
  EXPECT_EQ(rc.ClassesNumber, 4);
  EXPECT_EQ(rc.ClassName[1], "b");
  EXPECT_EQ(rc.ClassName[2], "a");
  EXPECT_EQ(rc.ClassName[4], "d");  // first seen in the prediction block
  EXPECT_EQ(rc.FeatureName[3], "Y");
  EXPECT_EQ(rc.FeatureType[3], NumericFeature);
  // The last feature holds the other role: a missing cell there makes object 3 inactive.
  EXPECT_FALSE(rc.ObjectActive[3]);
  EXPECT_FALSE(rc.ObjectActive[4]);
  EXPECT_EQ(rc.ClassLabel[2], 2);
}

}  // namespace
}  // namespace tarmel
