// The generator every run draws its folds from.
#include <gtest/gtest.h>

#include "treeTarmel.h"

namespace tarmel {
namespace {

TEST(SharedRandom, GeneratorStartsAtSeedZero) {
  TRandom r;
  EXPECT_EQ(r.Next(1000), 0u);
  EXPECT_EQ(r.Next(1000), 31u);
  EXPECT_EQ(r.Next(1000), 861u);
  EXPECT_EQ(r.Seed, 3698175007u);
  EXPECT_EQ(r.Next(10), 2u);
}

}  // namespace
}  // namespace tarmel
