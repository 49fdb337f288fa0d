// Importing a delimited table. The steps, in order: decode and split the text, take the
// header, decide which rows are to predict, find each column's type and values, arrange the
// features (drop the marking column and empty ones, move wide nominal columns to the end,
// check the limits), make names and values valid tokens, write numbers in plain decimal
// form, choose a missing marker no cell equals, write the file, and read it back with the
// data file reader to prove every cell comes out as meant.
#include "table_import.h"

#include <algorithm>
#include <set>

#include "data_text.h"
#include "delimited_text.h"
#include "import_plan.h"
#include "read_back.h"
#include "run_context.h"
#include "text_files.h"

namespace tarmel::table_import {

std::string Shortened(std::string_view s) {
  constexpr size_t Longest = 60;
  constexpr size_t Shown = 20;
  if (s.size() <= Longest) return std::string(s);
  std::string count = std::to_string(s.size());
  for (size_t k = count.size(); k > 3; k -= 3) count.insert(k - 3, ",");
  return std::string(s.substr(0, Shown)) + "...(" + count + " characters)";
}

std::string Quoted(std::string_view s) { return "\"" + Shortened(s) + "\""; }

std::string ColumnLabel(const TSource& source, int32_t column) {
  return "Column " + std::to_string(column + 1) + " " + Quoted(source.Names[column]);
}

std::string MissingValueText() { return std::to_string(static_cast<int>(MissingValue)); }

namespace {

bool IsMissing(std::string_view cell, const TImportOptions& options) {
  for (const auto& marker : options.MissingMarkers) {
    if (cell == marker) return true;
  }
  return false;
}

bool IsNumberCell(std::string_view cell, bool decimalComma) {
  return PlainNumber(cell, decimalComma).has_value();
}

// ------------------------------------------------------------------ reading the table

bool LooksLikeHeader(const TRecords& records, const TImportOptions& options, bool comma) {
  const auto& first = records[0];
  std::set<std::string_view> seen;
  for (const auto& cell : first) {
    if (IsMissing(cell, options) || IsNumberCell(cell, comma) || !seen.insert(cell).second) {
      return false;
    }
  }
  bool numericBelow = false, repeated = false;
  for (size_t c = 0; c < first.size(); ++c) {
    bool allNumbers = true, anyPresent = false;
    for (size_t r = 1; r < records.size(); ++r) {
      if (c >= records[r].size() || IsMissing(records[r][c], options)) continue;
      anyPresent = true;
      allNumbers = allNumbers && IsNumberCell(records[r][c], comma);
      repeated = repeated || records[r][c] == first[c];
    }
    numericBelow = numericBelow || (anyPresent && allNumbers);
  }
  // Names above a column of numbers, or words that never come again below them.
  return numericBelow || !repeated;
}

// Extra empty cells at the end of a row are dropped; otherwise every row must be as wide
// as the first.
bool EvenRows(TRecords& records, size_t width, int32_t firstRow, std::string& message) {
  for (size_t r = 0; r < records.size(); ++r) {
    auto& row = records[r];
    while (row.size() > width && row.back().empty()) row.pop_back();
    if (row.size() != width) {
      message = "Row " + std::to_string(firstRow + static_cast<int32_t>(r)) + " has " +
                std::to_string(row.size()) + " cells where the first row has " +
                std::to_string(width) + ".";
      return false;
    }
  }
  return true;
}

bool TakeHeader(TRecords records, const TImportOptions& options, TSource& source,
                TImportResult& result) {
  result.HasHeader = options.Header == HeaderChoice::Present ||
                     (options.Header == HeaderChoice::Detect &&
                      LooksLikeHeader(records, options, source.DecimalComma));
  const size_t width = records[0].size();
  if (result.HasHeader) {
    source.Names = std::move(records[0]);
    records.erase(records.begin());
    source.FirstRow = 2;
  } else {
    for (size_t c = 1; c <= width; ++c) source.Names.push_back("V" + std::to_string(c));
  }
  if (records.empty()) {
    result.Message = "The table has no rows below its header row.";
    return false;
  }
  if (!EvenRows(records, width, source.FirstRow, result.Message)) return false;
  source.Rows = std::move(records);
  const size_t shown = std::min<size_t>(source.Rows.size(), PreviewRows);
  result.Preview.assign(source.Rows.begin(), source.Rows.begin() + static_cast<ptrdiff_t>(shown));
  return true;
}

bool ReadSource(std::string_view bytes, const TImportOptions& options, TSource& source,
                TImportResult& result) {
  TDecodedTable decoded;
  if (!DecodeTableText(bytes, decoded, result.Message)) return false;
  if (decoded.HadByteOrderMark) result.Changes.push_back("The byte-order mark was dropped.");
  if (decoded.WasLatin1) {
    result.Changes.push_back("The table is not valid UTF-8: it was read as Latin-1 and is "
                             "written as UTF-8.");
  }
  result.Delimiter = options.Delimiter != 0 ? options.Delimiter : DetectDelimiter(decoded.Utf8);
  source.DecimalComma = result.Delimiter == ';';
  TRecords records;
  if (!SplitRecords(decoded.Utf8, result.Delimiter, records, result.Message)) return false;
  if (records.empty()) {
    result.Message = "The table is empty.";
    return false;
  }
  return TakeHeader(std::move(records), options, source, result);
}

// ------------------------------------------------------------------ roles

// A column by its name in the header, by that name as a token, or by its number.
bool FindColumn(const TSource& source, const std::string& wanted, int32_t& column,
                std::string& message) {
  const auto count = static_cast<int32_t>(source.Names.size());
  for (int32_t c = 0; c < count; ++c) {
    if (source.Names[c] == wanted || CleanToken(source.Names[c], "") == wanted) {
      column = c;
      return true;
    }
  }
  const bool digits =
      !wanted.empty() && wanted.find_first_not_of("0123456789") == std::string::npos;
  if (digits && wanted.size() <= 4 && std::stoi(wanted) >= 1 && std::stoi(wanted) <= count) {
    column = std::stoi(wanted) - 1;
    return true;
  }
  message = "No column is named " + Quoted(wanted) + "; give a name from the first row or a " +
            "column number from 1 to " + std::to_string(count) + ".";
  return false;
}

size_t LearningCount(const TRoles& roles) {
  size_t count = 0;
  for (size_t r = 0; r < roles.Predict.size(); ++r) count += !roles.Predict[r] && !roles.Skipped[r];
  return count;
}

// The learning rows after the first FirstLearningRows are left out; the rows to predict stay.
void TakeFirstLearningRows(const TImportOptions& options, TRoles& roles, TImportResult& result) {
  roles.Skipped.assign(roles.Predict.size(), false);
  const size_t taken = static_cast<size_t>(std::max(options.FirstLearningRows, 0));
  const size_t learning = LearningCount(roles);
  if (taken == 0 || learning <= taken) return;
  size_t seen = 0;
  for (size_t r = 0; r < roles.Predict.size(); ++r) {
    if (!roles.Predict[r]) roles.Skipped[r] = ++seen > taken;
  }
  result.Changes.push_back("Only the first " + std::to_string(taken) + " of " +
                           std::to_string(learning) + " learning rows are taken.");
}

bool MarkRows(const TSource& source, const TImportOptions& options, TRoles& roles,
              std::string& message) {
  roles.Predict.assign(source.Rows.size(), false);
  roles.Target = static_cast<int32_t>(source.Names.size()) - 1;
  if (!options.Target.empty() && !FindColumn(source, options.Target, roles.Target, message)) {
    return false;
  }
  if (!options.PredictValue) return true;
  roles.MarkColumn = roles.Target;
  if (!options.PredictColumn.empty() &&
      !FindColumn(source, options.PredictColumn, roles.MarkColumn, message)) {
    roles.MarkColumn = -1;
    return false;
  }
  for (size_t r = 0; r < source.Rows.size(); ++r) {
    const std::string& cell = source.Rows[r][static_cast<size_t>(roles.MarkColumn)];
    roles.Predict[r] =
        cell == *options.PredictValue || (options.PredictMissing && IsMissing(cell, options));
  }
  return true;
}

bool AssignRoles(const TSource& source, const TImportOptions& options, TRoles& roles,
                 TImportResult& result) {
  const bool marked = MarkRows(source, options, roles, result.Message);
  TakeFirstLearningRows(options, roles, result);
  return marked;
}

}  // namespace

// ------------------------------------------------------------------ columns

std::vector<size_t> WrittenOrder(const TRoles& roles) {
  std::vector<size_t> order;
  for (const bool second : {false, true}) {
    for (size_t r = 0; r < roles.Predict.size(); ++r) {
      if (roles.Predict[r] == second && !roles.Skipped[r]) order.push_back(r);
    }
  }
  return order;
}

bool CellMissing(const TSource& source, const TRoles& roles, const TImportOptions& options,
                 size_t r, int32_t c) {
  return IsMissing(source.Rows[r][static_cast<size_t>(c)], options) ||
         (roles.Predict[r] && c == roles.MarkColumn);
}

namespace {

TColumnPlan AnalyseColumn(const TSource& source, const TRoles& roles, const TImportOptions& options,
                          int32_t c) {
  TColumnPlan plan;
  plan.Column = c;
  plan.Numeric = true;
  plan.Numbers.resize(source.Rows.size());
  std::set<std::string_view> seen;
  for (const size_t r : WrittenOrder(roles)) {
    if (CellMissing(source, roles, options, r, c)) {
      ++plan.Missing;
      continue;
    }
    const std::string& cell = source.Rows[r][static_cast<size_t>(c)];
    if (seen.insert(cell).second) plan.Values.push_back(cell);
    if (plan.Numeric) plan.Numbers[r] = PlainNumber(cell, source.DecimalComma);
    plan.Numeric = plan.Numeric && plan.Numbers[r].has_value();
  }
  plan.Numeric = plan.Numeric && !plan.Values.empty();
  if (!plan.Numeric) plan.Numbers.clear();
  return plan;
}

std::vector<TColumnPlan> AnalyseColumns(const TSource& source, const TRoles& roles,
                                        const TImportOptions& options, TImportResult& result) {
  std::vector<TColumnPlan> plans;
  for (int32_t c = 0; c < static_cast<int32_t>(source.Names.size()); ++c) {
    plans.push_back(AnalyseColumn(source, roles, options, c));
    const TColumnPlan& p = plans.back();
    result.Columns.push_back({source.Names[static_cast<size_t>(c)], p.Numeric,
                              static_cast<int32_t>(p.Values.size()), p.Missing, 0});
  }
  return plans;
}

// ------------------------------------------------------------------ features

// Keeps every column but those left out by choice, the marking one (when it is not the
// target) and empty ones.
std::vector<TColumnPlan> KeptColumns(std::vector<TColumnPlan> plans, const TSource& source,
                                     const TRoles& roles, const TImportOptions& options,
                                     TImportResult& result) {
  std::vector<TColumnPlan> kept;
  const auto& leftOut = options.LeftOutColumns;
  for (auto& plan : plans) {
    const int32_t c = plan.Column;
    if (c != roles.Target && std::find(leftOut.begin(), leftOut.end(), c + 1) != leftOut.end()) {
      result.Changes.push_back(ColumnLabel(source, c) + ": left out, as chosen.");
    } else if (c == roles.MarkColumn && c != roles.Target) {
      result.Changes.push_back(ColumnLabel(source, c) + " marks the rows to predict: dropped.");
    } else if (plan.Values.empty() && c != roles.Target) {
      result.Changes.push_back(ColumnLabel(source, c) + " has no values: dropped.");
    } else {
      kept.push_back(std::move(plan));
    }
  }
  return kept;
}

bool IsWide(const TColumnPlan& p) { return !p.Numeric && p.Values.size() > MaxValues; }

bool CheckWideColumns(const std::vector<TColumnPlan>& kept, const TSource& source,
                      std::string& message) {
  std::string names;
  size_t wide = 0;
  for (const auto& p : kept) {
    if (!IsWide(p)) continue;
    ++wide;
    names += (names.empty() ? "" : ", ") + ColumnLabel(source, p.Column);
    if (p.Values.size() > MaxCategories) {
      message = ColumnLabel(source, p.Column) + " has " + std::to_string(p.Values.size()) +
                " different values; a nominal column may have at most " +
                std::to_string(MaxCategories) + " as one of the last two features, and at most " +
                std::to_string(MaxValues) + " elsewhere.";
      return false;
    }
  }
  if (wide > 2) {
    message = names + " have more than " + std::to_string(MaxValues) +
              " different values each; only two such columns fit, as the last two features.";
    return false;
  }
  return true;
}

// Nominal columns with more than ten values must be among the last two features, which may
// hold up to 99; when one is not, all of them move to the end and the others keep their order.
void MoveWideColumns(std::vector<TColumnPlan>& kept, const TSource& source, TImportResult& result) {
  bool inPlace = true;
  for (size_t k = 0; k + 2 < kept.size(); ++k) inPlace = inPlace && !IsWide(kept[k]);
  if (inPlace) return;
  std::vector<TColumnPlan> order;
  for (const bool wide : {false, true}) {
    for (auto& p : kept) {
      if (IsWide(p) == wide) order.push_back(std::move(p));
    }
  }
  kept = std::move(order);
  for (size_t k = kept.size() - 2; k < kept.size(); ++k) {
    if (!IsWide(kept[k])) continue;
    result.Changes.push_back(ColumnLabel(source, kept[k].Column) + " has " +
                             std::to_string(kept[k].Values.size()) +
                             " different values: moved to feature " + std::to_string(k + 1) +
                             ", since only the last two features may have more than " +
                             std::to_string(MaxValues) + ".");
  }
}

bool CheckTarget(const TColumnPlan& target, const TSource& source, const TRoles& roles,
                 const TImportOptions& options, std::string& message) {
  const std::string label = "The target, " + ColumnLabel(source, target.Column);
  if (!target.Numeric && target.Values.size() > MaxClasses) {
    message = label + ", has " + std::to_string(target.Values.size()) +
              " classes; a classification may have at most " + std::to_string(MaxClasses) + ".";
    return false;
  }
  for (size_t r = 0; r < source.Rows.size(); ++r) {
    if (roles.Predict[r] || roles.Skipped[r] || CellMissing(source, roles, options, r, target.Column)) {
      continue;
    }
    // The data file reads 9999 as a missing cell.
    if (!target.Numeric || target.Numbers[r]->Value != MissingValue) return true;
  }
  message = label + ", has no value in any learning row (" + MissingValueText() +
            " counts as missing).";
  return false;
}

std::string OverLimit(size_t count, const std::string& what, int limit) {
  return "The table has " + std::to_string(count) + " " + what + "; a data file holds at most " +
         std::to_string(limit) + ".";
}

bool CheckCounts(size_t features, const TRoles& roles, std::string& message) {
  const auto predict =
      static_cast<size_t>(std::count(roles.Predict.begin(), roles.Predict.end(), true));
  const size_t learn = LearningCount(roles);
  if (features < 2) {
    message = "A data file needs at least two columns: the target and one to split on.";
  } else if (features > MaxFileFeatures) {
    message = OverLimit(features, "columns to write", MaxFileFeatures);
  } else if (learn == 0) {
    message = "No learning row: every row is marked as a row to predict.";
  } else if (learn > MaxObjects) {
    message = OverLimit(learn, "learning rows", MaxObjects);
  } else if (predict > MaxObjects) {
    message = OverLimit(predict, "rows to predict", MaxObjects);
  } else {
    return true;
  }
  return false;
}

bool ArrangeFeatures(std::vector<TColumnPlan>& plans, const TSource& source, const TRoles& roles,
                     const TImportOptions& options, TImportResult& result) {
  plans = KeptColumns(std::move(plans), source, roles, options, result);
  if (!CheckCounts(plans.size(), roles, result.Message)) return false;
  for (const auto& p : plans) {
    if (p.Column == roles.Target && !CheckTarget(p, source, roles, options, result.Message)) {
      return false;
    }
  }
  if (!CheckWideColumns(plans, source, result.Message)) return false;
  MoveWideColumns(plans, source, result);
  for (size_t k = 0; k < plans.size(); ++k) {
    result.Columns[static_cast<size_t>(plans[k].Column)].Feature = static_cast<int32_t>(k + 1);
    if (plans[k].Column == roles.Target) result.TargetFeature = static_cast<int32_t>(k + 1);
  }
  return true;
}

}  // namespace

}  // namespace tarmel::table_import

namespace tarmel {

using namespace table_import;

TImportResult ImportTable(std::string_view bytes, const TImportOptions& options) {
  TImportResult result;
  TSource source;
  if (!ReadSource(bytes, options, source, result)) return result;
  TRoles roles;
  const bool rolesFound = AssignRoles(source, options, roles, result);
  std::vector<TColumnPlan> plans = AnalyseColumns(source, roles, options, result);
  if (!rolesFound || !ArrangeFeatures(plans, source, roles, options, result) ||
      !MakeTokens(plans, source, result)) {
    return result;
  }
  result.PredictionRows =
      static_cast<int32_t>(std::count(roles.Predict.begin(), roles.Predict.end(), true));
  result.LearningRows = static_cast<int32_t>(LearningCount(roles));
  if (result.PredictionRows > 0) {
    const std::string marked = options.PredictMissing && options.PredictValue->empty()
                                   ? std::string("missing")
                                   : Quoted(*options.PredictValue);
    result.Changes.push_back(std::to_string(result.PredictionRows) + " rows whose " +
                             ColumnLabel(source, roles.MarkColumn) + " is " + marked +
                             " are the rows to predict.");
  }
  const std::string marker = ChooseMissingMarker(plans);
  if (marker != "?") {
    result.Changes.push_back("Missing cells are written as " + marker + ", since ? is a value.");
  }
  const std::vector<TOutputRow> rows = OutputRows(plans, source, roles, options, marker);
  result.DataText = WriteDataText(plans, rows, result.LearningRows, marker);
  result.Ok = ReadsBack(plans, rows, source, result);
  if (!result.Ok) result.DataText.clear();
  return result;
}

TImportResult ImportTableFile(const std::string& path, const TImportOptions& options) {
  std::string bytes, reason;
  if (!ReadWholeFile(path, bytes, reason)) {
    TImportResult result;
    result.Message = "Cannot read the table " + path + ": " + reason;
    return result;
  }
  return ImportTable(bytes, options);
}

}  // namespace tarmel
