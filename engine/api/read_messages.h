// What a person can do about a message the run wrote while reading the data and the
// parameters. The report keeps its message word for word; the front ends show this
// explanation beside it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarmel {

// One or two sentences that say what the limit is, which row and column the message
// points at and what to change; empty for a message the reader never writes. The
// feature names, when known ([f - 1], file numbering), name the column.
std::string ExplainReadMessage(std::string_view message,
                               const std::vector<std::string>& featureNames = {});

}  // namespace tarmel
