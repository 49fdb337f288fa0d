#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "param_file.h"

namespace tarmel {
namespace {

TEST(ParamFile, DefaultsGiveTheDefaultLine) {
  EXPECT_EQ(FormatParameterLine(RunParameters{}), "1.000 1.000 0.050 0.050   1   1  10 0   1");
}

TEST(ParamFile, ValuesKeepThreeDecimalsAndIntegersWiden) {
  RunParameters p;
  p.ErrorWeight = 2.5;
  p.RecursiveComplexity = 2.25;
  p.Homogeneity = 0.0126;
  p.FoldsCrossValidate = 12345;
  const std::string line = FormatParameterLine(p);
  EXPECT_EQ(line, "2.500 2.250 0.013 0.050   1   1 12345 0   1");
  RunParameters back;
  ASSERT_EQ(ParseParameterText(line, "param.par", back).Status, ParamFileStatus::Ok);
  EXPECT_EQ(back.Homogeneity, 0.013);
  EXPECT_EQ(back.RecursiveComplexity, 2.25);
  EXPECT_EQ(back.FoldsCrossValidate, 12345);
}

TEST(ParamFile, ReadingSkipsBlanksAndLineEnds) {
  RunParameters p;
  const auto r = ParseParameterText("  0.5\r\n1.5e0 0.1\n0.2 3\t2 5\r\n1 +4\r\n", "p", p);
  ASSERT_EQ(r.Status, ParamFileStatus::Ok) << r.Message;
  EXPECT_EQ(p.ErrorWeight, 0.5);
  EXPECT_EQ(p.RecursiveComplexity, 1.5);
  EXPECT_EQ(p.VariantsNumber, 3);
  EXPECT_EQ(p.Ordering, 1);
  EXPECT_EQ(p.Lag, 4);
}

TEST(ParamFile, MissingOrMalformedValuesLeaveTheParametersAlone) {
  for (const char* text : {"", "1 1 0.05 0.05 1 1 10 0", "1 1 x 0.05 1 1 10 0 1",
                           "1 1 0.05 0.05 1.5 1 10 0 1", "nan 1 0.05 0.05 1 1 10 0 1",
                           "1 1 0.05 0.05 1 1 99999999999 0 1"}) {
    RunParameters p;
    p.Lag = 77;
    const auto r = ParseParameterText(text, "dir/param.par", p);
    EXPECT_EQ(r.Status, ParamFileStatus::Malformed) << text;
    EXPECT_NE(r.Message.find("dir/param.par"), std::string::npos) << r.Message;
    EXPECT_EQ(p.Lag, 77);
  }
}

TEST(ParamFile, WrittenFileIsOneLineWithoutALineEnd) {
  const auto dir = std::filesystem::temp_directory_path() / ("tarmel-param-test-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string path = (dir / "param.par").string();
  RunParameters p;
  p.FeatureToPredict = 4;
  ASSERT_EQ(WriteParameterFile(path, p).Status, ParamFileStatus::Ok);
  std::ifstream in(path, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text, "1.000 1.000 0.050 0.050   1   4  10 0   1");
  RunParameters back;
  EXPECT_EQ(ReadParameterFile(path, back).Status, ParamFileStatus::Ok);
  EXPECT_EQ(back.FeatureToPredict, 4);
  EXPECT_EQ(ReadParameterFile((dir / "none.par").string(), back).Status, ParamFileStatus::NotFound);
  EXPECT_EQ(WriteParameterFile((dir / "no/such/dir.par").string(), p).Status,
            ParamFileStatus::WriteFailed);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace tarmel
