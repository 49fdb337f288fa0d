// Importing a table for the batch runner: the importer's messages go to stderr, prefixed
// like the runner's own.
#include "table_option.h"

#include <cstdio>
#include <fstream>

#include "text_files.h"
#include "table_import.h"

namespace tarmel::cli {

int TakeImportOption(int argc, char** argv, int& i, ImportRequest& request, std::string& error) {
  const std::string arg = argv[i];
  std::string* value = arg == "--import"           ? &request.TableFile
                       : arg == "--target"         ? &request.Target
                       : arg == "--write-data"     ? &request.WriteData
                       : arg == "--predict-column" ? &request.PredictColumn
                       : arg == "--predict-value"  ? &request.PredictValue
                                                   : nullptr;
  if (value == nullptr) return 0;
  // Only the marking value may be empty: an empty cell is its default.
  const bool emptyGiven = i + 1 < argc && argv[i + 1][0] == '\0';
  if (i + 1 >= argc || (emptyGiven && value != &request.PredictValue)) {
    const bool column = arg == "--target" || arg == "--predict-column";
    error = arg + (column ? " needs a column name or number" : " needs a file name");
    return -1;
  }
  *value = argv[++i];
  return 1;
}

namespace {

bool KeepDataFile(const std::string& path, const std::string& text) {
  std::string reason;
  if (WriteFileSafely(path, text, reason)) return true;
  std::fprintf(stderr, "tarmel-run: cannot write the data file %s: %s\n", path.c_str(),
               reason.c_str());
  return false;
}

}  // namespace

int ImportForRun(const ImportRequest& request, std::string& dataText, int32_t& target) {
  const TTableText table = ReadTableFile(request.TableFile);
  if (!table.ReadError.empty()) {
    std::fprintf(stderr, "tarmel-run: cannot read the table %s: %s\n", request.TableFile.c_str(),
                 table.ReadError.c_str());
    return 2;
  }
  TImportOptions options;
  options.Target = request.Target;
  options.PredictColumn = request.PredictColumn;
  options.PredictValue = request.PredictValue;
  const TImportResult result = ImportTable(table, options);
  for (const std::string& change : result.Changes) {
    std::fprintf(stderr, "tarmel-run: import: %s\n", change.c_str());
  }
  if (!result.Ok) {
    std::fprintf(stderr, "tarmel-run: %s: %s\n", request.TableFile.c_str(), result.Message.c_str());
    return 1;
  }
  if (!request.WriteData.empty() && !KeepDataFile(request.WriteData, result.DataText)) return 2;
  dataText = result.DataText;
  target = result.TargetFeature;
  return -1;
}

}  // namespace tarmel::cli
