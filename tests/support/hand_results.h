// Run results made by hand, for the drawing, summary and window tests that must not wait
// for a whole run, and reading a file whole.
#pragma once

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "run_request.h"

namespace tarmel::testing {

inline std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Adds a vertex below parent (-1 for the root) and returns its index.
inline int32_t AddNode(TKeptTree& tree, int32_t parent, const std::string& condition,
                       int32_t objects) {
  TTreeNode node;
  node.Parent = parent;
  node.Condition = condition;
  node.ObjCount = objects;
  tree.Nodes.push_back(node);
  const auto index = static_cast<int32_t>(tree.Nodes.size()) - 1;
  if (parent >= 0) tree.Nodes[static_cast<size_t>(parent)].Children.push_back(index);
  return index;
}

// A classification of 60 flowers: petal_len splits off bellis, petal_wid parts viola
// from iris; the viola leaf was left heterogeneous.
inline RunResult FlowerResult() {
  RunResult run;
  run.Task = TaskKind::Classification;
  run.TargetFeature = 1;
  run.FeatureNames = {"kind", "sepal_len", "sepal_wid", "petal_len", "petal_wid", "site"};
  run.ClassNames = {"iris", "bellis", "viola"};
  TKeptTree tree;
  tree.Variant = 1;
  AddNode(tree, -1, "", 60);
  const int32_t small = AddNode(tree, 0, "<= 2.45", 20);
  const int32_t large = AddNode(tree, 0, "> 2.45", 40);
  const int32_t narrow = AddNode(tree, large, "<= 1.75", 21);
  const int32_t wide = AddNode(tree, large, "> 1.75", 19);
  tree.Nodes[0].SplitFeature = 4;
  tree.Nodes[static_cast<size_t>(large)].SplitFeature = 5;
  const std::vector<std::vector<int32_t>> counts = {
      {20, 20, 20}, {0, 20, 0}, {20, 0, 20}, {1, 0, 20}, {19, 0, 0}};
  const int32_t majority[] = {1, 2, 1, 3, 1};
  for (size_t i = 0; i < counts.size(); ++i) {
    tree.Nodes[i].ClassCounts = counts[i];
    tree.Nodes[i].MajorityClass = majority[i];
  }
  tree.Nodes[static_cast<size_t>(small)].RuleNumber = 1;
  tree.Nodes[static_cast<size_t>(narrow)].RuleNumber = 2;
  tree.Nodes[static_cast<size_t>(narrow)].Heterogeneous = true;
  tree.Nodes[static_cast<size_t>(wide)].RuleNumber = 3;
  tree.LeavesNumber = 3;
  tree.TreeError = 1.0 / 60.0;
  tree.CrossValidated = true;
  tree.CrossValidationError = 0.05;
  tree.VotingWeight = 0.0;
  tree.Confusion = {{18, 0, 2}, {0, 20, 0}, {1, 0, 19}};
  run.Trees.push_back(tree);
  return run;
}

// A regression tree of `leaves` leaves, each split halving the range of x.
inline RunResult ChainResult(int32_t leaves) {
  RunResult run;
  run.Task = TaskKind::Regression;
  run.FeatureNames = {"x", "price"};
  TKeptTree tree;
  tree.Variant = 1;
  int32_t open = AddNode(tree, -1, "", 1000);
  for (int32_t rule = 1; rule < leaves; ++rule) {
    tree.Nodes[static_cast<size_t>(open)].SplitFeature = 1;
    const int32_t leaf = AddNode(tree, open, "<= " + std::to_string(rule) + ".00", 10);
    tree.Nodes[static_cast<size_t>(leaf)].RuleNumber = rule;
    tree.Nodes[static_cast<size_t>(leaf)].Mean = rule * 1.5;
    open = AddNode(tree, open, "> " + std::to_string(rule) + ".00", 990 - 10 * rule);
  }
  tree.Nodes[static_cast<size_t>(open)].RuleNumber = leaves;
  tree.LeavesNumber = leaves;
  run.Trees.push_back(tree);
  return run;
}

}  // namespace tarmel::testing
