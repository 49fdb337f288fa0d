// The choices that make a table fit a data file: a missing target cell marks a row to
// predict, only the first learning rows are taken, chosen columns are left out. Each
// choice is stated in the list of changes.
#include <gtest/gtest.h>

#include <string>

#include "table_import.h"

namespace tarmel {
namespace {

// rows x columns of numbers, the last column the target; every tenth row's target is NA.
std::string Table(int rows, int columns) {
  std::string text;
  for (int c = 1; c <= columns; ++c) text += "c" + std::to_string(c) + (c < columns ? "," : "\n");
  for (int r = 1; r <= rows; ++r) {
    for (int c = 1; c < columns; ++c) text += std::to_string(r * c % 97) + ",";
    text += r % 10 == 0 ? "NA\n" : std::to_string(r % 7) + "\n";
  }
  return text;
}

TEST(ImportChoices, EachChoiceIsAppliedAndStated) {
  const struct {
    int rows, columns;
    bool predictMissing;
    int32_t firstRows;
    std::vector<int32_t> leftOut;
    bool ok;
    int32_t learning, predicting, features;
    std::string said;  // in the changes when ok, in the message otherwise
  } cases[] = {
      {30, 3, false, 0, {}, true, 30, 0, 3, ""},  // NA targets: learning rows without target
      {30, 3, true, 0, {}, true, 27, 3, 3, "3 rows whose Column 3 \"c3\" is missing are the rows"},
      {1500, 3, true, 0, {}, false, 0, 0, 0, "1350 learning rows; a data file holds at most 1000"},
      {1500, 3, true, 1000, {}, true, 1000, 150, 3, "Only the first 1000 of 1350 learning rows"},
      {20, 52, false, 0, {}, false, 0, 0, 0, "52 columns to write"},
      {20, 52, false, 0, {1, 2, 52}, false, 0, 0, 0, "50 columns to write"},  // not the target
      {20, 52, false, 0, {1, 2, 3}, true, 20, 0, 49, "Column 2 \"c2\": left out, as chosen."},
  };
  for (const auto& c : cases) {
    TImportOptions options;
    options.PredictMissing = c.predictMissing;
    options.FirstLearningRows = c.firstRows;
    options.LeftOutColumns = c.leftOut;
    const TImportResult r = ImportTable(Table(c.rows, c.columns), options);
    SCOPED_TRACE(std::to_string(c.rows) + " x " + std::to_string(c.columns) + ": " + c.said);
    ASSERT_EQ(r.Ok, c.ok) << r.Message;
    if (!c.ok) {
      EXPECT_NE(r.Message.find(c.said), std::string::npos) << r.Message;
      continue;
    }
    EXPECT_EQ(r.LearningRows, c.learning);
    EXPECT_EQ(r.PredictionRows, c.predicting);
    EXPECT_EQ(r.TargetFeature, c.features);
    EXPECT_EQ(r.DataText.substr(0, r.DataText.find(' ')), std::to_string(c.learning));
    std::string changes;
    for (const std::string& change : r.Changes) changes += change + "\n";
    EXPECT_NE(changes.find(c.said), std::string::npos) << changes;
  }
}

}  // namespace
}  // namespace tarmel
