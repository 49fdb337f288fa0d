// The explanations of the read phase's messages, one per message the reader writes, found
// by the words that tell the messages apart. The limits come from the reader's own
// constants, so an explanation never names another limit than the one the run applied.
#include "read_messages.h"

#include <cstdlib>

#include "run_context.h"
#include "tree_records.h"

namespace tarmel {

namespace {

using std::to_string;

struct TExplanation {
  const char* Words;  // the message contains these
  std::string (*Explain)(const std::string& place);
};

std::string TooManyObjects(const std::string&) {
  return "A data file holds at most " + to_string(MaxObjects) +
         " learning rows. Keep a sample of at most that many rows (Import Table can take the "
         "first " + to_string(MaxObjects) + ") and set the object count on the first line to match.";
}

std::string TooManyPredictionRows(const std::string&) {
  return "A data file holds at most " + to_string(MaxObjects) +
         " rows to predict. Split the rows after \"predict\" over several files.";
}

std::string TooManyFeatures(const std::string&) {
  return "A data file holds at most " + to_string(MaxFileFeatures) +
         " features. Leave columns out (Import Table lets you untick them) and lower the "
         "feature count on the first line.";
}

std::string TooFewObjects(const std::string&) {
  return "The object count, the first number of the file, must be at least 1.";
}

std::string TooFewFeatures(const std::string&) {
  return "The feature count, the second number of the file, must be at least 1.";
}

std::string WrongTarget(const std::string&) {
  return "FeatureToPredict (on the Parameters panel, the sixth number of param.par) must be a "
         "feature of the file, from 1 to its feature count. Set it to the feature to predict.";
}

std::string NotNumeric(const std::string&) {
  return "The file must begin with two numbers, the object count and the feature count, "
         "followed by the token that marks a missing cell.";
}

std::string WrongTypes(const std::string&) {
  return "Each feature's type, after the missing marker, must be 1 (a number) or 0(n) "
         "(a name out of n values). Correct the types so that there is one per feature.";
}

std::string TooManyDeclaredValues(const std::string& place) {
  return "A named feature may declare at most " + to_string(MaxValues) +
         " values, or up to " + to_string(MaxCategories) + " as one of the last two features" +
         (place.empty() ? "" : "; " + place + " declares more") + ". Move the feature to the last two places or merge some of its values.";
}

std::string TooManyClasses(const std::string&) {
  return "A feature to predict that holds names may have at most " + to_string(MaxClasses) +
         " classes. Merge classes, or predict a numeric feature instead.";
}

std::string WrongPredictionCount(const std::string&) {
  return "The word after \"predict\" must be the number of rows to predict, a whole number "
         "of 0 or more, written in plain decimal form.";
}

std::string TooManyCellValues(const std::string& place) {
  return place + " holds one name more than its feature's type 0(n) allows. Raise n "
         "in the type, or correct the name.";
}

std::string WrongCellValue(const std::string& place) {
  return place + " must hold a number in plain decimal form (1000, not 1e3 or 1,5), "
         "or the file's missing marker.";
}

std::string RowEndsEarly(const std::string& place) {
  return place + " ends before its last column: every row needs one cell per "
         "feature, a missing cell written as the file's missing marker.";
}

std::string FileEndsEarly(const std::string&) {
  return "The file ends before the counts say it should. Check the object count on the first "
         "line against the rows that follow, and that every row has one cell per feature.";
}

std::string NoKnownTarget(const std::string&) {
  return "Every learning row has a missing target. Give rows a target value, or predict "
         "another feature (FeatureToPredict on the Parameters panel).";
}

std::string BadParameter(const std::string&) {
  return "Change the value on the Parameters panel (or in param.par) and build again.";
}

// Most particular first: "too much objects for prediction" before "too much objects", a
// row's end of data before the file's.
const TExplanation Explanations[] = {
    {"too much objects for prediction", TooManyPredictionRows},
    {"too much objects", TooManyObjects},
    {"too much features", TooManyFeatures},
    {"too few objects", TooFewObjects},
    {"too few features", TooFewFeatures},
    {"wrong number of predicted feature", WrongTarget},
    {"must be numeric", NotNumeric},
    {"wrong feature types", WrongTypes},
    {"-th feature", TooManyDeclaredValues},
    {"too much classes", TooManyClasses},
    {"wrong number of predicting data", WrongPredictionCount},
    {":too much values", TooManyCellValues},
    {":wrong value", WrongCellValue},
    {"unexpected end of data", FileEndsEarly},
    {"no object with a known target", NoKnownTarget},
    {"Error in parameters", BadParameter},
};

// " (name)" of feature f, when the names are known.
std::string NameOf(int feature, const std::vector<std::string>& names) {
  if (feature < 1 || static_cast<size_t>(feature) > names.size()) return {};
  return " (" + names[static_cast<size_t>(feature) - 1] + ")";
}

// The digits after `pos`, blanks before them skipped; empty when there are none.
std::string DigitsAfter(const std::string& text, size_t pos) {
  pos = text.find_first_not_of(' ', pos);
  if (pos == std::string::npos) return {};
  const size_t end = text.find_first_not_of("0123456789", pos);
  return text.substr(pos, (end == std::string::npos ? text.size() : end) - pos);
}

// The digits that end right before `pos`, blanks between skipped.
std::string DigitsBefore(const std::string& text, size_t pos) {
  const size_t last = text.find_last_not_of(' ', pos == 0 ? 0 : pos - 1);
  if (last == std::string::npos || pos == 0) return {};
  const size_t first = text.find_last_not_of("0123456789", last);
  const size_t start = first == std::string::npos ? 0 : first + 1;
  return text.substr(start, last + 1 - start);
}

// "Learning row r, column c (name)" as the message names them, or the feature a message
// about a feature's type names; empty when it names neither.
std::string PlaceOf(const std::string& message, const std::vector<std::string>& names) {
  if (const size_t at = message.find("-th feature"); at != std::string::npos) {
    const std::string feature = DigitsBefore(message, at);
    if (!feature.empty()) return "feature " + feature + NameOf(std::atoi(feature.c_str()), names);
  }
  // The data file's name, which goes before the message, may hold anything.
  const size_t error = message.find("Error");
  const size_t rowAt = message.find("row ", error == std::string::npos ? 0 : error);
  const std::string row = rowAt == std::string::npos ? std::string() : DigitsAfter(message, rowAt + 4);
  if (row.empty()) return {};
  const bool prediction = message.find("Prediction:") != std::string::npos;
  std::string place = (prediction ? "Row " : "Learning row ") + row;
  if (prediction) place += " of the rows to predict";
  const size_t columnAt = message.find("column ", rowAt);
  const std::string column =
      columnAt == std::string::npos ? std::string() : DigitsAfter(message, columnAt + 7);
  if (!column.empty()) place += ", column " + column + NameOf(std::atoi(column.c_str()), names);
  return place;
}

}  // namespace

std::string ExplainReadMessage(std::string_view message, const std::vector<std::string>& featureNames) {
  const std::string text(message);
  for (const TExplanation& e : Explanations) {
    if (text.find(e.Words) == std::string::npos) continue;
    std::string place = PlaceOf(text, featureNames);
    // A row's end of data points at the row; the file's has no row to name.
    if (e.Explain == FileEndsEarly && !place.empty()) return RowEndsEarly(place);
    if ((e.Explain == TooManyCellValues || e.Explain == WrongCellValue) && place.empty()) {
      place = "The cell";
    }
    return e.Explain(place);
  }
  return {};
}

}  // namespace tarmel
