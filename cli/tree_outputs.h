// The batch runner's drawn tree (--tree FILE.svg|.png|.dot, --tree-variant N) and results
// summary (--summary FILE.tsv), written after the run from what it kept; the report is
// never touched by them.
#pragma once

#include <cstdint>
#include <string>

#include "run_request.h"

namespace tarmel {

struct TreeOutputOptions {
  std::string TreeFile;     // empty: no drawing
  int32_t TreeVariant = 0;  // variant number as the report heads it; 0: the first tree
  std::string SummaryFile;  // empty: no summary
};

// Takes argv[i] (and its value, advancing i) when it is one of these options: 1 when it
// was, 0 when it is not, -1 on a bad value with the reason in error.
int TakeTreeOption(int argc, char** argv, int& i, TreeOutputOptions& options,
                   std::string& error);

// The reason the options cannot be used together, empty when they can.
std::string CheckTreeOptions(const TreeOutputOptions& options);

// Writes the requested files; the reason of the first failure, empty on success.
std::string WriteTreeOutputs(const RunResult& run, const TreeOutputOptions& options);

}  // namespace tarmel
