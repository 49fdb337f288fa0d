// Warnings about the way the data was read. The format lets a row continue on the next
// line after its first cell and lets a line hold the start of the next row, so a stray or
// a lost cell shifts every later row by one column without any error. What gives it away
// is the layout: when the rows so far each began a line of their own, a row that begins
// inside a line, on a line that does not hold whole rows side by side, is most likely
// such a shift. Files that put several rows on every line, or break every row after its
// first cell, never show that pattern.
#include "read_warnings.h"

#include <sys/stat.h>

#include <cerrno>

namespace tarmel {

namespace {

std::string RowName(int32_t row, int32_t line, bool prediction) {
  return (prediction ? "prediction row " : "row ") + std::to_string(row) + " (line " +
         std::to_string(line) + ")";
}

std::string CutText(const std::string& kept, size_t length) {
  return kept + "... (" + std::to_string(length) + " characters) was cut to its first " +
         std::to_string(NameLength) + " characters";
}

// The line of the layout is complete: warn when a row began inside it after rows that
// each began a line, unless the line holds nothing but whole rows.
void CheckCompleteLine(RunContext& rc, const TRowLayout& layout) {
  if (layout.MidLineRow == 0 || !layout.MidLineAfterAligned) return;
  const bool wholeRows = layout.LineFirstColumn == 1 && layout.LineCells % layout.Columns == 0;
  if (wholeRows) return;
  AddWarning(rc.Warnings, "row shift",
             RowName(layout.MidLineRow, layout.Line, layout.Prediction) +
                 " starts in the middle of a line: a row above it has one cell too many or "
                 "too few",
             layout.Line);
}

}  // namespace

void NoteCellLine(RunContext& rc, TRowLayout& layout, int32_t column, int32_t row) {
  if (rc.TokenLine != layout.Line) {
    CheckCompleteLine(rc, layout);
    layout.Line = rc.TokenLine;
    layout.LineFirstColumn = column;
    layout.LineCells = 0;
    layout.MidLineRow = 0;
  } else if (column == 1) {
    if (layout.MidLineRow == 0) {
      layout.MidLineRow = row;
      layout.MidLineAfterAligned = layout.RowsStartedLines;
    }
    layout.RowsStartedLines = false;
  }
  ++layout.LineCells;
}

void FinishRowLayout(RunContext& rc, const TRowLayout& layout) { CheckCompleteLine(rc, layout); }

void NoteNumberCell(RunContext& rc, const std::string& kept, int32_t column, int32_t row,
                    bool prediction) {
  if (rc.TokenLength <= static_cast<size_t>(NameLength)) return;
  AddWarning(rc.Warnings, "cut number",
             RowName(row, rc.TokenLine, prediction) + ", feature \"" +
                 rc.FeatureName[static_cast<size_t>(column)] + "\": the number " +
                 CutText(kept, rc.TokenLength),
             rc.TokenLine);
}

void NoteCountToken(RunContext& rc, const std::string& kept, size_t length, int32_t line) {
  if (length <= static_cast<size_t>(NameLength)) return;
  AddWarning(rc.Warnings, "cut count",
             "line " + std::to_string(line) + ": the count " + CutText(kept, length), line);
}

void NoteUnreadableData(RunContext& rc, const std::string& fileName, const std::string& reason) {
  struct stat st {};
  if (::stat(fileName.c_str(), &st) != 0 && errno == ENOENT) return;
  AddWarning(rc.Warnings, "unreadable data",
             "the data file \"" + fileName + "\" was not read: " + reason +
                 " (the report says \"No input file found.\")",
             0);
}

void NoteTimeSeriesUnused(RunContext& rc) {
  const RunParameters& p = *rc.Params;
  if (p.Ordering == 0) return;
  if (rc.PredictObjectsNumber > 0) {
    AddWarning(rc.Warnings, "series predict",
               "the Predict block is not used in time-series ordering: a time-series tree "
               "predicts no objects",
               0);
  }
  if (p.FoldsCrossValidate > 1) {
    AddWarning(rc.Warnings, "series folds",
               "cross-validation (FoldsCrossValidate " + std::to_string(p.FoldsCrossValidate) +
                   ") is not used in time-series ordering",
               0);
  }
  // The one series of the file that is no predictor is the one to predict.
  for (int32_t f = 1; f <= rc.FileFeatures; ++f) {
    if (rc.PredictorFlags[static_cast<size_t>(f)]) continue;
    AddWarning(rc.Warnings, "series target",
               "the past of the series to predict, \"" + rc.FeatureName[static_cast<size_t>(f)] +
                   "\", is not used as a predictor in time-series ordering; to use it, add a "
                   "copy of the series as another column (a tree reads it only at earlier "
                   "times)",
               0);
  }
}

}  // namespace tarmel
