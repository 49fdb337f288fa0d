// Trees and run states built by hand for the tests of routing, reporting and prediction.
#pragma once

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "run_context.h"
#include "tree_records.h"

namespace tarmel::testing {

inline OwnedTree NewRoot() { return OwnedTree(new TVertex); }

// Appends a branch at the end of the parent's list; the parent is split on feature.
inline PBranch AppendBranch(PVertex parent, int32_t feature) {
  parent->SplitFeature = feature;
  PBranch* slot = &parent->FirstBranch;
  while (*slot != nullptr) slot = &(*slot)->Next;
  *slot = NewBranch();
  return *slot;
}

// Appends the interval branch (low, high] and returns its child.
inline PVertex AddInterval(PVertex parent, int32_t feature, double low, double high) {
  PBranch b = AppendBranch(parent, feature);
  b->Kind = 0;
  b->Low = low;
  b->High = high;
  return b->Child;
}

// Appends a branch carrying the given category codes and returns its child.
inline PVertex AddCategories(PVertex parent, int32_t feature,
                             std::initializer_list<int32_t> codes) {
  PBranch b = AppendBranch(parent, feature);
  b->Kind = 2;
  for (const int32_t code : codes) b->Categories[++b->CategoryCount] = code;
  return b->Child;
}

// Splits the parent at threshold t into (-inf, t] and (t, +inf); returns both children.
inline std::pair<PVertex, PVertex> SplitAt(PVertex parent, int32_t feature, double t) {
  PVertex left = AddInterval(parent, feature, -Infinity, t);
  PVertex right = AddInterval(parent, feature, t, Infinity);
  return {left, right};
}

// Gives rc room for the objects and features of a hand-made run, every object active.
inline void SizeRun(RunContext& rc, int32_t features, int32_t objects) {
  rc.FeaturesNumber = features;
  rc.ObjectsNumber = objects;
  rc.DataTable = TTable(features, objects);
  rc.ObjectActive.assign(static_cast<size_t>(objects) + 1, 1);
  rc.TargetValue.assign(static_cast<size_t>(objects) + 1, 0.0);
  rc.ClassLabel.assign(static_cast<size_t>(objects) + 1, 0);
}

inline void SetValueNames(RunContext& rc, int32_t feature, std::vector<std::string> names) {
  TValueTable& table = rc.ValueTable[static_cast<size_t>(feature)];
  table.assign(names.size() + 1, TValueEntry{});
  for (size_t k = 1; k <= names.size(); ++k) {
    table[k] = TValueEntry{static_cast<int32_t>(k), names[k - 1]};
  }
}

// Turns a text written with "\n" line ends into the report's CR LF form.
inline std::string CrLf(const std::string& text) {
  std::string out;
  for (const char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

}  // namespace tarmel::testing
