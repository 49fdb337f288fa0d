// What the run driver shares with other ways of running the engine.
#pragma once

#include <string>

namespace tarmel {

// The report's message as one line: a failed run's report holds nothing else.
std::string MessageOf(const std::string& report);

}  // namespace tarmel
