// tarmel-run: the batch runner. Runs one data file with the parameters of a parameter file
// (or the defaults when there is none) and writes the report, without a window.
// Exit codes: 0 complete report, 1 the report ends with a message about the data or the
// parameters, 2 usage error, unreadable parameter file, a report that cannot be created
// or written, or a run given up on an interrupt (Ctrl-C) or a termination request.
#include <unistd.h>

#include <charconv>
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "param_file.h"
#include "read_messages.h"
#include "run_request.h"
#include "table_option.h"
#include "text_files.h"
#include "tree_outputs.h"
#include "tune_option.h"

namespace {

constexpr const char* Usage =
    "Usage: tarmel-run [--params FILE] [--output FILE] [--threads N]\n"
    "                  [--tree FILE [--tree-variant N]] [--summary FILE] DATAFILE\n"
    "       tarmel-run [same options] --import TABLE\n"
    "                  [--target COLUMN] [--write-data FILE]\n"
    "                  [--predict-column COLUMN] [--predict-value TEXT]\n"
    "Grows decision trees over DATAFILE, or over a CSV or TSV TABLE imported into a data\n"
    "file, and writes the report.\n"
    "  --params FILE  the nine run parameters (default: param.par in the working folder;\n"
    "                 when it does not exist: 1.000 1.000 0.050 0.050   1   1  10 0   1)\n"
    "  --output FILE  the report (default: output.txt in the working folder)\n"
    "  --threads N    threads growing the cross-validation folds (default 0: one per core)\n"
    "  --tree FILE    the drawn tree, as FILE.svg, FILE.png or FILE.dot (the graph before\n"
    "                 layout); of the first kept tree, or of variant N with --tree-variant\n"
    "  --summary FILE the results table as tab-separated text: one row per kept tree, and\n"
    "                 each tree's confusion matrix in classification\n"
    "                 (both are written after a complete run and never change the report)\n"
    "  --import TABLE     a CSV or TSV table; what the import changed is told on stderr\n"
    "  --target COLUMN    the column to predict, by name or number (default: the last)\n"
    "  --write-data FILE  keep the imported data file\n"
    "  --predict-column COLUMN, --predict-value TEXT\n"
    "                     rows whose cell in COLUMN (default: the target) is TEXT\n"
    "                     (default: empty) are predicted; a COLUMN other than the\n"
    "                     target is left out of the data file\n"
    "  --help         this text\n"
    "Exit status: 0 complete report, 1 the report ends with an error message,\n"
    "2 usage error, unreadable parameter file, report that cannot be created or written,\n"
    "or a tree or summary file that cannot be written.\n"
    "Warnings about the data (the report is not changed by them) go to stderr, and so\n"
    "does a report's message about the data, with what to change.\n"
    "Every run draws its cross-validation folds as the window's first run after start-up\n"
    "does, so the same command repeats its numbers.\n"
    "The data file format is described in TRELM.TXT.\n";

// Shows where the run stands on one terminal line.
class TerminalProgress : public tarmel::RunObserver {
 public:
  void OnProgress(const tarmel::RunProgress& p) override {
    if (p.Phase == tarmel::RunPhase::Finished) {
      std::fprintf(stderr, "\r%60s\r", "");
    } else if (p.Variant > 0) {
      std::fprintf(stderr, "\rvariant %d of %d  fold %d of %d  leaves %d  %3d%%   ", p.Variant,
                   p.Variants, p.FoldsDone, p.Folds, p.LeavesGrown,
                   static_cast<int>(p.Fraction * 100));
    }
    std::fflush(stderr);
  }
};

struct Options {
  std::string ParamFile = "param.par";
  bool ParamFileGiven = false;
  std::string ReportFile = "output.txt";
  std::string DataFile;
  int32_t Threads = 0;
  tarmel::TreeOutputOptions Outputs;
  tarmel::cli::ImportRequest Import;
  tarmel::cli::TuneOptions Tune;
};

int UsageError(const char* message) {
  std::fprintf(stderr, "tarmel-run: %s\n%s", message, Usage);
  return 2;
}

bool ParseThreads(const std::string& text, int32_t& threads) {
  const char* end = text.data() + text.size();
  const auto res = std::from_chars(text.data(), end, threads);
  return res.ec == std::errc() && res.ptr == end && threads >= 0 && threads <= 256;
}

// Returns -1 when the options are complete, otherwise the exit code.
int ParseOptions(int argc, char** argv, Options& opt) {
  bool haveData = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(Usage, stdout);
      std::fputs(tarmel::cli::TuneUsage, stdout);
      return 0;
    }
    std::string error;
    if (const int taken = tarmel::TakeTreeOption(argc, argv, i, opt.Outputs, error); taken != 0) {
      if (taken < 0) return UsageError(error.c_str());
    } else if (const int imported = tarmel::cli::TakeImportOption(argc, argv, i, opt.Import, error);
               imported != 0) {
      if (imported < 0) return UsageError(error.c_str());
    } else if (const int tuned = tarmel::cli::TakeTuneOption(argc, argv, i, opt.Tune, error);
               tuned != 0) {
      if (tuned < 0) return UsageError(error.c_str());
    } else if (arg == "--threads") {
      if (i + 1 >= argc || !ParseThreads(argv[++i], opt.Threads)) {
        return UsageError("--threads needs a number from 0 to 256");
      }
    } else if (arg == "--params" || arg == "--output") {
      if (i + 1 >= argc) return UsageError((arg + " needs a file name").c_str());
      (arg == "--params" ? opt.ParamFile : opt.ReportFile) = argv[++i];
      opt.ParamFileGiven = opt.ParamFileGiven || arg == "--params";
    } else if (arg.size() > 1 && arg[0] == '-' && arg != "-") {
      return UsageError(("unknown option " + arg).c_str());
    } else if (haveData) {
      return UsageError("only one data file can be given");
    } else {
      opt.DataFile = arg;
      haveData = true;
    }
  }
  if (!opt.Import.TableFile.empty() && haveData) {
    return UsageError("a data file and --import cannot both be given");
  }
  if (!haveData && opt.Import.TableFile.empty()) return UsageError("no data file given");
  const std::string conflict = tarmel::CheckTreeOptions(opt.Outputs);
  return conflict.empty() ? -1 : UsageError(conflict.c_str());
}

// An interrupt or a termination request gives the run up the way the window's Stop does:
// the old report stays as it was and nothing half-written is left beside it. A second one
// ends the program at once.
tarmel::CancelToken Interrupt;

extern "C" void OnInterrupt(int) { Interrupt.Cancel(); }

void CatchInterrupts() {
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  action.sa_flags = SA_RESETHAND;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

struct NamedFile {
  const char* Role;
  std::string Path;
};

// Every file the run writes, and every file it reads, each with what it is to the user.
std::vector<NamedFile> OutputsOf(const Options& opt) {
  std::vector<NamedFile> outputs{{"the report", opt.ReportFile},
                                 {"the drawn tree", opt.Outputs.TreeFile},
                                 {"the summary", opt.Outputs.SummaryFile},
                                 {"the kept data file", opt.Import.WriteData}};
  std::erase_if(outputs, [](const NamedFile& f) { return f.Path.empty(); });
  return outputs;
}

std::vector<NamedFile> InputsOf(const Options& opt) {
  std::vector<NamedFile> inputs{{"the data file", opt.DataFile},
                                {"the table", opt.Import.TableFile},
                                {"the parameter file", opt.ParamFile}};
  std::erase_if(inputs, [](const NamedFile& f) { return f.Path.empty(); });
  return inputs;
}

// An output that is one of the inputs, or another output, would destroy what the run reads
// or what it wrote a moment before: refused before anything is written.
bool OutputsClash(const Options& opt) {
  const std::vector<NamedFile> outputs = OutputsOf(opt);
  std::vector<NamedFile> others = InputsOf(opt);
  for (const NamedFile& out : outputs) {
    for (const NamedFile& other : others) {
      if (!tarmel::SameFile(out.Path, other.Path)) continue;
      std::fprintf(stderr, "tarmel-run: %s %s and %s %s are the same file; nothing was written\n",
                   out.Role, out.Path.c_str(), other.Role, other.Path.c_str());
      return true;
    }
    others.push_back(out);
  }
  return false;
}

// A parameter file named on the command line must exist; the default one may be absent.
bool LoadParameters(const Options& opt, tarmel::RunParameters& params) {
  const tarmel::ParamFileResult r = tarmel::ReadParameterFile(opt.ParamFile, params);
  if (r.Status == tarmel::ParamFileStatus::Ok) return true;
  if (r.Status == tarmel::ParamFileStatus::NotFound && !opt.ParamFileGiven) return true;
  std::fprintf(stderr, "tarmel-run: %s\n", r.Message.c_str());
  return false;
}

}  // namespace

int ExitCode(tarmel::RunOutcome outcome) {
  switch (outcome) {
    case tarmel::RunOutcome::Complete:
      return 0;
    case tarmel::RunOutcome::DataError:
      return 1;
    case tarmel::RunOutcome::Cancelled:
    case tarmel::RunOutcome::ReportNotCreated:
    case tarmel::RunOutcome::ReportNotWritten:
      break;
  }
  return 2;
}

// Given up before the run began: the same words and status as a run given up.
int GivenUpBeforeTheRun(const Options& opt) {
  std::fprintf(stderr, "tarmel-run: The run was cancelled; the report \"%s\" was left as it was\n",
               opt.ReportFile.c_str());
  return 2;
}

int main(int argc, char** argv) {
  CatchInterrupts();
  Options opt;
  if (const int code = ParseOptions(argc, argv, opt); code >= 0) return code;
  if (OutputsClash(opt)) return 2;
  tarmel::RunRequest request;
  if (!LoadParameters(opt, request.Params)) return 2;
  TerminalProgress progress;
  request.DataFileName = opt.DataFile;
  if (!opt.Import.TableFile.empty()) {
    std::string text;
    const int code = tarmel::cli::ImportForRun(opt.Import, text, request.Params.FeatureToPredict);
    if (code >= 0) return code;
    if (Interrupt.Cancelled()) return GivenUpBeforeTheRun(opt);
    request.DataText = std::move(text);
    // The report names the data file kept, or else the table it came from.
    request.DataFileName =
        opt.Import.WriteData.empty() ? opt.Import.TableFile : opt.Import.WriteData;
  }
  request.ReportFileName = opt.ReportFile;
  request.Threads = opt.Threads;
  request.Observer = isatty(STDERR_FILENO) ? &progress : nullptr;
  request.Cancel = &Interrupt;
  if (opt.Tune.On) return tarmel::cli::TuneForRun(opt.Tune, request);
  const tarmel::RunResult result = tarmel::Run(request);
  for (const tarmel::RunWarning& warning : result.Warnings) {
    std::string text = warning.Text;
    if (warning.Count > 1) text += " (" + std::to_string(warning.Count) + " times in all)";
    std::fprintf(stderr, "tarmel-run: warning: %s\n", text.c_str());
  }
  if (result.Outcome != tarmel::RunOutcome::Complete && !result.Message.empty()) {
    std::fprintf(stderr, "tarmel-run: %s\n", result.Message.c_str());
    const std::string help = tarmel::ExplainReadMessage(result.Message, result.FeatureNames);
    if (result.Outcome == tarmel::RunOutcome::DataError && !help.empty()) {
      std::fprintf(stderr, "tarmel-run: %s\n", help.c_str());
    }
  }
  if (result.Outcome != tarmel::RunOutcome::Complete) return ExitCode(result.Outcome);
  const std::string error = tarmel::WriteTreeOutputs(result, opt.Outputs);
  if (error.empty()) return 0;
  std::fprintf(stderr, "tarmel-run: %s\n", error.c_str());
  return 2;
}
