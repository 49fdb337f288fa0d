// Tuning by cross-validation. Every cell of the grid grows and cross-validates the first
// variant exactly as a run does, its report kept in memory, once per repeat. Repeat r of
// every cell draws the same folds, those the r-th of runs in a row would draw from the
// tune's generator, so the cells differ by their parameters alone and a cell's errors are
// those of plain runs. The runs are independent of each other and go on at once, one per
// core; a run grows the same trees on any number of threads.
#include "tune.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <thread>

#include "read_phase.h"
#include "run_context.h"
#include "run_driver.h"
#include "text_files.h"
#include "tune_progress.h"
#include "variant_loop.h"

namespace tarmel {
namespace {

// Lookahead deeper than this grows many times slower; it waits for the shallower cells.
constexpr double DeepComplexity = 2.0;

struct TRunNumbers {
  bool Ok = false;
  std::string Message;  // why not, unless the run was cancelled
  double Error = 0.0;   // the first variant's cross-validation error
  int32_t Leaves = 0;   // of the tree grown over all objects
  double Seconds = 0.0;
};

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TRunNumbers RunOnce(const std::string& text, RunParameters params, TRandom random,
                    int32_t threads, const CancelToken* cancel, RunObserver& observer) {
  const auto start = std::chrono::steady_clock::now();
  params.VariantsNumber = 1;
  RunResult result;
  TRunTracker tracker;
  tracker.Observer = &observer;
  auto rc = std::make_unique<RunContext>();
  rc->Tracker = &tracker;
  rc->Threads = threads;
  rc->Cancel = cancel;
  rc->Result = &result;
  TRunNumbers numbers;
  if (!ReadRunFromText(*rc, params, text, &random)) {
    numbers.Message = MessageOf(rc->Out.Written());
    return numbers;
  }
  RunVariants(*rc);
  if (CancelRequested(*rc) || result.Trees.empty()) return numbers;
  numbers.Ok = true;
  numbers.Error = result.Trees[0].CrossValidationError;
  numbers.Leaves = result.Trees[0].LeavesNumber;
  numbers.Seconds = SecondsSince(start);
  return numbers;
}

// Every run of the tune; run k is repeat k % repeats of cell k / repeats.
struct TTuneRuns {
  const TuneRequest& Request;
  const std::string& Text;
  const std::vector<TuneCell>& Cells;
  std::vector<TRandom> Draws;  // per repeat: the generator as the repeat starts
  std::vector<TRunNumbers> Numbers;
  TTuneTracker& Tracker;
  int32_t ThreadsPerRun = 1;
};

bool Cancelled(const TuneRequest& request) {
  return request.Cancel != nullptr && request.Cancel->Cancelled();
}

void RunListOnThread(TTuneRuns& runs, const std::vector<size_t>& list,
                     std::atomic<size_t>& next) {
  const size_t repeats = runs.Draws.size();
  for (size_t k = next++; k < list.size() && !Cancelled(runs.Request); k = next++) {
    const size_t run = list[k];
    TTuneRunObserver observer(runs.Tracker, run);
    const RunParameters params = ParamsOfCell(runs.Request.Params, runs.Cells[run / repeats]);
    runs.Numbers[run] = RunOnce(runs.Text, params, runs.Draws[run % repeats],
                                runs.ThreadsPerRun, runs.Request.Cancel, observer);
    runs.Tracker.Done(run);
  }
}

void RunList(TTuneRuns& runs, const std::vector<size_t>& list, int32_t threads) {
  const size_t workers = std::min(static_cast<size_t>(std::max(threads, 1)), list.size());
  if (workers == 0) return;
  runs.ThreadsPerRun = std::max(1, threads / static_cast<int32_t>(workers));
  std::atomic<size_t> next{0};
  std::vector<std::thread> helpers;
  for (size_t w = 1; w < workers; ++w) {
    helpers.emplace_back(RunListOnThread, std::ref(runs), std::cref(list), std::ref(next));
  }
  RunListOnThread(runs, list, next);
  for (std::thread& t : helpers) t.join();
}

// The runs of the cells deeper than DeepComplexity, or of the others.
std::vector<size_t> RunsOfCells(const TTuneRuns& runs, bool deep) {
  std::vector<size_t> list;
  for (size_t run = 0; run < runs.Numbers.size(); ++run) {
    const double rc = runs.Cells[run / runs.Draws.size()].RecursiveComplexity;
    if ((rc > DeepComplexity) == deep) list.push_back(run);
  }
  return list;
}

double LongestRun(const TTuneRuns& runs, const std::vector<size_t>& list) {
  double longest = 0.0;
  for (const size_t run : list) longest = std::max(longest, runs.Numbers[run].Seconds);
  return longest;
}

// The deep cells run when the others were quick enough; the note says when they did not.
void RunGrid(TTuneRuns& runs, int32_t threads, std::string& note) {
  const std::vector<size_t> shallow = RunsOfCells(runs, false);
  const std::vector<size_t> deep = RunsOfCells(runs, true);
  RunList(runs, shallow, threads);
  const double longest = LongestRun(runs, shallow);
  const double limit = runs.Request.DeepLimitSeconds;
  if (deep.empty() || limit <= 0.0 || longest <= limit) {
    RunList(runs, deep, threads);
    return;
  }
  char text[160];
  std::snprintf(text, sizeof text,
                "RecursiveComplexity above 2 was left out: a run at 2 or below took %.1f s, "
                "more than %.1f s",
                longest, limit);
  note = text;
  for (const size_t run : deep) runs.Tracker.Done(run);
}

// A cell's numbers from its runs: errors summed in repeat order.
void SumUpCell(TuneCell& cell, const TRunNumbers* numbers, size_t repeats) {
  double errors = 0.0, leaves = 0.0, seconds = 0.0;
  for (size_t r = 0; r < repeats; ++r) {
    cell.Errors.push_back(numbers[r].Error);
    errors += numbers[r].Error;
    leaves += numbers[r].Leaves;
    seconds += numbers[r].Seconds;
  }
  const auto n = static_cast<double>(repeats);
  cell.Mean = errors / n;
  cell.Leaves = leaves / n;
  cell.Seconds = seconds / n;
  double squares = 0.0;
  for (const double e : cell.Errors) squares += (e - cell.Mean) * (e - cell.Mean);
  cell.Deviation = repeats > 1 ? std::sqrt(squares / (n - 1.0)) : 0.0;
}

// Every cell's numbers, the cells left out dropped; false after a run's message.
bool SumUpRuns(const TTuneRuns& runs, TuneResult& result) {
  // A run that was left out has neither numbers nor a message.
  for (const TRunNumbers& numbers : runs.Numbers) {
    if (numbers.Message.empty()) continue;
    result.Message = runs.Request.DataFileName + ": " + numbers.Message;
    return false;
  }
  const size_t repeats = runs.Draws.size();
  for (size_t c = 0; c < result.Cells.size(); ++c) {
    const TRunNumbers* numbers = &runs.Numbers[c * repeats];
    if (numbers->Ok) SumUpCell(result.Cells[c], numbers, repeats);
  }
  std::erase_if(result.Cells, [](const TuneCell& cell) { return cell.Errors.empty(); });
  return true;
}

std::vector<TuneCell> GridOf(const TuneRequest& request) {
  std::vector<double> depths = request.RecursiveComplexities;
  std::vector<double> sizes = request.MinObjs;
  for (std::vector<double>* list : {&depths, &sizes}) {
    std::sort(list->begin(), list->end());
    list->erase(std::unique(list->begin(), list->end()), list->end());
  }
  std::vector<TuneCell> cells;
  for (const double depth : depths) {
    for (const double size : sizes) cells.push_back(TuneCell{depth, size, {}, 0, 0, 0, 0});
  }
  return cells;
}

bool AllWithin(const std::vector<double>& values, double low, double high) {
  return !values.empty() && std::all_of(values.begin(), values.end(), [&](double v) {
    return std::isfinite(v) && v >= low && v <= high;
  });
}

// Why the request cannot be tuned; empty when it can.
std::string Refusal(const TuneRequest& request) {
  const RunParameters& p = request.Params;
  if (!AllWithin(request.RecursiveComplexities, 0.0, MaxTuneComplexity)) {
    return "the RecursiveComplexity values must be from 0 to 10";
  }
  if (!AllWithin(request.MinObjs, 0.0, 1.0)) return "the MinObj values must be from 0 to 1";
  if (request.Repeats < 1 || request.Repeats > MaxTuneRepeats) {
    return "the repeats must be from 1 to 100";
  }
  if (p.Ordering != 0) return "a time series is not cross-validated, so it cannot be tuned";
  if (p.FoldsCrossValidate < 2) return "tuning needs FoldsCrossValidate of 2 or more";
  if (p.ErrorWeight <= 0.0) return "with ErrorWeight 0 there is no error to compare";
  return {};
}

std::vector<TRandom> DrawsOfRepeats(uint32_t seed, int32_t objects, int32_t repeats) {
  std::vector<TRandom> draws;
  TRandom random{seed};
  for (int32_t r = 0; r < repeats; ++r) {
    draws.push_back(random);
    for (int32_t i = 0; i < objects; ++i) random.Next(1);
  }
  return draws;
}

// The data's text, read and checked once before any cell runs; false after a message.
bool ReadData(const TuneRequest& request, std::string& text, TuneResult& result,
              int32_t& objects, int32_t& threads) {
  std::string reason;
  if (request.DataText) {
    text = *request.DataText;
  } else if (!ReadWholeFile(request.DataFileName, text, reason)) {
    result.Message = "Cannot read the data file \"" + request.DataFileName + "\": " + reason;
    return false;
  }
  auto rc = std::make_unique<RunContext>();
  RunParameters params = ParamsOfCell(request.Params, result.Cells.front());
  if (!ReadRunFromText(*rc, params, text)) {
    result.Message = request.DataFileName + ": " + MessageOf(rc->Out.Written());
    return false;
  }
  result.Task = TaskOf(*rc);
  objects = rc->ObjectsNumber;
  rc->Threads = request.Threads;
  threads = ThreadsOf(*rc);
  return true;
}

// Runs the grid and fills the result; its outcome says how far it got.
void TuneGrid(const TuneRequest& request, TTuneTracker& tracker, TuneResult& result) {
  result.Outcome = RunOutcome::DataError;
  result.Message = Refusal(request);
  if (!result.Message.empty()) return;
  std::string text;
  int32_t objects = 0, threads = 1;
  if (!ReadData(request, text, result, objects, threads)) return;
  const auto repeats = static_cast<size_t>(request.Repeats);
  TTuneRuns runs{request,
                 text,
                 result.Cells,
                 DrawsOfRepeats(request.Seed, objects, request.Repeats),
                 std::vector<TRunNumbers>(result.Cells.size() * repeats),
                 tracker};
  RunGrid(runs, threads, result.Note);
  if (Cancelled(request)) {
    result.Outcome = RunOutcome::Cancelled;
    result.Message = "The tune was cancelled";
  } else if (SumUpRuns(runs, result)) {
    result.Outcome = RunOutcome::Complete;
    result.Message.clear();
  }
}

bool Simpler(const TuneCell& a, const TuneCell& b) {
  if (a.RecursiveComplexity != b.RecursiveComplexity) {
    return a.RecursiveComplexity < b.RecursiveComplexity;
  }
  return a.MinObj > b.MinObj;
}

}  // namespace

TuneChoice ChooseCell(const std::vector<TuneCell>& cells) {
  TuneChoice choice;
  for (size_t c = 0; c < cells.size(); ++c) {
    if (cells[c].Errors.empty()) continue;
    if (choice.Best < 0 || cells[c].Mean < cells[static_cast<size_t>(choice.Best)].Mean) {
      choice.Best = static_cast<int32_t>(c);
    }
  }
  if (choice.Best < 0) return choice;
  const TuneCell& best = cells[static_cast<size_t>(choice.Best)];
  const double limit =
      best.Mean + best.Deviation / std::sqrt(static_cast<double>(best.Errors.size()));
  for (size_t c = 0; c < cells.size(); ++c) {
    if (cells[c].Errors.empty() || cells[c].Mean > limit) continue;
    if (choice.Proposed < 0 || Simpler(cells[c], cells[static_cast<size_t>(choice.Proposed)])) {
      choice.Proposed = static_cast<int32_t>(c);
    }
  }
  return choice;
}

RunParameters ParamsOfCell(const RunParameters& params, const TuneCell& cell) {
  RunParameters p = params;
  p.RecursiveComplexity = cell.RecursiveComplexity;
  p.MinObj = cell.MinObj;
  return p;
}

TuneResult Tune(const TuneRequest& request) {
  TuneResult result;
  result.Params = request.Params;
  result.Cells = GridOf(request);
  const int32_t repeats = std::clamp(request.Repeats, 0, MaxTuneRepeats);
  TTuneTracker tracker(request.Observer, static_cast<int32_t>(result.Cells.size()) * repeats);
  TuneGrid(request, tracker, result);
  if (result.Outcome != RunOutcome::Complete) result.Cells.clear();
  const TuneChoice choice = ChooseCell(result.Cells);
  result.Best = choice.Best;
  result.Proposed = choice.Proposed;
  if (choice.Proposed >= 0) {
    const TuneCell& proposed = result.Cells[static_cast<size_t>(choice.Proposed)];
    result.Params = ParamsOfCell(request.Params, proposed);
  }
  tracker.Finish();
  return result;
}

}  // namespace tarmel
