// The parameter file param.par: one line of four reals (x:5:3) and five integers (n:3, the
// ordering n:1), separated by one blank, without a line end. Reading takes the nine values
// in order, each after any blanks and line ends.
#pragma once

#include <string>

#include "treeTarmel.h"

namespace tarmel {

std::string FormatParameterLine(const RunParameters& params);

enum class ParamFileStatus { Ok, NotFound, Malformed, WriteFailed };

struct ParamFileResult {
  ParamFileStatus Status = ParamFileStatus::Ok;
  std::string Message;  // what went wrong, naming the file
};

// Reads the nine values; on failure params is left unchanged.
ParamFileResult ReadParameterFile(const std::string& path, RunParameters& params);
// Parses the text of a parameter file.
ParamFileResult ParseParameterText(const std::string& text, const std::string& path,
                                   RunParameters& params);
// Creates the file anew with the nine values; Message says why when it cannot.
ParamFileResult WriteParameterFile(const std::string& path, const RunParameters& params);

}  // namespace tarmel
