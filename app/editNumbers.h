// The numbers typed into the parameters panel. Leading blanks are skipped; reals use "."
// and may carry a sign and an exponent; integers are decimal with an optional sign. A text
// that is empty, not such a number, or out of range gives no value.
#pragma once

#include <QString>
#include <cstdint>
#include <optional>

namespace tarmel {

std::optional<double> EditTextToReal(const QString& text);
std::optional<int32_t> EditTextToInt(const QString& text);

}  // namespace tarmel
