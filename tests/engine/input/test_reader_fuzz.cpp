// Feeds random and mutated data files to a whole run: every one must end in a clean report
// (complete, or a message), never in a crash, a hang or undefined behaviour.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "run_context.h"
#include "read_phase.h"
#include "variant_loop.h"
#include "prediction.h"
#include "test_support.h"

namespace tarmel {
namespace {

const char* const Seeds[] = {
    "5 3 ?\r\n1 0(2) 1\r\nSize Color Price\r\n1.5 red 10\r\n2 blue 12.5\r\n? red 9 # c #\r\n"
    "3.25,blue,?\r\n4 red 11\r\nPredict 2\r\n2.5 blue ?\r\n1 red 10\r\n",
    "6 3 -\r\n0(3) 1 0(12)\r\nk x w\r\na 1 p\r\nb 2 q\r\nc - r\r\na 4 s\r\nb 5 t\r\nc 6 u\r\n"
    "predict 1\r\na 1 p\r\n",
};

std::string Mutate(std::string text, std::mt19937& rng) {
  const char alphabet[] = "0123456789.-#,() \r\n?ab\x1aPredict";
  std::uniform_int_distribution<int> op(0, 3), ch(0, sizeof alphabet - 2);
  const int edits = 1 + static_cast<int>(rng() % 4);
  for (int e = 0; e < edits && !text.empty(); ++e) {
    const size_t at = rng() % text.size();
    switch (op(rng)) {
      case 0: text[at] = alphabet[ch(rng)]; break;
      case 1: text.erase(at, 1 + rng() % 3); break;
      case 2: text.insert(at, 1, alphabet[ch(rng)]); break;
      default: text.insert(at, text.substr(rng() % text.size(), 1 + rng() % 12)); break;
    }
  }
  return text;
}

std::string RandomBytes(std::mt19937& rng) {
  std::string text(rng() % 200, ' ');
  for (char& c : text) c = static_cast<char>(rng() % 256);
  return text;
}

TEST(ReaderFuzz, RandomAndMutatedFilesEndInACleanReport) {
  std::mt19937 rng(20261209);
  for (int i = 0; i < 3000; ++i) {
    const std::string text = i % 5 == 0 ? RandomBytes(rng) : Mutate(Seeds[i % 2], rng);
    RunParameters params;
    params.FeatureToPredict = 1 + static_cast<int32_t>(rng() % 3);
    params.FoldsCrossValidate = static_cast<int32_t>(rng() % 4);
    params.VariantsNumber = static_cast<int32_t>(rng() % 3);
    auto run = testing::ReadText(text, params);
    if (run->Ok) {
      RunContext& rc = *run->Context;
      RunVariants(rc);
      if (rc.PredictObjectsNumber > 0 && rc.TreesNumber > 1) WriteVotingSection(rc);
      EXPECT_EQ(rc.Out.Written().find("nan"), std::string::npos) << text;
    } else {
      EXPECT_FALSE(run->Report.empty()) << text;
    }
  }
}

}  // namespace
}  // namespace tarmel
