// Tuning: a cell's errors are those of plain runs with the same fold draws, the program's
// generator is left alone, the simplest cell within one standard error is proposed, bad
// requests are refused with a message, and a tune reports progress and stops on request.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <future>
#include <mutex>
#include <string>
#include <vector>

#include "generated_tables.h"
#include "run_request.h"
#include "temp_folder.h"
#include "tune.h"

namespace tarmel {
namespace {

class TuneCall : public testing::TempFolderTest {
 protected:
  TuneCall() : TempFolderTest("tarmel-tune-") {}
  static TuneRequest Request(const std::string& text) {
    TuneRequest request;
    request.DataFileName = "table.txt";
    request.DataText = text;
    request.RecursiveComplexities = {1, 2};
    request.MinObjs = {0.1, 0.05};
    request.Threads = 2;
    return request;
  }
};

// Plain runs one after another, each continuing one generator seeded as the tune's.
TEST_F(TuneCall, CellsHoldTheErrorsOfPlainRunsWithTheSameFoldDraws) {
  const std::string text = testing::GeneratedTable({120, 6, true, 0, 0});
  TuneRequest request = Request(text);
  request.Params.VariantsNumber = 3;  // kept in the proposed line, not used by the tune
  request.Params.FeatureToPredict = 6;
  const TuneResult tuned = Tune(request);
  ASSERT_EQ(tuned.Outcome, RunOutcome::Complete) << tuned.Message;
  ASSERT_EQ(tuned.Cells.size(), 4u);
  EXPECT_EQ(tuned.Task, TaskKind::Classification);
  for (const TuneCell& cell : tuned.Cells) {
    RunRequest plain;
    plain.DataFileName = request.DataFileName;
    plain.DataText = text;
    plain.ReportFileName = (dir_ / "output.txt").string();
    plain.Params = ParamsOfCell(request.Params, cell);
    plain.Params.VariantsNumber = 1;
    TRandom random{request.Seed};
    plain.Random = &random;
    double sum = 0.0;
    ASSERT_EQ(cell.Errors.size(), 3u);
    for (size_t r = 0; r < 3; ++r) {
      const RunResult run = tarmel::Run(plain);
      ASSERT_EQ(run.Outcome, RunOutcome::Complete);
      EXPECT_EQ(cell.Errors[r], run.Trees[0].CrossValidationError) << cell.RecursiveComplexity;
      EXPECT_EQ(cell.Leaves, run.Trees[0].LeavesNumber);
      sum += run.Trees[0].CrossValidationError;
    }
    EXPECT_EQ(cell.Mean, sum / 3.0);  // bit for bit
  }
  // The draws differ between repeats, so the errors of some cell do too.
  bool anySpread = false;
  for (const TuneCell& cell : tuned.Cells) anySpread = anySpread || cell.Deviation > 0.0;
  EXPECT_TRUE(anySpread);
  EXPECT_EQ(tuned.Params.VariantsNumber, 3);
  EXPECT_EQ(tuned.Params.FeatureToPredict, 6);
  const TuneCell& proposed = tuned.Cells[static_cast<size_t>(tuned.Proposed)];
  EXPECT_EQ(tuned.Params.RecursiveComplexity, proposed.RecursiveComplexity);
  EXPECT_EQ(tuned.Params.MinObj, proposed.MinObj);
}

TEST_F(TuneCall, TheProgramsGeneratorAndSoTheNextRunsFoldsAreUntouched) {
  SharedRandom().Seed = 12345u;
  const TuneResult tuned = Tune(Request(testing::GeneratedTable({60, 4, false, 0, 0})));
  ASSERT_EQ(tuned.Outcome, RunOutcome::Complete) << tuned.Message;
  EXPECT_EQ(SharedRandom().Seed, 12345u);
  // And the same tune again gives the same numbers: its generator starts afresh.
  const TuneResult again = Tune(Request(testing::GeneratedTable({60, 4, false, 0, 0})));
  ASSERT_EQ(again.Cells.size(), tuned.Cells.size());
  for (size_t c = 0; c < tuned.Cells.size(); ++c) {
    EXPECT_EQ(again.Cells[c].Errors, tuned.Cells[c].Errors);
  }
}

TuneCell Cell(double rc, double minObj, std::vector<double> errors) {
  TuneCell cell{rc, minObj, errors, 0, 0, 0, 0};
  double sum = 0;
  for (const double e : errors) sum += e;
  cell.Mean = sum / static_cast<double>(errors.size());
  double squares = 0;
  for (const double e : errors) squares += (e - cell.Mean) * (e - cell.Mean);
  cell.Deviation = errors.size() > 1 ? std::sqrt(squares / (errors.size() - 1.0)) : 0.0;
  return cell;
}

TEST(TuneChoice, BestIsTheLowestMeanAndTheSimplestCellWithinOneStandardErrorIsProposed) {
  struct Case {
    const char* Name;
    std::vector<TuneCell> Cells;
    int32_t Best, Proposed;
  };
  const std::vector<Case> cases = {
      {"nothing ran", {Cell(1, 0.05, {})}, -1, -1},
      // Best 2/0.02 at 0.20, standard error 0.1 / sqrt(3): 1/0.05 at 0.25 is within.
      {"shallower within",
       {Cell(1, 0.05, {0.25, 0.25, 0.25}), Cell(2, 0.02, {0.1, 0.2, 0.3})}, 1, 0},
      {"shallower beyond",
       {Cell(1, 0.05, {0.3, 0.3, 0.3}), Cell(2, 0.02, {0.1, 0.2, 0.3})}, 1, 1},
      // Same depth: the larger node size is simpler.
      {"larger node",
       {Cell(1, 0.02, {0.2, 0.2}), Cell(1, 0.1, {0.2, 0.2}), Cell(1, 0.05, {0.2, 0.2})}, 0, 1},
      // Depth before node size: 1/0.01 beats 1.5/0.1 though its node is smaller.
      {"depth first",
       {Cell(1, 0.01, {0.2}), Cell(1.5, 0.1, {0.2}), Cell(2, 0.1, {0.2, 0.3})}, 0, 0},
      {"first of equal bests", {Cell(2, 0.05, {0.2}), Cell(1, 0.05, {0.2})}, 0, 1},
  };
  for (const Case& c : cases) {
    const TuneChoice choice = ChooseCell(c.Cells);
    EXPECT_EQ(choice.Best, c.Best) << c.Name;
    EXPECT_EQ(choice.Proposed, c.Proposed) << c.Name;
  }
}

TEST_F(TuneCall, RequestsThatCannotBeTunedAreRefusedWithAMessage) {
  const std::string good = testing::GeneratedTable({30, 3, false, 0, 0});
  struct Case {
    const char* Expected;
    void (*Change)(TuneRequest&);
  };
  const std::vector<Case> cases = {
      {"RecursiveComplexity values", [](TuneRequest& r) { r.RecursiveComplexities = {}; }},
      {"RecursiveComplexity values", [](TuneRequest& r) { r.RecursiveComplexities = {1, 11}; }},
      {"MinObj values", [](TuneRequest& r) { r.MinObjs = {-0.1}; }},
      {"MinObj values", [](TuneRequest& r) { r.MinObjs = {std::nan("")}; }},
      {"repeats", [](TuneRequest& r) { r.Repeats = 0; }},
      {"repeats", [](TuneRequest& r) { r.Repeats = 101; }},
      {"time series", [](TuneRequest& r) { r.Params.Ordering = 1; }},
      {"FoldsCrossValidate", [](TuneRequest& r) { r.Params.FoldsCrossValidate = 1; }},
      {"ErrorWeight 0", [](TuneRequest& r) { r.Params.ErrorWeight = 0; }},
      {"table.txt: Error in input file", [](TuneRequest& r) { r.DataText = "3 2 ?\r\n1 1\r\n"; }},
      {"Cannot read the data file \"/nowhere/x.txt\"", [](TuneRequest& r) {
         r.DataText.reset();
         r.DataFileName = "/nowhere/x.txt";
       }},
  };
  for (const Case& c : cases) {
    TuneRequest request = Request(good);
    c.Change(request);
    const TuneResult result = Tune(request);
    EXPECT_EQ(result.Outcome, RunOutcome::DataError) << c.Expected;
    EXPECT_NE(result.Message.find(c.Expected), std::string::npos) << result.Message;
    EXPECT_TRUE(result.Cells.empty());
    EXPECT_EQ(result.Proposed, -1);
  }
}

TEST_F(TuneCall, DeepCellsAreLeftOutAfterASlowRunAndTheNoteSaysSo) {
  TuneRequest request = Request(testing::GeneratedTable({40, 4, false, 0, 0}));
  request.RecursiveComplexities = {1, 3, 4};
  request.MinObjs = {0.1};
  request.Repeats = 1;
  request.DeepLimitSeconds = 1e-9;
  TuneResult result = Tune(request);
  ASSERT_EQ(result.Outcome, RunOutcome::Complete);
  ASSERT_EQ(result.Cells.size(), 1u);
  EXPECT_EQ(result.Cells[0].RecursiveComplexity, 1.0);
  EXPECT_NE(result.Note.find("above 2 was left out"), std::string::npos) << result.Note;
  request.DeepLimitSeconds = 0;
  result = Tune(request);
  EXPECT_EQ(result.Cells.size(), 3u);
  EXPECT_TRUE(result.Note.empty());
}

class Recorder : public TuneObserver {
 public:
  void OnProgress(const TuneProgress& progress) override {
    std::lock_guard<std::mutex> hold(Lock);
    Seen.push_back(progress);
  }
  std::mutex Lock;
  std::vector<TuneProgress> Seen;
};

TEST_F(TuneCall, ProgressRisesToOneAndACancelledTuneStopsWithinASecond) {
  Recorder recorder;
  TuneRequest request = Request(testing::GeneratedTable({80, 5, false, 0, 0}));
  request.Observer = &recorder;
  ASSERT_EQ(Tune(request).Outcome, RunOutcome::Complete);
  ASSERT_FALSE(recorder.Seen.empty());
  for (size_t k = 1; k < recorder.Seen.size(); ++k) {
    EXPECT_GE(recorder.Seen[k].Fraction, recorder.Seen[k - 1].Fraction);
  }
  const TuneProgress& last = recorder.Seen.back();
  EXPECT_TRUE(last.Finished);
  EXPECT_EQ(last.Fraction, 1.0);
  EXPECT_EQ(last.RunsDone, 12);
  EXPECT_EQ(last.Runs, 12);

  // A tune at lookahead depth 3 over the largest table takes hours.
  CancelToken cancel;
  request = Request(testing::GeneratedTable({1000, 49, false, 0, 0}));
  request.Params.FeatureToPredict = 49;
  request.RecursiveComplexities = {3};
  request.Cancel = &cancel;
  auto running = std::async(std::launch::async, [request] { return Tune(request); });
  EXPECT_EQ(running.wait_for(std::chrono::milliseconds(300)), std::future_status::timeout);
  cancel.Cancel();
  ASSERT_EQ(running.wait_for(std::chrono::seconds(1)), std::future_status::ready);
  const TuneResult result = running.get();
  EXPECT_EQ(result.Outcome, RunOutcome::Cancelled);
  EXPECT_TRUE(result.Cells.empty());
}

}  // namespace
}  // namespace tarmel
