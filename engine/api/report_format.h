// Number formats of the report: integers right-aligned in a field (n:w) and reals in fixed
// point (x:w:d). Reals round half away from zero on the exact binary value of the double,
// so that every report is reproducible to the character, in any locale.
#pragma once

#include <cstdint>
#include <string>

namespace tarmel {

// n:w — the integer right-aligned in w characters, wider when it does not fit.
std::string FormatInt(int64_t n, int width);

// x:w:d — fixed point with d decimals, right-aligned in w characters, wider when needed.
// A value that rounds to zero has no minus sign; a non-finite value is written as 0.
std::string FormatReal(double x, int width, int decimals);

}  // namespace tarmel
