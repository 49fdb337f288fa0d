// A golden case run as a front end runs it, with the report kept in memory for the checks.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "param_file.h"
#include "run_request.h"

namespace tarmel::testing {

struct GoldenRun {
  RunResult Result;
  std::string Report;
};

inline GoldenRun RunGolden(const std::string& name, const std::filesystem::path& report) {
  const std::filesystem::path dir = TARMEL_GOLDEN_DIR;
  RunRequest request;
  EXPECT_EQ(ReadParameterFile((dir / (name + ".par")).string(), request.Params).Status,
            ParamFileStatus::Ok);
  TRandom random;
  request.Random = &random;
  request.DataFileName = (dir / (name + ".txt")).string();
  request.ReportFileName = report.string();
  GoldenRun run{Run(request), {}};
  std::ifstream in(report, std::ios::binary);
  run.Report.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return run;
}

}  // namespace tarmel::testing
