#include <gtest/gtest.h>

#include <string>

#include "data_header.h"
#include "test_support.h"

namespace tarmel {
namespace {

// A row begins at its first cell, wherever the cells before it ended: after a comment that
// spans lines, or beside the row before it.
const std::initializer_list<const char*> Rows = {
    "# two rows, #",         // 1
    "2 2 ? 1 0(2)",          // 2
    "x y",                   // 3
    "1 a # a comment",       // 4
    "over two lines # 2",    // 5
    "b",                     // 6
    "predict 3",             // 7
    "3 a 4",                 // 8
    "c",                     // 9
    "",                      // 10
    "5 d",                   // 11
};

TEST(DataHeader, RowLinesFollowTheRunsReading) {
  const std::string crLf = testing::CrLf(Rows);
  std::string lf;
  for (const char* line : Rows) lf += std::string(line) + "\n";
  const struct {
    std::string text;
    int32_t row;
    bool prediction;
    int32_t line;
  } cases[] = {
      {lf, 1, false, 4},  {lf, 2, false, 5},  {lf, 3, false, 0},    {lf, 0, false, 0},
      {lf, 1, true, 8},   {lf, 2, true, 8},   {lf, 3, true, 11},    {lf, 4, true, 0},
      {crLf, 2, false, 5}, {crLf, 3, true, 11},
      {"2 2 ? 1 0 x y 1 a 2 b", 1, true, 0},  // no prediction block
      {"2 2 ? 1 0 x", 1, false, 0},           // the header ends early
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DataRowLine(c.text, c.row, c.prediction), c.line)
        << c.text << " row " << c.row << (c.prediction ? " predicted" : "");
  }
  const TDataHeader header = ReadDataHeader(lf);
  EXPECT_TRUE(header.Complete);
  EXPECT_EQ(header.FeatureNames, (std::vector<std::string>{"x", "y"}));
}

}  // namespace
}  // namespace tarmel
