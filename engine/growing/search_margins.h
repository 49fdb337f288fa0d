// How few objects the interval partitions of a row of groups can misclassify, from their
// margins: the bound behind the depth-limit search's early stops and its error floors.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>

namespace tarmel::search {

// Margins above the cap count as the cap, which only lowers the bounds drawn from them.
constexpr int32_t MarginCap = 64;
using TMarginCounts = std::array<int32_t, MarginCap + 1>;  // groups per margin

// How far a group's largest class count stands above the next lower count: a class that
// is not among its largest holds at least that many objects fewer.
inline int32_t MarginOf(std::span<const int32_t> counts, int32_t largest) {
  int32_t below = 0;
  for (int32_t x : counts) {
    if (x < largest) below = std::max(below, x);
  }
  return largest - below;
}

// A row of groups of which no two neighbours share a largest class, misclassifying
// `errors` objects as leaves. A union of k neighbours has a largest class that is largest
// in at most every other one of them; each of the others holds at most its largest count
// less its margin of it, so the union misclassifies at least the floor(k/2) smallest of
// their margins more. Going from the row's R groups to L intervals so adds at least the
// ceil((R - L)/2) smallest margins of all. Calls visit(low, fewest) for j = 1, 2, ...: a
// partition into low = R - 2j or low + 1 intervals (low may be 1), or into fewer,
// misclassifies at least `fewest`; stops at the first visit that returns false, and
// returns whether none did.
template <typename Visit>
bool ForEachMarginFloor(int32_t errors, int32_t groups, TMarginCounts perMargin, Visit visit) {
  int32_t margin = 0;
  for (int32_t j = 1; groups - 2 * j >= 1; ++j) {
    while (perMargin[static_cast<size_t>(margin)] == 0) ++margin;
    --perMargin[static_cast<size_t>(margin)];
    errors += margin;
    if (!visit(groups - 2 * j, errors)) return false;
  }
  return true;
}

}  // namespace tarmel::search
