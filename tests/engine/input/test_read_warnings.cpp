// Warnings about data read in a way its writer probably did not mean: each from a small
// file, none for the golden and example files and the format's legal layouts, and the
// report unchanged by them.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "data_reader.h"
#include "param_file.h"
#include "run_request.h"
#include "temp_folder.h"
#include "test_support.h"

namespace tarmel {
namespace {

namespace fs = std::filesystem;
using testing::CrLf;
using testing::ReadText;

struct WarningCase {
  const char* Name;
  std::string Data;
  std::vector<RunWarning> Expected;
};

const std::string Head3 = CrLf({"6 3 ?", "1 1 1", "a b c"});
const std::string Head2 = CrLf({"5 2 ?", "1 1", "x y"});

std::vector<WarningCase> WarningCases() {
  const std::string shift = " starts in the middle of a line: a row above it has one cell too "
                            "many or too few";
  const std::string cut = " characters) was cut to its first 20 characters";
  return {
      {"CellTooMany", Head3 + CrLf({"1 2 3", "4 5 6 7", "8 9 10", "11 12 13", "14 15 16", "17 18 19"}),
       {{"row 3 (line 5)" + shift, 5, 1}}},
      {"CellTooManyInTheFirstRow", Head3 + CrLf({"1 2 3 4", "5 6 7", "8 9 10", "11 12 13", "14 15 16", "17 18 19"}),
       {{"row 2 (line 4)" + shift, 4, 1}}},
      {"CellTooFewWithTwoFeatures", Head2 + CrLf({"1 10", "2", "3 30", "4 40", "5 50", "6 60"}),
       {{"row 3 (line 6)" + shift, 6, 1}}},
      {"RowOfOneCell", Head3 + CrLf({"1 2 3", "4", "5 6 7", "8 9 10", "11 12 13", "14 15 16", "17 18 19"}),
       {{"row 3 (line 6)" + shift, 6, 1}}},
      {"ShiftInBothBlocksIsOneWarningCountedTwice",
       Head2 + CrLf({"1 10", "2 20 99", "3 30", "4 40", "5 50", "Predict 3", "1 10", "2 20 7", "3 30"}),
       {{"row 3 (line 5)" + shift, 5, 2}}},
      {"ShiftInThePredictionBlock",
       Head2 + CrLf({"1 10", "2 20", "3 30", "4 40", "5 50", "Predict 3", "1 10", "2 20 7", "3 30"}),
       {{"prediction row 3 (line 11)" + shift, 11, 1}}},
      {"LongNumbers",
       Head2 + CrLf({"1 10", "2 123456789012345678901234", "3 30", "4 1.0000000000000000000001", "5 50",
                     "Predict 1", "1 99999999999999999999999"}),
       {{"row 2 (line 5), feature \"y\": the number 12345678901234567890... (24" + cut, 5, 3}}},
      {"LongCounts",
       CrLf({"# counts # 2.0000000000000000000009 2 ?", "1 1", "x y", "1 10", "2 20",
             "Predict 1.000000000000000000000000000", "1 10"}),
       {{"line 1: the count 2.000000000000000000... (24" + cut, 1, 2}}},
      {"NineThousandNineHundredNinetyNineWithAShift",
       Head2 + CrLf({"1 10", "2 9999", "3 30 5", "4 40", "5 50"}),
       {{"Feature \"y\": the number 9999 in row 2 (line 5) is read as a missing cell, since 9999 "
         "is how missing cells are stored", 5, 1},
        {"row 4 (line 6)" + shift, 6, 1}}},
  };
}

TEST(ReadWarnings, EachKindFromASmallFileOncePerKindWithItsLineAndCount) {
  for (const WarningCase& c : WarningCases()) {
    auto read = ReadText(c.Data);
    EXPECT_TRUE(read->Ok) << c.Name << ": " << read->Report;
    const std::vector<RunWarning>& got = read->Context->Warnings.Warnings;
    ASSERT_EQ(got.size(), c.Expected.size()) << c.Name;
    for (size_t k = 0; k < got.size(); ++k) {
      EXPECT_EQ(got[k].Text, c.Expected[k].Text) << c.Name;
      EXPECT_EQ(got[k].Line, c.Expected[k].Line) << c.Name;
      EXPECT_EQ(got[k].Count, c.Expected[k].Count) << c.Name;
    }
  }
}

TEST(ReadWarnings, WarningsDoNotChangeWhatIsRead) {
  auto shifted = ReadText(WarningCases()[0].Data);
  EXPECT_EQ(shifted->Context->DataTable.At(1, 3), 7);  // the stray cell starts row 3
  auto cut = ReadText(WarningCases()[6].Data);
  bool notNumeric = false;
  EXPECT_EQ(cut->Context->DataTable.At(2, 2), ParseNumber("12345678901234567890", notNumeric));
}

TEST(ReadWarnings, NoneForTheFormatsLegalLayouts) {
  const std::vector<std::pair<const char*, std::string>> layouts = {
      {"one row a line", Head3 + CrLf({"1 2 3", "4 5 6", "7 8 9", "1 2 3", "4 5 6", "7 8 9"})},
      {"two rows a line", Head3 + CrLf({"1 2 3 4 5 6", "7 8 9 1 2 3", "4 5 6 7 8 9"})},
      {"three rows a line, fewer on the last",
       Head3 + CrLf({"1 2 3 4 5 6 7 8 9", "1 2 3 4 5 6", "7 8 9", "Predict 4 1 2 3 4 5 6",
                     "7 8 9 1 2 3"})},
      {"every row broken after its first cell",
       Head3 + CrLf({"1", "2 3", "4", "5 6", "7", "8 9", "1", "2 3", "4", "5 6", "7", "8 9"})},
      {"one cell a line", Head2 + CrLf({"1", "10", "2", "20", "3", "30", "4", "40", "5", "50"})},
      {"one feature", CrLf({"4 1 ?", "1", "x", "1 2", "3", "4"})},
      {"comments, commas and a missing marker",
       Head3 + CrLf({"# a # 1,2,3", "4 ? 6 # note #", "#x#", "7 8 9", "1 2 3 # two", "lines #",
                     "4 5 6", "7 8 9"})},
      {"line feeds alone", "6 3 ?\n1 1 1\na b c\n1 2 3\n4 5 6\n7 8 9\n1 2 3\n4 5 6\n7 8 9\n"},
      {"text after the last row",
       Head3 + CrLf({"1 2 3", "4 5 6", "7 8 9", "1 2 3", "4 5 6", "7 8 9 and then some words"})},
  };
  for (const auto& [name, text] : layouts) {
    auto read = ReadText(text);
    EXPECT_TRUE(read->Ok) << name << ": " << read->Report;
    EXPECT_TRUE(read->Context->Warnings.Warnings.empty())
        << name << ": " << read->Context->Warnings.Warnings.front().Text;
  }
}

// A file of `rows` rows of `features` numeric cells, `perLine` rows on each line; with
// `stray` > 0 one extra cell follows the last cell of row `stray`.
std::string NumberRows(int features, int rows, int perLine, int stray) {
  std::string text = std::to_string(rows) + " " + std::to_string(features) + " ?\r\n";
  for (int f = 1; f <= features; ++f) text += "1 ";
  text += "\r\n";
  for (int f = 1; f <= features; ++f) text += "f" + std::to_string(f) + " ";
  text += "\r\n";
  for (int r = 1; r <= rows + 1; ++r) {
    for (int f = 1; f <= features; ++f) text += std::to_string(r * 10 + f) + " ";
    if (r == stray) text += "7 ";
    if (r % perLine == 0) text += "\r\n";
  }
  return text + "\r\n";
}

TEST(ReadWarnings, OneStrayCellAnywhereIsFoundAndUniformLayoutsNeverWarn) {
  for (int features = 1; features <= 4; ++features) {
    for (int perLine = 1; perLine <= 3; ++perLine) {
      auto plain = ReadText(NumberRows(features, 9, perLine, 0));
      EXPECT_TRUE(plain->Context->Warnings.Warnings.empty()) << features << " " << perLine;
    }
    for (int stray = 1; stray <= 8 && features > 1; ++stray) {
      auto read = ReadText(NumberRows(features, 9, 1, stray));
      const std::vector<RunWarning>& got = read->Context->Warnings.Warnings;
      ASSERT_EQ(got.size(), 1u) << features << " " << stray;
      // The header takes three lines; row r is on line r + 3.
      EXPECT_EQ(got[0].Line, stray + 3);
      EXPECT_EQ(got[0].Text.rfind("row " + std::to_string(stray + 1) + " (line ", 0), 0u);
    }
  }
}

std::string FileText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(ReadWarnings, NoneForTheGoldenAndExampleFiles) {
  int files = 0;
  for (const char* dir : {TARMEL_GOLDEN_DIR, TARMEL_EXAMPLES_DIR}) {
    for (const auto& entry : fs::directory_iterator(dir)) {
      // The start-up text greets the user; it is no data file.
      if (entry.path().extension() != ".txt" || entry.path().filename() == "autoread.txt") continue;
      RunParameters params;
      fs::path par = entry.path();
      par.replace_extension(".par");
      if (fs::exists(par)) ReadParameterFile(par.string(), params);
      auto read = ReadText(FileText(entry.path()), params);
      ++files;
      EXPECT_TRUE(read->Ok) << entry.path() << ": " << read->Report;
      EXPECT_TRUE(read->Context->Warnings.Warnings.empty())
          << entry.path() << ": " << read->Context->Warnings.Warnings.front().Text;
    }
  }
  EXPECT_GT(files, 10);
}

class UnreadableData : public tarmel::testing::TempFolderTest {
 protected:
  UnreadableData() : TempFolderTest("tarmel-warn-") {}
  void TearDown() override {
    fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add);
    TempFolderTest::TearDown();
  }
  RunResult RunOn(const std::string& data) {
    RunRequest request;
    request.DataFileName = data;
    request.ReportFileName = (dir_ / "output.txt").string();
    request.Random = &random_;
    return tarmel::Run(request);
  }
  // The report names no reason; the result must.
  void ExpectReason(const RunResult& result, const std::string& reason) {
    EXPECT_EQ(result.Outcome, RunOutcome::DataError);
    EXPECT_EQ(FileText(dir_ / "output.txt"),
              "No input file found.\r\nPlease, see TRELM.TXT file for more information.\r\n");
    ASSERT_EQ(result.Warnings.size(), 1u);
    EXPECT_NE(result.Warnings[0].Text.find(": " + reason + " (the report says \"No input file "
                                           "found.\")"),
              std::string::npos)
        << result.Warnings[0].Text;
    EXPECT_EQ(result.Warnings[0].Line, 0);
  }

  TRandom random_;
};

TEST_F(UnreadableData, AFolderOrANameTooLongGivesTheReasonAsAWarning) {
  fs::create_directories(dir_ / "folder.txt");
  ExpectReason(RunOn((dir_ / "folder.txt").string()), "it is a folder");
  ExpectReason(RunOn((dir_ / std::string(300, 'n')).string()), "File name too long");
}

TEST_F(UnreadableData, AFileWithoutReadPermissionGivesTheReasonAsAWarning) {
  if (::geteuid() == 0) GTEST_SKIP() << "the superuser reads every file";
  std::ofstream(dir_ / "locked.txt") << "1 1 ?\r\n1\r\nx\r\n1\r\n";
  fs::permissions(dir_ / "locked.txt", fs::perms::none);
  ExpectReason(RunOn((dir_ / "locked.txt").string()), "Permission denied");
}

TEST_F(UnreadableData, AMissingFileNeedsNoWarning) {
  const RunResult result = RunOn((dir_ / "missing.txt").string());
  EXPECT_EQ(result.Outcome, RunOutcome::DataError);
  EXPECT_TRUE(result.Warnings.empty());
}

TEST_F(UnreadableData, ARefusedFileKeepsTheWarningsReadBeforeItsMessage) {
  std::ofstream(dir_ / "data.txt", std::ios::binary)
      << Head3 + CrLf({"1 2 3", "4 5 6 7", "8 9 10", "11 12 13", "14 15 16", "17 x 19"});
  const RunResult result = RunOn((dir_ / "data.txt").string());
  EXPECT_EQ(result.Outcome, RunOutcome::DataError);
  ASSERT_EQ(result.Warnings.size(), 1u);
  EXPECT_EQ(result.Warnings[0].Line, 5);
}

}  // namespace
}  // namespace tarmel
