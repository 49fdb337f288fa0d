// The data file reader: tokens (with # comments #), words, numbers, blocks of rows, and
// the message for every fault found while reading. On failure the message is already in
// the report and the caller ends the run.
#pragma once

#include <string>
#include <string_view>

#include "run_context.h"

namespace tarmel {

// Next token (first 20 characters kept); sets rc.LineEnded. False at the end of data,
// after writing " Error in input file: unexpected end of data".
bool ReadToken(RunContext& rc, std::string& token);

struct TWord {
  std::string Text;
  size_t Length = 0;       // characters of the word in the file, also those not kept
  bool LineEnd = false;
  bool EndOfFile = false;  // the word is the byte 26 itself
};
// Next word, separated only by bytes 8..13 and blanks; no comments, no failure.
TWord ReadWord(RunContext& rc);

// Skips words up to the keyword "Predict" or "predict"; false when the data ends first (a
// word that comes with the end of the data is not compared).
bool FindPredictKeyword(RunContext& rc);

// A token converted by ParseNumber; false (after its message) when it is not numeric.
bool ReadNumber(RunContext& rc, double& value);

// Digits with an optional leading minus and at most one point; notNumeric tells a fault.
// Each digit's product is rounded, then the sum, so values are reproducible bit for bit.
double ParseNumber(std::string_view token, bool& notNumeric);

// 10 to the power e by repeated multiplication or division.
double Power10(int e);

// Fills cells 1..columns of objects 1..rows of the table; false after a message.
bool ReadRows(RunContext& rc, TTable& table, int32_t columns, int32_t rows, bool prediction);

}  // namespace tarmel
