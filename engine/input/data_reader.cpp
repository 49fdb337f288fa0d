// The data file reader. Tokens are separated by control bytes 8..13, blanks, commas and
// hash signs, and a pair of hash signs encloses a comment; words (used only behind the
// learning rows) know blanks and control bytes alone. Numbers are built digit by digit with
// powers of ten made by repeated multiplication, so every value is the same on every
// machine. Each fault is one message line in the report.
#include "data_reader.h"

#include <string>

#include "read_warnings.h"
#include "report_format.h"

namespace tarmel {

namespace {

constexpr int CarriageReturn = 13;
constexpr int LineFeed = 10;

bool IsTokenSeparator(int c) { return (c >= 8 && c <= 13) || c == ' ' || c == ',' || c == '#'; }
bool IsWordSeparator(int c) { return (c >= 8 && c <= 13) || c == ' '; }
bool IsLineEnd(int c) { return c == CarriageReturn || c == LineFeed; }

void AppendKept(std::string& s, int c) {
  if (s.size() < static_cast<size_t>(NameLength)) s.push_back(static_cast<char>(c));
}

void RowMessage(RunContext& rc, bool prediction, std::string_view text, int32_t r) {
  if (prediction) rc.Out.Text("Prediction: ");
  rc.Out.Text(text);
  rc.Out.Int(r, 3);
}

// Looks the name up in the feature's value table; the first free entry takes a new name.
// 0 when every entry is taken by other names.
int32_t ValueCodeOf(TValueTable& table, const std::string& name) {
  for (size_t k = 1; k < table.size(); ++k) {
    if (table[k].ValueName == name) return table[k].ValueCode;
    if (table[k].ValueName.empty()) {
      table[k] = {static_cast<int32_t>(k), name};
      return table[k].ValueCode;
    }
  }
  return 0;
}

struct TCell {
  int32_t Column, Row, Columns;
  bool Prediction;
  TRowLayout& Layout;
};

// 9999 is how a missing cell is stored, so a number of that value cannot be told apart
// from a missing cell and is read as one.
void WarnMissingMark(RunContext& rc, const TCell& cell) {
  const std::string& name = rc.FeatureName[static_cast<size_t>(cell.Column)];
  const std::string row = (cell.Prediction ? "prediction row " : "row ") + std::to_string(cell.Row);
  AddWarning(rc.Warnings, "9999 " + std::to_string(cell.Column),
             "Feature \"" + name + "\": the number 9999 in " + row + " (line " +
                 std::to_string(rc.TokenLine) + ") is read as a missing cell, since 9999 is " +
                 "how missing cells are stored",
             rc.TokenLine);
}

bool ReadCell(RunContext& rc, TTable& table, const TCell& cell) {
  const int32_t c = cell.Column, r = cell.Row;
  const bool prediction = cell.Prediction;
  std::string token;
  if (!ReadToken(rc, token)) return false;
  NoteCellLine(rc, cell.Layout, c, r);
  if (rc.LineEnded && c != 1 && c != cell.Columns) {
    RowMessage(rc, prediction, " Error in input file: row ", r);
    rc.Out.Text(" unexpected end of data");
    rc.Out.LineEnd();
    return false;
  }
  if (token == rc.MissingToken) {
    table.At(c, r) = MissingValue;
  } else if (rc.FeatureType[c] == NominalFeature) {
    const int32_t code = ValueCodeOf(rc.ValueTable[c], token);
    if (code == 0) {
      RowMessage(rc, prediction, "Error in input file row ", r);
      rc.Out.Text(" column " + FormatInt(c, 3) + " :too much values");
      rc.Out.LineEnd();
      return false;
    }
    table.At(c, r) = code;
  } else {
    bool notNumeric = false;
    table.At(c, r) = ParseNumber(token, notNumeric);
    if (notNumeric) {
      RowMessage(rc, prediction, "Error in input file row ", r);
      rc.Out.Text(" column " + FormatInt(c, 3) + " :wrong value " + token);
      rc.Out.LineEnd();
      return false;
    }
    if (table.At(c, r) == MissingValue) WarnMissingMark(rc, cell);
    NoteNumberCell(rc, token, c, r, prediction);
  }
  return true;
}

}  // namespace

bool ReadToken(RunContext& rc, std::string& token) {
  rc.LineEnded = false;
  token.clear();
  int c = 0;
  for (;;) {
    c = rc.In.Get();
    if (c == '#') rc.InComment = !rc.InComment;
    if (c == EndOfData) {
      rc.Out.Text(" Error in input file: unexpected end of data");
      rc.Out.LineEnd();
      return false;
    }
    if (!rc.InComment && !IsTokenSeparator(c)) break;
  }
  rc.TokenLine = rc.In.Line();
  AppendKept(token, c);
  rc.TokenLength = 1;
  for (c = rc.In.Get(); c != EndOfData && !IsTokenSeparator(c); c = rc.In.Get()) {
    AppendKept(token, c);
    ++rc.TokenLength;
  }
  rc.InComment = c == '#';
  // A bare line feed ends a line too, so files from editors that write LF alone keep the
  // row check.
  rc.LineEnded = IsLineEnd(c);
  return true;
}

TWord ReadWord(RunContext& rc) {
  TWord word;
  int c = rc.In.Get();
  while (IsWordSeparator(c)) c = rc.In.Get();
  // The first character is taken whatever it is, so at the end of the file the word is the
  // end-of-data byte itself.
  AppendKept(word.Text, c);
  word.Length = 1;
  if (c != EndOfData) {
    for (c = rc.In.Get(); c != EndOfData && !IsWordSeparator(c); c = rc.In.Get()) {
      AppendKept(word.Text, c);
      ++word.Length;
    }
  }
  word.EndOfFile = c == EndOfData;
  word.LineEnd = word.EndOfFile || IsLineEnd(c);
  return word;
}

bool FindPredictKeyword(RunContext& rc) {
  TWord word;
  do {
    word = ReadWord(rc);
  } while (!word.EndOfFile && word.Text != "Predict" && word.Text != "predict");
  return !word.EndOfFile;
}

double Power10(int e) {
  double p = 1.0;
  for (int i = 0; i < e; ++i) p = p * 10.0;
  for (int i = 0; i > e; --i) p = p / 10.0;
  return p;
}

double ParseNumber(std::string_view token, bool& notNumeric) {
  notNumeric = false;
  const std::string_view s = token.substr(0, static_cast<size_t>(NameLength));
  const int n = static_cast<int>(s.size());
  const bool negative = n > 0 && s[0] == '-';
  const size_t lastPoint = s.rfind('.');
  const int P = lastPoint == std::string_view::npos ? n + 1 : static_cast<int>(lastPoint) + 1;
  double value = 0.0;
  for (int i = 1; i <= n; ++i) {
    if (i == P) continue;
    const char ch = s[static_cast<size_t>(i - 1)];
    int d = 0;
    if (i == 1 && negative) {
      d = 0;  // the sign's position counts as the digit 0
    } else if (ch >= '0' && ch <= '9') {
      d = ch - '0';
    } else {
      notNumeric = true;
      continue;
    }
    const double place = i < P ? Power10(P - i - 1) : Power10(P - i);
    const double term = d * place;
    value = value + term;
  }
  return negative ? value * -1.0 : value;
}

bool ReadNumber(RunContext& rc, double& value) {
  std::string token;
  if (!ReadToken(rc, token)) return false;
  bool notNumeric = false;
  value = ParseNumber(token, notNumeric);
  if (notNumeric) {
    rc.Out.Text(" Error in input file: " + token + " must be numeric");
    rc.Out.LineEnd();
    return false;
  }
  NoteCountToken(rc, token, rc.TokenLength, rc.TokenLine);
  return true;
}

bool ReadRows(RunContext& rc, TTable& table, int32_t columns, int32_t rows, bool prediction) {
  if (!prediction) {
    for (int32_t c = 1; c <= columns; ++c) {
      if (rc.FeatureType[c] != NominalFeature) continue;
      for (auto& entry : rc.ValueTable[c]) entry = TValueEntry{};
    }
  }
  TRowLayout layout{columns, prediction};
  for (int32_t r = 1; r <= rows; ++r) {
    for (int32_t c = 1; c <= columns; ++c) {
      if (!ReadCell(rc, table, {c, r, columns, prediction, layout})) return false;
    }
  }
  FinishRowLayout(rc, layout);
  return true;
}

}  // namespace tarmel
