// A top vertex grown over a small data text, and the tables the split search's tests share.
#pragma once

#include <memory>
#include <string>
#include <initializer_list>
#include <span>
#include <utility>
#include <vector>

#include "split_search.h"
#include "test_support.h"

namespace tarmel::split_test {

using testing::CrLf;
using testing::ReadOutcome;
using testing::ReadText;

inline RunParameters Params(int32_t featureToPredict, double minObj = 0.0, double errorWeight = 1.0) {
  RunParameters p;
  p.FeatureToPredict = featureToPredict;
  p.MinObj = minObj;
  p.ErrorWeight = errorWeight;
  p.FoldsCrossValidate = 1;
  return p;
}

// A top vertex grown over all objects of a data text with the given depth limit.
struct TGrown {
  std::unique_ptr<ReadOutcome> Run;
  OwnedTree Root{new TVertex};
  TGrowResult Result;

  RunContext& Rc() { return *Run->Context; }
  void Grow(int32_t maxDepth) {
    RunContext& rc = Rc();
    rc.MaxDepth = maxDepth;
    for (int32_t f = 1; f <= rc.FeaturesNumber; ++f) rc.FeatureScore[f] = Infinity;
    const std::span<const int32_t> all(rc.ObjectOrder.begin() + 1, rc.ObjectOrder.end());
    Result = GrowVertex(rc, Root.get(), all, rc.ActivePredictors, 0, 0);
  }
};

inline TGrown ReadTable(const std::string& text, const RunParameters& params) {
  TGrown g;
  g.Run = ReadText(text, params);
  EXPECT_TRUE(g.Run->Ok) << g.Run->Report;
  return g;
}

inline TGrown GrowTop(const std::string& text, const RunParameters& params, int32_t maxDepth = 1) {
  TGrown g = ReadTable(text, params);
  g.Grow(maxDepth);
  return g;
}

inline std::vector<PBranch> Branches(const TVertex& v) {
  std::vector<PBranch> list;
  for (PBranch b = v.FirstBranch; b != nullptr; b = b->Next) list.push_back(b);
  return list;
}

inline std::vector<int32_t> Codes(const TBranch& b) {
  return {b.Categories.begin() + 1, b.Categories.begin() + 1 + b.CategoryCount};
}

// Rows with CR LF; a row repeated n times is given as {n, row}.
inline std::string Table(std::initializer_list<const char*> head,
                         std::initializer_list<std::pair<int, const char*>> rows) {
  std::string text = CrLf(head);
  for (const auto& [n, row] : rows) {
    for (int i = 0; i < n; ++i) text += std::string(row) + "\r\n";
  }
  return text;
}

inline std::string TwoClassTable() {
  return Table({"20 2 ?", "1 0(2)", "x class"}, {{12, "1 a"}, {8, "2 b"}});
}

}  // namespace tarmel::split_test
