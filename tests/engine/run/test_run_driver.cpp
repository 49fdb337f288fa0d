// Run as every front end calls it: outcomes with their messages, the report put in place
// only at the end, the guards around the files, progress, cancel and the thread count.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <future>
#include <string>
#include <vector>

#include "generated_tables.h"
#include "run_request.h"
#include "temp_folder.h"

namespace tarmel {
namespace {

namespace fs = std::filesystem;

class RunCall : public tarmel::testing::TempFolderTest {
 protected:
  RunCall() : TempFolderTest("tarmel-run-") {}

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  void Write(const std::string& name, const std::string& text) const {
    std::ofstream(dir_ / name, std::ios::binary) << text;
  }
  std::string Read(const std::string& name) const {
    std::ifstream in(dir_ / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  // A request over the named data file with the report in the test's folder.
  RunRequest Request(const std::string& data, const std::string& report = "output.txt") {
    RunRequest request;
    request.DataFileName = Path(data);
    request.ReportFileName = Path(report);
    request.Random = &random_;
    return request;
  }
  // Only the report and the data are left in the folder: no temporary file stays behind.
  std::vector<std::string> Files() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_)) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }

  TRandom random_;
};

const char* const Small = "4 2 ?\r\n1 1\r\nx y\r\n1 10\r\n2 20\r\n3 30\r\n4 40\r\n";

TEST_F(RunCall, CompleteRunReplacesTheOldReportAndLeavesNoTemporaryFile) {
  Write("data.txt", Small);
  Write("output.txt", "old report");
  const RunResult result = tarmel::Run(Request("data.txt"));
  EXPECT_EQ(result.Outcome, RunOutcome::Complete);
  EXPECT_TRUE(result.Message.empty());
  EXPECT_NE(Read("output.txt").find("Variant N  1"), std::string::npos);
  EXPECT_EQ(Files(), (std::vector<std::string>{"data.txt", "output.txt"}));
}

TEST_F(RunCall, DataFaultIsInTheReportAndInTheMessage) {
  Write("bad.txt", "2 2 ?\r\n1 1\r\nx y\r\n1 2\r\n3 q\r\n");
  RunResult result = tarmel::Run(Request("bad.txt"));
  EXPECT_EQ(result.Outcome, RunOutcome::DataError);
  EXPECT_EQ(Read("output.txt"), "Error in input file row   2 column   2 :wrong value q\r\n");
  EXPECT_EQ(result.Message, Path("bad.txt") + ": Error in input file row   2 column   2 :wrong value q");
  result = tarmel::Run(Request("missing.txt"));
  EXPECT_EQ(result.Outcome, RunOutcome::DataError);
  EXPECT_EQ(Read("output.txt"),
            "No input file found.\r\nPlease, see TRELM.TXT file for more information.\r\n");
  EXPECT_NE(result.Message.find("missing.txt"), std::string::npos);
  EXPECT_NE(result.Message.find("No such file"), std::string::npos);
}

TEST_F(RunCall, ReportThatCannotBeCreatedIsNamedWithTheReason) {
  Write("data.txt", Small);
  fs::create_directories(dir_ / "folder");
  for (const char* report : {"no/such/dir/out.txt", "folder"}) {
    const RunResult result = tarmel::Run(Request("data.txt", report));
    EXPECT_EQ(result.Outcome, RunOutcome::ReportNotCreated) << report;
    EXPECT_NE(result.Message.find(report), std::string::npos) << result.Message;
  }
}

TEST_F(RunCall, DataGivenAsTextIsReadAndItsNameEchoed) {
  RunRequest request = Request("shown-name.txt");
  request.DataText = Small;
  EXPECT_EQ(tarmel::Run(request).Outcome, RunOutcome::Complete);
  EXPECT_EQ(Read("output.txt").rfind("input file: " + Path("shown-name.txt") + "\r\n", 0), 0u);
}

// Collects every progress report; the engine calls one at a time.
struct ProgressLog : RunObserver {
  std::vector<RunProgress> Seen;
  void OnProgress(const RunProgress& p) override { Seen.push_back(p); }
};

TEST_F(RunCall, ProgressGoesThroughVariantsAndFoldsToTheWholeRun) {
  Write("data.txt", testing::GeneratedTable({60, 5, true, 0, 3}));
  ProgressLog log;
  RunRequest request = Request("data.txt");
  request.Params.FeatureToPredict = 5;
  request.Params.VariantsNumber = 2;
  request.Params.FoldsCrossValidate = 4;
  request.Threads = 2;
  request.Observer = &log;
  ASSERT_EQ(tarmel::Run(request).Outcome, RunOutcome::Complete);
  ASSERT_FALSE(log.Seen.empty());
  EXPECT_EQ(log.Seen.front().Phase, RunPhase::Reading);
  EXPECT_EQ(log.Seen.back().Phase, RunPhase::Finished);
  EXPECT_EQ(log.Seen.back().Fraction, 1.0);
  bool leaves = false, lastFold = false, secondVariant = false;
  for (size_t k = 1; k < log.Seen.size(); ++k) {
    const RunProgress& p = log.Seen[k];
    EXPECT_GE(p.Fraction, log.Seen[k - 1].Fraction) << "report " << k;
    EXPECT_LE(p.FoldsDone, p.Folds);
    leaves = leaves || p.LeavesGrown > 0;
    lastFold = lastFold || (p.Phase == RunPhase::CrossValidating && p.FoldsDone == 4);
    secondVariant = secondVariant || (p.Variant == 2 && p.Variants == 2);
  }
  EXPECT_TRUE(leaves);
  EXPECT_TRUE(lastFold);
  EXPECT_TRUE(secondVariant);
}

// A run at lookahead depth 3 over the largest table takes minutes; cancelled, it returns
// at once and the report of the run before is still there.
TEST_F(RunCall, CancelledRunStopsWithinASecondAndKeepsTheOldReport) {
  Write("data.txt", testing::GeneratedTable({1000, 49, false, 0, 0}));
  Write("output.txt", "the report of the run before");
  CancelToken cancel;
  RunRequest request = Request("data.txt");
  request.Params.FeatureToPredict = 49;
  request.Params.RecursiveComplexity = 3;
  request.Cancel = &cancel;
  auto running = std::async(std::launch::async, [request] { return tarmel::Run(request); });
  EXPECT_EQ(running.wait_for(std::chrono::milliseconds(300)), std::future_status::timeout);
  cancel.Cancel();
  ASSERT_EQ(running.wait_for(std::chrono::seconds(1)), std::future_status::ready);
  const RunResult result = running.get();
  EXPECT_EQ(result.Outcome, RunOutcome::Cancelled);
  EXPECT_EQ(Read("output.txt"), "the report of the run before");
  EXPECT_EQ(Files(), (std::vector<std::string>{"data.txt", "output.txt"}));
}

// The data stays as it was and no report is begun when the report would be the data file,
// by the same name, another path to it, a symbolic link or a hard link.
TEST_F(RunCall, ReportThatIsTheDataFileIsRefusedBeforeAnythingIsWritten) {
  Write("data.txt", Small);
  fs::create_directories(dir_ / "sub");
  fs::create_symlink(dir_ / "data.txt", dir_ / "link.txt");
  fs::create_hard_link(dir_ / "data.txt", dir_ / "sub" / "hard.txt");
  for (const char* report : {"data.txt", "sub/../data.txt", "link.txt", "sub/hard.txt"}) {
    const RunResult result = tarmel::Run(Request("data.txt", report));
    EXPECT_EQ(result.Outcome, RunOutcome::ReportNotCreated) << report;
    EXPECT_NE(result.Message.find("is the data file"), std::string::npos) << result.Message;
    EXPECT_EQ(Read("data.txt"), Small) << report;
  }
  EXPECT_EQ(Files(), (std::vector<std::string>{"data.txt", "link.txt", "sub"}));
}

TEST_F(RunCall, FailedWriteOfTheReportIsReportedWithTheReason) {
  Write("data.txt", Small);
  RunRequest request = Request("data.txt");
  request.ReportFileName = "/dev/full";
  const RunResult result = tarmel::Run(request);
  EXPECT_EQ(result.Outcome, RunOutcome::ReportNotWritten);
  EXPECT_EQ(result.Message, "Cannot write the report \"/dev/full\": No space left on device");
}

TEST_F(RunCall, LookaheadDepthBeyondThirtyTwoBitsIsRefusedLikeANegativeOne) {
  Write("data.txt", Small);
  for (const double complexity : {2147483647.0, 1e300}) {
    RunRequest request = Request("data.txt");
    request.Params.RecursiveComplexity = complexity;
    const RunResult result = tarmel::Run(request);
    EXPECT_EQ(result.Outcome, RunOutcome::DataError);
    EXPECT_EQ(Read("output.txt"),
              "Error in parameters: RecursiveComplexity must be less than 2147483647\r\n");
  }
  // The largest depth that is taken runs as deep as the objects allow.
  RunRequest request = Request("data.txt");
  request.Params.RecursiveComplexity = 2147483646.5;
  EXPECT_EQ(tarmel::Run(request).Outcome, RunOutcome::Complete);
}

TEST_F(RunCall, DataFileThatIsNoOrdinaryFileOrTooLargeIsNotRead) {
  fs::create_directories(dir_ / "folder");
  std::ofstream(dir_ / "huge.txt").close();
  fs::resize_file(dir_ / "huge.txt", (std::uintmax_t{256} << 20) + 1);  // sparse: no disk used
  ASSERT_EQ(::mkfifo(Path("pipe").c_str(), 0600), 0);  // opening it would wait for a writer
  const std::vector<std::pair<std::string, const char*>> cases = {
      {"/dev/zero", "it is not an ordinary file"},
      {Path("pipe"), "it is not an ordinary file"},
      {Path("folder"), "it is a folder"},
      {Path("huge.txt"), "it is larger than 256 MiB"},
  };
  for (const auto& [data, reason] : cases) {
    RunRequest request = Request("x");
    request.DataFileName = data;
    const RunResult result = tarmel::Run(request);
    EXPECT_EQ(result.Outcome, RunOutcome::DataError) << data;
    EXPECT_EQ(result.Message, "Cannot read the data file \"" + data + "\": " + reason);
    EXPECT_EQ(Read("output.txt"),
              "No input file found.\r\nPlease, see TRELM.TXT file for more information.\r\n");
  }
}

TEST_F(RunCall, ByteOrderMarkAtTheStartIsSkipped) {
  Write("plain.txt", Small);
  Write("marked.txt", "\xEF\xBB\xBF" + std::string(Small));
  ASSERT_EQ(tarmel::Run(Request("plain.txt", "plain.out")).Outcome, RunOutcome::Complete);
  random_ = TRandom{};
  ASSERT_EQ(tarmel::Run(Request("marked.txt", "marked.out")).Outcome, RunOutcome::Complete);
  std::string plain = Read("plain.out");
  std::string marked = Read("marked.out");
  EXPECT_EQ(marked.substr(marked.find("\r\n")), plain.substr(plain.find("\r\n")));
  // Anywhere else the same bytes are part of a token.
  Write("inner.txt", "4 2 ?\r\n1 1\r\nx y\r\n\xEF\xBB\xBF" "1 10\r\n2 20\r\n3 30\r\n4 40\r\n");
  EXPECT_EQ(tarmel::Run(Request("inner.txt")).Outcome, RunOutcome::DataError);
}

TEST_F(RunCall, NumberNineThousandNineHundredNinetyNineIsMissingWithAWarning) {
  Write("nines.txt", "4 3 ?\r\n1 1 1\r\nx z y\r\n1 5 10\r\n9999 5 20\r\n3 5 30\r\n9999.0 9999 40\r\n");
  Write("marks.txt", "4 3 ?\r\n1 1 1\r\nx z y\r\n1 5 10\r\n? 5 20\r\n3 5 30\r\n? ? 40\r\n");
  RunRequest request = Request("nines.txt", "nines.out");
  request.Params.FeatureToPredict = 3;
  request.DataFileName = "data.txt";
  request.DataText = Read("nines.txt");
  const RunResult result = tarmel::Run(request);
  ASSERT_EQ(result.Outcome, RunOutcome::Complete);
  ASSERT_EQ(result.Warnings.size(), 2u);
  EXPECT_EQ(result.Warnings[0].Text,
            "Feature \"x\": the number 9999 in row 2 (line 5) is read as a missing cell, since "
            "9999 is how missing cells are stored");
  EXPECT_EQ(result.Warnings[0].Line, 5);
  EXPECT_EQ(result.Warnings[0].Count, 2);
  EXPECT_EQ(result.Warnings[1].Line, 7);
  EXPECT_EQ(result.Warnings[1].Count, 1);
  random_ = TRandom{};
  request.DataText = Read("marks.txt");
  request.ReportFileName = Path("marks.out");
  const RunResult marks = tarmel::Run(request);
  EXPECT_TRUE(marks.Warnings.empty());
  EXPECT_EQ(Read("nines.out"), Read("marks.out"));
}

// The folds of the largest table grow on one, two or seven threads with the same report.
TEST_F(RunCall, ParallelFoldsWriteTheSameReportAsSerialOnesOnTheLargestTable) {
  for (const bool classification : {false, true}) {
    Write("data.txt", testing::GeneratedTable({1000, 49, classification, 0, 20}));
    std::vector<std::string> reports;
    for (const int32_t threads : {1, 2, 7}) {
      RunRequest request = Request("data.txt");
      random_ = TRandom{};
      request.Params.FeatureToPredict = 49;
      request.Params.VariantsNumber = 3;
      request.Threads = threads;
      const RunResult result = tarmel::Run(request);
      ASSERT_EQ(result.Outcome, RunOutcome::Complete) << result.Message;
      reports.push_back(Read("output.txt"));
    }
    EXPECT_NE(reports[0].find("10-fold"), std::string::npos);
    EXPECT_TRUE(reports[1] == reports[0]) << "2 threads, classification " << classification;
    EXPECT_TRUE(reports[2] == reports[0]) << "7 threads, classification " << classification;
  }
}

}  // namespace
}  // namespace tarmel
