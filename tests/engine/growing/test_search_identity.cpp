// The split search against the straightforward reference search over many generated tables:
// the same trees, bit for bit the same qualities, and the same feature scores wherever a
// later stage reads them. TARMEL_IDENTITY_CASES in the environment sets how many tables.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <sstream>

#include "reference_search.h"
#include "search_records.h"
#include "test_support.h"

#ifndef TARMEL_IDENTITY_CASES
#define TARMEL_IDENTITY_CASES 80
#endif

namespace tarmel {
namespace {

using testing::ReadText;

// A 64-bit linear congruential generator: the same tables on every machine.
struct TGenerator {
  uint64_t State;
  uint32_t Next(uint32_t n) {
    State = State * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<uint32_t>((State >> 33) % n);
  }
};

struct TTableCase {
  int32_t Objects = 0;
  int32_t Predictors = 0;
  int32_t Classes = 0;  // 0: regression
  double Complexity = 1.0;
  std::string Text;
};

// Lookahead the test can afford for the table's size: deep stages only on small tables.
// A fraction below 1 reaches deepest of all (0.5 over 9 features runs to depth 3).
double ComplexityFor(TGenerator& gen, int32_t objects, int32_t predictors) {
  static const double choices[] = {1.0, 2.0, 1.3, 1.5, 0.5, 2.5};
  const int32_t size = objects * predictors;
  if (size <= 250) return choices[gen.Next(6)];
  if (size <= 1200 && predictors <= 8) return choices[gen.Next(5)];
  if (size <= 1200) return choices[gen.Next(3)];
  return 1.0;
}

// A predictor cell: numeric with the feature's number of levels (two decimals, some
// values neighbouring doubles), or a nominal value name.
std::string Cell(TGenerator& gen, int32_t levels, bool nominal) {
  const int32_t v = static_cast<int32_t>(gen.Next(static_cast<uint32_t>(levels)));
  if (nominal) return "v" + std::to_string(v);
  if (v % 17 == 16) return v % 2 == 0 ? "0.9" : "0.9000000000000001";
  return std::to_string(v / 100) + "." + std::to_string(v % 100);
}

TTableCase MakeCase(uint64_t seed) {
  TGenerator gen{seed * 0x9E3779B97F4A7C15ull + 1};
  TTableCase c;
  c.Objects = 5 + static_cast<int32_t>(gen.Next(gen.Next(4) == 0 ? 996 : 120));
  c.Predictors = 1 + static_cast<int32_t>(gen.Next(gen.Next(3) == 0 ? 48 : 8));
  c.Classes = gen.Next(2) == 0 ? 0 : 2 + static_cast<int32_t>(gen.Next(9));
  c.Complexity = ComplexityFor(gen, c.Objects, c.Predictors);
  static const int32_t levelChoices[] = {2, 3, 8, 30, 200, 1000};
  std::vector<int32_t> levels(static_cast<size_t>(c.Predictors) + 1);
  std::vector<bool> nominal(levels.size());
  std::ostringstream text;
  text << c.Objects << " " << c.Predictors + 1 << " ?\r\n";
  for (int32_t f = 1; f <= c.Predictors; ++f) {
    // The last predictor is the second last feature of the file: up to 99 values.
    const bool wide = f == c.Predictors && c.Predictors > 1 && gen.Next(3) == 0;
    nominal[f] = wide || gen.Next(4) == 0;
    levels[f] = wide ? 11 + static_cast<int32_t>(gen.Next(89))
                     : nominal[f] ? 2 + static_cast<int32_t>(gen.Next(9)) : levelChoices[gen.Next(6)];
    text << (nominal[f] ? "0(" + std::to_string(levels[f]) + ") " : "1 ");
  }
  text << (c.Classes > 0 ? "0(" + std::to_string(c.Classes) + ")" : "1") << "\r\n";
  for (int32_t f = 1; f <= c.Predictors + 1; ++f) text << "f" << f << " ";
  text << "\r\n";
  const uint32_t missing = gen.Next(6);
  for (int32_t i = 0; i < c.Objects; ++i) {
    int32_t signal = 0;
    for (int32_t f = 1; f <= c.Predictors; ++f) {
      const std::string cell = Cell(gen, levels[f], nominal[f]);
      if (f <= 3) signal += static_cast<int32_t>(cell.size()) + (cell.back() - '0');
      text << (gen.Next(100) < missing ? "?" : cell) << " ";
    }
    signal += static_cast<int32_t>(gen.Next(5));
    if (c.Classes > 0) text << "c" << signal % c.Classes << "\r\n";
    else text << signal << "." << gen.Next(10) << "\r\n";
  }
  c.Text = text.str();
  return c;
}

// Empty when the trees are the same record for record, bit for bit.
std::string TreeDifference(const TVertex& a, const TVertex& b, const std::string& at) {
  if (a.SplitFeature != b.SplitFeature || a.ObjCount != b.ObjCount || a.Terminal != b.Terminal ||
      a.ClassCounts != b.ClassCounts || !(a.Mean == b.Mean || (a.Mean != a.Mean && b.Mean != b.Mean)) ||
      !(a.Variance == b.Variance || (a.Variance != a.Variance && b.Variance != b.Variance))) {
    return "vertex " + at;
  }
  const TBranch* x = a.FirstBranch;
  const TBranch* y = b.FirstBranch;
  for (int k = 1; x != nullptr || y != nullptr; ++k, x = x->Next, y = y->Next) {
    const std::string here = at + "." + std::to_string(k);
    if (x == nullptr || y == nullptr) return "branch count at " + here;
    if (x->Kind != y->Kind || x->Low != y->Low || x->High != y->High ||
        x->CategoryCount != y->CategoryCount || x->Categories != y->Categories) {
      return "condition of " + here;
    }
    const std::string below = TreeDifference(*x->Child, *y->Child, here);
    if (!below.empty()) return below;
  }
  return {};
}

struct TOutcome {
  TSubtree Tree;
  PerFeature<double> Score{};
  PerFeature<double> Hits{};
};

template <typename Grow>
TOutcome GrowWith(RunContext& rc, Grow grow) {
  TOutcome o;
  o.Tree = grow();
  o.Score = rc.FeatureScore;
  o.Hits = rc.FeatureHits;
  return o;
}

// Both searches over the objects; their outcomes must agree.
void ExpectSameGrowth(RunContext& rc, const std::vector<int32_t>& objects, int32_t prevFeature,
                      const std::string& label) {
  const TOutcome fast = GrowWith(rc, [&] {
    return GrowSubtree(rc, objects, rc.ActivePredictors, 0, prevFeature);
  });
  const TOutcome slow = GrowWith(rc, [&] {
    return reference::GrowSubtree(rc, objects, rc.ActivePredictors, prevFeature);
  });
  EXPECT_EQ(fast.Tree.Quality, slow.Tree.Quality) << label;
  EXPECT_EQ(fast.Tree.Leaves, slow.Tree.Leaves) << label;
  EXPECT_EQ(fast.Tree.Misclassified, slow.Tree.Misclassified) << label;
  EXPECT_EQ(TreeDifference(*fast.Tree.Tree, *slow.Tree.Tree, "root"), "") << label;
  // No stage reads the last stage's scores, which the search may then leave short of the
  // partitions and vertices that cannot win; a growth that credits them in full must give
  // the reference's scores, which a fraction's earlier stages read.
  const double frac = rc.Params->RecursiveComplexity - rc.RecursionDepth;
  if (frac > 0) {
    CreditLastStage = true;
    const TOutcome full = GrowWith(rc, [&] {
      return GrowSubtree(rc, objects, rc.ActivePredictors, 0, prevFeature);
    });
    CreditLastStage = false;
    EXPECT_EQ(TreeDifference(*full.Tree.Tree, *slow.Tree.Tree, "root"), "") << label;
    EXPECT_EQ(full.Hits, slow.Hits) << label;
    for (int32_t f = 1; f <= rc.FeaturesNumber; ++f) {
      EXPECT_EQ(full.Score[f], slow.Score[f]) << label << " feature " << f;
    }
  }
}

int CaseCount() {
  const char* text = std::getenv("TARMEL_IDENTITY_CASES");
  return text != nullptr ? std::atoi(text) : TARMEL_IDENTITY_CASES;
}

// Generated table k, grown over all its objects and over half of them below a feature,
// at the table's own lookahead or at `complexity` when that is given.
void ExpectGeneratedCaseAgrees(int k, double complexity = 0.0) {
  TTableCase c = MakeCase(static_cast<uint64_t>(k));
  if (complexity > 0) c.Complexity = complexity;
  RunParameters params;
  params.RecursiveComplexity = c.Complexity;
  params.FeatureToPredict = c.Predictors + 1;
  // Minimum sizes from every object a leaf to a fifth of them, and error weights that
  // move the balance against the leaves' count.
  static const double minObj[] = {0.05, 0.0, 0.01, 0.2};
  static const double errorWeight[] = {1.0, 1.0, 0.5, 1.0, 3.0};
  params.MinObj = minObj[k % 4];
  params.ErrorWeight = errorWeight[k % 5];
  auto run = ReadText(c.Text, params);
  ASSERT_TRUE(run->Ok) << run->Report;
  RunContext& rc = *run->Context;
  // The top vertex's features are searched on 1, 2 or 7 threads; every other case holds
  // the workers' credits in chunks of two and makes them wait for their turn after four.
  static const int32_t threads[] = {1, 2, 7};
  rc.Threads = threads[k % 3];
  const bool shortLogs = k % 2 == 0;
  search::CreditChunk = shortLogs ? 2 : size_t{1} << 16;
  search::CreditBudget = shortLogs ? 4 : size_t{1} << 22;
  std::vector<int32_t> all;
  for (int32_t i = 1; i <= rc.ObjectsNumber; ++i) {
    if (rc.ObjectActive[i]) all.push_back(i);
  }
  const std::string label = "case " + std::to_string(k) + " (" + std::to_string(c.Objects) +
                            " x " + std::to_string(c.Predictors + 1) + ", rc " +
                            std::to_string(c.Complexity) + ", " +
                            std::to_string(rc.Threads) + " threads, min " +
                            std::to_string(params.MinObj) + ", weight " +
                            std::to_string(params.ErrorWeight) +
                            (shortLogs ? ", short logs)" : ")");
  ExpectSameGrowth(rc, all, 0, label);
  // A leaf expansion regrows part of the objects below a split feature.
  std::vector<int32_t> part;
  for (size_t p = 0; p < all.size(); p += 2) part.push_back(all[p]);
  ExpectSameGrowth(rc, part, 1 + k % c.Predictors, label + " half");
  search::CreditChunk = size_t{1} << 16;
  search::CreditBudget = size_t{1} << 22;
}

TEST(SearchIdentity, GeneratedTablesGrowTheReferenceTrees) {
  const int cases = CaseCount();
  for (int k = 0; k < cases; ++k) ExpectGeneratedCaseAgrees(k);
}

// Tables beyond the usual count on which an early stop once ended a feature's search while
// a later partition could still become its best (regression vertices at the depth limit
// with an odd count of groups, whose last merge takes only one leaf off), and on which a
// spread floor that skips a feature a little below the union's best changes the tree.
TEST(SearchIdentity, TablesThatCaughtAnEarlyStop) {
  for (const int k : {389, 1702, 777, 1074}) ExpectGeneratedCaseAgrees(k);
}

// Tables three levels deep, where the same objects come up below different groups and
// their kept search is handed out again with its partition and error floors; on these a
// kept floor two errors too high changes the tree, and the counts of codes of numeric
// floors once overflowed. Every other table has room for only a few kept searches at a
// time.
TEST(SearchIdentity, SearchesFoundAgainThreeLevelsDown) {
  const size_t room = search::KeptBytes;
  bool little = false;
  for (const int k : {1, 5, 14, 101}) {
    little = !little;
    search::KeptBytes = little ? 2048 : room;
    ExpectGeneratedCaseAgrees(k, 3.0);
  }
  search::KeptBytes = room;
}

// Tables the generated ones seldom reach: hundreds of distinct values per feature at the
// depth limit, in regression and classification, and targets so large beside their
// differences that many pairs come out at equal variance drops or qualities.
struct TWideCase {
  int32_t Objects;
  int32_t Levels;
  int32_t Classes;  // 0: regression
  double Complexity;
  const char* TargetDigits;  // written before the target's own digits
};

std::string WideTableText(const TWideCase& c, uint64_t seed) {
  TGenerator gen{seed};
  std::ostringstream text;
  text << c.Objects << " 4 ?\r\n1 1 1 " << (c.Classes > 0 ? "0(" + std::to_string(c.Classes) + ")" : "1")
       << "\r\nf1 f2 f3 y\r\n";
  for (int32_t i = 0; i < c.Objects; ++i) {
    int32_t signal = 0;
    for (int32_t f = 1; f <= 3; ++f) {
      const int32_t v = static_cast<int32_t>(gen.Next(static_cast<uint32_t>(c.Levels)));
      signal += v * (4 - f) / c.Levels;
      text << v / 100 << "." << v % 100 / 10 << v % 10 << " ";
    }
    signal += static_cast<int32_t>(gen.Next(3));
    if (c.Classes > 0) text << "c" << signal % c.Classes << "\r\n";
    else text << c.TargetDigits << signal << "." << gen.Next(10) << "\r\n";
  }
  return text.str();
}

TEST(SearchIdentity, WideFeaturesAndCoarseTargets) {
  const TWideCase cases[] = {
      {400, 1000, 0, 1.0, ""},   {250, 400, 0, 2.0, ""},     {400, 1000, 3, 2.0, ""},
      {300, 1000, 2, 1.0, ""},   {200, 300, 0, 1.0, "1234567890123456"},
      {150, 300, 0, 2.0, "98765432109876543"},
  };
  uint64_t seed = 1;
  for (const TWideCase& c : cases) {
    RunParameters params;
    params.RecursiveComplexity = c.Complexity;
    params.FeatureToPredict = 4;
    auto run = ReadText(WideTableText(c, ++seed), params);
    ASSERT_TRUE(run->Ok) << run->Report;
    RunContext& rc = *run->Context;
    rc.Threads = 1;
    std::vector<int32_t> all;
    for (int32_t i = 1; i <= rc.ObjectsNumber; ++i) {
      if (rc.ObjectActive[i]) all.push_back(i);
    }
    ExpectSameGrowth(rc, all, 0,
                     "wide " + std::to_string(c.Objects) + " x " + std::to_string(c.Levels) +
                         " rc " + std::to_string(c.Complexity) + " " + c.TargetDigits);
  }
}

// Values so far apart that the difference of two overflows: the bounds between them no
// longer lie between the values they part, and the groups must still come out as the
// reference search forms them, beside neighbouring doubles whose mid-point rounds.
TEST(SearchIdentity, ValuesWhoseDifferencesOverflow) {
  const double extremes[] = {-1.5e308, -1e308, 1e308, 1.5e308};
  const double neighbours[] = {1.0, std::nextafter(1.0, 2.0)};
  for (const int32_t classes : {0, 3}) {
    for (const double complexity : {1.0, 2.0}) {
      RunParameters params;
      params.RecursiveComplexity = complexity;
      params.FeatureToPredict = 4;
      auto run = ReadText(WideTableText({90, 40, classes, complexity, ""}, 7), params);
      ASSERT_TRUE(run->Ok) << run->Report;
      RunContext& rc = *run->Context;
      rc.Threads = 1;
      std::vector<int32_t> all;
      for (int32_t i = 1; i <= rc.ObjectsNumber; ++i) {
        // The feature follows the target, so that its groups decide the tree.
        const auto key = classes > 0 ? rc.ClassLabel[i] : static_cast<int32_t>(rc.TargetValue[i]);
        rc.DataTable.At(1, i) = extremes[(key + (i % 5 == 0)) % 4];
        if (i % 7 == 0) rc.DataTable.At(2, i) = neighbours[i % 2];
        if (rc.ObjectActive[i]) all.push_back(i);
      }
      ExpectSameGrowth(rc, all, 0,
                       "classes " + std::to_string(classes) + " rc " + std::to_string(complexity));
    }
  }
}

}  // namespace
}  // namespace tarmel
