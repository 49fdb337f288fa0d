// Importing a delimited table (CSV, TSV) into a data file of the program's own format.
// A column whose every present cell is a number is numeric, any other nominal with its
// distinct values counted; numbers in forms the data file does not take (+5, 1e-3, a
// decimal comma beside a semicolon delimiter) are written in plain decimal form; names and
// values become valid tokens; columns with more than ten values move to the last two
// places; rows marked by a chosen cell value become the prediction block. The written file
// is read back with the data file reader and compared cell by cell before it is handed out.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarmel {

enum class HeaderChoice { Detect, Present, Absent };

struct TImportOptions {
  char Delimiter = 0;                       // ',', ';' or '\t'; 0: detected
  HeaderChoice Header = HeaderChoice::Detect;
  std::vector<std::string> MissingMarkers = {"", "NA", "?", "NaN"};  // cells that are missing
  std::string Target;                       // column name or number (from 1); empty: the last
  std::string PredictColumn;                // column that marks rows to predict; empty: target
  std::optional<std::string> PredictValue = std::string();  // its marking value; none: no
                                                            // prediction block
  bool PredictMissing = false;              // a missing marking cell marks the row as well
  int32_t FirstLearningRows = 0;            // take only this many learning rows; 0: all
  std::vector<int32_t> LeftOutColumns;      // column numbers (from 1) not written
};

// One column of the table as the importer sees it (before any is dropped or moved).
struct TImportColumn {
  std::string Name;            // as in the table's header (or V1, V2 ... without one)
  bool Numeric = false;
  int32_t ValuesNumber = 0;    // distinct present values
  int32_t MissingCells = 0;
  int32_t Feature = 0;         // its feature number in the data file; 0 when not written
};

struct TImportResult {
  bool Ok = false;
  std::string Message;               // why the table was refused, naming column or row
  std::string DataText;              // the data file, lines ending CR LF
  int32_t TargetFeature = 0;         // the target's feature number in the data file
  std::vector<std::string> Changes;  // what was changed or dropped, one line each
  // What was found, also when the table is refused, for a preview:
  char Delimiter = ',';
  bool HasHeader = false;
  std::vector<TImportColumn> Columns;
  std::vector<std::vector<std::string>> Preview;  // the first 20 rows below the header
  int32_t LearningRows = 0;
  int32_t PredictionRows = 0;
};

constexpr int PreviewRows = 20;

TImportResult ImportTable(std::string_view bytes, const TImportOptions& options);

// The file's bytes imported; a file that cannot be read gives a message naming it.
TImportResult ImportTableFile(const std::string& path, const TImportOptions& options);

// The number the cell holds in the data file's plain decimal form (at most 20 characters,
// rounded to fit), or nothing when the cell is no number. A semicolon file may use a
// decimal comma.
struct TPlainNumber {
  std::string Text;      // as written in the data file
  double Value = 0.0;    // the nearest double to the cell's own text
  bool Rewritten = false;
  bool Rounded = false;
  bool TooLong = false;  // more than 20 characters even without a fraction
};
std::optional<TPlainNumber> PlainNumber(std::string_view cell, bool decimalComma);

}  // namespace tarmel
