// Golden reports: every golden case's report must equal <case>.expected byte for byte,
// whatever the number of threads growing the folds and whatever the numeric locale.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "generated_tables.h"
#include "golden_cases.h"

namespace tarmel {
namespace {

namespace fs = std::filesystem;

using testing::GoldenCases;
using testing::ReadWholeFile;

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

// Of this process's own: the golden tests run at once, each in a process of its own.
fs::path ActualPath(const fs::path& data) {
  return fs::current_path() / (data.stem().string() + "-" + std::to_string(::getpid()) + ".actual");
}

// Every golden report as the given run makes it equals its expected report.
void ExpectGoldenReports(int32_t threads) {
  for (const fs::path& data : GoldenCases()) {
    fs::path expectedPath = data;
    expectedPath.replace_extension(".expected");
    const fs::path actualPath = ActualPath(data);
    const std::string actual = testing::RunGoldenCase(data, actualPath, threads).Report;
    const std::string expected = ReadWholeFile(expectedPath.string());
    if (expected == actual) fs::remove(actualPath);
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
      std::ofstream(expectedPath, std::ios::binary)
          << testing::RunGoldenCase(data, testing::ProcessTempFile("tarmel-golden")).Report;
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
  EXPECT_TRUE(ReadWholeFile(testing::GoldenCase("medium_wide_nominal").string()) ==
              testing::GeneratedTable({300, 20, false, 40, 20}));
}

}  // namespace
}  // namespace tarmel
