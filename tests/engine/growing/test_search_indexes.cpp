// The index of pair changes, and the key row and key tree of variance keys, against a plain
// scan of the slots, over scripted and random sequences of pairs built and freed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "search_change_index.h"
#include "search_key_tree.h"

namespace tarmel::search {
namespace {

// Draws below n from a 64-bit linear congruential generator: the same on every machine.
struct TDraws {
  uint64_t State;
  int32_t operator()(uint32_t n) {
    State = State * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<int32_t>((State >> 33) % n);
  }
};

// The first slot of the lowest change by a scan; 0 when all are free.
int32_t ScanFirstLowest(const std::vector<int32_t>& changes) {
  int32_t first = 0;
  for (int32_t slot = 1; slot < static_cast<int32_t>(changes.size()); ++slot) {
    if (changes[slot] != NoChange && (first == 0 || changes[slot] < changes[first])) first = slot;
  }
  return first;
}

struct TStep {
  int32_t Slot;
  int32_t Change;  // NoChange: free the slot
  int32_t First;   // expected first slot of the lowest change afterwards
};

TEST(ChangeIndex, FollowsTheLowestChangeAsSlotsComeAndGo) {
  const TStep steps[] = {
      {3, 2, 3},         {5, 2, 3},         {7, 1, 7},  // a lower change takes over
      {2, 1, 2},                                        // an earlier slot of the same change
      {2, NoChange, 7},  {7, NoChange, 3},              // back up to the next change in use
      {4, 0, 4},         {1, 0, 1},         {1, NoChange, 4},
      {4, NoChange, 3},  {3, NoChange, 5},  {5, NoChange, 0},  // every slot free
      {6, 9, 6},                                        // the highest change in range
  };
  TChangeIndex index;
  index.Reset(8, 9);
  EXPECT_EQ(index.FirstLowest(), 0);
  for (const TStep& step : steps) {
    if (step.Change == NoChange) {
      index.Free(step.Slot);
    } else {
      ASSERT_TRUE(index.Set(step.Slot, step.Change));
    }
    EXPECT_EQ(index.FirstLowest(), step.First) << "after slot " << step.Slot;
  }
  EXPECT_FALSE(index.Set(2, 10)) << "above the range";
  EXPECT_FALSE(index.Set(2, -1)) << "below the range";
  EXPECT_EQ(index.Change(2), NoChange);
}

TEST(ChangeIndex, AgreesWithAScanOverRandomBuildsAndFrees) {
  TDraws next{7};
  for (int32_t round = 0; round < 50; ++round) {
    const int32_t slots = 2 + next(60);
    const int32_t maxChange = next(12);
    TChangeIndex index;
    index.Reset(slots, maxChange);
    std::vector<int32_t> changes(static_cast<size_t>(slots), NoChange);
    for (int32_t step = 0; step < 400; ++step) {
      const int32_t slot = 1 + next(static_cast<uint32_t>(slots - 1));
      if (changes[slot] != NoChange) {
        index.Free(slot);
        changes[slot] = NoChange;
      } else {
        changes[slot] = next(static_cast<uint32_t>(maxChange) + 1);
        ASSERT_TRUE(index.Set(slot, changes[slot]));
      }
      ASSERT_EQ(index.FirstLowest(), ScanFirstLowest(changes)) << "round " << round;
    }
  }
}

// The first slot of the lowest key, that key and the next higher one, by a scan.
struct TKeys {
  int32_t First = 0;
  double Low = NoKey;
  double Next = NoKey;
};

TKeys ScanKeys(const std::vector<double>& keys) {
  TKeys k;
  for (int32_t slot = 1; slot < static_cast<int32_t>(keys.size()); ++slot) {
    if (keys[slot] < k.Low) {
      k.First = slot;
      k.Low = keys[slot];
    }
  }
  for (double key : keys) {
    if (key > k.Low && key < k.Next) k.Next = key;
  }
  return k;
}

// Keys drawn from a few values, so that ties fall across the row's lanes and the tree's
// halves; slot counts that fill the row's fours and that leave some over.
TEST(KeyIndexes, RowAndTreeAgreeWithAScanOverRandomBuildsAndFrees) {
  TDraws next{11};
  for (int32_t round = 0; round < 60; ++round) {
    const int32_t slots = 2 + next(70);
    TKeyRow row;
    TKeyTree tree;
    row.Reset(slots);
    tree.Reset(slots);
    tree.Order();
    std::vector<double> keys(static_cast<size_t>(slots), NoKey);
    for (int32_t step = 0; step < 300; ++step) {
      const int32_t slot = 1 + next(static_cast<uint32_t>(slots - 1));
      if (keys[slot] != NoKey && next(2) == 0) {
        row.Free(slot);
        tree.Free(slot);
        keys[slot] = NoKey;
      } else {
        keys[slot] = -0.5 * next(6) + (next(4) == 0 ? 1e-9 : 0.0);
        row.Set(slot, keys[slot]);
        tree.Set(slot, keys[slot]);
      }
      const TKeys expected = ScanKeys(keys);
      TKeys fromRow;
      row.Scan(fromRow.First, fromRow.Low, fromRow.Next);
      const std::string at = "round " + std::to_string(round) + " step " + std::to_string(step);
      ASSERT_EQ(fromRow.First, expected.First) << at;
      ASSERT_EQ(fromRow.Next, expected.Next) << at;
      ASSERT_EQ(tree.First(), expected.First) << at;
      ASSERT_EQ(tree.Next(), expected.Next) << at;
      if (expected.First != 0) {
        ASSERT_EQ(fromRow.Low, expected.Low) << at;
        ASSERT_EQ(tree.Low(), expected.Low) << at;
      }
    }
  }
}

}  // namespace
}  // namespace tarmel::search
