// The generator every run draws its folds from, unless the caller gives it its own.
#include "treeTarmel.h"

namespace tarmel {

uint32_t TRandom::Next(uint32_t n) {
  Seed = Seed * 134775813u + 1u;
  return static_cast<uint32_t>((static_cast<uint64_t>(Seed) * n) >> 32);
}

TRandom& SharedRandom() {
  static TRandom random;
  return random;
}

}  // namespace tarmel
