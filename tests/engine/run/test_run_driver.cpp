// The run driver: the task and tables its read phase prepares, and Run as every front end
// calls it: outcomes with their messages, the report put in place only at the end, the
// guards around the files, progress, cancel, the thread count and the kept trees.
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
#include "golden_run.h"
#include "param_file.h"
#include "report_format.h"
#include "run_request.h"
#include "test_support.h"

namespace tarmel {
namespace {

namespace fs = std::filesystem;

using testing::CrLf;
using testing::GoldenRun;
using testing::ReadText;
using testing::RunGolden;
using testing::Table;
using testing::WorkedExample;

// --- the read phase: the task and the tables it prepares ---

TEST(RunDriver, MinNodeSizeUsesTheDoubleProduct) {
  struct Case {
    int objects;
    double minObj;
    int32_t minNodeSize, poolSize;
  } cases[] = {{100, 0.05, 6, 32}, {100, 0.0, 1, 200}, {100, 0.29, 29, 6}, {7, 1.0, 8, 0}};
  for (const Case& c : cases) {
    RunParameters params;
    params.MinObj = c.minObj;
    auto run = ReadText(Table(c.objects, 2), params);
    ASSERT_TRUE(run->Ok) << run->Report;
    EXPECT_EQ(run->Context->MinNodeSize, c.minNodeSize) << c.minObj;
    EXPECT_EQ(run->Context->NodePoolSize, c.poolSize) << c.minObj;
  }
}

TEST(RunDriver, NumericTargetMakesARegressionTaskWithTheNominalConstantFeature) {
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

TEST(RunDriver, NominalTargetMakesAClassificationTask) {
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

TEST(RunDriver, SharedGeneratorStartsAtSeedZero) {
  TRandom r;
  EXPECT_EQ(r.Next(1000), 0u);
  EXPECT_EQ(r.Next(1000), 31u);
  EXPECT_EQ(r.Next(1000), 861u);
  EXPECT_EQ(r.Seed, 3698175007u);
  EXPECT_EQ(r.Next(10), 2u);
}

// --- Run, as the front ends call it ---

class RunCall : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("tarmel-run-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) +
            "-" + std::to_string(::getpid()));
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

// The text from the first line holding start (searched from from) to the next line of the
// closing character, both included.
std::string Section(const std::string& report, const std::string& start, size_t from,
                    char closing) {
  const size_t begin = report.find(start, from);
  if (begin == std::string::npos) return {};
  const size_t end = report.find(std::string(60, closing), begin);
  return report.substr(begin, end == std::string::npos ? std::string::npos : end + 60 - begin);
}

std::string Collapsed(const std::string& text) {
  std::string out;
  for (const char c : text) {
    if (c != ' ' || (!out.empty() && out.back() != ' ')) out += c;
  }
  return out;
}

// Every leaf with a rule number is that rule of its block: its condition, its count,
// its decision and its mark agree with the rule's text.
void ExpectLeavesMirrorRules(const RunResult& result, const TKeptTree& tree,
                             const std::string& block) {
  int32_t rules = 0;
  for (const TTreeNode& n : tree.Nodes) {
    if (n.RuleNumber == 0) continue;
    EXPECT_EQ(n.RuleNumber, ++rules);
    const std::string rule = Section(block, " Rule " + FormatInt(n.RuleNumber, 3) + ",", 0, '-');
    ASSERT_FALSE(rule.empty()) << "rule " << n.RuleNumber;
    EXPECT_NE(Collapsed(rule).find(Collapsed(n.Condition)), std::string::npos) << rule;
    int32_t count = n.ObjCount;
    if (result.Task == TaskKind::Classification) {
      count = 0;
      for (const int32_t c : n.ClassCounts) count += c;
      EXPECT_NE(rule.find(" =" + result.ClassNames.at(n.MajorityClass - 1) + "\r\n"),
                std::string::npos);
    } else {
      EXPECT_NE(rule.find(" = " + FormatReal(n.Mean, 4, 2) + ","), std::string::npos) << rule;
      EXPECT_NE(rule.find(" Standard error" + FormatReal(n.StandardError, 9, 4)),
                std::string::npos);
    }
    EXPECT_NE(rule.find(" Number of objects " + FormatInt(count, 3) + ","), std::string::npos);
    EXPECT_EQ(rule.find("Heterogeneous group") != std::string::npos, n.Heterogeneous);
  }
  EXPECT_EQ(block.find(" Rule " + FormatInt(rules + 1, 3) + ","), std::string::npos);
}

void ExpectTreesMirrorReport(const GoldenRun& run) {
  const std::string& report = run.Report;
  size_t at = 0;
  for (size_t t = 0; t < run.Result.Trees.size(); ++t) {
    const TKeptTree& tree = run.Result.Trees[t];
    const std::string block = Section(report, "Variant N" + FormatInt(tree.Variant, 3), at, '*');
    ASSERT_FALSE(block.empty()) << "variant " << tree.Variant;
    at = report.find(block, at) + block.size();
    ExpectLeavesMirrorRules(run.Result, tree, block);
    EXPECT_NE(block.find("for the tree is " + FormatReal(tree.TreeError, 6, 2)), std::string::npos);
    EXPECT_EQ(tree.CrossValidated, report.find("crossvalidate error") != std::string::npos);
    if (tree.CrossValidated) {
      const std::string line = "crossvalidate error " + FormatReal(tree.CrossValidationError, 5, 3);
      EXPECT_NE(report.find(line, at), std::string::npos) << "variant " << tree.Variant;
    }
    EXPECT_NE(report.find(FormatInt(static_cast<int64_t>(t) + 1, 2) + " tree=" +
                          FormatReal(tree.VotingWeight, 5, 3)),
              std::string::npos);
  }
}

TEST_F(RunCall, KeptTreesMirrorTheReport) {
  for (const char* name : {"houses_three_variants", "flowers_fractional_lookahead",
                           "colours_two_variants"}) {
    SCOPED_TRACE(name);
    const GoldenRun run = RunGolden(name, dir_ / "output.txt");
    ASSERT_EQ(run.Result.Outcome, RunOutcome::Complete);
    EXPECT_GT(run.Result.Trees.size(), 1u);
    ExpectTreesMirrorReport(run);
  }
}

// A time-series tree has no rules in the report, but its records name the series and the
// time shift each vertex tests.
TEST_F(RunCall, TimeSeriesTreesAreKeptWithSeriesAndShifts) {
  const GoldenRun run = RunGolden("time_series_blocks", dir_ / "output.txt");
  ASSERT_EQ(run.Result.Outcome, RunOutcome::Complete);
  ASSERT_FALSE(run.Result.Trees.empty());
  const TKeptTree& tree = run.Result.Trees[0];
  EXPECT_TRUE(tree.TimeSeries);
  EXPECT_FALSE(tree.CrossValidated);
  ASSERT_GT(tree.LeavesNumber, 1);
  const TTreeNode& root = tree.Nodes[0];
  EXPECT_GE(root.SplitFeature, 1);
  EXPECT_LE(root.SplitFeature, static_cast<int32_t>(run.Result.FeatureNames.size()));
  EXPECT_GE(root.SplitShift, 1);
  int32_t leaves = 0;
  for (const TTreeNode& n : tree.Nodes) {
    EXPECT_EQ(n.RuleNumber, 0);
    if (n.Children.empty()) ++leaves;
  }
  EXPECT_EQ(leaves, tree.LeavesNumber);
}

// Every object with a known target is tested in exactly one fold, so the matrix counts
// each once, and its off-diagonal share is the cross-validation error.
TEST_F(RunCall, ConfusionMatrixSumsTheFoldsTestPasses) {
  const GoldenRun run = RunGolden("flowers_fractional_lookahead", dir_ / "output.txt");
  ASSERT_EQ(run.Result.Task, TaskKind::Classification);
  ASSERT_EQ(run.Result.ClassNames.size(), 3u);
  for (const TKeptTree& tree : run.Result.Trees) {
    ASSERT_EQ(tree.Confusion.size(), 3u);
    int32_t total = 0, wrong = 0;
    for (size_t t = 0; t < 3; ++t) {
      ASSERT_EQ(tree.Confusion[t].size(), 3u);
      for (size_t p = 0; p < 3; ++p) {
        total += tree.Confusion[t][p];
        if (t != p) wrong += tree.Confusion[t][p];
      }
    }
    EXPECT_EQ(total, 59);  // one of the 60 has no site, which the task also reads
    EXPECT_NEAR(tree.CrossValidationError, static_cast<double>(wrong) / total, 1e-12);
  }
  EXPECT_EQ(run.Result.FeatureNames.size(), 6u);
  EXPECT_EQ(run.Result.TargetFeature, 1);
  EXPECT_EQ(run.Result.ValueNames[0], run.Result.ClassNames);
  EXPECT_EQ(run.Result.Params.FeatureToPredict, 6);
}

}  // namespace
}  // namespace tarmel
