// Imported tables grow the same trees: every example and golden data file, exported to CSV
// and imported back, gives the report of the original byte for byte (but for the line naming
// the input file); and public tables from R's data sets import and grow.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "data_file.h"
#include "data_reader.h"
#include "param_file.h"
#include "table_import.h"
#include "run_request.h"

namespace tarmel {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
  std::string bytes, reason;
  EXPECT_TRUE(ReadWholeFile(path.string(), bytes, reason)) << reason;
  return bytes;
}

std::string CsvCell(const std::string& token) {
  if (token.find_first_of("\";\t") == std::string::npos) return token;
  std::string quoted = "\"";
  for (const char c : token) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

// Cells of a block of rows, read with the data file's own tokenizer; a missing cell
// becomes NA.
bool ExportRows(RunContext& rc, int32_t rows, int32_t columns, const char* role, std::string& csv) {
  for (int32_t r = 0; r < rows; ++r) {
    for (int32_t c = 0; c < columns; ++c) {
      std::string token;
      if (!ReadToken(rc, token)) return false;
      csv += CsvCell(token == rc.MissingToken ? "NA" : token) + ",";
    }
    csv += std::string(role) + "\n";
  }
  return true;
}

// The data file as a CSV table: a header of the feature names, the learning rows and the
// rows to predict, each marked in a last column "role".
bool ExportToCsv(const std::string& dataText, std::string& csv) {
  RunContext rc;
  rc.In.OpenText(dataText);
  double objects = 0, features = 0;
  if (!ReadNumber(rc, objects) || !ReadNumber(rc, features) || !ReadToken(rc, rc.MissingToken)) {
    return false;
  }
  const auto columns = static_cast<int32_t>(features);
  std::string token;
  for (int32_t f = 0; f < columns; ++f) {
    if (!ReadToken(rc, token)) return false;
  }
  for (int32_t f = 0; f < columns; ++f) {
    if (!ReadToken(rc, token)) return false;
    csv += CsvCell(token) + ",";
  }
  csv += "role\n";
  if (!rc.LineEnded) {
    for (int c = rc.In.Get(); c != '\n' && c != EndOfData; c = rc.In.Get()) {
    }
  }
  rc.InComment = false;
  if (!ExportRows(rc, static_cast<int32_t>(objects), columns, "learn", csv)) return false;
  if (!FindPredictKeyword(rc)) return true;
  bool notNumeric = false;
  const auto predict = static_cast<int32_t>(ParseNumber(ReadWord(rc).Text, notNumeric));
  return ExportRows(rc, predict, columns, "predict", csv);
}

RunParameters ParametersBeside(const fs::path& data) {
  RunParameters params;
  fs::path par = data;
  par.replace_extension(".par");
  if (fs::exists(par)) {
    EXPECT_EQ(ReadParameterFile(par.string(), params).Status, ParamFileStatus::Ok);
  }
  return params;
}

// The report of a run over the named file in the folder, with a generator fresh from seed 0;
// the report is written into the scratch folder.
std::string Grow(const fs::path& folder, const std::string& name, RunParameters params,
                 const fs::path& scratch, RunOutcome& outcome) {
  TRandom random;
  RunRequest request;
  request.Params = params;
  request.DataFileName = name;
  request.ReportFileName = (scratch / "report.txt").string();
  request.Random = &random;
  const fs::path previous = fs::current_path();
  fs::current_path(folder);
  outcome = Run(request).Outcome;
  fs::current_path(previous);
  return ReadFile(request.ReportFileName);
}

std::string WithoutInputFileLine(std::string report) {
  const size_t start = report.find("input file:");
  if (start != std::string::npos) report.erase(start, report.find('\n', start) + 1 - start);
  return report;
}

// A scratch folder of this test process, so that parallel runs of the tests do not collide.
fs::path ScratchFolder(const std::string& name) {
  const fs::path folder = fs::temp_directory_path() / (name + "-" + std::to_string(::getpid()));
  fs::create_directories(folder);
  return folder;
}

std::vector<fs::path> DataFiles() {
  std::vector<fs::path> files;
  for (const char* dir : {TARMEL_EXAMPLES_DIR, TARMEL_GOLDEN_DIR}) {
    for (const auto& entry : fs::directory_iterator(dir)) {
      const bool data =
          entry.path().extension() == ".txt" && entry.path().filename() != "autoread.txt";
      if (data) files.push_back(entry.path());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

TEST(TableRoundTrip, ExportedAndImportedDataFilesGrowTheSameReports) {
  const fs::path scratch = ScratchFolder("tarmel-roundtrip");
  int files = 0;
  for (const fs::path& data : DataFiles()) {
    SCOPED_TRACE(data.string());
    std::string csv;
    ASSERT_TRUE(ExportToCsv(ReadFile(data), csv));
    RunParameters params = ParametersBeside(data);
    TImportOptions options;
    options.MissingMarkers = {"NA"};
    options.Target = std::to_string(params.FeatureToPredict);
    options.PredictColumn = "role";
    options.PredictValue = "predict";
    const TImportResult imported = ImportTable(csv, options);
    ASSERT_TRUE(imported.Ok) << imported.Message;
    EXPECT_TRUE(imported.HasHeader);
    EXPECT_EQ(imported.TargetFeature, params.FeatureToPredict);
    std::ofstream(scratch / "imported.txt", std::ios::binary) << imported.DataText;
    RunOutcome original = RunOutcome::DataError, again = RunOutcome::DataError;
    const std::string expected =
        Grow(data.parent_path(), data.filename().string(), params, scratch, original);
    const std::string actual = Grow(scratch, "imported.txt", params, scratch, again);
    EXPECT_EQ(original, RunOutcome::Complete);
    EXPECT_EQ(again, original);
    EXPECT_EQ(WithoutInputFileLine(actual), WithoutInputFileLine(expected));
    ++files;
  }
  EXPECT_GE(files, 9);
  fs::remove_all(scratch);
}

struct TPublicTable {
  const char* File;
  const char* Target;
  const char* Header;  // the run header's line of counts
};

TEST(TableRoundTrip, PublicTablesImportAndGrow) {
  const TPublicTable tables[] = {
      {"iris.csv", "Species",
       "Number of objects= 150 Number of features=   5 Number of classes=   3"},
      {"airquality.csv", "Ozone", "Number of objects= 153 Number of features=   6"},
      {"mtcars.csv", "mpg", "Number of objects=  32 Number of features=  12"},
      {"quakes.csv", "mag", "Number of objects=1000 Number of features=   5"},
      {"toothgrowth.csv", "len", "Number of objects=  60 Number of features=   3"},
      {"warpbreaks.tsv", "tension",
       "Number of objects=  54 Number of features=   3 Number of classes=   3"},
  };
  const fs::path scratch = ScratchFolder("tarmel-tables");
  for (const TPublicTable& t : tables) {
    SCOPED_TRACE(t.File);
    TImportOptions options;
    options.Target = t.Target;
    const TImportResult imported =
        ImportTableFile(std::string(TARMEL_TABLES_DIR "/") + t.File, options);
    ASSERT_TRUE(imported.Ok) << imported.Message;
    std::ofstream(scratch / "table.txt", std::ios::binary) << imported.DataText;
    RunParameters params;
    params.FeatureToPredict = imported.TargetFeature;
    RunOutcome outcome = RunOutcome::DataError;
    const std::string report = Grow(scratch, "table.txt", params, scratch, outcome);
    EXPECT_EQ(outcome, RunOutcome::Complete) << report;
    EXPECT_NE(report.find(t.Header), std::string::npos) << report.substr(0, 300);
  }
  fs::remove_all(scratch);
}

}  // namespace
}  // namespace tarmel
