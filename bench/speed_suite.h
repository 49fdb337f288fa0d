// The search speed cases of tarmel-bench --speed: processor and wall time and a report hash
// per case, comparable between builds.
#pragma once

#include <string>

namespace tarmel::bench {

struct TSpeedOptions {
  std::string Only;    // cases whose name contains it (all for an empty text)
  bool Exact = false;  // only the case of exactly that name
  bool List = false;   // print the names instead of running the cases
};

// Runs the chosen cases and prints a line each: processor and wall seconds, report hash.
void RunSpeedSuite(const TSpeedOptions& options);

}  // namespace tarmel::bench
