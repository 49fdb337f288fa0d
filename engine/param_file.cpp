// PLACEHOLDER
#include "param_file.h"
namespace tarmel {
std::string FormatParameterLine(const RunParameters&) { return {}; }
ParamFileResult ReadParameterFile(const std::string&, RunParameters&) { return {}; }
ParamFileResult ParseParameterText(const std::string&, const std::string&, RunParameters&) { return {}; }
ParamFileResult WriteParameterFile(const std::string&, const RunParameters&) { return {}; }
}  // namespace tarmel
