// The key tree of the split search: numeric pairs ordered by one key (the variance drop),
// so that the pair of the lowest key and the next higher key are read without a scan.
#pragma once

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
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
  // Slot 0 is never used; the slots after it come in whole fours for the scan, the last
  // ones free.
  void Reset(int32_t slots) {
    Keys_.assign(1 + (static_cast<size_t>(std::max(slots - 1, 0)) + 3) / 4 * 4, NoKey);
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
  // higher one, in two passes over four slots at a time without a branch: the lowest key
  // of each lane with its first slot, then the lowest key above the lowest of all.
  void Scan(int32_t& first, double& low, double& next) const {
    TLanes lows[2] = {NoKeys(), NoKeys()};
    TSlots firsts[2] = {};
    TSlots slots[2] = {{1, 2}, {3, 4}};
    for (size_t at = 1; at < Keys_.size(); at += 4) {
      for (int h = 0; h < 2; ++h) {
        const TLanes keys = Load(at + 2 * static_cast<size_t>(h));
        const TSlots lower = keys < lows[h];
        firsts[h] = lower ? slots[h] : firsts[h];
        lows[h] = lower ? keys : lows[h];
        slots[h] += 4;
      }
    }
    low = std::min(std::min(lows[0][0], lows[0][1]), std::min(lows[1][0], lows[1][1]));
    first = 0;
    next = NoKey;
    if (low == NoKey) return;
    for (int lane = 0; lane < 4; ++lane) {
      const auto slot = static_cast<int32_t>(firsts[lane / 2][lane % 2]);
      if (lows[lane / 2][lane % 2] == low && (first == 0 || slot < first)) first = slot;
    }
    TLanes above[2] = {NoKeys(), NoKeys()};
    for (size_t at = 1; at < Keys_.size(); at += 4) {
      for (int h = 0; h < 2; ++h) {
        const TLanes keys = Load(at + 2 * static_cast<size_t>(h));
        const TLanes candidates = keys > low ? keys : NoKeys();
        above[h] = candidates < above[h] ? candidates : above[h];
      }
    }
    next = std::min(std::min(above[0][0], above[0][1]), std::min(above[1][0], above[1][1]));
  }

 private:
  using TLanes = double __attribute__((vector_size(16)));
  using TSlots = int64_t __attribute__((vector_size(16)));
  static TLanes NoKeys() { return TLanes{NoKey, NoKey}; }
  TLanes Load(size_t at) const {
    TLanes keys;
    std::memcpy(&keys, Keys_.data() + at, sizeof keys);
    return keys;
  }

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
  // Joins the nodes above leaf i again, up to the first that comes out as it was: the
  // nodes above it are made of the same children.
  void Climb(int32_t i) {
    for (i /= 2; i >= 1; i /= 2) {
      const TNode before = Nodes_[static_cast<size_t>(i)];
      Join(i);
      if (Same(before, Nodes_[static_cast<size_t>(i)])) return;
    }
  }
  static bool Same(const TNode& x, const TNode& y) {
    return x.First == y.First && std::bit_cast<uint64_t>(x.Low) == std::bit_cast<uint64_t>(y.Low) &&
           std::bit_cast<uint64_t>(x.Next) == std::bit_cast<uint64_t>(y.Next);
  }
  int32_t Leaves_ = 1;
  std::vector<TNode> Nodes_;
  int32_t NotFinite_ = 0;
};

}  // namespace tarmel::search
