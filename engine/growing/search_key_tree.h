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
