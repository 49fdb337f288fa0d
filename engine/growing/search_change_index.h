// The misclassified changes of the pair slots at the depth limit, indexed so that the first
// slot of the lowest change is found without scanning every slot after every merge.
#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>
#include <vector>

namespace tarmel::search {

// The change of a free slot: above every change a pair can have.
constexpr int32_t NoChange = std::numeric_limits<int32_t>::max();

// Changes are counts of objects, from 0 up to the objects of the vertex. Per change value
// the index counts the slots that have it and keeps a slot before which none has it, so a
// search for the first slot of a value starts there; the lowest value in use is followed
// as slots come and go.
class TChangeIndex {
 public:
  // Slots 0..slots-1, all free; changes from 0 to maxChange.
  void Reset(int32_t slots, int32_t maxChange) {
    Changes_.assign(static_cast<size_t>(slots), NoChange);
    Count_.assign(static_cast<size_t>(maxChange) + 1, 0);
    From_.assign(static_cast<size_t>(maxChange) + 1, slots);
    Low_ = maxChange;
    Used_ = 0;
  }
  // Gives a free slot its change; false, leaving the slot free, for a change out of range.
  bool Set(int32_t slot, int32_t change) {
    if (change < 0 || change >= static_cast<int32_t>(Count_.size())) return false;
    Changes_[static_cast<size_t>(slot)] = change;
    ++Count_[static_cast<size_t>(change)];
    From_[static_cast<size_t>(change)] = std::min(From_[static_cast<size_t>(change)], slot);
    Low_ = std::min(Low_, change);
    ++Used_;
    return true;
  }
  void Free(int32_t slot) {
    int32_t& change = Changes_[static_cast<size_t>(slot)];
    if (change == NoChange) return;
    --Count_[static_cast<size_t>(change)];
    --Used_;
    change = NoChange;
  }
  // The first slot of the lowest change, 0 when every slot is free.
  int32_t FirstLowest() {
    if (Used_ == 0) return 0;
    while (Count_[static_cast<size_t>(Low_)] == 0) ++Low_;
    int32_t slot = From_[static_cast<size_t>(Low_)];
    while (Changes_[static_cast<size_t>(slot)] != Low_) ++slot;
    From_[static_cast<size_t>(Low_)] = slot;
    return slot;
  }
  int32_t Change(int32_t slot) const { return Changes_[static_cast<size_t>(slot)]; }

 private:
  std::vector<int32_t> Changes_;  // per slot
  std::vector<int32_t> Count_;    // per change: slots that have it
  std::vector<int32_t> From_;     // per change: no slot before this one has it
  int32_t Low_ = 0;               // no slot has a lower change
  int32_t Used_ = 0;
};

}  // namespace tarmel::search
