// Golden reports: every tests/golden/<case>.txt is run (with <case>.par when present, the
// default parameters otherwise, and a generator fresh from seed 0, as in the first run after
// the program starts) and its report must equal <case>.expected byte for byte, whatever the
// number of threads growing the folds and whatever the numeric locale.
#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "generated_tables.h"
#include "param_file.h"
#include "run_request.h"

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

std::string RunCase(const fs::path& data, const fs::path& report, int32_t threads = 0) {
  RunRequest request;
  fs::path par = data;
  par.replace_extension(".par");
  if (fs::exists(par)) {
    const ParamFileResult r = ReadParameterFile(par.string(), request.Params);
    EXPECT_EQ(r.Status, ParamFileStatus::Ok) << r.Message;
  }
  TRandom random;
  request.Random = &random;
  request.Threads = threads;
  request.ReportFileName = report.string();
  // The header echoes the file name as given: run from the golden folder by its plain name.
  request.DataFileName = data.filename().string();
  const fs::path previous = fs::current_path();
  fs::current_path(data.parent_path());
  Run(request);
  fs::current_path(previous);
  return ReadFile(report);
}

std::vector<fs::path> GoldenCases() {
  std::vector<fs::path> cases;
  for (const auto& entry : fs::directory_iterator(TARMEL_GOLDEN_DIR)) {
    if (entry.path().extension() == ".txt") cases.push_back(entry.path());
  }
  std::sort(cases.begin(), cases.end());
  EXPECT_FALSE(cases.empty());
  return cases;
}

fs::path ActualPath(const fs::path& data) {
  return fs::current_path() / (data.stem().string() + ".actual");
}

// Every golden report as the given run makes it equals its expected report.
void ExpectGoldenReports(int32_t threads) {
  for (const fs::path& data : GoldenCases()) {
    fs::path expectedPath = data;
    expectedPath.replace_extension(".expected");
    const fs::path actualPath = ActualPath(data);
    const std::string actual = RunCase(data, actualPath, threads);
    const std::string expected = ReadFile(expectedPath);
    EXPECT_TRUE(expected == actual)
        << data.filename() << " with " << threads << " threads: " << FirstDifference(expected, actual)
        << "\n  the whole report is in " << actualPath
        << "\n  to accept it: TARMEL_UPDATE_GOLDEN=1 " << ::testing::internal::GetArgvs()[0]
        << " --gtest_filter=Golden.*";
  }
}

TEST(Golden, ReportsMatchByteForByte) {
  if (std::getenv("TARMEL_UPDATE_GOLDEN") != nullptr) {
    for (const fs::path& data : GoldenCases()) {
      fs::path expectedPath = data;
      expectedPath.replace_extension(".expected");
      std::ofstream(expectedPath, std::ios::binary) << RunCase(data, ActualPath(data));
    }
    return;
  }
  ExpectGoldenReports(0);
}

// The folds grow on copies of the run state, as many at a time as there are threads; the
// report must not tell how many there were.
TEST(Golden, ParallelFoldsGiveTheSameReportsAsSerialOnes) {
  for (const int32_t threads : {1, 2, 7}) ExpectGoldenReports(threads);
}

// Under a locale whose decimal separator is a comma, the C library would write 1,50.
TEST(Golden, ReportsAreTheSameUnderADecimalCommaLocale) {
  const std::string previous = std::setlocale(LC_ALL, nullptr);
  if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr) {
    GTEST_SKIP() << "the locale de_DE.UTF-8 is not installed (scripts/install-deps.sh makes it)";
  }
  char probe[8];
  std::snprintf(probe, sizeof probe, "%.1f", 1.5);
  EXPECT_STREQ(probe, "1,5");
  ExpectGoldenReports(0);
  std::setlocale(LC_ALL, previous.c_str());
}

// The medium case is a generated table (300 objects, 20 features, a nominal feature of 40
// values before the target); the generator must keep making it byte for byte.
TEST(Golden, MediumCaseIsTheGeneratedTable) {
  const fs::path data = fs::path(TARMEL_GOLDEN_DIR) / "medium_wide_nominal.txt";
  EXPECT_TRUE(ReadFile(data) == testing::GeneratedTable({300, 20, false, 40, 20}));
}

}  // namespace
}  // namespace tarmel
