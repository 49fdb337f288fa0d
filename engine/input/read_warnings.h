// Warnings about data that was read as the format says but probably not as its writer
// meant: rows that slid by a cell, numbers cut to their first 20 characters, and a data
// file that exists but cannot be read; and the parts of a time-series run's input that
// such a run leaves unused. They go into the run's warning list, at most one
// per kind with a count; the report does not change by a byte.
#pragma once

#include <cstdint>
#include <string>

#include "run_context.h"

namespace tarmel {

// Where the cells of one block of rows (the learning rows or the prediction block) lie on
// the lines of the data file, so far.
struct TRowLayout {
  int32_t Columns = 0;              // cells per row
  bool Prediction = false;          // the block is the prediction block
  bool RowsStartedLines = true;     // every row so far began a line of its own
  int32_t Line = 0;                 // the line holding the last cell; 0 before the first
  int32_t LineFirstColumn = 0;      // column of that line's first cell
  int32_t LineCells = 0;            // cells of the block on that line
  int32_t MidLineRow = 0;           // first row that began inside that line; 0 when none
  bool MidLineAfterAligned = false; // every row before MidLineRow began a line
};

// Called for every cell just read (rc.TokenLine is its line). A row that begins inside a
// line, while every row before it began a line, is warned of when its line is complete,
// unless that line holds whole rows only, side by side.
void NoteCellLine(RunContext& rc, TRowLayout& layout, int32_t column, int32_t row);

// Called when the block has been read to its end.
void FinishRowLayout(RunContext& rc, const TRowLayout& layout);

// A numeric cell whose token (rc.TokenLength characters) was longer than what is kept.
void NoteNumberCell(RunContext& rc, const std::string& kept, int32_t column, int32_t row,
                    bool prediction);

// A count token of `length` characters on the given line, kept as `kept`.
void NoteCountToken(RunContext& rc, const std::string& kept, size_t length, int32_t line);

// The data file was not opened for the given reason. Unless it simply does not exist,
// the report's "No input file found." is not the whole story, so the reason is a warning.
void NoteUnreadableData(RunContext& rc, const std::string& fileName, const std::string& reason);

// Called once the data has been read: in time-series ordering the prediction block, the
// cross-validation and the past of the series to predict take no part in the run.
void NoteTimeSeriesUnused(RunContext& rc);

}  // namespace tarmel
