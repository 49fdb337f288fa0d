// The header of a data text, and where its rows begin, read with the run's own tokenizer,
// so that a front end names the features and finds a row exactly as the report does.
#include "data_header.h"

#include <memory>

#include "data_reader.h"

namespace tarmel {

namespace {

std::unique_ptr<RunContext> ReaderOf(std::string_view text) {
  auto rc = std::make_unique<RunContext>();
  rc->In.OpenText(std::string(text));
  return rc;
}

// The counts, the missing marker, a type and a name per feature; the declared row count
// comes back in objects.
TDataHeader ReadHeader(RunContext& rc, double& objects) {
  TDataHeader header;
  double features = 0;
  std::string token;
  if (!ReadNumber(rc, objects) || !ReadNumber(rc, features) || !ReadToken(rc, token)) {
    return header;
  }
  if (objects >= 1 && objects < MaxObjects + 1) header.ObjectsNumber = static_cast<int32_t>(objects);
  if (!(features >= 1 && features < MaxFileFeatures + 1)) return header;
  header.FeaturesNumber = static_cast<int32_t>(features);
  for (int32_t f = 1; f <= header.FeaturesNumber; ++f) {
    if (!ReadToken(rc, token)) return header;  // the feature types
  }
  std::vector<std::string> names(static_cast<size_t>(header.FeaturesNumber));
  for (std::string& name : names) {
    if (!ReadToken(rc, name)) return header;
  }
  header.FeatureNames = std::move(names);
  header.Complete = true;
  return header;
}

// False when the text ends first.
bool SkipTokens(RunContext& rc, int64_t tokens) {
  std::string token;
  for (int64_t t = 0; t < tokens; ++t) {
    if (!ReadToken(rc, token)) return false;
  }
  return true;
}

// Behind the learning rows, the keyword and the block's row count, read as words, as a run
// reads them; the count comes back in rows.
bool FindPredictionBlock(RunContext& rc, int64_t learningTokens, double& rows) {
  if (!SkipTokens(rc, learningTokens) || !FindPredictKeyword(rc)) return false;
  bool notNumeric = false;
  rows = ParseNumber(ReadWord(rc).Text, notNumeric);
  return !notNumeric;
}

}  // namespace

TDataHeader ReadDataHeader(std::string_view text) {
  double objects = 0;
  return ReadHeader(*ReaderOf(text), objects);
}

int32_t DataRowLine(std::string_view text, int32_t row, bool prediction) {
  const std::unique_ptr<RunContext> rc = ReaderOf(text);
  double rows = 0;
  const TDataHeader header = ReadHeader(*rc, rows);
  if (!header.Complete || !(rows >= 1 && rows <= MaxObjects)) return 0;
  const int64_t rowTokens = header.FeaturesNumber;
  if (prediction && !FindPredictionBlock(*rc, static_cast<int64_t>(rows) * rowTokens, rows)) {
    return 0;
  }
  std::string token;
  if (row < 1 || row > rows || !SkipTokens(*rc, (row - 1) * rowTokens) || !ReadToken(*rc, token)) {
    return 0;
  }
  return rc->TokenLine;
}

}  // namespace tarmel
