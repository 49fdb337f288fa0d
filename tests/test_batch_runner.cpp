// The batch runner as a user runs it: exit codes, the default parameters and files.
#include <unistd.h>

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

class BatchRunner : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("tarmel-batch-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) +
            "-" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  void Write(const std::string& name, const std::string& text) {
    std::ofstream(dir_ / name, std::ios::binary) << text;
  }
  std::string Read(const std::string& name) {
    std::ifstream in(dir_ / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  int Run(const std::string& args) {
    const std::string cmd = "cd '" + dir_.string() + "' && '" TARMEL_RUN_BINARY "' " + args +
                            " > stdout.txt 2> stderr.txt";
    const int status = std::system(cmd.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  fs::path dir_;
};

const char* const Data =
    "4 2 ?\r\n1 1\r\nx y\r\n1 10\r\n2 20\r\n3 30\r\n4 40\r\n";

TEST_F(BatchRunner, CompleteRunExitsZeroAndWritesTheReportInTheWorkingFolder) {
  Write("data.txt", Data);
  EXPECT_EQ(Run("data.txt"), 0);
  EXPECT_TRUE(fs::exists(dir_ / "output.txt"));
  EXPECT_FALSE(fs::exists(dir_ / "param.par"));  // defaults are used, nothing is created
  EXPECT_EQ(Run("--output rep.txt data.txt"), 0);
  EXPECT_EQ(Read("rep.txt"), Read("output.txt"));
}

TEST_F(BatchRunner, DataFaultsExitOneWithTheMessageInTheReport) {
  EXPECT_EQ(Run("missing.txt"), 1);
  EXPECT_EQ(Read("output.txt"),
            "No input file found.\r\nPlease, see TRELM.TXT file for more information.\r\n");
  fs::create_directories(dir_ / "folder.txt");
  EXPECT_EQ(Run("folder.txt"), 1);
  EXPECT_EQ(Read("output.txt"),
            "No input file found.\r\nPlease, see TRELM.TXT file for more information.\r\n");
  Write("bad.txt", "2 2 ?\r\n1 1\r\nx y\r\n1 2\r\n3 q\r\n");
  EXPECT_EQ(Run("bad.txt"), 1);
  EXPECT_EQ(Read("output.txt"), "Error in input file row   2 column   2 :wrong value q\r\n");
}

TEST_F(BatchRunner, ParametersComeFromTheParameterFile) {
  Write("data.txt", Data);
  Write("param.par", "1.000 1.000 0.050 -0.050   1   2  10 0   1");
  EXPECT_EQ(Run("data.txt"), 1);
  EXPECT_EQ(Read("output.txt"), "Error in parameters: MinObjInNode must not be negative\r\n");
  Write("other.par", "1 1 0.05 0.05 1 3 10 0 1");
  EXPECT_EQ(Run("--params other.par data.txt"), 1);
  EXPECT_EQ(Read("output.txt"), " Error: wrong number of predicted feature");
}

TEST_F(BatchRunner, UsageAndFileProblemsExitTwoWithAMessage) {
  Write("data.txt", Data);
  EXPECT_EQ(Run(""), 2);
  EXPECT_EQ(Run("--bogus data.txt"), 2);
  EXPECT_EQ(Run("a.txt b.txt"), 2);
  EXPECT_EQ(Run("--params"), 2);
  EXPECT_EQ(Run("--params none.par data.txt"), 2);
  EXPECT_NE(Read("stderr.txt").find("none.par"), std::string::npos);
  Write("param.par", "1 1 0.05");
  EXPECT_EQ(Run("data.txt"), 2);
  EXPECT_NE(Read("stderr.txt").find("param.par"), std::string::npos);
  fs::remove(dir_ / "param.par");
  EXPECT_EQ(Run("--output no/such/dir/out.txt data.txt"), 2);
  EXPECT_NE(Read("stderr.txt").find("out.txt"), std::string::npos);
  fs::create_directories(dir_ / "folder.par");
  EXPECT_EQ(Run("--params folder.par data.txt"), 2);
  EXPECT_NE(Read("stderr.txt").find("folder.par"), std::string::npos);
  EXPECT_EQ(Run("--help"), 0);
  EXPECT_NE(Read("stdout.txt").find("Usage"), std::string::npos);
}

// The drawn tree and the summary come from the run's kept trees; the report is the same
// byte for byte with and without them.
TEST_F(BatchRunner, TreeAndSummaryFilesLeaveTheReportUnchanged) {
  fs::copy_file(TARMEL_EXAMPLES_DIR "/flowers.txt", dir_ / "flowers.txt");
  Write("param.par", "1.000 1.000 0.050 0.050   3   1  10 0   1\r\n");
  ASSERT_EQ(Run("flowers.txt"), 0);
  const std::string plain = Read("output.txt");
  ASSERT_EQ(Run("--tree tree.svg --summary summary.tsv flowers.txt"), 0) << Read("stderr.txt");
  EXPECT_EQ(Read("output.txt"), plain);
  const std::string svg = Read("tree.svg");
  EXPECT_EQ(svg.rfind("<?xml", 0), 0u);
  EXPECT_NE(svg.find("</svg>"), std::string::npos);
  const std::string summary = Read("summary.tsv");
  EXPECT_EQ(summary.rfind("Variant\tRoot feature\tLeaves\tMisclassification frequency\t", 0), 0u);
  EXPECT_NE(summary.find("Confusion matrix of variant 1\n"), std::string::npos);
}

TEST_F(BatchRunner, TreeOfAChosenVariantAsDotOrPng) {
  fs::copy_file(TARMEL_EXAMPLES_DIR "/flowers.txt", dir_ / "flowers.txt");
  Write("param.par", "1.000 1.000 0.050 0.050   3   1  10 0   1\r\n");
  ASSERT_EQ(Run("--tree tree.dot --tree-variant 2 flowers.txt"), 0) << Read("stderr.txt");
  EXPECT_EQ(Read("tree.dot").rfind("digraph tree {", 0), 0u);
  ASSERT_EQ(Run("--tree tree.png flowers.txt"), 0) << Read("stderr.txt");
  EXPECT_EQ(Read("tree.png").substr(0, 8), "\x89PNG\r\n\x1A\n");
  EXPECT_EQ(Run("--tree other.svg --tree-variant 9 flowers.txt"), 2);
  EXPECT_NE(Read("stderr.txt").find("no kept tree of variant 9"), std::string::npos);
  EXPECT_FALSE(fs::exists(dir_ / "other.svg"));
}

TEST_F(BatchRunner, TimeSeriesTreeConditionsNameSeriesAndShift) {
  fs::copy_file(TARMEL_GOLDEN_DIR "/time_series_blocks.txt", dir_ / "series.txt");
  fs::copy_file(TARMEL_GOLDEN_DIR "/time_series_blocks.par", dir_ / "param.par");
  ASSERT_EQ(Run("--tree tree.dot series.txt"), 0) << Read("stderr.txt");
  const std::string dot = Read("tree.dot");
  EXPECT_NE(dot.find(" -> "), std::string::npos);
  EXPECT_NE(dot.find("(shift "), std::string::npos);
}

TEST_F(BatchRunner, BadTreeOptionsExitTwoBeforeRunning) {
  Write("data.txt", Data);
  EXPECT_EQ(Run("--tree tree.pdf data.txt"), 2);
  EXPECT_NE(Read("stderr.txt").find(".svg, .png or .dot"), std::string::npos);
  EXPECT_EQ(Run("--tree t.svg --tree-variant 0 data.txt"), 2);
  EXPECT_EQ(Run("--tree-variant 2 data.txt"), 2);
  EXPECT_EQ(Run("--summary"), 2);
  EXPECT_FALSE(fs::exists(dir_ / "output.txt"));
  EXPECT_EQ(Run("--tree no/such/dir/t.svg data.txt"), 2);
  EXPECT_NE(Read("stderr.txt").find("no/such/dir/t.svg"), std::string::npos);
  EXPECT_TRUE(fs::exists(dir_ / "output.txt"));
}

TEST_F(BatchRunner, GuardedFilesExitWithAMessageAndLoseNothing) {
  Write("data.txt", Data);
  EXPECT_EQ(Run("--output ./data.txt data.txt"), 2);
  EXPECT_NE(Read("stderr.txt").find("is the data file"), std::string::npos);
  EXPECT_EQ(Read("data.txt"), Data);
  EXPECT_EQ(Run("--output /dev/full data.txt"), 2);
  EXPECT_NE(Read("stderr.txt").find("No space left on device"), std::string::npos);
  EXPECT_EQ(Run("/dev/zero"), 1);
  EXPECT_NE(Read("stderr.txt").find("\"/dev/zero\": it is not an ordinary file"),
            std::string::npos);
  Write("param.par", "1.000 3000000000 0.050 0.050   1   2  10 0   1");
  EXPECT_EQ(Run("data.txt"), 1);
  EXPECT_EQ(Read("output.txt"),
            "Error in parameters: RecursiveComplexity must be less than 2147483647\r\n");
  EXPECT_NE(Read("stderr.txt").find("RecursiveComplexity must be less than"), std::string::npos);
}

TEST_F(BatchRunner, ThreadsOptionKeepsTheReportAndWarningsGoToStandardError) {
  Write("data.txt", "4 2 ?\r\n1 1\r\nx y\r\n1 10\r\n9999 20\r\n3 30\r\n9999 40\r\n");
  EXPECT_EQ(Run("--threads 1 data.txt"), 0);
  const std::string serial = Read("output.txt");
  EXPECT_EQ(Read("stderr.txt"),
            "tarmel-run: warning: Feature \"x\": the number 9999 in row 2 (line 5) is read as a "
            "missing cell, since 9999 is how missing cells are stored (2 times in all)\n");
  EXPECT_EQ(Run("--threads 7 data.txt"), 0);
  EXPECT_EQ(Read("output.txt"), serial);
  EXPECT_EQ(Run("--threads -1 data.txt"), 2);
  EXPECT_EQ(Run("--threads many data.txt"), 2);
  EXPECT_EQ(Run("--threads"), 2);
}

}  // namespace
