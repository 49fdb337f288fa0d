// The batch runner's tuning: --tune [--tune-rc LIST] [--tune-minobj LIST] [--tune-repeats R]
// [--tune-seed N] [--tune-apply FILE] cross-validates a grid of RecursiveComplexity and
// MinObj instead of running once, prints the grid as tab-separated text with the chosen
// parameter line last, and may write that line as a parameter file.
#pragma once

#include <string>

#include "run_request.h"
#include "tune.h"

namespace tarmel::cli {

constexpr const char* TuneUsage =
    "\nUsage: tarmel-run [--params FILE] [--threads N] [--import TABLE ...] --tune\n"
    "                  [--tune-rc LIST] [--tune-minobj LIST] [--tune-repeats R]\n"
    "                  [--tune-seed N] [--tune-apply FILE] DATAFILE\n"
    "Instead of a run, cross-validates the first variant for every pair of\n"
    "RecursiveComplexity and MinObj, R times with different folds, and prints one row a\n"
    "pair (tab-separated: mean error, its standard deviation, leaves, seconds a run) and,\n"
    "last, the parameter line chosen: the simplest pair (lowest RecursiveComplexity, then\n"
    "largest MinObj) within one standard error of the best. No report is written; the\n"
    "folds are drawn the same every time and the runs after it draw as without it.\n"
    "  --tune-rc LIST     RecursiveComplexity values, as 1,2 (default 1,1.5,2,3; 3 only\n"
    "                     when no run at 2 or below took more than 5 s)\n"
    "  --tune-minobj LIST MinObj values (default 0.01,0.02,0.05,0.1)\n"
    "  --tune-repeats R   fold draws per pair, 1 to 100 (default 3)\n"
    "  --tune-seed N      start the folds from another seed (default 1), to check a\n"
    "                     choice on folds it was not made on\n"
    "  --tune-apply FILE  also write the chosen line as the parameter file FILE\n"
    "Exit status as for a run: 0 done, 1 the data or parameters cannot be tuned (the\n"
    "message says why), 2 usage error, FILE not written, or interrupted.\n";

struct TuneOptions {
  bool On = false;
  TuneRequest Grid;         // only the grid, the repeats and the deep cells' limit are set
  std::string ApplyFile;    // empty: no parameter file written
};

// Takes one of the tuning options with its value at argv[i] and moves i past it.
// 1: taken, 0: not one of them, -1: its value is missing or wrong (error says so).
int TakeTuneOption(int argc, char** argv, int& i, TuneOptions& options, std::string& error);

// Tunes over the run's data and parameters; the exit code as for a run.
int TuneForRun(const TuneOptions& options, const RunRequest& run);

}  // namespace tarmel::cli
