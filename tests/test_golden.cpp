// Golden reports: every tests/golden/<case>.txt is run (with <case>.par when present, the
// default parameters otherwise, and a generator fresh from seed 0, as in the first run after
// the program starts) and its report must equal <case>.expected byte for byte.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "param_file.h"
#include "treeTarmel.h"

namespace tarmel {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Line number (from 1) and both texts of the first line where the reports differ.
std::string FirstDifference(const std::string& expected, const std::string& actual) {
  std::istringstream e(expected), a(actual);
  std::string le, la;
  for (int line = 1;; ++line) {
    const bool he = static_cast<bool>(std::getline(e, le));
    const bool ha = static_cast<bool>(std::getline(a, la));
    if (!he && !ha) return "reports differ only in their last bytes";
    if (le != la || he != ha) {
      return "line " + std::to_string(line) + "\n  expected: " + (he ? le : "<end>") +
             "\n  actual:   " + (ha ? la : "<end>");
    }
  }
}

std::string RunCase(const fs::path& data, const fs::path& report) {
  RunParameters params;
  fs::path par = data;
  par.replace_extension(".par");
  if (fs::exists(par)) {
    const ParamFileResult r = ReadParameterFile(par.string(), params);
    EXPECT_EQ(r.Status, ParamFileStatus::Ok) << r.Message;
  }
  TRandom random;
  RunEnvironment env;
  env.ReportFileName = report.string();
  env.Random = &random;
  // The header echoes the file name as given: run from the golden folder by its plain name.
  const fs::path previous = fs::current_path();
  fs::current_path(data.parent_path());
  RunTree(params, data.filename().string(), env);
  fs::current_path(previous);
  return ReadFile(report);
}

TEST(Golden, ReportsMatchByteForByte) {
  const fs::path dir = TARMEL_GOLDEN_DIR;
  const bool update = std::getenv("TARMEL_UPDATE_GOLDEN") != nullptr;
  int cases = 0;
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (entry.path().extension() != ".txt") continue;
    ++cases;
    fs::path expectedPath = entry.path();
    expectedPath.replace_extension(".expected");
    const fs::path actualPath = fs::current_path() / (entry.path().stem().string() + ".actual");
    const std::string actual = RunCase(entry.path(), actualPath);
    if (update) {
      std::ofstream(expectedPath, std::ios::binary) << actual;
      continue;
    }
    const std::string expected = ReadFile(expectedPath);
    EXPECT_TRUE(expected == actual)
        << entry.path().filename() << ": " << FirstDifference(expected, actual)
        << "\n  the whole report is in " << actualPath
        << "\n  to accept it: TARMEL_UPDATE_GOLDEN=1 " << ::testing::internal::GetArgvs()[0]
        << " --gtest_filter=Golden.*";
  }
  EXPECT_GT(cases, 0);
}

}  // namespace
}  // namespace tarmel
