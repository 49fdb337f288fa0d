// The run driver through Run, as every front end calls it: outcomes with their messages,
// the report put in place only at the end, progress, cancel and the thread count.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <mutex>
#include <string>
#include <vector>

#include "generated_tables.h"
#include "run_request.h"

namespace tarmel {
namespace {

namespace fs = std::filesystem;

class RunCall : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("tarmel-run-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

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

  fs::path dir_;
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

TEST_F(RunCall, RunTreeChangesTheCallersFeatureToPredictAfterAClassificationRun) {
  Write("data.txt", "4 3 ?\r\n1 0(2) 1\r\nx c z\r\n1 a 1\r\n2 a 1\r\n3 b 1\r\n4 b 1\r\n");
  RunParameters params;
  params.FeatureToPredict = 2;
  RunEnvironment env;
  env.ReportFileName = Path("output.txt");
  env.Random = &random_;
  EXPECT_EQ(RunTree(params, Path("data.txt"), env), RunOutcome::Complete);
  EXPECT_EQ(params.FeatureToPredict, 3);
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

}  // namespace
}  // namespace tarmel
