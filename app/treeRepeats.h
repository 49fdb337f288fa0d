// Kept trees that repeat an earlier one. A variant drops only the root feature of the tree
// grown last, so two variants can end up with the same rules; they then vote twice with
// one opinion, and the window says so.
#pragma once

#include <QString>
#include <vector>

#include "run_request.h"

namespace tarmel {

// True when the two trees make the same decisions by the same rules: the same shape, the
// same conditions on the same features and the same decision in every leaf.
bool SameRules(const TKeptTree& a, const TKeptTree& b);

// For each kept tree, the variant number of the first earlier kept tree with the same
// rules, or 0 when it has none.
std::vector<int> RepeatedVariants(const RunResult& run);

// " (same as variant v)" for a repeated tree, empty otherwise.
QString RepeatNote(int variant);

}  // namespace tarmel
