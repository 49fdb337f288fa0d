// Importing a delimited table. The steps, in order: decode and split the text, take the
// header, decide which rows are to predict, find each column's type and values, arrange the
// features (drop the marking column and empty ones, move wide nominal columns to the end,
// check the limits), make names and values valid tokens, write numbers in plain decimal
// form, choose a missing marker no cell equals, write the file, and read it back with the
// data file reader to prove every cell comes out as meant.
#include "table_import.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <set>

#include "data_file.h"
#include "data_reader.h"
#include "delimited_text.h"
#include "read_phase.h"
#include "run_context.h"

namespace tarmel {

namespace {

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

std::string Quoted(std::string_view s) { return "\"" + std::string(s) + "\""; }

std::string ColumnLabel(const TSource& source, int32_t column) {
  return "Column " + std::to_string(column + 1) + " " + Quoted(source.Names[column]);
}

bool IsMissing(std::string_view cell, const TImportOptions& options) {
  for (const auto& marker : options.MissingMarkers) {
    if (cell == marker) return true;
  }
  return false;
}

bool IsNumberCell(std::string_view cell, bool decimalComma) {
  return PlainNumber(cell, decimalComma).has_value();
}

// ------------------------------------------------------------------ numbers

struct TDecimal {
  bool Negative = false;
  std::string Digits;  // every digit written, the point left out
  int64_t Point = 0;   // digits before the point, after applying the exponent
  bool Plain = true;   // already in the data file's own form
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool ParseExponent(std::string_view s, size_t& i, int64_t& exponent) {
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  if (i >= s.size() || !IsDigit(s[i])) return false;
  for (; i < s.size() && IsDigit(s[i]); ++i) {
    exponent = std::min<int64_t>(exponent * 10 + (s[i] - '0'), 100000);
  }
  if (negative) exponent = -exponent;
  return true;
}

bool ParseDecimal(std::string_view s, bool decimalComma, TDecimal& d) {
  size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
    d.Negative = s[i] == '-';
    d.Plain = d.Negative;
    ++i;
  }
  int64_t before = 0;
  for (; i < s.size() && IsDigit(s[i]); ++i, ++before) d.Digits.push_back(s[i]);
  if (i < s.size() && (s[i] == '.' || (decimalComma && s[i] == ','))) {
    d.Plain = d.Plain && s[i] == '.';
    for (++i; i < s.size() && IsDigit(s[i]); ++i) d.Digits.push_back(s[i]);
  }
  if (d.Digits.empty()) return false;
  int64_t exponent = 0;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    d.Plain = false;
    if (!ParseExponent(s, ++i, exponent)) return false;
  }
  d.Point = before + exponent;
  return i == s.size();
}

double ExactValue(const TDecimal& d) {
  const std::string text = (d.Negative ? "-" : "") + d.Digits + "e" +
                           std::to_string(d.Point - static_cast<int64_t>(d.Digits.size()));
  double value = 0.0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error == std::errc::result_out_of_range) {
    value = d.Point > 0 ? HUGE_VAL : 0.0;
    if (d.Negative) value = -value;
  }
  return value;
}

// Adds one in the last place of the digit string; true when it carries out of the front.
bool Increment(std::string& digits) {
  for (size_t k = digits.size(); k-- > 0;) {
    if (digits[k] != '9') {
      ++digits[k];
      return false;
    }
    digits[k] = '0';
  }
  return true;
}

// Rounds half up to keep fraction digits.
void RoundFraction(std::string& integer, std::string& fraction, size_t keep) {
  const bool up = fraction[keep] >= '5';
  fraction.resize(keep);
  if (!up) return;
  if (Increment(fraction)) {
    if (Increment(integer)) integer.insert(integer.begin(), '1');
  }
}

// The integer and fraction digits of the decimal, without leading or trailing zeros.
void SplitDigits(const TDecimal& d, std::string& integer, std::string& fraction) {
  std::string digits = d.Digits;
  int64_t point = d.Point;
  while (!digits.empty() && digits[0] == '0') digits.erase(0, 1), --point;
  integer = "0";
  fraction.clear();
  if (digits.empty()) return;
  // Past these bounds nothing of the number fits into 20 characters anyway.
  point = std::clamp<int64_t>(point, -NameLength - 1, NameLength + 1);
  const auto size = static_cast<int64_t>(digits.size());
  if (point <= 0) {
    fraction = std::string(static_cast<size_t>(-point), '0') + digits;
  } else if (point >= size) {
    integer = digits + std::string(static_cast<size_t>(point - size), '0');
  } else {
    integer = digits.substr(0, static_cast<size_t>(point));
    fraction = digits.substr(static_cast<size_t>(point));
  }
  while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
}

void FitPlainText(const TDecimal& d, TPlainNumber& n) {
  std::string integer, fraction;
  SplitDigits(d, integer, fraction);
  const size_t sign = d.Negative ? 1 : 0;
  if (sign + integer.size() + (fraction.empty() ? 0 : fraction.size() + 1) > NameLength &&
      sign + integer.size() <= NameLength) {
    const size_t used = sign + integer.size() + 1;
    RoundFraction(integer, fraction, used >= NameLength ? 0 : NameLength - used);
    while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
    n.Rounded = true;
  }
  // Rounding up may carry into a twenty-first digit.
  n.TooLong = sign + integer.size() > NameLength;
  const bool zero = integer.find_first_not_of('0') == std::string::npos && fraction.empty();
  n.Text = (d.Negative && !zero ? "-" : "") + integer + (fraction.empty() ? "" : "." + fraction);
}

// ------------------------------------------------------------------ tokens

bool BreaksToken(unsigned char c) { return c < 33 || c == 127 || c == ',' || c == '#'; }

// Cut to the byte limit without splitting a UTF-8 sequence.
std::string CutUtf8(std::string s, size_t limit) {
  if (s.size() <= limit) return s;
  size_t cut = limit;
  while (cut > 0 && (static_cast<unsigned char>(s[cut]) & 0xC0) == 0x80) --cut;
  s.resize(cut);
  return s;
}

std::string CleanToken(std::string_view raw, std::string_view whenEmpty) {
  std::string token;
  for (const char c : raw) token.push_back(BreaksToken(static_cast<unsigned char>(c)) ? '_' : c);
  if (token.empty()) token = whenEmpty;
  return CutUtf8(token, NameLength);
}

// A token not used before: equal ones get _2, _3 ... within the 20 characters.
std::string UniqueToken(std::string token, std::set<std::string>& used) {
  const std::string base = token;
  for (int n = 2; !used.insert(token).second; ++n) {
    const std::string suffix = "_" + std::to_string(n);
    token = CutUtf8(base, NameLength - suffix.size()) + suffix;
  }
  return token;
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

bool AssignRoles(const TSource& source, const TImportOptions& options, TRoles& roles,
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
    roles.Predict[r] =
        source.Rows[r][static_cast<size_t>(roles.MarkColumn)] == *options.PredictValue;
  }
  return true;
}

// ------------------------------------------------------------------ columns

// Row indexes, learning rows first and then the rows to predict, as the file lists them.
std::vector<size_t> WrittenOrder(const TRoles& roles) {
  std::vector<size_t> order;
  for (const bool second : {false, true}) {
    for (size_t r = 0; r < roles.Predict.size(); ++r) {
      if (roles.Predict[r] == second) order.push_back(r);
    }
  }
  return order;
}

bool CellMissing(const TSource& source, const TRoles& roles, const TImportOptions& options,
                 size_t r, int32_t c) {
  return IsMissing(source.Rows[r][static_cast<size_t>(c)], options) ||
         (roles.Predict[r] && c == roles.MarkColumn);
}

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

// Keeps every column but the marking one (when it is not the target) and empty ones.
std::vector<TColumnPlan> KeptColumns(std::vector<TColumnPlan> plans, const TSource& source,
                                     const TRoles& roles, TImportResult& result) {
  std::vector<TColumnPlan> kept;
  for (auto& plan : plans) {
    const int32_t c = plan.Column;
    if (c == roles.MarkColumn && c != roles.Target) {
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
                " different values; a nominal column may have at most 99 as one of the last "
                "two features, and at most 10 elsewhere.";
      return false;
    }
  }
  if (wide > 2) {
    message = names +
              " have more than 10 different values each; only two such columns "
              "fit, as the last two features.";
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
                             ", since only the last two features may have more than 10.");
  }
}

bool CheckTarget(const TColumnPlan& target, const TSource& source, const TRoles& roles,
                 const TImportOptions& options, std::string& message) {
  const std::string label = "The target, " + ColumnLabel(source, target.Column);
  if (!target.Numeric && target.Values.size() > MaxClasses) {
    message = label + ", has " + std::to_string(target.Values.size()) +
              " classes; a classification may have at most 10.";
    return false;
  }
  for (size_t r = 0; r < source.Rows.size(); ++r) {
    if (roles.Predict[r] || CellMissing(source, roles, options, r, target.Column)) continue;
    // The data file reads 9999 as a missing cell.
    if (!target.Numeric || target.Numbers[r]->Value != MissingValue) return true;
  }
  message = label + ", has no value in any learning row (9999 counts as missing).";
  return false;
}

bool CheckCounts(size_t features, const TRoles& roles, std::string& message) {
  const auto predict =
      static_cast<size_t>(std::count(roles.Predict.begin(), roles.Predict.end(), true));
  const size_t learn = roles.Predict.size() - predict;
  if (features < 2) {
    message = "A data file needs at least two columns: the target and one to split on.";
  } else if (features > MaxFileFeatures) {
    message = "The table has " + std::to_string(features) +
              " columns to write; a data file "
              "holds at most 49.";
  } else if (learn == 0) {
    message = "No learning row: every row is marked as a row to predict.";
  } else if (learn > MaxObjects) {
    message = "The table has " + std::to_string(learn) +
              " learning rows; a data file holds "
              "at most 1000.";
  } else if (predict > MaxObjects) {
    message = "The table has " + std::to_string(predict) +
              " rows to predict; a data file "
              "holds at most 1000.";
  } else {
    return true;
  }
  return false;
}

bool ArrangeFeatures(std::vector<TColumnPlan>& plans, const TSource& source, const TRoles& roles,
                     const TImportOptions& options, TImportResult& result) {
  plans = KeptColumns(std::move(plans), source, roles, result);
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

// ------------------------------------------------------------------ tokens of the file

// Up to three examples per column, then how many more.
void NoteRenames(const std::string& label, const std::vector<std::string>& renames,
                 TImportResult& result) {
  if (renames.empty()) return;
  std::string text = label + ": ";
  for (size_t k = 0; k < std::min<size_t>(renames.size(), 3); ++k) {
    text += (k == 0 ? "" : "; ") + renames[k];
  }
  if (renames.size() > 3) text += " and " + std::to_string(renames.size() - 3) + " more";
  result.Changes.push_back(text + ".");
}

void MakeNames(std::vector<TColumnPlan>& plans, const TSource& source, TImportResult& result) {
  std::set<std::string> used;
  for (auto& p : plans) {
    const std::string& raw = source.Names[static_cast<size_t>(p.Column)];
    p.Name = UniqueToken(CleanToken(raw, "V" + std::to_string(p.Column + 1)), used);
    if (p.Name != raw) {
      result.Changes.push_back(ColumnLabel(source, p.Column) + ": name written as " + p.Name + ".");
    }
  }
}

void MakeValueTokens(TColumnPlan& p, const TSource& source, TImportResult& result) {
  std::set<std::string> used;
  std::vector<std::string> renames;
  for (const auto& value : p.Values) {
    p.Tokens.push_back(UniqueToken(CleanToken(value, "_"), used));
    if (p.Tokens.back() != value)
      renames.push_back(Quoted(value) + " written as " + p.Tokens.back());
  }
  NoteRenames(ColumnLabel(source, p.Column) + ": values renamed", renames, result);
}

bool CheckNumbers(const TColumnPlan& p, const TSource& source, TImportResult& result) {
  std::vector<std::string> rewritten, rounded;
  for (size_t r = 0; r < p.Numbers.size(); ++r) {
    if (!p.Numbers[r]) continue;
    const TPlainNumber& n = *p.Numbers[r];
    const std::string& cell = source.Rows[r][static_cast<size_t>(p.Column)];
    const std::string row = std::to_string(source.FirstRow + static_cast<int32_t>(r));
    if (n.TooLong) {
      result.Message = ColumnLabel(source, p.Column) + ", row " + row + ": the number " + cell +
                       " needs more than 20 characters in plain decimal form.";
      return false;
    }
    if (n.Rounded) {
      rounded.push_back(cell + " as " + n.Text + " (row " + row + ")");
    } else if (n.Rewritten) {
      rewritten.push_back(cell + " as " + n.Text + " (row " + row + ")");
    }
  }
  NoteRenames(ColumnLabel(source, p.Column) + ": numbers written in plain decimal form", rewritten,
              result);
  NoteRenames(ColumnLabel(source, p.Column) + ": numbers rounded to 20 characters", rounded,
              result);
  return true;
}

bool MakeTokens(std::vector<TColumnPlan>& plans, const TSource& source, TImportResult& result) {
  MakeNames(plans, source, result);
  for (auto& p : plans) {
    if (!p.Numeric) MakeValueTokens(p, source, result);
    if (p.Numeric && !CheckNumbers(p, source, result)) return false;
  }
  return true;
}

// The first of a few short markers that no value equals.
std::string ChooseMissingMarker(const std::vector<TColumnPlan>& plans) {
  std::set<std::string_view> values;
  for (const auto& p : plans) values.insert(p.Tokens.begin(), p.Tokens.end());
  for (const char* marker : {"?", "NA", "-", "*", "missing"}) {
    if (values.count(marker) == 0) return marker;
  }
  for (int n = 1;; ++n) {
    const std::string marker = "?" + std::to_string(n);
    if (values.count(marker) == 0) return marker;
  }
}

// ------------------------------------------------------------------ writing

std::vector<TOutputRow> OutputRows(const std::vector<TColumnPlan>& plans, const TSource& source,
                                   const TRoles& roles, const TImportOptions& options,
                                   const std::string& marker) {
  std::vector<TOutputRow> rows;
  for (const size_t r : WrittenOrder(roles)) {
    TOutputRow row;
    row.TableRow = source.FirstRow + static_cast<int32_t>(r);
    for (const auto& p : plans) {
      const std::string& cell = source.Rows[r][static_cast<size_t>(p.Column)];
      double exact = std::nan("");
      if (CellMissing(source, roles, options, r, p.Column)) {
        row.Tokens.push_back(marker);
      } else if (p.Numeric) {
        row.Tokens.push_back(p.Numbers[r]->Text);
        exact = p.Numbers[r]->Value;
      } else {
        const auto k = std::find(p.Values.begin(), p.Values.end(), cell) - p.Values.begin();
        row.Tokens.push_back(p.Tokens[static_cast<size_t>(k)]);
      }
      row.Exact.push_back(exact);
      row.Cells.push_back(cell);
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

void AppendLine(std::string& text, const std::vector<std::string>& tokens) {
  for (size_t k = 0; k < tokens.size(); ++k) text += (k == 0 ? "" : " ") + tokens[k];
  text += "\r\n";
}

std::string WriteDataText(const std::vector<TColumnPlan>& plans,
                          const std::vector<TOutputRow>& rows, int32_t learning,
                          const std::string& marker) {
  std::string text =
      std::to_string(learning) + " " + std::to_string(plans.size()) + " " + marker + "\r\n";
  std::vector<std::string> types, names;
  for (const auto& p : plans) {
    types.push_back(p.Numeric ? "1" : "0(" + std::to_string(p.Tokens.size()) + ")");
    names.push_back(p.Name);
  }
  AppendLine(text, types);
  AppendLine(text, names);
  for (size_t i = 0; i < rows.size(); ++i) {
    if (static_cast<int32_t>(i) == learning) {
      text += "Predict " + std::to_string(rows.size() - i) + "\r\n";
    }
    AppendLine(text, rows[i].Tokens);
  }
  return text;
}

// ------------------------------------------------------------------ reading back

bool CloseEnough(double read, double exact) {
  return std::fabs(read - exact) <= 1e-9 * std::max(std::fabs(read), std::fabs(exact));
}

// Compares one cell as the reader stored it with what was meant; false after a message.
bool CellReadsBack(const RunContext& rc, const TTable& table, int32_t f, int32_t i,
                   const TOutputRow& row, const std::string& label, TImportResult& result,
                   int32_t& nines) {
  const std::string& token = row.Tokens[static_cast<size_t>(f - 1)];
  const double exact = row.Exact[static_cast<size_t>(f - 1)];
  const double read = table.At(f, i);
  const std::string where = label + ", row " + std::to_string(row.TableRow);
  if (token == rc.MissingToken) {
    if (read == MissingValue) return true;
  } else if (rc.FeatureType[f] == NominalFeature) {
    const auto code = static_cast<size_t>(read);
    if (code >= 1 && code < rc.ValueTable[f].size() && rc.ValueTable[f][code].ValueName == token) {
      return true;
    }
  } else if (read == MissingValue) {
    ++nines;  // a present 9999 is the reader's missing value
    return true;
  } else if (CloseEnough(read, exact)) {
    return true;
  } else {
    result.Message = where + ": the number " + row.Cells[static_cast<size_t>(f - 1)] +
                     " is written as " + token +
                     ", which is not its value; a number in a "
                     "data file has at most 20 characters.";
    return false;
  }
  result.Message = where + ": the cell " + token + " does not read back from the data file.";
  return false;
}

bool BlockReadsBack(const RunContext& rc, const TTable& table, int32_t count, size_t first,
                    const std::vector<TOutputRow>& rows, const std::vector<std::string>& labels,
                    TImportResult& result, std::vector<int32_t>& nines) {
  for (int32_t i = 1; i <= count; ++i) {
    const TOutputRow& row = rows[first + static_cast<size_t>(i - 1)];
    for (int32_t f = 1; f <= rc.FileFeatures; ++f) {
      const auto k = static_cast<size_t>(f - 1);
      if (!CellReadsBack(rc, table, f, i, row, labels[k], result, nines[k])) return false;
    }
  }
  return true;
}

bool ReadsBack(const std::vector<TColumnPlan>& plans, const std::vector<TOutputRow>& rows,
               const TSource& source, TImportResult& result) {
  auto rc = std::make_unique<RunContext>();
  RunParameters params;
  params.FeatureToPredict = result.TargetFeature;
  TRandom random;
  if (!ReadRunFromText(*rc, params, result.DataText, &random)) {
    result.Message = "The data file made from the table does not read back:" + rc->Out.Written();
    return false;
  }
  std::vector<std::string> labels;
  for (const auto& p : plans) labels.push_back(ColumnLabel(source, p.Column));
  std::vector<int32_t> nines(plans.size(), 0);
  if (!BlockReadsBack(*rc, rc->DataTable, rc->ObjectsNumber, 0, rows, labels, result, nines) ||
      !BlockReadsBack(*rc, rc->PredictTable, rc->PredictObjectsNumber,
                      static_cast<size_t>(rc->ObjectsNumber), rows, labels, result, nines)) {
    return false;
  }
  for (size_t k = 0; k < plans.size(); ++k) {
    if (nines[k] == 0) continue;
    result.Changes.push_back(labels[k] + ": " + std::to_string(nines[k]) +
                             " cells hold 9999, "
                             "which the data file reads as a missing cell.");
  }
  return true;
}

}  // namespace

std::optional<TPlainNumber> PlainNumber(std::string_view cell, bool decimalComma) {
  TDecimal d;
  if (!ParseDecimal(cell, decimalComma, d)) return std::nullopt;
  TPlainNumber n;
  n.Value = ExactValue(d);
  if (d.Plain && cell.size() <= static_cast<size_t>(NameLength)) {
    n.Text = cell;
    return n;
  }
  n.Rewritten = true;
  FitPlainText(d, n);
  return n;
}

TImportResult ImportTable(std::string_view bytes, const TImportOptions& options) {
  TImportResult result;
  TSource source;
  if (!ReadSource(bytes, options, source, result)) return result;
  TRoles roles;
  const bool rolesFound = AssignRoles(source, options, roles, result.Message);
  std::vector<TColumnPlan> plans = AnalyseColumns(source, roles, options, result);
  if (!rolesFound || !ArrangeFeatures(plans, source, roles, options, result) ||
      !MakeTokens(plans, source, result)) {
    return result;
  }
  result.PredictionRows =
      static_cast<int32_t>(std::count(roles.Predict.begin(), roles.Predict.end(), true));
  result.LearningRows = static_cast<int32_t>(roles.Predict.size()) - result.PredictionRows;
  if (result.PredictionRows > 0) {
    result.Changes.push_back(std::to_string(result.PredictionRows) + " rows whose " +
                             ColumnLabel(source, roles.MarkColumn) + " is " +
                             Quoted(*options.PredictValue) + " are the rows to predict.");
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
