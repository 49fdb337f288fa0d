// The values a split vertex keeps: its bounds, its children's objects, its codes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "split_search_fixture.h"

namespace tarmel {
namespace {

using namespace split_test;

// 120 objects over three numeric features of many distinct values and a nominal one, a few
// cells missing; the target follows x1, x2 and the nominal feature.
std::string ManyValuesTable() {
  std::string text = "120 5 ?\r\n1 1 1 0(4) 1\r\nx1 x2 x3 n y\r\n";
  uint32_t state = 12345;
  auto next = [&state](uint32_t m) {
    state = state * 1103515245u + 12345u;
    return (state >> 8) % m;
  };
  auto cell = [&next](const std::string& token) {
    return next(25) == 0 ? std::string("? ") : token + " ";
  };
  for (int i = 0; i < 120; ++i) {
    const uint32_t a = next(500), b = next(300), c = next(60), n = next(4);
    text += cell(std::to_string(a / 10) + "." + std::to_string(a % 10));
    text += cell(std::to_string(b));
    text += cell(std::to_string(c));
    text += cell("n" + std::to_string(n));
    text += std::to_string((a > 250 ? 10 : 0) + b % 7 + 2 * n + next(5)) + "\r\n";
  }
  return text;
}

bool Routes(const TBranch& b, double x) {
  if (b.Kind == NumericFeature) return x > b.Low && x <= b.High;
  const std::vector<int32_t> codes = Codes(b);
  return std::find(codes.begin(), codes.end(), static_cast<int32_t>(x)) != codes.end();
}

// Every numeric bound of a split vertex lies midway between two neighbouring distinct values
// of the vertex's own objects, and every child holds the known objects its branch admits.
void ExpectBoundsFromVertexValues(const RunContext& rc, const TVertex& v,
                                  const std::vector<int32_t>& objects, int32_t& splits) {
  if (v.FirstBranch == nullptr) return;
  ++splits;
  const int32_t f = v.SplitFeature;
  std::vector<double> u;
  for (int32_t i : objects) {
    if (rc.DataTable.At(f, i) != MissingValue) u.push_back(rc.DataTable.At(f, i));
  }
  std::sort(u.begin(), u.end());
  u.erase(std::unique(u.begin(), u.end()), u.end());
  std::vector<double> mids{-Infinity, Infinity};
  for (size_t j = 0; j + 1 < u.size(); ++j) mids.push_back(u[j] + (u[j + 1] - u[j]) / 2);
  for (PBranch b : Branches(v)) {
    if (b->Kind == NumericFeature) {
      EXPECT_NE(std::find(mids.begin(), mids.end(), b->Low), mids.end()) << b->Low;
      EXPECT_NE(std::find(mids.begin(), mids.end(), b->High), mids.end()) << b->High;
    }
    std::vector<int32_t> inside;
    for (int32_t i : objects) {
      const double x = rc.DataTable.At(f, i);
      if (x != MissingValue && Routes(*b, x)) inside.push_back(i);
    }
    EXPECT_EQ(b->Child->ObjCount, static_cast<int32_t>(inside.size()));
    ExpectBoundsFromVertexValues(rc, *b->Child, inside, splits);
  }
}

void ExpectSameTree(const TVertex& a, const TVertex& b) {
  EXPECT_EQ(a.SplitFeature, b.SplitFeature);
  EXPECT_EQ(a.ObjCount, b.ObjCount);
  EXPECT_EQ(a.Mean, b.Mean);
  EXPECT_EQ(a.Variance, b.Variance);
  EXPECT_EQ(a.Terminal, b.Terminal);
  EXPECT_EQ(a.ClassCounts, b.ClassCounts);
  const std::vector<PBranch> x = Branches(a);
  const std::vector<PBranch> y = Branches(b);
  ASSERT_EQ(x.size(), y.size());
  for (size_t k = 0; k < x.size(); ++k) {
    EXPECT_EQ(x[k]->Kind, y[k]->Kind);
    EXPECT_EQ(x[k]->Low, y[k]->Low);
    EXPECT_EQ(x[k]->High, y[k]->High);
    EXPECT_EQ(Codes(*x[k]), Codes(*y[k]));
    ExpectSameTree(*x[k]->Child, *y[k]->Child);
  }
}

TEST(SplitSearchValues, InnerVertexBoundsComeFromItsOwnObjects) {
  TGrown g = GrowTop(ManyValuesTable(), Params(5, 0.05), 3);
  const RunContext& rc = g.Rc();
  const std::vector<int32_t> all(rc.ObjectOrder.begin() + 1, rc.ObjectOrder.end());
  int32_t splits = 0;
  ExpectBoundsFromVertexValues(rc, *g.Root, all, splits);
  EXPECT_GE(splits, 3);  // the root and vertices below it
}

TEST(SplitSearchValues, ChangedTableIsReadAfresh) {
  auto rescale = [](RunContext& rc) {
    for (int32_t i = 1; i <= rc.ObjectsNumber; ++i) {
      for (int32_t f : {1, 2}) {
        double& x = rc.DataTable.At(f, i);
        if (x != MissingValue) x = f == 1 ? 600 - x * 3 : x / 7;
      }
    }
  };
  TGrown reused = GrowTop(ManyValuesTable(), Params(5, 0.05), 2);
  rescale(reused.Rc());
  reused.Grow(2);
  TGrown fresh = ReadTable(ManyValuesTable(), Params(5, 0.05));
  rescale(fresh.Rc());
  fresh.Grow(2);
  ASSERT_NE(fresh.Root->FirstBranch, nullptr);
  ExpectSameTree(*reused.Root, *fresh.Root);
  EXPECT_EQ(reused.Result.Quality, fresh.Result.Quality);
}

TEST(SplitSearchValues, CopiedRunStateGrowsOnStorageOfItsOwn) {
  TGrown g = GrowTop(ManyValuesTable(), Params(5, 0.05), 2);
  RunContext copy(g.Rc());
  EXPECT_EQ(copy.SearchScratch.Scratch, nullptr);
  const std::span<const int32_t> all(copy.ObjectOrder.begin() + 1, copy.ObjectOrder.end());
  OwnedTree root(new TVertex);
  const TGrowResult grown = GrowVertex(copy, root.get(), all, copy.ActivePredictors, 0, 0);
  EXPECT_NE(copy.SearchScratch.Scratch, g.Rc().SearchScratch.Scratch);
  EXPECT_EQ(grown.Quality, g.Result.Quality);
  ExpectSameTree(*root, *g.Root);
}

TEST(SplitSearchValues, MergedNominalGroupsKeepTheirCodesInMergeOrder) {
  // First appearance c, a, d, b; the targets pair c with d and a with b, so the merges
  // join groups 1 and 3, then the renumbered groups 2 and 3.
  const std::string text = Table({"16 2 ?", "0(4) 1", "n y"},
                                 {{4, "c 1"}, {4, "a 9"}, {4, "d 1.2"}, {4, "b 9.2"}});
  TGrown g = GrowTop(text, Params(2), 1);
  const RunContext& rc = g.Rc();
  auto code = [&rc](const char* name) {
    for (const TValueEntry& e : rc.ValueTable[1]) {
      if (e.ValueName == name) return e.ValueCode;
    }
    return -1;
  };
  const std::vector<PBranch> b = Branches(*g.Root);
  ASSERT_EQ(b.size(), 2u);
  EXPECT_EQ(Codes(*b[0]), (std::vector<int32_t>{code("c"), code("d")}));
  EXPECT_EQ(Codes(*b[1]), (std::vector<int32_t>{code("a"), code("b")}));
  EXPECT_EQ(b[0]->Child->ObjCount, 8);
  EXPECT_EQ(b[1]->Child->ObjCount, 8);
}

}  // namespace
}  // namespace tarmel
