// tarmel-run: the batch runner. Runs one data file with the parameters of a parameter file
// (or the defaults when there is none) and writes the report, without a window.
// Exit codes: 0 complete report, 1 the report ends with a message about the data or the
// parameters, 2 usage error, unreadable parameter file or a report that cannot be created.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "param_file.h"
#include "table_option.h"
#include "treeTarmel.h"

namespace {

constexpr const char* Usage =
    "Usage: tarmel-run [--params FILE] [--output FILE] DATAFILE\n"
    "       tarmel-run [--params FILE] [--output FILE] --import TABLE [--target COLUMN]\n"
    "                  [--write-data FILE]\n"
    "Grows decision trees over DATAFILE, or over a CSV or TSV TABLE imported into a data\n"
    "file, and writes the report.\n"
    "  --params FILE  the nine run parameters (default: param.par in the working folder;\n"
    "                 when it does not exist: 1.000 1.000 0.050 0.050   1   1  10 0   1)\n"
    "  --output FILE  the report (default: output.txt in the working folder)\n"
    "  --import TABLE     a table with a header row; rows with an empty target are\n"
    "                     predicted. What the import changed is told on stderr\n"
    "  --target COLUMN    the column to predict, by name or number (default: the last)\n"
    "  --write-data FILE  keep the imported data file\n"
    "  --help         this text\n"
    "Exit status: 0 complete report, 1 the report ends with an error message,\n"
    "2 usage error, unreadable parameter file or report that cannot be created.\n"
    "The data file format is described in TRELM.TXT.\n";

// Shows the current progress text on one terminal line.
class TerminalProgress : public tarmel::ProgressSink {
 public:
  void SetPanelText(int panel, const std::string& text) override {
    (panel == 1 ? node_ : fold_) = text;
    std::fprintf(stderr, "\r%-20s%-30s", node_.c_str(), fold_.c_str());
    if (node_.empty() && fold_.empty()) std::fprintf(stderr, "\r%50s\r", "");
    std::fflush(stderr);
  }

 private:
  std::string node_, fold_;
};

struct Options {
  std::string ParamFile = "param.par";
  bool ParamFileGiven = false;
  std::string ReportFile = "output.txt";
  std::string DataFile;
  tarmel::cli::ImportRequest Import;
};

int UsageError(const char* message) {
  std::fprintf(stderr, "tarmel-run: %s\n%s", message, Usage);
  return 2;
}

// Returns -1 when the options are complete, otherwise the exit code.
int ParseOptions(int argc, char** argv, Options& opt) {
  bool haveData = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(Usage, stdout);
      return 0;
    }
    std::string error;
    if (const int taken = tarmel::cli::TakeImportOption(argc, argv, i, opt.Import, error)) {
      if (taken < 0) return UsageError(error.c_str());
      continue;
    }
    if (arg == "--params" || arg == "--output") {
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
  if (!opt.Import.TableFile.empty()) {
    return haveData ? UsageError("a data file and --import cannot both be given") : -1;
  }
  return haveData ? -1 : UsageError("no data file given");
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

int main(int argc, char** argv) {
  Options opt;
  if (const int code = ParseOptions(argc, argv, opt); code >= 0) return code;
  tarmel::RunParameters params;
  if (!LoadParameters(opt, params)) return 2;
  bool temporary = false;
  if (!opt.Import.TableFile.empty()) {
    std::string text;
    if (const int code = tarmel::cli::ImportForRun(opt.Import, text, params.FeatureToPredict);
        code >= 0) {
      return code;
    }
    temporary = opt.Import.WriteData.empty();
    opt.DataFile = temporary ? tarmel::cli::TemporaryDataFile(opt.ReportFile, text)
                             : opt.Import.WriteData;
    if (opt.DataFile.empty()) return 2;
  }
  TerminalProgress progress;
  tarmel::RunEnvironment env;
  env.ReportFileName = opt.ReportFile;
  env.Progress = isatty(STDERR_FILENO) ? &progress : nullptr;
  const tarmel::RunOutcome outcome = tarmel::RunTree(params, opt.DataFile, env);
  if (temporary) std::remove(opt.DataFile.c_str());
  switch (outcome) {
    case tarmel::RunOutcome::Complete:
      return 0;
    case tarmel::RunOutcome::DataError:
      return 1;
    case tarmel::RunOutcome::ReportNotCreated:
      std::fprintf(stderr, "tarmel-run: cannot create the report %s: %s\n",
                   opt.ReportFile.c_str(), std::strerror(errno));
      return 2;
  }
  return 2;
}
