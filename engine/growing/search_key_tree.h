// The key tree of the split search: numeric pairs ordered by one key (the variance drop),
// so that the pair of the lowest key and the next higher key are read without a scan.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

namespace tarmel::search {

// Numeric pairs by variance drop: from this many groups on the key tree costs less than
// scanning the pairs for every merge.
constexpr int32_t KeyTreeGroups = 160;

// Above every key, so that a pass for the next higher key starts from it.
constexpr double NoKey = std::numeric_limits<double>::infinity();

// The keys of the pair slots in one row, by slot, scanned after every merge: for fewer
// groups than KeyTreeGroups a pass over a few hundred bytes costs less than keeping a tree
// in order. A free slot holds NoKey, which no scan takes; a key that is not a finite
// number has no place in the order and is counted instead.
class TKeyRow {
 public:
  void Reset(int32_t slots) {
    Keys_.assign(static_cast<size_t>(slots), NoKey);
    NotFinite_.assign(static_cast<size_t>(slots), 0);
    NotFiniteCount_ = 0;
  }
  void Set(int32_t slot, double key) {
    Free(slot);
    if (std::isfinite(key)) {
      Keys_[static_cast<size_t>(slot)] = key;
    } else {
      NotFinite_[static_cast<size_t>(slot)] = 1;
      ++NotFiniteCount_;
    }
  }
  void Free(int32_t slot) {
    Keys_[static_cast<size_t>(slot)] = NoKey;
    NotFiniteCount_ -= NotFinite_[static_cast<size_t>(slot)];
    NotFinite_[static_cast<size_t>(slot)] = 0;
  }
  bool Ordered() const { return NotFiniteCount_ == 0; }
  // The first slot of the lowest key (0 when every slot is free), that key and the next
  // higher one.
  void Scan(int32_t& first, double& low, double& next) const {
    first = 0;
    low = NoKey;
    next = NoKey;
    for (size_t slot = 1; slot < Keys_.size(); ++slot) {
      const double key = Keys_[slot];
      if (key < low) {
        next = low;
        low = key;
        first = static_cast<int32_t>(slot);
      } else if (key > low && key < next) {
        next = key;
      }
    }
  }

 private:
  std::vector<double> Keys_;
  std::vector<uint8_t> NotFinite_;
  int32_t NotFiniteCount_ = 0;
};

// The keys of the numeric pair slots in a tournament tree: each node holds the lowest key
// below it with its lowest slot, and the next higher key below it, so that the first pair
// of the lowest key and the runner-up key are at the top after every merge. A key that is
// not a finite number has no place in that order; they are counted instead.
class TKeyTree {
 public:
  void Reset(int32_t slots) {
    Leaves_ = 1;
    while (Leaves_ < slots) Leaves_ *= 2;
    Nodes_.assign(2 * static_cast<size_t>(Leaves_), TNode{});
    NotFinite_ = 0;
  }
  // Sets a slot's key without reordering; Order() then puts the tree in order.
  void Place(int32_t slot, double key) {
    TNode& leaf = Nodes_[static_cast<size_t>(Leaves_ + slot)];
    NotFinite_ += (leaf.First != 0 && !std::isfinite(leaf.Low) ? -1 : 0) + !std::isfinite(key);
    leaf = {key, NoKey, slot};
  }
  void Free(int32_t slot) {
    TNode& leaf = Nodes_[static_cast<size_t>(Leaves_ + slot)];
    NotFinite_ -= leaf.First != 0 && !std::isfinite(leaf.Low);
    leaf = TNode{};
    Climb(Leaves_ + slot);
  }
  void Set(int32_t slot, double key) {
    Place(slot, key);
    Climb(Leaves_ + slot);
  }
  void Order() {
    for (int32_t i = Leaves_ - 1; i >= 1; --i) Join(i);
  }
  bool Ordered() const { return NotFinite_ == 0; }
  int32_t First() const { return Nodes_[1].First; }
  double Low() const { return Nodes_[1].Low; }
  double Next() const { return Nodes_[1].Next; }

 private:
  struct TNode {
    double Low = NoKey;
    double Next = NoKey;
    int32_t First = 0;  // 0: no key below
  };
  void Join(int32_t i) {
    const TNode& l = Nodes_[2 * static_cast<size_t>(i)];
    const TNode& r = Nodes_[2 * static_cast<size_t>(i) + 1];
    TNode& n = Nodes_[static_cast<size_t>(i)];
    if (r.Low < l.Low) {
      n = {r.Low, std::min(r.Next, l.Low), r.First};
    } else if (l.Low < r.Low) {
      n = {l.Low, std::min(l.Next, r.Low), l.First};
    } else {  // equal keys: the lower slot, on the left, comes first
      n = {l.Low, std::min(l.Next, r.Next), l.First != 0 ? l.First : r.First};
    }
  }
  void Climb(int32_t i) {
    for (i /= 2; i >= 1; i /= 2) Join(i);
  }
  int32_t Leaves_ = 1;
  std::vector<TNode> Nodes_;
  int32_t NotFinite_ = 0;
};

}  // namespace tarmel::search
