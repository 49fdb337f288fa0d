#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "read_messages.h"
#include "read_phase.h"
#include "run_context.h"
#include "test_support.h"

namespace tarmel {
namespace {

// Reads the data text as a run does and returns the report's message.
std::string ReportMessage(const std::string& data, int32_t target) {
  RunParameters params;
  params.FeatureToPredict = target;
  RunContext rc;
  TRandom random;
  EXPECT_FALSE(ReadRunFromText(rc, params, data, &random));
  return rc.Out.Written();
}

// Every message the reader writes gets an explanation that names what to change; the
// messages come from the reader itself, so a reworded message shows up here.
TEST(ReadMessages, EveryReadFaultIsExplained) {
  const struct {
    std::string data;
    int32_t target;
    std::vector<std::string> says;  // the explanation contains each of these
  } cases[] = {
      {"1001 2 ? 1 1 x y\n", 1, {"at most 1000 learning rows", "first 1000"}},
      {"2 50 ?\n", 1, {"at most 49 features", "untick"}},
      {"0 2 ? 1 1 x y\n", 1, {"at least 1"}},
      {"2 2 ? 1 1 x y\n1 2\n3 4\n", 5, {"FeatureToPredict", "Parameters panel"}},
      {"two 2 ?\n", 1, {"two numbers"}},
      {"2 2 ? 1 2 x y\n", 1, {"1 (a number) or 0(n)"}},
      {"2 3 ? 0(11 1 1 x y z\n", 2, {"at most 10 values", "feature 1 (x) declares more"}},
      {"2 2 ? 1 1 x y\n1 2\n3 4\npredict many\n", 1, {"after \"predict\""}},
      {"2 2 ? 1 1 x y\n1 2\n3 4\npredict 1001\n", 1, {"1000 rows to predict"}},
      {"2 2 ? 1 0(1) x y\n1 a\n2 b\n", 1, {"Learning row 2, column 2 (y)", "Raise n"}},
      {"2 2 ? 1 1 x y\n1 2\n1e3 4\n", 1, {"Learning row 2, column 1 (x)", "not 1e3"}},
      {"2 2 ? 1 1 x y\n1 2\n3 4\npredict 1\n5e1 3\n", 1, {"Row 1 of the rows to predict, column 1"}},
      {"2 4 ? 1 1 1 1 w x y z\n1 2 3 4\n5 6\n7 8 9 10\n", 1, {"Learning row 2 ends before its last column"}},
      {"3 2 ? 1 1 x y\n1 2\n", 1, {"ends before the counts say"}},
      {"2 2 ? 1 1 x y\n? 2\n? 4\n", 1, {"Every learning row has a missing target"}},
  };
  for (const auto& c : cases) {
    const std::string message = ReportMessage(c.data, c.target);
    const std::string explained = ExplainReadMessage(message, {"x", "y", "z"});
    for (const std::string& words : c.says) {
      EXPECT_NE(explained.find(words), std::string::npos)
          << "message: " << message << "\nexplained: " << explained << "\nmissing: " << words;
    }
  }
}

TEST(ReadMessages, OtherTextsHaveNoExplanation) {
  EXPECT_EQ(ExplainReadMessage("Report complete"), "");
  EXPECT_EQ(ExplainReadMessage(""), "");
  // Without names the column is named by its number alone; the file's name is no place.
  EXPECT_EQ(ExplainReadMessage("row 7.txt: Error in input file row  12 column   3 :wrong value x")
                .rfind("Learning row 12, column 3 must", 0),
            0u);
  EXPECT_EQ(ExplainReadMessage("Error in input file row   2 column   1 :wrong value 1e3")
                .rfind("Learning row 2, column 1 must", 0),
            0u);
}

}  // namespace
}  // namespace tarmel
