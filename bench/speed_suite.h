// The search speed cases of tarmel-bench --speed: processor and wall time and a report hash
// per case, comparable between builds.
#pragma once

#include <cstdint>
#include <string>

// bench/compare.sh builds the benchmark in older trees too: from before the run interface
// (their runs then take every core), where the read phase was part of the run driver.
#if __has_include("read_phase.h")
#define TARMEL_BENCH_RUN_INTERFACE 1
#include "read_phase.h"
#include "run_request.h"
#else
#include "run_driver.h"
#endif

namespace tarmel::bench {

// A small fixed generator so that the tables do not depend on the standard library. The
// tests have the same one; the benchmark keeps its own, as older trees lack the tests'.
struct TGenerator {
  uint64_t State;
  uint32_t Next(uint32_t n) {
    State ^= State << 13;
    State ^= State >> 7;
    State ^= State << 17;
    return static_cast<uint32_t>(State % n);
  }
};

struct TSpeedOptions {
  std::string Only;    // cases whose name contains it (all for an empty text)
  bool Exact = false;  // only the case of exactly that name
  bool List = false;   // print the names instead of running the cases
  int32_t Threads = 0; // threads of a run or growth; 0: one per core
};

// Runs the chosen cases and prints a line each: processor and wall seconds, report hash.
void RunSpeedSuite(const TSpeedOptions& options);

// One whole run through the entry the tree has; random null: the program-wide generator.
RunOutcome RunDataFile(const RunParameters& params, const std::string& data,
                       const std::string& report, TRandom* random, int32_t threads);

}  // namespace tarmel::bench
