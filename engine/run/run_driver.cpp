// The run driver: one run from the request to the finished report and the result. It
// refuses a report that is the data file, starts the report, reads the data (the read
// phase), runs the variant loop and the voting section, and puts the report in place, or
// leaves the old one when the run was given up. Every fault in the data is a message in
// the report; the context owns all storage, so nothing leaks on any path.
#include <memory>
#include <string>

#include "prediction.h"
#include "read_phase.h"
#include "read_warnings.h"
#include "run_driver.h"
#include "run_request.h"
#include "run_result.h"
#include "variant_loop.h"

namespace tarmel {

std::string MessageOf(const std::string& report) {
  std::string line;
  for (const char c : report) line += (c == '\r' || c == '\n') ? ' ' : c;
  const size_t first = line.find_first_not_of(' ');
  const size_t last = line.find_last_not_of(' ');
  return first == std::string::npos ? std::string() : line.substr(first, last - first + 1);
}

namespace {

bool OpenData(RunContext& rc, const RunRequest& request, RunResult& result) {
  std::string reason;
  if (request.DataText) {
    rc.In.OpenText(*request.DataText);
    return true;
  }
  if (rc.In.Open(request.DataFileName, reason)) return true;
  rc.Out.Text("No input file found.");
  rc.Out.LineEnd();
  rc.Out.Text("Please, see TRELM.TXT file for more information.");
  rc.Out.LineEnd();
  result.Message = "Cannot read the data file \"" + request.DataFileName + "\": " + reason;
  NoteUnreadableData(rc, request.DataFileName, reason);
  return false;
}

// The read phase, the variant loop and the voting section; the outcome written so far.
RunOutcome ReadGrowAndVote(RunContext& rc, const RunRequest& request, RunResult& result) {
  ShowPhase(rc, RunPhase::Reading);
  if (!OpenData(rc, request, result)) return RunOutcome::DataError;
  if (!ReadRun(rc)) {
    result.Message = request.DataFileName + ": " + MessageOf(rc.Out.Written());
    return RunOutcome::DataError;
  }
  NoteTimeSeriesUnused(rc);
  KeepNames(rc);
  RunVariants(rc);
  if (CancelRequested(rc)) return RunOutcome::Cancelled;
  // Time-series trees predict nothing, so they have no votes to combine.
  const bool predicted = rc.PredictObjectsNumber > 0 && rc.Params->Ordering == 0;
  if (predicted && rc.TreesNumber > 1) {
    ShowPhase(rc, RunPhase::Voting);
    WriteVotingSection(rc);
  }
  return RunOutcome::Complete;
}

// Puts the report in place, or leaves the old one when the run was given up.
void FinishReport(RunContext& rc, const RunRequest& request, RunResult& result) {
  const std::string& report = request.ReportFileName;
  if (result.Outcome != RunOutcome::Cancelled && CancelRequested(rc)) {
    result.Outcome = RunOutcome::Cancelled;
  }
  if (result.Outcome == RunOutcome::Cancelled) {
    rc.Out.Discard();
    result.Message = "The run was cancelled; the report \"" + report + "\" was left as it was";
    return;
  }
  std::string reason;
  if (!rc.Out.Commit(reason)) {
    result.Outcome = RunOutcome::ReportNotWritten;
    result.Message = "Cannot write the report \"" + report + "\": " + reason;
  }
}

}  // namespace

RunResult Run(const RunRequest& request) {
  RunResult result;
  result.Params = request.Params;
  const std::string& report = request.ReportFileName;
  if (!request.DataText && SameFile(request.DataFileName, report)) {
    result.Outcome = RunOutcome::ReportNotCreated;
    result.Message = "The report \"" + report + "\" is the data file \"" +
                     request.DataFileName + "\": the run would overwrite the data";
    return result;
  }
  TRunTracker tracker;
  tracker.Observer = request.Observer;
  auto rc = std::make_unique<RunContext>();
  rc->Params = &result.Params;
  rc->InputFileName = request.DataFileName;
  rc->Tracker = &tracker;
  rc->Random = request.Random != nullptr ? request.Random : &SharedRandom();
  rc->Threads = request.Threads;
  rc->Cancel = request.Cancel;
  rc->Result = &result;
  std::string reason;
  if (!rc->Out.Create(report, reason)) {
    result.Outcome = RunOutcome::ReportNotCreated;
    result.Message = "Cannot create the report \"" + report + "\": " + reason;
    return result;
  }
  result.Outcome = ReadGrowAndVote(*rc, request, result);
  // Also a refused file: a warning may tell why its message came where it did.
  result.Warnings = rc->Warnings.Warnings;
  FinishReport(*rc, request, result);
  ShowPhase(*rc, RunPhase::Finished);
  return result;
}

}  // namespace tarmel
