// The margin floors against the fewest errors an interval partition can reach, found by
// trying every partition of small generated rows of groups, alone and for the union of two
// object sets whose floors add up.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <vector>

#include "search_margins.h"

namespace tarmel::search {
namespace {

using TRow = std::vector<int32_t>;  // class counts of a group

struct TGenerator {
  uint64_t State;
  int32_t Next(int32_t n) {
    State = State * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<int32_t>((State >> 33) % static_cast<uint64_t>(n));
  }
};

int32_t Largest(const TRow& r) { return *std::max_element(r.begin(), r.end()); }
int32_t Errors(const TRow& r) { return std::accumulate(r.begin(), r.end(), 0) - Largest(r); }

TRow Sum(TRow a, const TRow& b) {
  for (size_t c = 0; c < a.size(); ++c) a[c] += b[c];
  return a;
}

// Neighbours that share a largest class joined from left to right, as the search's sweep
// joins them; afterwards no two neighbours share one.
std::vector<TRow> JoinSharing(const std::vector<TRow>& rows) {
  std::vector<TRow> runs;
  for (const TRow& r : rows) {
    if (!runs.empty() && Largest(Sum(runs.back(), r)) == Largest(runs.back()) + Largest(r)) {
      runs.back() = Sum(runs.back(), r);
    } else {
      runs.push_back(r);
    }
  }
  return runs;
}

// exact[L]: the fewest errors of a partition of the rows into L intervals, by trying them
// all; entry 0 unused.
std::vector<int32_t> FewestByTrial(const std::vector<TRow>& rows) {
  const size_t n = rows.size();
  const int32_t none = 1 << 28;
  std::vector<std::vector<int32_t>> best(n + 1, std::vector<int32_t>(n + 1, none));
  best[0][0] = 0;
  for (size_t i = 1; i <= n; ++i) {
    for (size_t l = 1; l <= i; ++l) {
      TRow united(rows[0].size(), 0);
      for (size_t j = i; j-- > 0;) {  // the last interval holds rows j..i-1
        united = Sum(united, rows[j]);
        if (best[j][l - 1] < none) best[i][l] = std::min(best[i][l], best[j][l - 1] + Errors(united));
      }
    }
  }
  return best[n];
}

// floor[L] for L from 1 to `upTo`: the errors at least of a partition into L or fewer
// intervals, as the search keeps them for a row without shared largest classes.
std::vector<int32_t> MarginFloor(const std::vector<TRow>& runs, int32_t upTo) {
  TMarginCounts perMargin{};
  int32_t errors = 0;
  for (const TRow& r : runs) {
    ++perMargin[static_cast<size_t>(std::min(MarginOf(r, Largest(r)), MarginCap))];
    errors += Errors(r);
  }
  std::vector<int32_t> floor(static_cast<size_t>(upTo) + 1, errors);
  ForEachMarginFloor(errors, static_cast<int32_t>(runs.size()), perMargin,
                     [&floor, upTo](int32_t low, int32_t fewest) {
                       for (int32_t l = 1; l <= std::min(low + 1, upTo); ++l) {
                         floor[static_cast<size_t>(l)] = std::max(floor[static_cast<size_t>(l)], fewest);
                       }
                       return true;
                     });
  return floor;
}

// Objects as (value, class) over few values; the rows of their distinct values in order.
std::vector<TRow> RowsOf(const std::vector<std::pair<int32_t, int32_t>>& objects, int32_t values,
                         int32_t classes) {
  std::vector<TRow> rows;
  for (int32_t v = 0; v < values; ++v) {
    TRow row(static_cast<size_t>(classes), 0);
    bool held = false;
    for (const auto& [value, label] : objects) {
      if (value != v) continue;
      ++row[static_cast<size_t>(label)];
      held = true;
    }
    if (held) rows.push_back(row);
  }
  return rows;
}

// Every partition into L intervals, or fewer, misclassifies at least the floor for L.
void ExpectFloorBelowTrials(const std::vector<int32_t>& floor, const std::vector<int32_t>& exact,
                            const std::string& label) {
  for (size_t l = 1; l < floor.size(); ++l) {
    for (size_t fewer = 1; fewer <= std::min(l, exact.size() - 1); ++fewer) {
      ASSERT_LE(floor[l], exact[fewer]) << label << " into " << fewer << " of at most " << l;
    }
  }
}

TEST(MarginFloors, NoIntervalPartitionMisclassifiesFewer) {
  for (uint64_t k = 0; k < 400; ++k) {
    TGenerator gen{k + 11};
    const int32_t classes = 2 + gen.Next(3);
    const int32_t scale = gen.Next(4) == 0 ? 90 : 6;  // large counts reach the margins' cap
    std::vector<TRow> rows(static_cast<size_t>(2 + gen.Next(9)));
    for (TRow& r : rows) {
      r.resize(static_cast<size_t>(classes));
      for (int32_t& x : r) x = gen.Next(scale);
    }
    const std::vector<TRow> runs = JoinSharing(rows);
    for (size_t i = 1; i < runs.size(); ++i) {
      ASSERT_GT(Largest(runs[i - 1]) + Largest(runs[i]), Largest(Sum(runs[i - 1], runs[i])));
    }
    const std::vector<int32_t> floor = MarginFloor(runs, static_cast<int32_t>(runs.size()));
    ExpectFloorBelowTrials(floor, FewestByTrial(runs), "rows " + std::to_string(k));
  }
}

TEST(MarginFloors, TwoSetsFloorTheirUnion) {
  for (uint64_t k = 0; k < 300; ++k) {
    TGenerator gen{k + 5};
    const int32_t classes = 2 + gen.Next(3);
    const int32_t values = 3 + gen.Next(8);
    std::vector<std::pair<int32_t, int32_t>> a, b;
    for (int32_t i = 0, n = 4 + gen.Next(30); i < n; ++i) {
      auto& set = gen.Next(3) == 0 ? b : a;
      set.emplace_back(gen.Next(values), gen.Next(2) == 0 ? 0 : gen.Next(classes));
    }
    if (a.empty() || b.empty()) continue;
    std::vector<std::pair<int32_t, int32_t>> both = a;
    both.insert(both.end(), b.begin(), b.end());
    const std::vector<TRow> united = RowsOf(both, values, classes);
    const auto upTo = static_cast<int32_t>(united.size());
    const std::vector<int32_t> fa = MarginFloor(JoinSharing(RowsOf(a, values, classes)), upTo);
    const std::vector<int32_t> fb = MarginFloor(JoinSharing(RowsOf(b, values, classes)), upTo);
    std::vector<int32_t> floor(fa.size());
    for (size_t l = 0; l < floor.size(); ++l) floor[l] = fa[l] + fb[l];
    ExpectFloorBelowTrials(floor, FewestByTrial(united), "sets " + std::to_string(k));
  }
}

}  // namespace
}  // namespace tarmel::search
