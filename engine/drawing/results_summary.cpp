// Results table cells. Numbers follow the report: tree errors with two decimals, the
// cross-validation error and the voting weights with three; a figure the run did not
// produce (no cross-validation, no vote) is a dash, never a zero that could be read as
// a perfect score.
#include "results_summary.h"

#include <cstdio>

#include "tree_drawing.h"

namespace tarmel {

namespace {

const std::string Dash = "-";

std::string Fixed(double x, int decimals) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, x);
  return buffer;
}

std::string RootFeature(const RunResult& run, const TKeptTree& tree) {
  if (tree.Nodes.empty() || tree.Nodes[0].Children.empty()) return Dash;
  return FeatureLabel(run, tree, tree.Nodes[0].SplitFeature, tree.Nodes[0].SplitShift);
}

std::string ClassName(const RunResult& run, size_t k) {
  return k < run.ClassNames.size() ? Utf8Text(run.ClassNames[k]) : "class " + std::to_string(k + 1);
}

// part / whole as a share with three decimals; a dash when whole is 0.
std::string Share(int64_t part, int64_t whole) {
  return whole > 0 ? Fixed(static_cast<double>(part) / static_cast<double>(whole), 3) : Dash;
}

int64_t RowSum(const TKeptTree& tree, size_t row) {
  int64_t sum = 0;
  for (const int32_t c : tree.Confusion[row]) sum += c;
  return sum;
}

int64_t ColumnSum(const TKeptTree& tree, size_t column) {
  int64_t sum = 0;
  for (const auto& row : tree.Confusion) sum += column < row.size() ? row[column] : 0;
  return sum;
}

int32_t Cell(const TKeptTree& tree, size_t row, size_t column) {
  const auto& r = tree.Confusion[row];
  return column < r.size() ? r[column] : 0;
}

}  // namespace

TTextGrid ResultsGrid(const RunResult& run) {
  const bool regression = run.Task == TaskKind::Regression;
  TTextGrid grid{{"Variant", "Root feature", "Leaves",
                  regression ? "Standard error" : "Misclassification frequency",
                  regression ? "Relative cross-validation error" : "Cross-validation error",
                  "Voting weight"}};
  for (const TKeptTree& tree : run.Trees) {
    grid.push_back({std::to_string(tree.Variant), RootFeature(run, tree),
                    std::to_string(tree.LeavesNumber), Fixed(tree.TreeError, 2),
                    tree.CrossValidated ? Fixed(tree.CrossValidationError, 3) : Dash,
                    tree.VotingWeight > 0.0 ? Fixed(tree.VotingWeight, 3) : Dash});
  }
  return grid;
}

TTextGrid ConfusionGrid(const RunResult& run, const TKeptTree& tree) {
  if (run.Task != TaskKind::Classification || tree.Confusion.empty()) return {};
  const size_t classes = tree.Confusion.size();
  TTextGrid grid(1, {"true \\ predicted"});
  for (size_t k = 0; k < classes; ++k) grid[0].push_back(ClassName(run, k));
  grid[0].push_back("Recall");
  for (size_t t = 0; t < classes; ++t) {
    std::vector<std::string> row{ClassName(run, t)};
    for (size_t p = 0; p < classes; ++p) row.push_back(std::to_string(Cell(tree, t, p)));
    row.push_back(Share(Cell(tree, t, t), RowSum(tree, t)));
    grid.push_back(row);
  }
  std::vector<std::string> precision{"Precision"};
  for (size_t p = 0; p < classes; ++p) precision.push_back(Share(Cell(tree, p, p), ColumnSum(tree, p)));
  precision.push_back("");
  grid.push_back(precision);
  return grid;
}

int64_t ConfusionTotal(const TKeptTree& tree) {
  int64_t total = 0;
  for (size_t t = 0; t < tree.Confusion.size(); ++t) total += RowSum(tree, t);
  return total;
}

double ConfusionError(const TKeptTree& tree) {
  const int64_t total = ConfusionTotal(tree);
  if (total == 0) return 0.0;
  int64_t right = 0;
  for (size_t k = 0; k < tree.Confusion.size(); ++k) right += Cell(tree, k, k);
  return static_cast<double>(total - right) / static_cast<double>(total);
}

std::string GridTsv(const TTextGrid& grid) {
  std::string tsv;
  for (const auto& row : grid) {
    for (size_t i = 0; i < row.size(); ++i) tsv += (i > 0 ? "\t" : "") + row[i];
    tsv += '\n';
  }
  return tsv;
}

std::string SummaryTsv(const RunResult& run, int32_t selected) {
  std::string tsv = GridTsv(ResultsGrid(run));
  for (size_t i = 0; i < run.Trees.size(); ++i) {
    if (selected >= 0 && static_cast<size_t>(selected) != i) continue;
    const TTextGrid confusion = ConfusionGrid(run, run.Trees[i]);
    if (confusion.empty()) continue;
    tsv += "\nConfusion matrix of variant " + std::to_string(run.Trees[i].Variant) + "\n";
    tsv += GridTsv(confusion);
  }
  return tsv;
}

}  // namespace tarmel
