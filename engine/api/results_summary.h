// The results table of a run as text cells: one row per kept tree (variant, root feature,
// leaves, tree error, cross-validation error, voting weight) and, in classification, the
// confusion matrix of a tree's cross-validation with each class's precision and recall.
// The window shows these cells and the batch runner writes them as tab-separated text.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "run_request.h"

namespace tarmel {

using TTextGrid = std::vector<std::vector<std::string>>;  // rows of cells, header first

TTextGrid ResultsGrid(const RunResult& run);

// True class per row, predicted class per column, then each true class's recall; the
// last row holds each predicted class's precision. Empty outside classification or
// without a cross-validation.
TTextGrid ConfusionGrid(const RunResult& run, const TKeptTree& tree);

int64_t ConfusionTotal(const TKeptTree& tree);
// The share of tested objects predicted wrongly; 0 when nothing was tested.
double ConfusionError(const TKeptTree& tree);

std::string GridTsv(const TTextGrid& grid);

// The results table, then the confusion matrix of tree `selected` (an index into
// run.Trees), or of every tree when selected is -1.
std::string SummaryTsv(const RunResult& run, int32_t selected);

}  // namespace tarmel
