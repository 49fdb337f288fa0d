// The golden cases: every tests/golden/<case>.txt, run with <case>.par when present (the
// default parameters otherwise) and a generator fresh from seed 0, as in the first run after
// the program starts, from the golden folder by its plain name, which the header echoes.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "hand_results.h"
#include "param_file.h"
#include "run_request.h"

namespace tarmel::testing {

struct GoldenRun {
  RunResult Result;
  std::string Report;
};

inline std::filesystem::path GoldenCase(const std::string& name) {
  return std::filesystem::path(TARMEL_GOLDEN_DIR) / (name + ".txt");
}

inline std::vector<std::filesystem::path> GoldenCases() {
  std::vector<std::filesystem::path> cases;
  for (const auto& entry : std::filesystem::directory_iterator(TARMEL_GOLDEN_DIR)) {
    if (entry.path().extension() == ".txt") cases.push_back(entry.path());
  }
  std::sort(cases.begin(), cases.end());
  EXPECT_FALSE(cases.empty());
  return cases;
}

// The report is written to the given absolute path and read back whole.
// A report path of this process's own: ctest runs each test as a process of its own, several
// at once, and a shared name lets one run read another's report.
inline std::filesystem::path ProcessTempFile(const std::string& stem) {
  return std::filesystem::temp_directory_path() / (stem + "-" + std::to_string(::getpid()) + ".txt");
}

inline GoldenRun RunGoldenCase(const std::filesystem::path& data,
                               const std::filesystem::path& report, int32_t threads = 0) {
  RunRequest request;
  std::filesystem::path par = data;
  par.replace_extension(".par");
  if (std::filesystem::exists(par)) {
    const ParamFileResult r = ReadParameterFile(par.string(), request.Params);
    EXPECT_EQ(r.Status, ParamFileStatus::Ok) << r.Message;
  }
  TRandom random;
  request.Random = &random;
  request.Threads = threads;
  request.ReportFileName = report.string();
  request.DataFileName = data.filename().string();
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(data.parent_path());
  GoldenRun run{Run(request), {}};
  std::filesystem::current_path(previous);
  run.Report = ReadWholeFile(report.string());
  return run;
}

}  // namespace tarmel::testing
