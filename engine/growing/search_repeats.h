// Searches at the depth limit that come up again. With three levels of lookahead or more,
// the objects of one interval of a feature within one interval of another are reached from
// either feature, and below neighbouring groups that hold none of them in between; their
// search finds the same partition every time, so it is kept and handed out again.
#pragma once

#include <cstdint>
#include <span>
#include <unordered_map>
#include <utility>
#include <vector>

#include "run_context.h"
#include "search_floors.h"
#include "split_search.h"
#include "tree_records.h"

namespace tarmel::search {

// A credit to a feature's score: the feature and the quality.
using TCredit = std::pair<int32_t, double>;

// What makes two searches at the depth limit the same within one outermost vertex: the
// objects in their order (the sums run in it) and the features they may use, which leave
// out the feature split above (an interval of A within one of B is the same search as one
// of B within one of A).
struct TRepeatKey {
  uint64_t Hash = 0;
  uint64_t Usable = 0;  // a bit per feature
};

// One kept search, its lists in the pools of TRepeats: its key's objects and flags, its
// result, the branches of its partition, the error floors it learned, if any were asked
// for, and the credits it made, in order, where a later stage reads them.
struct TKeptSearch {
  size_t FirstObject = 0;
  int32_t Objects = 0;
  uint64_t Usable = 0;
  TGrowResult Result;
  int32_t SplitFeature = 0;
  size_t FirstBranch = 0;
  int32_t Branches = 0;
  size_t FirstFloor = 0;
  bool Floors = false;
  size_t FirstCredit = 0;
  int32_t Credits = 0;
};

// An error floor of a kept search, its misclassified counts in the pool of TRepeats unless
// they are all the same.
struct TKeptFloor {
  int32_t Known = -1;
  int32_t Codes = 0;
  double Spread = 0.0;
  int32_t Fewest = 0;           // every count, when they are all the same
  size_t FirstFewest = NoCounts;  // else where they are in the pool
  static constexpr size_t NoCounts = ~size_t{0};
};

// A branch of a kept partition: its condition, with its codes in the pool, and its leaf.
struct TKeptBranch {
  uint8_t Kind = 0;
  double Low = 0.0;
  double High = 0.0;
  int32_t CategoryCount = 0;
  size_t FirstCode = 0;
  TVertex Leaf;  // without branches
};

// The kept searches of one outermost vertex; they read the run's tables through their
// object numbers, so they are forgotten with it. At most KeptBytes are held: past that
// every search is forgotten, so memory stays bounded whatever the table.
class TRepeats {
 public:
  void Forget();
  // Where the credits of the search about to run go, to be kept with it; every search that
  // may be kept starts with it.
  std::vector<TCredit>* StartCredits();
  const TKeptSearch* Find(const TRepeatKey& key, std::span<const int32_t> objects) const;
  void Keep(const TRepeatKey& key, std::span<const int32_t> objects, const TVertex& v,
            const TGrowResult& result, const TErrorFloor* floors, int32_t features);
  // Gives v the partition and result of the search kept for this key, its floors to
  // `floorsOut` (or none learned when it kept none), and makes its credits again; false
  // when no search of this key is kept.
  bool Take(RunContext& rc, const TRepeatKey& key, std::span<const int32_t> objects, TVertex& v,
            TGrowResult& result, TErrorFloor* floorsOut) const;

 private:
  size_t Bytes() const;
  bool KeepPartition(const TVertex& v);
  void KeepFloor(const TErrorFloor& floor);
  void TakeFloor(const TKeptFloor& kept, TErrorFloor& floor) const;

  std::unordered_map<uint64_t, uint32_t> Index_;
  std::vector<TKeptSearch> Kept_;
  std::vector<int32_t> Objects_;
  std::vector<TKeptBranch> Branches_;
  std::vector<int32_t> Codes_;
  std::vector<TKeptFloor> Floors_;
  std::vector<int32_t> Fewest_;
  std::vector<TCredit> Credits_;
  std::vector<TCredit> Made_;  // by the search being run
};

// A variable only so that the tests can make it small.
inline size_t KeptBytes = size_t{4} << 20;

TRepeatKey RepeatKeyOf(std::span<const int32_t> objects, const FeatureFlags& available,
                       int32_t prevFeature);

}  // namespace tarmel::search
