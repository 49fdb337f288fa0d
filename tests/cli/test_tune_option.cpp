// The batch runner's tuning as a user runs it: the table on stdout with the chosen line
// last, the parameter file it may write, and the options it refuses.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "batch_runner_call.h"
#include "generated_tables.h"

namespace {

namespace fs = std::filesystem;

class TuneOption : public tarmel::testing::BatchRunnerTest {
 protected:
  TuneOption() : BatchRunnerTest("tarmel-tune-cli-") {}
  void SetUp() override {
    BatchRunnerTest::SetUp();
    Write("data.txt", tarmel::testing::GeneratedTable({60, 4, false, 0, 0}));
  }
  std::vector<std::string> StdoutLines() {
    std::istringstream in(Read("stdout.txt"));
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
};

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  std::istringstream in(line);
  for (std::string field; std::getline(in, field, '\t');) fields.push_back(field);
  if (!line.empty() && line.back() == '\t') fields.emplace_back();
  return fields;
}

// The mean errors and their deviations of every row, the times left out.
std::string Errors(const std::vector<std::string>& lines) {
  std::string errors;
  for (size_t row = 1; row + 1 < lines.size(); ++row) {
    const std::vector<std::string> f = Fields(lines[row]);
    if (f.size() > 3) errors += f[2] + " " + f[3] + "\n";
  }
  return errors;
}

TEST_F(TuneOption, PrintsOneRowACellAndTheProposedCellsParameterLineLast) {
  Write("param.par", "1.000 1.000 0.050 0.050   2   4  10 0   1");
  ASSERT_EQ(Run("--tune --tune-rc 2,1 --tune-minobj 0.1,0.05 --tune-repeats 2 data.txt"), 0)
      << Read("stderr.txt");
  const std::vector<std::string> lines = StdoutLines();
  ASSERT_EQ(lines.size(), 6u) << Read("stdout.txt");
  EXPECT_EQ(lines[0],
            "RecursiveComplexity\tMinObj\tmean_relative_error\tdeviation\tleaves\tseconds\tchoice");
  const std::vector<std::string> order = {"1.000\t0.050", "1.000\t0.100", "2.000\t0.050",
                                          "2.000\t0.100"};
  std::string proposed;
  for (size_t row = 1; row <= 4; ++row) {
    const std::vector<std::string> f = Fields(lines[row]);
    ASSERT_EQ(f.size(), 7u) << lines[row];
    EXPECT_EQ(f[0] + "\t" + f[1], order[row - 1]);
    if (f[6].find("proposed") != std::string::npos) proposed = f[0] + " " + f[1];
  }
  // The proposed cell's values with the other seven of the parameter file.
  ASSERT_FALSE(proposed.empty());
  EXPECT_EQ(lines[5], "1.000 " + proposed + " 0.050   2   4  10 0   1");
  EXPECT_FALSE(fs::exists(dir_ / "output.txt"));
  // The same grid again repeats its numbers; from another seed the folds are others.
  const std::string errors = Errors(lines);
  ASSERT_EQ(Run("--tune --tune-rc 1,2 --tune-minobj 0.05,0.1 --tune-repeats 2 data.txt"), 0);
  EXPECT_EQ(Errors(StdoutLines()), errors);
  ASSERT_EQ(Run("--tune --tune-rc 1,2 --tune-minobj 0.05,0.1 --tune-repeats 2 --tune-seed 7 "
                "data.txt"),
            0);
  EXPECT_NE(Errors(StdoutLines()), errors);
}

TEST_F(TuneOption, ApplyWritesTheChosenLineAsTheParameterFileButNeverOverTheData) {
  Write("param.par", "1.000 1.000 0.050 0.050   1   4  10 0   1");
  ASSERT_EQ(Run("--tune --tune-rc 1 --tune-minobj 0.1 --tune-repeats 1 --tune-apply param.par "
                "data.txt"),
            0);
  EXPECT_EQ(Read("param.par"), "1.000 1.000 0.050 0.100   1   4  10 0   1");
  EXPECT_EQ(StdoutLines().back(), Read("param.par"));
  const std::string data = Read("data.txt");
  EXPECT_EQ(Run("--tune --tune-rc 1 --tune-minobj 0.1 --tune-repeats 1 --tune-apply ./data.txt "
                "data.txt"),
            2);
  EXPECT_NE(Read("stderr.txt").find("is the data file; nothing was written"), std::string::npos);
  EXPECT_EQ(Read("data.txt"), data);
}

TEST_F(TuneOption, WrongValuesAreUsageErrorsAndUntunableDataExitsOne) {
  struct Case {
    const char* Args;
    int Exit;
    const char* Message;
  };
  const std::vector<Case> cases = {
      {"--tune-rc 1,x data.txt", 2, "--tune-rc needs numbers from 0 to 10"},
      {"--tune-rc 1,,2 data.txt", 2, "--tune-rc needs numbers"},
      {"--tune-rc 11 data.txt", 2, "--tune-rc needs numbers"},
      {"--tune-minobj 0.5,2 data.txt", 2, "--tune-minobj needs numbers from 0 to 1"},
      {"--tune-repeats 0 data.txt", 2, "--tune-repeats needs a number from 1 to 100"},
      {"--tune-seed -1 data.txt", 2, "--tune-seed needs a number from 0 to 4294967295"},
      {"--tune-apply '' data.txt", 2, "--tune-apply needs a file name"},
      {"data.txt --tune-rc", 2, "--tune-rc needs a value"},
      {"--tune missing.txt", 1, "Cannot read the data file \"missing.txt\""},
      {"--tune --params ts.par data.txt", 1, "a time series is not cross-validated"},
  };
  Write("ts.par", "1.000 1.000 0.050 0.050   1   4  10 1   1");
  for (const Case& c : cases) {
    EXPECT_EQ(Run(c.Args), c.Exit) << c.Args;
    EXPECT_NE(Read("stderr.txt").find(c.Message), std::string::npos)
        << c.Args << ": " << Read("stderr.txt");
    EXPECT_EQ(Read("stdout.txt"), "") << c.Args;
  }
}

}  // namespace
