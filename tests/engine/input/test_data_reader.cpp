#include <gtest/gtest.h>

#include <string>

#include "data_reader.h"
#include "generated_tables.h"
#include "test_support.h"

namespace tarmel {
namespace {

using testing::CrLf;
using testing::ReadText;
using testing::WorkedExample;

std::string LfOnly(std::string text) {
  std::string out;
  for (char c : text) {
    if (c != '\r') out.push_back(c);
  }
  return out;
}

void ExpectWorkedExample(const RunContext& rc) {
  EXPECT_EQ(rc.ObjectsNumber, 5);
  EXPECT_EQ(rc.FileFeatures, 3);
  EXPECT_EQ(rc.MissingToken, "?");
  EXPECT_EQ(rc.FeatureName[1], "Size");
  EXPECT_EQ(rc.FeatureName[2], "Color");
  EXPECT_EQ(rc.FeatureName[3], "Price");
  EXPECT_EQ(rc.FeatureType[2], NominalFeature);
  EXPECT_EQ(rc.ValuesNumber[2], 2);
  EXPECT_EQ(rc.ValueTable[2][1].ValueName, "red");
  EXPECT_EQ(rc.ValueTable[2][2].ValueName, "blue");
  const double size[] = {1.5, 2, 9999, 3.25, 4}, color[] = {1, 2, 1, 2, 1},
               price[] = {10, 12.5, 9, 9999, 11};
  for (int i = 1; i <= 5; ++i) {
    EXPECT_EQ(rc.DataTable.At(1, i), size[i - 1]) << i;
    EXPECT_EQ(rc.DataTable.At(2, i), color[i - 1]) << i;
    EXPECT_EQ(rc.DataTable.At(3, i), price[i - 1]) << i;
  }
  EXPECT_EQ(rc.PredictObjectsNumber, 2);
  EXPECT_EQ(rc.PredictTable.At(1, 1), 2.5);
  EXPECT_EQ(rc.PredictTable.At(2, 1), 2);
  EXPECT_EQ(rc.PredictTable.At(3, 1), 9999);
  EXPECT_EQ(rc.PredictTable.At(1, 2), 1);
  EXPECT_EQ(rc.PredictTable.At(2, 2), 1);
  EXPECT_EQ(rc.PredictTable.At(3, 2), 10);
}

TEST(DataReader, WorkedExampleReadsWithCrLfAndWithLfAlone) {
  RunParameters params;
  params.FeatureToPredict = 2;
  for (const std::string& text : {CrLf(WorkedExample), LfOnly(CrLf(WorkedExample))}) {
    auto run = ReadText(text, params);
    ASSERT_TRUE(run->Ok) << run->Report;
    EXPECT_EQ(run->Report, "");
    ExpectWorkedExample(*run->Context);
    EXPECT_TRUE(run->Context->IsClassification);
    EXPECT_EQ(run->Context->ClassesNumber, 2);
    EXPECT_EQ(run->Params.FeatureToPredict, 3);  // the caller's value changes to FC
  }
}

TEST(DataReader, ParseNumberAcceptsDigitsWithOnePointAndALeadingMinus) {
  struct Case {
    const char* token;
    double value;
  } cases[] = {{"-", 0}, {".", 0}, {".5", 0.5}, {"-.5", -0.5}, {"5.", 5}, {"12.5", 12.5},
               {"007", 7}, {"-3.25", -3.25}};
  for (const Case& c : cases) {
    bool bad = true;
    EXPECT_EQ(ParseNumber(c.token, bad), c.value) << c.token;
    EXPECT_FALSE(bad) << c.token;
  }
  for (const char* token : {"1.2.3", "+1", "1e3", "1 ", "--1", "1-", "red"}) {
    bool bad = false;
    ParseNumber(token, bad);
    EXPECT_TRUE(bad) << token;
  }
}

TEST(DataReader, ParseNumberBuildsValuesFromRoundedPowersOfTen) {
  // 0.1 comes from 1 / 10; 0.3 from 3 x (1 / 10), which is not the double nearest to 0.3.
  bool bad = false;
  EXPECT_EQ(ParseNumber("0.3", bad), 3 * (1.0 / 10.0));
  EXPECT_EQ(ParseNumber("0.03", bad), 3 * (1.0 / 10.0 / 10.0));
  EXPECT_EQ(ParseNumber("1.23", bad), (1.0 + 2 * (1.0 / 10.0)) + 3 * (1.0 / 10.0 / 10.0));
  EXPECT_EQ(Power10(3), 1000.0);
  EXPECT_EQ(Power10(0), 1.0);
  EXPECT_EQ(Power10(-2), 1.0 / 10.0 / 10.0);
  // Only the first 20 characters count.
  EXPECT_EQ(ParseNumber("111111111111111111119", bad), 11111111111111111111.0);
}

std::string Header(const char* types, const char* names, int objects = 2) {
  return std::to_string(objects) + " 2 ?\r\n" + types + "\r\n" + names + "\r\n";
}

TEST(DataReader, FeatureTypeTokens) {
  struct Case {
    const char* types;
    int32_t values2;  // declared values of feature 2; -1: refused as a wrong type
  } cases[] = {{"1 0(2)", 2}, {"1 0(10)", 10}, {"1 0(12x", 12}, {"1 0(3", 3},
               {"1 0(a)", 49}, {"1 0(99)", 99}, {"1 0", -1},    {"1 0(", -1},
               {"1 11", -1},   {"1 2", -1},     {"1 0[2]", -1}};
  for (const Case& c : cases) {
    RunParameters params;
    auto run = ReadText(Header(c.types, "x c") + "1 a\r\n2 b\r\n", params);
    if (c.values2 < 0) {
      EXPECT_EQ(run->Report, "Error in input file: wrong feature types\r\n") << c.types;
    } else {
      ASSERT_TRUE(run->Ok) << c.types << run->Report;
      EXPECT_EQ(run->Context->ValuesNumber[2], c.values2) << c.types;
    }
  }
}

TEST(DataReader, WideNominalFeaturesOnlyAmongTheLastTwo) {
  auto wide = [](const char* types) {
    return ReadText("2 4 ?\r\n" + std::string(types) + "\r\na b c d\r\n1 1 1 1\r\n2 2 2 2\r\n");
  };
  EXPECT_TRUE(wide("1 1 0(11) 0(99)")->Ok);
  EXPECT_EQ(wide("1 0(11) 1 1")->Report,
            "Error in input file: too much values for   2-th feature\r\n");
  EXPECT_EQ(wide("1 0(a) 1 1")->Report,
            "Error in input file: too much values for   2-th feature\r\n");
  // Letters can give counts above 99, which no feature may declare.
  EXPECT_EQ(wide("1 1 1 0(zz")->Report,
            "Error in input file: too much values for   4-th feature\r\n");
}

TEST(DataReader, CountLimitsAndTheirOrder) {
  auto counts = [](int objects, int features, int predicted = 1) {
    RunParameters params;
    params.FeatureToPredict = predicted;
    return ReadText(std::to_string(objects) + " " + std::to_string(features) + " ?\r\n", params)
        ->Report;
  };
  EXPECT_EQ(counts(1001, 3), " Error: too much objects");
  EXPECT_EQ(counts(1001, 50), " Error: too much objects");
  EXPECT_EQ(counts(5, 50), " Error: too much features");
  EXPECT_EQ(counts(0, 3), " Error: too few objects\r\n");
  EXPECT_EQ(counts(0, 0), " Error: too few objects\r\n");
  EXPECT_EQ(counts(5, 0), " Error: too few features\r\n");
  EXPECT_EQ(counts(5, 3, 4), " Error: wrong number of predicted feature");
  EXPECT_EQ(counts(5, 3, 0), " Error: wrong number of predicted feature");
  EXPECT_EQ(counts(5, 3, -2), " Error: wrong number of predicted feature");
  // At the limits the header is accepted and reading goes on to the type tokens.
  EXPECT_EQ(counts(1000, 49), " Error in input file: unexpected end of data\r\n");
}

TEST(DataReader, ThousandObjectsAndFortyNineFeaturesAreRead) {
  const std::string text = testing::GeneratedTable({1000, 49});
  auto run = ReadText(text);
  ASSERT_TRUE(run->Ok) << run->Report;
  EXPECT_EQ(run->Context->FeaturesNumber, 50);
  EXPECT_EQ(run->Context->DataTable.At(49, 1000), std::stod(text.substr(text.rfind(' '))));
  EXPECT_EQ(run->Context->DataTable.At(50, 1000), 1.0);
}

TEST(DataReader, ReadPhaseMessagesAreExact) {
  struct Case {
    std::string text;
    std::string report;
  } cases[] = {
      {"2 x ?\r\n", " Error in input file: x must be numeric\r\n"},
      {"2 2 ?\r\n1 1\r\na b\r\n1 2\r\n3\r\n", " Error in input file: unexpected end of data\r\n"},
      {"3 3 ?\r\n1 1 1\r\na b c\r\n1 2 3\r\n4 5\r\n6\r\n",
       " Error in input file: row   2 unexpected end of data\r\n"},
      {"2 2 ?\r\n1 0(1)\r\na b\r\n1 x\r\n2 y\r\n",
       "Error in input file row   2 column   2 :too much values\r\n"},
      {"2 2 ?\r\n1 1\r\na b\r\n1 2\r\n3 4x\r\n",
       "Error in input file row   2 column   2 :wrong value 4x\r\n"},
      {"1 2 ?\r\n1 1\r\na b\r\n1 2\r\nPredict x\r\n",
       "Error in input file: wrong number of predicting data\r\n"},
      {"1 2 ?\r\n1 1\r\na b\r\n1 2\r\nPredict\r\n",
       "Error in input file: wrong number of predicting data\r\n"},
      {"1 2 ?\r\n1 1\r\na b\r\n1 2\r\nPredict -1\r\n",
       "Error in input file: wrong number of predicting data\r\n"},
      {"1 2 ?\r\n1 1\r\na b\r\n1 2\r\npredict 1001\r\n", " Error: too much objects for prediction"},
      {"1 2 ?\r\n1 1\r\na b\r\n1 2\r\nPredict 1\r\n1 z\r\n",
       "Prediction: Error in input file row   1 column   2 :wrong value z\r\n"},
      {"1 2 ?\r\n1 0(1)\r\na b\r\n1 u\r\nPredict 1\r\n1 v\r\n",
       "Prediction: Error in input file row   1 column   2 :too much values\r\n"},
      {"1 3 ?\r\n1 1 1\r\na b c\r\n1 2 3\r\nPredict 1\r\n1 2\r\n3\r\n",
       "Prediction:  Error in input file: row   1 unexpected end of data\r\n"},
      {"1 2 ?\r\n1 1\r\na b\r\n1 2\r\nPredict 1\r\n1", " Error in input file: unexpected end of data\r\n"},
      {"2 2 ?\r\n1 1\r\na b\r\n1 ?\r\n2 ?\r\n", " Error: no object with a known target\r\n"},
      {"1 2 ?\r\n1 0(11)\r\na b\r\n1 x\r\n", "Error in input file: too much classes\r\n"},
  };
  for (const Case& c : cases) {
    RunParameters params;
    params.FeatureToPredict = 2;
    EXPECT_EQ(ReadText(c.text, params)->Report, c.report) << c.text;
  }
}

TEST(DataReader, ParameterChecksComeAfterOpeningAndBeforeReading) {
  struct Case {
    RunParameters params;
    const char* report;
  } cases[] = {{{1, 1, 0.05, -0.1}, "Error in parameters: MinObjInNode must not be negative\r\n"},
               {{1, -1, 0.05, 0.05}, "Error in parameters: RecursiveComplexity must not be negative\r\n"},
               {{-1, 1, 0.05, 0.05}, "Error in parameters: ErrorWeight must not be negative\r\n"}};
  for (const Case& c : cases) EXPECT_EQ(ReadText("not even data", c.params)->Report, c.report);
  RunParameters zero;
  zero.ErrorWeight = 0;
  EXPECT_TRUE(ReadText(CrLf(WorkedExample), zero)->Ok);
}

TEST(DataReader, RowsSpreadOverLines) {
  const std::string head = "2 3 ?\r\n1 1 1\r\na b c\r\n";
  // A break right after the first cell is allowed, and surplus cells start the next row.
  EXPECT_TRUE(ReadText(head + "1\r\n2 3\r\n4 5 6\r\n")->Ok);
  auto surplus = ReadText(head + "1 2 3 4 5 6\r\n");
  ASSERT_TRUE(surplus->Ok);
  EXPECT_EQ(surplus->Context->DataTable.At(1, 2), 4);
  // LF-only files keep the row check.
  EXPECT_EQ(ReadText("2 3 ?\n1 1 1\na b c\n1 2\n3\n4 5 6\n")->Report,
            " Error in input file: row   1 unexpected end of data\r\n");
}

TEST(DataReader, NamesMarkersAndValuesKeepTwentyCharacters) {
  auto run = ReadText(
      "2 2 missing_marker_is_long_too\r\n0(2) 1\r\n"
      "a_very_long_feature_name_indeed b\r\n"
      "abcdefghijklmnopqrstUVW 1\r\nabcdefghijklmnopqrstXYZ missing_marker_is_long\r\n");
  ASSERT_TRUE(run->Ok) << run->Report;
  const RunContext& rc = *run->Context;
  EXPECT_EQ(rc.FeatureName[1], "a_very_long_feature_");
  EXPECT_EQ(rc.MissingToken, "missing_marker_is_lo");
  EXPECT_EQ(rc.ValueTable[1][1].ValueName, "abcdefghijklmnopqrst");
  EXPECT_EQ(rc.DataTable.At(1, 2), 1);  // the same value in its first 20 characters
  EXPECT_EQ(rc.DataTable.At(2, 2), MissingValue);
  EXPECT_FALSE(rc.ObjectActive[2]);
}

TEST(DataReader, MissingMarkerInANominalColumnTakesNoValueEntry) {
  auto run = ReadText("3 2 ?\r\n0(2) 1\r\nc y\r\n? 1\r\nred 2\r\nblue 3\r\n");
  ASSERT_TRUE(run->Ok) << run->Report;
  EXPECT_EQ(run->Context->DataTable.At(1, 1), MissingValue);
  EXPECT_EQ(run->Context->ValueTable[1][1].ValueName, "red");
}

TEST(DataReader, KeywordScanAndTheEndOfTheData) {
  const std::string rows = "1 2 ?\r\n1 1\r\na b\r\n1 2";
  EXPECT_EQ(ReadText(rows)->Context->PredictObjectsNumber, 0);  // ends right after the cell
  auto skipped = ReadText(rows + "\r\nnotes, # with hash\r\nPREDICT 1\r\npredict 1\r\n5 6\r\n");
  ASSERT_TRUE(skipped->Ok) << skipped->Report;
  EXPECT_EQ(skipped->Context->PredictTable.At(2, 1), 6);
  EXPECT_EQ(ReadText(rows + "\r\nPredict")->Context->PredictObjectsNumber, 0);
  EXPECT_TRUE(ReadText(rows + "\r\nPredict 0\r\n")->Ok);
  // The byte 26 ends the data for good, even behind it there is more text.
  auto ctrlZ = ReadText(rows + "\r\n\x1aPredict 1\r\n5 6\r\n");
  ASSERT_TRUE(ctrlZ->Ok);
  EXPECT_EQ(ctrlZ->Context->PredictObjectsNumber, 0);
}

TEST(DataReader, CommentsSpanLinesAndAHashBehindTheLastNameSwallowsNothing) {
  auto run = ReadText("2 2 ? # counts\r\nand more #\r\n1 1\r\na b#note\r\n1 2\r\n3 4\r\n");
  ASSERT_TRUE(run->Ok) << run->Report;
  EXPECT_EQ(run->Context->DataTable.At(1, 1), 1);
  EXPECT_EQ(run->Context->DataTable.At(2, 2), 4);
}

}  // namespace
}  // namespace tarmel
