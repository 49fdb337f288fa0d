// Kept searches at the depth limit: their lists live in a few pools, so that keeping one
// allocates next to nothing and forgetting them all frees nothing.
#include "search_repeats.h"

#include <algorithm>

#include "search_steps.h"

namespace tarmel::search {
namespace {

// FNV-1a over 32-bit words.
uint64_t Mix(uint64_t hash, uint32_t word) { return (hash ^ word) * 1099511628211ull; }

}  // namespace

void TRepeats::Forget() {
  Index_.clear();
  Kept_.clear();
  Objects_.clear();
  Branches_.clear();
  Codes_.clear();
  Floors_.clear();
  Fewest_.clear();
  Credits_.clear();
}

std::vector<TCredit>* TRepeats::StartCredits() {
  Made_.clear();
  return &Made_;
}

size_t TRepeats::Bytes() const {
  constexpr size_t IndexEntry = 32;  // a node of the index, about
  return Index_.size() * IndexEntry + Kept_.size() * sizeof(TKeptSearch) +
         (Objects_.size() + Codes_.size() + Fewest_.size()) * sizeof(int32_t) +
         Branches_.size() * sizeof(TKeptBranch) + Floors_.size() * sizeof(TKeptFloor) +
         Credits_.size() * sizeof(TCredit);
}

const TKeptSearch* TRepeats::Find(const TRepeatKey& key, std::span<const int32_t> objects) const {
  const auto it = Index_.find(key.Hash);
  if (it == Index_.end()) return nullptr;
  const TKeptSearch& kept = Kept_[it->second];
  const auto keptObjects =
      std::span(Objects_).subspan(kept.FirstObject, static_cast<size_t>(kept.Objects));
  const bool same = kept.Usable == key.Usable && std::ranges::equal(keptObjects, objects);
  return same ? &kept : nullptr;
}

// The branches of v, whose children are leaves; false when one of them is split.
bool TRepeats::KeepPartition(const TVertex& v) {
  for (const TBranch* b = v.FirstBranch; b != nullptr; b = b->Next) {
    if (b->Child->FirstBranch != nullptr) return false;
    TKeptBranch& kept = Branches_.emplace_back();
    kept.Kind = b->Kind;
    kept.Low = b->Low;
    kept.High = b->High;
    kept.CategoryCount = b->CategoryCount;
    kept.FirstCode = Codes_.size();
    Codes_.insert(Codes_.end(), b->Categories.begin() + 1,
                  b->Categories.begin() + 1 + b->CategoryCount);
    CopyVertexFields(kept.Leaf, *b->Child);
  }
  return true;
}

void TRepeats::KeepFloor(const TErrorFloor& floor) {
  TKeptFloor& kept = Floors_.emplace_back();
  kept.Known = floor.Known;
  kept.Codes = floor.Codes;
  kept.Spread = floor.Spread;
  kept.Fewest = floor.Fewest[0];
  const auto differs = [&floor](int32_t fewest) { return fewest != floor.Fewest[0]; };
  if (std::ranges::any_of(floor.Fewest, differs)) {
    kept.FirstFewest = Fewest_.size();
    Fewest_.insert(Fewest_.end(), floor.Fewest.begin(), floor.Fewest.end());
  }
}

void TRepeats::TakeFloor(const TKeptFloor& kept, TErrorFloor& floor) const {
  floor.Known = kept.Known;
  floor.Codes = kept.Codes;
  floor.Spread = kept.Spread;
  if (kept.FirstFewest == TKeptFloor::NoCounts) {
    floor.Fewest.fill(kept.Fewest);
  } else {
    std::copy_n(Fewest_.begin() + static_cast<std::ptrdiff_t>(kept.FirstFewest),
                floor.Fewest.size(), floor.Fewest.begin());
  }
}

void TRepeats::Keep(const TRepeatKey& key, std::span<const int32_t> objects, const TVertex& v,
                    const TGrowResult& result, const TErrorFloor* floors, int32_t features) {
  // A different search of the same hash keeps its place.
  if (Index_.contains(key.Hash)) return;
  if (Bytes() > KeptBytes) Forget();
  TKeptSearch kept{.FirstObject = Objects_.size(),
                   .Objects = static_cast<int32_t>(objects.size()),
                   .Usable = key.Usable,
                   .Result = result,
                   .SplitFeature = v.SplitFeature,
                   .FirstBranch = Branches_.size(),
                   .FirstFloor = Floors_.size(),
                   .Floors = floors != nullptr,
                   .FirstCredit = Credits_.size(),
                   .Credits = static_cast<int32_t>(Made_.size())};
  const size_t codes = Codes_.size();
  if (!KeepPartition(v)) {
    Branches_.resize(kept.FirstBranch);
    Codes_.resize(codes);
    return;
  }
  kept.Branches = static_cast<int32_t>(Branches_.size() - kept.FirstBranch);
  Objects_.insert(Objects_.end(), objects.begin(), objects.end());
  // A feature that is not usable learns nothing: only the others' floors are kept.
  if (kept.Floors) {
    KeepFloor(floors[0]);
    for (int32_t g = 1; g <= features; ++g) {
      if (key.Usable >> g & 1) KeepFloor(floors[g]);
    }
  }
  Credits_.insert(Credits_.end(), Made_.begin(), Made_.end());
  Index_.emplace(key.Hash, static_cast<uint32_t>(Kept_.size()));
  Kept_.push_back(kept);
}

bool TRepeats::Take(RunContext& rc, const TRepeatKey& key, std::span<const int32_t> objects,
                    TVertex& v, TGrowResult& result, TErrorFloor* floorsOut) const {
  const TKeptSearch* found = Find(key, objects);
  if (found == nullptr) return false;
  const TKeptSearch& kept = *found;
  const int32_t features = rc.FeaturesNumber;
  for (int32_t k = 0; k < kept.Credits; ++k) {
    const auto& [f, quality] = Credits_[kept.FirstCredit + static_cast<size_t>(k)];
    CreditFeature(rc, f, quality);
  }
  result = kept.Result;
  v.SplitFeature = kept.SplitFeature;
  PBranch* tail = &v.FirstBranch;
  for (int32_t k = 0; k < kept.Branches; ++k) {
    const TKeptBranch& from = Branches_[kept.FirstBranch + static_cast<size_t>(k)];
    PBranch b = NewBranch();
    b->Kind = from.Kind;
    b->Low = from.Low;
    b->High = from.High;
    b->CategoryCount = from.CategoryCount;
    std::copy_n(Codes_.begin() + static_cast<std::ptrdiff_t>(from.FirstCode), from.CategoryCount,
                b->Categories.begin() + 1);
    CopyVertexFields(*b->Child, from.Leaf);
    *tail = b;
    tail = &b->Next;
  }
  if (floorsOut == nullptr) return true;
  if (!kept.Floors) {
    floorsOut[0].Known = -1;
    return true;
  }
  size_t at = kept.FirstFloor;
  TakeFloor(Floors_[at++], floorsOut[0]);
  for (int32_t g = 1; g <= features; ++g) {
    if (kept.Usable >> g & 1) TakeFloor(Floors_[at++], floorsOut[g]);
    else floorsOut[g].Known = -1;
  }
  return true;
}

TRepeatKey RepeatKeyOf(std::span<const int32_t> objects, const FeatureFlags& available,
                       int32_t prevFeature) {
  static_assert(MaxFeatures < 64, "a feature's bit in the key");
  TRepeatKey key{.Hash = 14695981039346656037ull};
  for (size_t g = 1; g < available.size(); ++g) {
    if (available[g] && static_cast<int32_t>(g) != prevFeature) key.Usable |= uint64_t{1} << g;
  }
  for (int32_t i : objects) key.Hash = Mix(key.Hash, static_cast<uint32_t>(i));
  key.Hash = Mix(Mix(key.Hash, static_cast<uint32_t>(key.Usable)),
                 static_cast<uint32_t>(key.Usable >> 32));
  return key;
}

}  // namespace tarmel::search
