#include <gtest/gtest.h>

#include <cmath>

#include "report_format.h"
#include "report_writer.h"

namespace tarmel {
namespace {

TEST(ReportFormat, RealsRoundHalfAwayFromZeroOnTheExactBinaryValue) {
  EXPECT_EQ(FormatReal(0.125, 4, 2), "0.13");
  EXPECT_EQ(FormatReal(7.125, 4, 2), "7.13");
  EXPECT_EQ(FormatReal(2.675, 4, 2), "2.67");  // just below 2.675 in binary
  EXPECT_EQ(FormatReal(-0.125, 5, 2), "-0.13");
  EXPECT_EQ(FormatReal(-0.5, 3, 0), " -1");
  EXPECT_EQ(FormatReal(0.9996, 5, 3), "1.000");
  EXPECT_EQ(FormatReal(9.995, 4, 2), "9.99");  // 9.9949999...
  EXPECT_EQ(FormatReal(99.5, 1, 0), "100");
}

TEST(ReportFormat, ZeroHasNoMinusSignAndNonFiniteIsZero) {
  EXPECT_EQ(FormatReal(-0.001, 5, 2), " 0.00");
  EXPECT_EQ(FormatReal(-0.0, 4, 2), "0.00");
  EXPECT_EQ(FormatReal(std::nan(""), 5, 3), "0.000");
  EXPECT_EQ(FormatReal(INFINITY, 6, 2), "  0.00");
}

TEST(ReportFormat, FieldsAlignRightAndWidenWhenTheNumberDoesNotFit) {
  EXPECT_EQ(FormatReal(7.5, 4, 2), "7.50");
  EXPECT_EQ(FormatReal(0.25, 9, 4), "   0.2500");
  EXPECT_EQ(FormatReal(1e17, 8, 3), "100000000000000000.000");
  EXPECT_EQ(FormatReal(-1e17, 8, 3), "-100000000000000000.000");
  EXPECT_EQ(FormatReal(12345.678, 3, 1), "12345.7");
  EXPECT_EQ(FormatInt(5, 3), "  5");
  EXPECT_EQ(FormatInt(-5, 3), " -5");
  EXPECT_EQ(FormatInt(12345, 3), "12345");
  EXPECT_EQ(FormatInt(0, 1), "0");
}

TEST(ReportFormat, WriterEndsLinesWithCrLfAndKeepsTheText) {
  ReportWriter w;
  w.Text("a");
  w.Int(7, 2);
  w.Real(1.5, 5, 1);
  w.LineEnd();
  EXPECT_EQ(w.Written(), "a 7  1.5\r\n");
}

}  // namespace
}  // namespace tarmel
