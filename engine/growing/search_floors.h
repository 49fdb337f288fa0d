// The error floor of a feature over some objects, learned by their search at the depth
// limit and kept by the vertex above it for the unions of its groups.
#pragma once

#include <array>
#include <cstdint>

namespace tarmel::search {

// The most leaves whose error floor is kept apart; above it every count shares one floor.
constexpr int32_t FloorLeaves = 32;

// How few objects one feature's partitions of some objects misclassify at the depth limit,
// learned from their search there: into at most L intervals of the feature's values, at
// least Fewest[L] (L from 2 to FloorLeaves), and into any number, at least Fewest[0].
// The floors of two object sets add up to a floor of their union: an interval partition of
// the union cuts each of them into at most as many intervals, and the union's largest
// class in an interval holds at most the two largest. Nominal groups join in any
// combination, so their floor is that of the finest partition for every count of leaves,
// which adds up the same way. So do the spreads within values: a group's spread is at
// least the spreads of its parts.
struct TErrorFloor {
  int32_t Known = -1;  // objects with a known value of the feature; -1: nothing learned
  int32_t Codes = 0;   // nominal: at most this many distinct codes among them
  std::array<int32_t, FloorLeaves + 1> Fewest{};
  // In regression: the spread of the targets within the feature's values (the sum of count
  // times variance), which no grouping of the values lowers.
  double Spread = 0.0;
};

}  // namespace tarmel::search
