// PLACEHOLDER
#include "data_reader.h"
namespace tarmel {
bool ReadToken(RunContext&, std::string&) { return false; }
TWord ReadWord(RunContext&) { return {}; }
bool ReadNumber(RunContext&, double&) { return false; }
double ParseNumber(std::string_view, bool& notNumeric) { notNumeric = true; return 0; }
double Power10(int) { return 1; }
bool ReadRows(RunContext&, TTable&, int32_t, int32_t, bool) { return false; }
}  // namespace tarmel
