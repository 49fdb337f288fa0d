// Tokens of the data file an import writes, and the file's text.
#include "data_text.h"

#include <algorithm>
#include <cmath>
#include <set>

#include "run_context.h"

namespace tarmel::table_import {

namespace {

bool BreaksToken(unsigned char c) { return c < 33 || c == 127 || c == ',' || c == '#'; }

// Cut to the byte limit without splitting a UTF-8 sequence.
std::string CutUtf8(std::string s, size_t limit) {
  if (s.size() <= limit) return s;
  size_t cut = limit;
  while (cut > 0 && (static_cast<unsigned char>(s[cut]) & 0xC0) == 0x80) --cut;
  s.resize(cut);
  return s;
}

// A token not used before: equal ones get _2, _3 ... within the name length.
std::string UniqueToken(std::string token, std::set<std::string>& used) {
  const std::string base = token;
  for (int n = 2; !used.insert(token).second; ++n) {
    const std::string suffix = "_" + std::to_string(n);
    token = CutUtf8(base, NameLength - suffix.size()) + suffix;
  }
  return token;
}

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
      result.Message = ColumnLabel(source, p.Column) + ", row " + row + ": the number " + Shortened(cell) +
                       " needs more than " + std::to_string(NameLength) +
                       " characters in plain decimal form.";
      return false;
    }
    if (n.Rounded) {
      rounded.push_back(Shortened(cell) + " as " + n.Text + " (row " + row + ")");
    } else if (n.Rewritten) {
      rewritten.push_back(Shortened(cell) + " as " + n.Text + " (row " + row + ")");
    }
  }
  NoteRenames(ColumnLabel(source, p.Column) + ": numbers written in plain decimal form", rewritten,
              result);
  NoteRenames(ColumnLabel(source, p.Column) + ": numbers rounded to " +
                  std::to_string(NameLength) + " characters",
              rounded, result);
  return true;
}

void AppendLine(std::string& text, const std::vector<std::string>& tokens) {
  for (size_t k = 0; k < tokens.size(); ++k) text += (k == 0 ? "" : " ") + tokens[k];
  text += "\r\n";
}

}  // namespace

std::string CleanToken(std::string_view raw, std::string_view whenEmpty) {
  std::string token;
  for (const char c : raw) token.push_back(BreaksToken(static_cast<unsigned char>(c)) ? '_' : c);
  if (token.empty()) token = whenEmpty;
  return CutUtf8(token, NameLength);
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

}  // namespace tarmel::table_import
