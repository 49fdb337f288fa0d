// Reading and writing the parameter file. The file holds nine values on one line; a value
// that is missing or is no number makes the whole file malformed, and the caller's
// parameters stay as they were.
#include "param_file.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <vector>

#include "data_file.h"
#include "report_format.h"

namespace tarmel {

namespace {

std::vector<std::string> SplitBlanks(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

// from_chars takes no plus sign; a written file never has one, a hand-edited one may.
std::string_view WithoutPlus(const std::string& word) {
  std::string_view s(word);
  if (s.size() > 1 && s[0] == '+' && s[1] != '-') s.remove_prefix(1);
  return s;
}

template <typename T>
bool ParseValue(const std::string& word, T& value) {
  const std::string_view s = WithoutPlus(word);
  const auto res = std::from_chars(s.data(), s.data() + s.size(), value);
  // Infinities and NaN would poison every quality of the run.
  return res.ec == std::errc() && res.ptr == s.data() + s.size() && std::isfinite(double(value));
}

ParamFileResult Malformed(const std::string& path, int position, const char* what) {
  static const char* const Names[] = {"ErrorWeight",    "RecursiveComplexity", "Homogeneity",
                                      "MinObj",         "VariantsNumber",      "FeatureToPredict",
                                      "FoldsCrossValidate", "Ordering",        "Lag"};
  return {ParamFileStatus::Malformed, "Parameter file " + path + ": value " +
                                          std::to_string(position + 1) + " (" + Names[position] +
                                          ") " + what};
}

}  // namespace

std::string FormatParameterLine(const RunParameters& p) {
  return FormatReal(p.ErrorWeight, 5, 3) + " " + FormatReal(p.RecursiveComplexity, 5, 3) + " " +
         FormatReal(p.Homogeneity, 5, 3) + " " + FormatReal(p.MinObj, 5, 3) + " " +
         FormatInt(p.VariantsNumber, 3) + " " + FormatInt(p.FeatureToPredict, 3) + " " +
         FormatInt(p.FoldsCrossValidate, 3) + " " + FormatInt(p.Ordering, 1) + " " +
         FormatInt(p.Lag, 3);
}

ParamFileResult ParseParameterText(const std::string& text, const std::string& path,
                                   RunParameters& params) {
  const std::vector<std::string> words = SplitBlanks(text);
  double reals[4];
  int32_t ints[5];
  for (int i = 0; i < 9; ++i) {
    if (static_cast<size_t>(i) >= words.size()) return Malformed(path, i, "is missing");
    const bool ok = i < 4 ? ParseValue(words[i], reals[i]) : ParseValue(words[i], ints[i - 4]);
    if (!ok) return Malformed(path, i, i < 4 ? "is not a number" : "is not a whole number");
  }
  params = RunParameters{reals[0], reals[1], reals[2], reals[3], ints[0],
                         ints[1],  ints[2],  ints[3],  ints[4]};
  return {};
}

ParamFileResult ReadParameterFile(const std::string& path, RunParameters& params) {
  std::string text;
  std::string reason;
  if (!ReadWholeFile(path, text, reason)) {
    // A link that leads nowhere is a mistake to tell, not a missing file.
    std::error_code ec;
    if (!std::filesystem::exists(std::filesystem::symlink_status(path, ec))) {
      return {ParamFileStatus::NotFound, "Parameter file " + path + " does not exist"};
    }
    return {ParamFileStatus::Malformed, "Parameter file " + path + " cannot be read: " + reason};
  }
  return ParseParameterText(text, path, params);
}

ParamFileResult WriteParameterFile(const std::string& path, const RunParameters& params) {
  std::string reason;
  if (!WriteFileSafely(path, FormatParameterLine(params), reason)) {
    return {ParamFileStatus::WriteFailed,
            "Parameter file " + path + " cannot be written: " + reason};
  }
  return {};
}

}  // namespace tarmel
