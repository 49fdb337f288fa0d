// The batch runner's table import: --import TABLE [--target COLUMN] [--write-data FILE]
// [--predict-column COLUMN] [--predict-value TEXT] turn a CSV or TSV table into a data file
// before the run.
#pragma once

#include <cstdint>
#include <string>

namespace tarmel::cli {

struct ImportRequest {
  std::string TableFile;  // empty: no import
  std::string Target;     // column name or number; empty: the last column
  std::string WriteData;  // where to keep the data file; empty: not kept
  std::string PredictColumn;  // marks the rows to predict; empty: the target
  std::string PredictValue;   // the marking value; empty: an empty cell
};

// Takes one of the import options with its value at argv[i] and moves i past it.
// 1: taken, 0: not one of them, -1: its value is missing (error says so).
int TakeImportOption(int argc, char** argv, int& i, ImportRequest& request, std::string& error);

// Imports the table and tells on stderr what was changed; the data file's text and the
// target's feature number come back. Exit code 2 for an unreadable table or data file
// that cannot be kept, 1 for a table that cannot be imported, -1 on success.
int ImportForRun(const ImportRequest& request, std::string& dataText, int32_t& target);

}  // namespace tarmel::cli
