// The batch runner as a user runs it: exit codes, the default parameters and files.
#include <unistd.h>

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "batch_runner_call.h"

namespace {

namespace fs = std::filesystem;

class BatchRunner : public tarmel::testing::BatchRunnerTest {
 protected:
  BatchRunner() : BatchRunnerTest("tarmel-batch-") {}
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
  // The report keeps the exact text; stderr adds what to change, naming row and column.
  EXPECT_NE(Read("stderr.txt").find("wrong value q\ntarmel-run: Learning row 2, column 2 must "
                                    "hold a number"),
            std::string::npos)
      << Read("stderr.txt");
}

TEST_F(BatchRunner, WarningsAboutTheDataGoToStandardErrorAndKeepTheExitCode) {
  Write("shifted.txt", "4 2 ?\r\n1 1\r\nx y\r\n1 10\r\n2 20 5\r\n3 30\r\n4 40\r\n");
  EXPECT_EQ(Run("shifted.txt"), 0);
  EXPECT_EQ(Read("stderr.txt"),
            "tarmel-run: warning: row 3 (line 5) starts in the middle of a line: a row above it "
            "has one cell too many or too few\n");
  Write("shifted.txt", "4 2 ?\r\n1 1\r\nx y\r\n1 10\r\n2 20 5\r\n3 30\r\nq 40\r\n");
  EXPECT_EQ(Run("shifted.txt"), 1);
  EXPECT_EQ(Read("output.txt"), "Error in input file row   4 column   2 :wrong value q\r\n");
  EXPECT_NE(Read("stderr.txt").find("warning: row 3 (line 5) starts"), std::string::npos);
  fs::create_directories(dir_ / "folder.txt");
  EXPECT_EQ(Run("folder.txt"), 1);
  EXPECT_EQ(Read("stderr.txt"),
            "tarmel-run: warning: the data file \"folder.txt\" was not read: it is a folder (the "
            "report says \"No input file found.\")\n"
            "tarmel-run: Cannot read the data file \"folder.txt\": it is a folder\n");
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
  EXPECT_NE(Read("stderr.txt").find("the data file data.txt are the same file"), std::string::npos);
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

TEST_F(BatchRunner, InterruptGivesTheRunUpAndLeavesTheOldReport) {
  // A run of several seconds: 300 objects, 8 numeric features, three lookahead levels.
  std::string data = "300 9 ?\r\n1 1 1 1 1 1 1 1 1\r\na b c d e f g h y\r\n";
  uint32_t state = 12345;
  for (int i = 0; i < 300; ++i) {
    for (int f = 0; f < 9; ++f) {
      state = state * 1103515245u + 12345u;
      data += std::to_string(state >> 16 & 1023) + (f < 8 ? " " : "\r\n");
    }
  }
  Write("data.txt", data);
  Write("param.par", "1 3 0.05 0.05 1 9 10 0 1");
  Write("output.txt", "the report of an earlier run\r\n");
  // Interrupted once the run has opened its report beside the old one.
  const std::string cmd =
      "cd '" + dir_.string() + "' && { '" TARMEL_RUN_BINARY "' data.txt 2> stderr.txt & pid=$!; "
      "for i in $(seq 100); do ls -A | grep -q '^.output.txt.tarmel-' && break; sleep 0.05; done; "
      "kill -INT $pid; wait $pid; echo $? > code.txt; }";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  EXPECT_EQ(Read("code.txt"), "2\n");
  EXPECT_EQ(Read("output.txt"), "the report of an earlier run\r\n");
  EXPECT_NE(Read("stderr.txt").find("cancelled"), std::string::npos) << Read("stderr.txt");
  for (const auto& entry : fs::directory_iterator(dir_)) {
    EXPECT_EQ(entry.path().filename().string().find(".output.txt.tarmel-"), std::string::npos);
  }
}

TEST_F(BatchRunner, ImportedTableIsGrownAndItsDataFileKept) {
  Write("t.csv", "size,colour,price\n1.5,red,10\n2,blue,12.5\nNA,red,9\n3.25,blue,\n"
                 "4,red,11\n5,blue,+13\n");
  EXPECT_EQ(Run("--import t.csv --target colour --write-data t.txt --output a.txt"), 0);
  EXPECT_EQ(Read("t.txt").substr(0, 36), "6 3 ?\r\n1 0(2) 1\r\nsize colour price\r\n");
  EXPECT_NE(Read("a.txt").find("input file: t.txt"), std::string::npos);
  EXPECT_NE(Read("a.txt").find("Number of classes=   2"), std::string::npos);
  EXPECT_NE(Read("stderr.txt").find("+13 as 13 (row 7)"), std::string::npos);
  // By number, without keeping the data file: the same trees, the table named in the report,
  // and no file left behind.
  EXPECT_EQ(Run("--import t.csv --target 2 --output b.txt"), 0);
  EXPECT_EQ(Read("b.txt").substr(Read("b.txt").find('\n')),
            Read("a.txt").substr(Read("a.txt").find('\n')));
  EXPECT_NE(Read("b.txt").find("input file: t.csv"), std::string::npos);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 6);
}

TEST_F(BatchRunner, TablesThatCannotBeImportedSayWhy) {
  Write("t.csv", "x,y\n1,a\n2,b\n");
  EXPECT_EQ(Run("--import t.csv --target z"), 1);
  EXPECT_NE(Read("stderr.txt").find("t.csv: No column is named \"z\""), std::string::npos);
  EXPECT_FALSE(fs::exists(dir_ / "output.txt"));
  EXPECT_EQ(Run("--import none.csv"), 2);
  EXPECT_NE(Read("stderr.txt").find("cannot read the table none.csv"), std::string::npos);
  EXPECT_EQ(Run("--import t.csv --write-data no/such/dir/t.txt"), 2);
  EXPECT_NE(Read("stderr.txt").find("cannot write the data file no/such/dir/t.txt"),
            std::string::npos);
  EXPECT_EQ(Run("--import t.csv data.txt"), 2);
  EXPECT_EQ(Run("--import"), 2);
  EXPECT_EQ(Run("--import t.csv --target"), 2);
  EXPECT_EQ(Run("--import t.csv --predict-column ''"), 2);
}

TEST_F(BatchRunner, ChosenColumnValueMarksTheRowsToPredict) {
  Write("t.csv", "x,role,y\n1,fit,a\n2,new,b\n3,fit,b\n4,fit,a\n5,fit,b\n");
  EXPECT_EQ(Run("--import t.csv --predict-column role --predict-value new --write-data t.txt"),
            0);
  EXPECT_EQ(Read("t.txt"),
            "4 2 ?\r\n1 0(2)\r\nx y\r\n1 a\r\n3 b\r\n4 a\r\n5 b\r\nPredict 1\r\n2 b\r\n");
  // An empty marking value: rows whose role is empty (none here) are predicted.
  EXPECT_EQ(Run("--import t.csv --predict-column role --predict-value '' --write-data u.txt"), 0);
  EXPECT_EQ(Read("u.txt").substr(0, 7), "5 2 ?\r\n");
}

// No output may land on an input or on another output, whichever way it is named: each
// clash is refused before anything is written.
TEST_F(BatchRunner, OutputsNeverReplaceAnInputOrEachOther) {
  const std::string table = "a,b\n1,x\n2,y\n3,x\n4,y\n";
  struct Clash {
    const char* Args;
    const char* Named;  // what the message names
  };
  const Clash clashes[] = {
      {"--output t.csv --import t.csv", "the report t.csv and the table t.csv"},
      {"--import t.csv --write-data t.csv", "the kept data file t.csv and the table t.csv"},
      {"--output k.txt --import t.csv --write-data k.txt", "the kept data file k.txt and the report"},
      {"--summary data.txt data.txt", "the summary data.txt and the data file"},
      {"--tree d.dot d.dot", "the drawn tree d.dot and the data file"},
      {"--summary param.par data.txt", "the summary param.par and the parameter file"},
      {"--params p.dot --tree p.dot data.txt", "the drawn tree p.dot and the parameter file"},
      {"--output out.dot --tree out.dot data.txt", "the drawn tree out.dot and the report"},
      {"--output link.txt data.txt", "the report link.txt and the data file"},
      {"--summary s.dot --tree ./s.dot data.txt", "the summary s.dot and the drawn tree"},
  };
  for (const Clash& c : clashes) {
    for (const char* data : {"data.txt", "d.dot"}) Write(data, Data);
    Write("t.csv", table);
    Write("p.dot", "1 1 0.05 0.05 1 2 10 0 1");
    fs::remove(dir_ / "link.txt");
    fs::create_symlink("data.txt", dir_ / "link.txt");
    EXPECT_EQ(Run(c.Args), 2) << c.Args;
    EXPECT_NE(Read("stderr.txt").find(std::string(c.Named)), std::string::npos)
        << c.Args << ": " << Read("stderr.txt");
    EXPECT_EQ(Read("data.txt"), Data) << c.Args;
    EXPECT_EQ(Read("t.csv"), table) << c.Args;
    EXPECT_FALSE(fs::exists(dir_ / "output.txt")) << c.Args;
  }
}

// A link is written through to what it points at; one that leads nowhere is refused, also
// as the default parameter file, which would otherwise give the defaults without a word.
TEST_F(BatchRunner, LinksAreFollowedOrRefusedNeverReplaced) {
  Write("data.txt", Data);
  Write("real.txt", "old");
  fs::create_symlink("real.txt", dir_ / "report.txt");
  EXPECT_EQ(Run("--output report.txt data.txt"), 0);
  EXPECT_TRUE(fs::is_symlink(dir_ / "report.txt"));
  EXPECT_NE(Read("real.txt").find("input file: data.txt"), std::string::npos);
  fs::create_symlink("nowhere.txt", dir_ / "dangling.txt");
  EXPECT_EQ(Run("--output dangling.txt data.txt"), 2);
  EXPECT_NE(Read("stderr.txt").find("the link points at nothing"), std::string::npos);
  fs::create_symlink("loop.txt", dir_ / "loop.txt");
  EXPECT_EQ(Run("--summary loop.txt data.txt"), 2);
  EXPECT_NE(Read("stderr.txt").find("the link leads in a circle"), std::string::npos);
  EXPECT_TRUE(fs::is_symlink(dir_ / "dangling.txt"));
  fs::create_symlink("nowhere.par", dir_ / "param.par");
  EXPECT_EQ(Run("data.txt"), 2);
  EXPECT_NE(Read("stderr.txt").find("param.par"), std::string::npos);
}

// On a full disk every output keeps its old bytes and no temporary file is left; a small
// file system of our own stands in for the full disk (only root may mount one).
TEST_F(BatchRunner, AFullDiskKeepsEveryOldFileWhole) {
  const fs::path disk = dir_ / "disk";
  fs::create_directories(disk);
  const std::string mount = "mount -t tmpfs -o size=64k tmpfs '" + disk.string() + "' 2>/dev/null";
  if (::geteuid() != 0 || std::system(mount.c_str()) != 0) GTEST_SKIP() << "cannot mount";
  struct Unmount {
    std::string Cmd;
    ~Unmount() { [[maybe_unused]] const int ignored = std::system(Cmd.c_str()); }
  } unmount{"umount '" + disk.string() + "'"};
  Write("t.csv", "a,b\n1,x\n2,y\n3,x\n4,y\n");
  const std::string old(6000, 'o');
  for (const char* name : {"disk/kept.txt", "disk/sum.tsv", "disk/tree.dot"}) Write(name, old);
  Write("disk/filler", std::string(65536 - 3 * 8192, 'f'));
  EXPECT_EQ(Run("--import t.csv --write-data disk/kept.txt"), 2);
  EXPECT_NE(Read("stderr.txt").find("No space left on device"), std::string::npos)
      << Read("stderr.txt");
  EXPECT_EQ(Run("--import t.csv --summary disk/sum.tsv --tree disk/tree.dot"), 2);
  EXPECT_NE(Read("stderr.txt").find("No space left on device"), std::string::npos);
  for (const char* name : {"disk/kept.txt", "disk/sum.tsv", "disk/tree.dot"}) {
    EXPECT_EQ(Read(name), old) << name;
  }
  int files = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(disk)) ++files;
  EXPECT_EQ(files, 4);
}

// Names and values holding bytes no drawing can carry (a NUL in a value, in a feature name)
// still give a drawing when they give a report.
TEST_F(BatchRunner, AnyDataThatGivesAReportGivesADrawing) {
  const std::string nulInValue("6 2 ?\r\n0(2) 1\r\nc v\r\np\0q 1\r\nr 5\r\np\0q 1.5\r\nr 6\r\n"
                               "p\0q 1\r\nr 5.5\r\n", 60);
  const std::string nulInName("6 2 ?\r\n1 1\r\nx\0y v\r\n1 1\r\n2 5\r\n1 1.5\r\n2 6\r\n1 1\r\n"
                              "2 5.5\r\n", 53);
  Write("param.par", "1.000 1.000 0.050 0.050   1   2   0 0   1");
  for (const std::string& data : {nulInValue, nulInName}) {
    Write("data.txt", data);
    EXPECT_EQ(Run("--tree tree.svg data.txt"), 0) << Read("stderr.txt");
    EXPECT_NE(Read("tree.svg").find("\xEF\xBF\xBD"), std::string::npos);
  }
}

}  // namespace
