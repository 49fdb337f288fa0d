// The records one table import passes from step to step, and the helpers the steps share.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "delimited_text.h"
#include "table_import.h"

namespace tarmel::table_import {

// The table after decoding and splitting.
struct TSource {
  std::vector<std::string> Names;  // header cells, or V1, V2 ...
  TRecords Rows;                   // the rows below the header
  int32_t FirstRow = 1;            // the table's row number of Rows[0], counted from 1
  bool DecimalComma = false;       // a semicolon table may write 1,5
};

// Which column is the target and which rows are to predict.
struct TRoles {
  int32_t Target = -1;        // column index
  int32_t MarkColumn = -1;    // the column marking prediction rows; -1 when none
  std::vector<bool> Predict;  // per row
  std::vector<bool> Skipped;  // per row: a learning row beyond the first ones taken
};

struct TColumnPlan {
  int32_t Column = 0;  // index in the table
  std::string Name;    // as a token
  bool Numeric = false;
  std::vector<std::optional<TPlainNumber>> Numbers;  // per row, present numeric cells
  std::vector<std::string> Values;                   // distinct present values, first appearance
  std::vector<std::string> Tokens;                   // Values as tokens, in the same order
  int32_t Missing = 0;
};

struct TOutputRow {
  int32_t TableRow = 0;
  std::vector<std::string> Tokens;  // one per feature; the marker for a missing cell
  std::vector<double> Exact;        // numeric cells: the table's value; NaN otherwise
  std::vector<std::string> Cells;   // the table's own cells
};

// A cell as a message shows it: whole when short, otherwise its start and its length
// ("7777...(50,000 characters)"), so that one huge cell never floods a message.
std::string Shortened(std::string_view s);
std::string Quoted(std::string_view s);
std::string ColumnLabel(const TSource& source, int32_t column);
std::string MissingValueText();  // the value a data file reads as a missing cell

// Row indexes, learning rows first and then the rows to predict, as the file lists them.
std::vector<size_t> WrittenOrder(const TRoles& roles);

// A missing cell, or the marking cell of a row to predict.
bool CellMissing(const TSource& source, const TRoles& roles, const TImportOptions& options,
                 size_t r, int32_t c);

}  // namespace tarmel::table_import
