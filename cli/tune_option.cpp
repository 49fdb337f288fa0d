// Tuning from the batch runner. The table goes to stdout, one cell a row, so it can be read
// by other programs; the parameter line closes it, so `tail -n 1` is a param.par.
#include "tune_option.h"

#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <string_view>

#include "param_file.h"
#include "text_files.h"

namespace tarmel::cli {
namespace {

// Numbers separated by commas, each from low to high; false on anything else.
bool ParseList(std::string_view text, double low, double high, std::vector<double>& values) {
  values.clear();
  while (true) {
    const size_t comma = std::min(text.find(','), text.size());
    double value = 0;
    const char* end = text.data() + comma;
    const auto res = std::from_chars(text.data(), end, value);
    if (res.ec != std::errc() || res.ptr != end || !(value >= low && value <= high)) return false;
    values.push_back(value);
    if (comma == text.size()) return true;
    text.remove_prefix(comma + 1);
  }
}

template <typename Integer>
bool ParseInteger(std::string_view text, Integer low, Integer high, Integer& value) {
  const char* end = text.data() + text.size();
  const auto res = std::from_chars(text.data(), end, value);
  return res.ec == std::errc() && res.ptr == end && value >= low && value <= high;
}

// The value of a tuning option into its place; the error names what it takes.
bool TakeValue(const std::string& arg, const char* value, TuneOptions& options,
               std::string& error) {
  TuneRequest& grid = options.Grid;
  if (arg == "--tune-rc") {
    // A grid the user chose runs whole, however deep.
    grid.DeepLimitSeconds = 0;
    if (ParseList(value, 0, MaxTuneComplexity, grid.RecursiveComplexities)) return true;
    error = "--tune-rc needs numbers from 0 to 10 separated by commas, as 1,1.5,2";
  } else if (arg == "--tune-minobj") {
    if (ParseList(value, 0, 1, grid.MinObjs)) return true;
    error = "--tune-minobj needs numbers from 0 to 1 separated by commas, as 0.02,0.05";
  } else if (arg == "--tune-repeats") {
    if (ParseInteger(value, 1, MaxTuneRepeats, grid.Repeats)) return true;
    error = "--tune-repeats needs a number from 1 to 100";
  } else if (arg == "--tune-seed") {
    if (ParseInteger(value, 0u, 4294967295u, grid.Seed)) return true;
    error = "--tune-seed needs a number from 0 to 4294967295";
  } else {
    options.ApplyFile = value;
    if (!options.ApplyFile.empty()) return true;
    error = "--tune-apply needs a file name";
  }
  return false;
}

// Shows how far the tune got on one terminal line.
class TerminalTuneProgress : public TuneObserver {
 public:
  void OnProgress(const TuneProgress& p) override {
    if (p.Finished) {
      std::fprintf(stderr, "\r%60s\r", "");
    } else {
      std::fprintf(stderr, "\rtune: run %d of %d  %3d%%   ", p.RunsDone, p.Runs,
                   static_cast<int>(p.Fraction * 100));
    }
    std::fflush(stderr);
  }
};

void PrintTable(const TuneResult& result) {
  const char* error = result.Task == TaskKind::Regression ? "relative_error" : "error";
  std::printf("RecursiveComplexity\tMinObj\tmean_%s\tdeviation\tleaves\tseconds\tchoice\n", error);
  for (size_t c = 0; c < result.Cells.size(); ++c) {
    const TuneCell& cell = result.Cells[c];
    const auto at = static_cast<int32_t>(c);
    const char* choice = at == result.Best && at == result.Proposed ? "best,proposed"
                         : at == result.Best                        ? "best"
                         : at == result.Proposed                    ? "proposed"
                                                                    : "";
    std::printf("%.3f\t%.3f\t%.4f\t%.4f\t%.1f\t%.2f\t%s\n", cell.RecursiveComplexity, cell.MinObj,
                cell.Mean, cell.Deviation, cell.Leaves, cell.Seconds, choice);
  }
  std::printf("%s\n", FormatParameterLine(result.Params).c_str());
}

// The chosen line as a parameter file, never over the data it was chosen on.
int Apply(const std::string& path, const RunRequest& run, const RunParameters& params) {
  if (SameFile(path, run.DataFileName)) {
    std::fprintf(stderr, "tarmel-run: --tune-apply %s is the data file; nothing was written\n",
                 path.c_str());
    return 2;
  }
  std::string reason;
  if (WriteFileSafely(path, FormatParameterLine(params), reason)) return 0;
  std::fprintf(stderr, "tarmel-run: cannot write the parameter file %s: %s\n", path.c_str(),
               reason.c_str());
  return 2;
}

}  // namespace

int TakeTuneOption(int argc, char** argv, int& i, TuneOptions& options, std::string& error) {
  const std::string arg = argv[i];
  if (arg == "--tune") {
    options.On = true;
    return 1;
  }
  if (arg != "--tune-rc" && arg != "--tune-minobj" && arg != "--tune-repeats" &&
      arg != "--tune-seed" && arg != "--tune-apply") {
    return 0;
  }
  options.On = true;
  if (i + 1 >= argc) {
    error = arg + " needs a value";
    return -1;
  }
  return TakeValue(arg, argv[++i], options, error) ? 1 : -1;
}

int TuneForRun(const TuneOptions& options, const RunRequest& run) {
  TuneRequest request = options.Grid;
  request.Params = run.Params;
  request.DataFileName = run.DataFileName;
  request.DataText = run.DataText;
  request.Threads = run.Threads;
  request.Cancel = run.Cancel;
  TerminalTuneProgress progress;
  request.Observer = isatty(STDERR_FILENO) ? &progress : nullptr;
  const TuneResult result = Tune(request);
  if (!result.Note.empty()) std::fprintf(stderr, "tarmel-run: %s\n", result.Note.c_str());
  if (result.Outcome != RunOutcome::Complete) {
    std::fprintf(stderr, "tarmel-run: %s\n", result.Message.c_str());
    return result.Outcome == RunOutcome::DataError ? 1 : 2;
  }
  PrintTable(result);
  return options.ApplyFile.empty() ? 0 : Apply(options.ApplyFile, run, result.Params);
}

}  // namespace tarmel::cli
