// The run's result against the report it came with, for every golden case: each kept tree
// as its block (leaves numbered as the rules, each rule's conditions, decision, object count
// and mark, the tree's error), its cross-validation line, confusion matrix and voting
// weight; and the names the records refer to.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "golden_cases.h"
#include "report_format.h"

namespace tarmel {
namespace {

namespace fs = std::filesystem;

using testing::GoldenRun;

GoldenRun RunCase(const fs::path& data) {
  return testing::RunGoldenCase(data, testing::ProcessTempFile("tarmel-run-result"));
}

// From the line holding start to the end of the line of 60 `closing` characters after it.
std::string Between(const std::string& text, const std::string& start, size_t from, char closing) {
  const size_t begin = text.find(start, from);
  if (begin == std::string::npos) return {};
  const size_t end = text.find(std::string(60, closing), begin);
  return text.substr(begin, end == std::string::npos ? std::string::npos : end + 60 - begin);
}

std::string Collapsed(const std::string& text) {
  std::string out;
  for (const char c : text) {
    if (c != ' ' || (!out.empty() && out.back() != ' ')) out += c;
  }
  return out;
}

void LeavesInRuleOrder(const TKeptTree& tree, int32_t node, std::vector<int32_t>& leaves) {
  const TTreeNode& n = tree.Nodes[static_cast<size_t>(node)];
  if (n.Children.empty()) leaves.push_back(node);
  for (const int32_t child : n.Children) LeavesInRuleOrder(tree, child, leaves);
}

std::set<int32_t> PathFeatures(const TKeptTree& tree, int32_t node) {
  std::set<int32_t> features;
  for (int32_t p = tree.Nodes[static_cast<size_t>(node)].Parent; p >= 0;
       p = tree.Nodes[static_cast<size_t>(p)].Parent) {
    features.insert(tree.Nodes[static_cast<size_t>(p)].SplitFeature);
  }
  return features;
}

// One condition line per feature of the path, each naming its feature; the leaf's own
// condition is among them.
void ExpectConditionsOfThePath(const RunResult& run, const TKeptTree& tree, int32_t leaf,
                               const std::string& rule) {
  const size_t begin = rule.find(" IF\r\n") + 5;
  const std::string conditions = rule.substr(begin, rule.find(" THEN ") - begin);
  size_t lines = 0;
  for (size_t at = conditions.find("\r\n"); at != std::string::npos; at = conditions.find("\r\n", at + 1)) ++lines;
  const std::set<int32_t> features = PathFeatures(tree, leaf);
  EXPECT_EQ(lines, features.size()) << rule;
  for (const int32_t f : features) {
    EXPECT_NE(conditions.find(run.FeatureNames.at(static_cast<size_t>(f) - 1)), std::string::npos)
        << rule;
  }
  const std::string& own = tree.Nodes[static_cast<size_t>(leaf)].Condition;
  EXPECT_NE(Collapsed(rule).find(Collapsed(own)), std::string::npos) << rule;
}

int32_t LeafCount(const RunResult& run, const TTreeNode& leaf) {
  if (run.Task != TaskKind::Classification) return leaf.ObjCount;
  int32_t count = 0;
  for (const int32_t c : leaf.ClassCounts) count += c;
  return count;
}

void ExpectDecisionOfTheRule(const RunResult& run, const TTreeNode& leaf, const std::string& rule) {
  if (run.Task == TaskKind::Classification) {
    EXPECT_NE(rule.find(" =" + run.ClassNames.at(leaf.MajorityClass - 1) + "\r\n"), std::string::npos);
  } else if (run.Task == TaskKind::Regression) {
    EXPECT_NE(rule.find(" = " + FormatReal(leaf.Mean, 4, 2) + ","), std::string::npos) << rule;
    EXPECT_NE(rule.find(" Standard error" + FormatReal(leaf.StandardError, 9, 4)), std::string::npos);
  }
}

void ExpectRulesOfTheBlock(const RunResult& run, const TKeptTree& tree, const std::string& block) {
  std::vector<int32_t> leaves;
  LeavesInRuleOrder(tree, 0, leaves);
  int64_t objects = 0, misclassified = 0;
  for (size_t i = 0; i < leaves.size(); ++i) {
    const TTreeNode& leaf = tree.Nodes[static_cast<size_t>(leaves[i])];
    ASSERT_EQ(leaf.RuleNumber, static_cast<int32_t>(i) + 1);
    const std::string rule = Between(block, " Rule " + FormatInt(leaf.RuleNumber, 3) + ",", 0, '-');
    ASSERT_FALSE(rule.empty()) << "rule " << leaf.RuleNumber;
    ExpectConditionsOfThePath(run, tree, leaves[i], rule);
    ExpectDecisionOfTheRule(run, leaf, rule);
    const int32_t count = LeafCount(run, leaf);
    EXPECT_NE(rule.find(" Number of objects " + FormatInt(count, 3) + ",\r\n"), std::string::npos) << rule;
    EXPECT_EQ(rule.find(" Heterogeneous group\r\n") != std::string::npos, leaf.Heterogeneous);
    objects += count;
    if (run.Task == TaskKind::Classification) {
      misclassified += count - leaf.ClassCounts.at(static_cast<size_t>(leaf.MajorityClass) - 1);
    }
  }
  EXPECT_EQ(block.find(" Rule " + FormatInt(tree.LeavesNumber + 1, 3) + ","), std::string::npos);
  if (run.Task != TaskKind::Neither) {
    EXPECT_NE(block.find("for the tree is " + FormatReal(tree.TreeError, 6, 2)), std::string::npos);
  }
  if (run.Task == TaskKind::Classification && objects > 0) {
    EXPECT_NE(block.find("Misclassification frequency for the tree is " +
                         FormatReal(static_cast<double>(misclassified) / objects, 6, 2)),
              std::string::npos);
  }
}

// Every vertex's children hold at most its objects: those missing the split feature's
// value go down no branch. The leaves are as many as the tree counts.
void ExpectChildrenWithinParents(const TKeptTree& tree) {
  int32_t leaves = 0;
  for (const TTreeNode& n : tree.Nodes) {
    int64_t below = 0;
    for (const int32_t child : n.Children) {
      EXPECT_EQ(tree.Nodes[static_cast<size_t>(child)].Parent, &n - tree.Nodes.data());
      below += tree.Nodes[static_cast<size_t>(child)].ObjCount;
    }
    leaves += n.Children.empty() ? 1 : 0;
    if (!n.Children.empty()) {
      EXPECT_LE(below, n.ObjCount);
    }
  }
  EXPECT_EQ(leaves, tree.LeavesNumber);
}

// A time-series tree has no rules in the report, but its records name the series and the
// time shift each vertex tests.
void ExpectTimeSeriesTree(const RunResult& run, const TKeptTree& tree, const std::string& block) {
  EXPECT_EQ(block.find(" Rule "), std::string::npos);
  EXPECT_FALSE(tree.CrossValidated);
  for (const TTreeNode& n : tree.Nodes) EXPECT_EQ(n.RuleNumber, 0);
  if (tree.LeavesNumber == 1) return;
  const TTreeNode& root = tree.Nodes[0];
  EXPECT_GE(root.SplitFeature, 1);
  EXPECT_LE(root.SplitFeature, static_cast<int32_t>(run.FeatureNames.size()));
  EXPECT_GE(root.SplitShift, 1);
}

// Every object with a known target is tested in exactly one fold, so the matrix counts
// each once, and its off-diagonal share is the cross-validation error.
int32_t ConfusionOfTheFolds(const RunResult& run, const TKeptTree& tree) {
  if (!tree.CrossValidated || run.Task != TaskKind::Classification) return 0;
  EXPECT_EQ(tree.Confusion.size(), run.ClassNames.size());
  int32_t total = 0, wrong = 0;
  for (size_t t = 0; t < tree.Confusion.size(); ++t) {
    EXPECT_EQ(tree.Confusion[t].size(), run.ClassNames.size());
    for (size_t p = 0; p < tree.Confusion[t].size(); ++p) {
      total += tree.Confusion[t][p];
      if (t != p) wrong += tree.Confusion[t][p];
    }
  }
  EXPECT_GT(total, 0);
  EXPECT_NEAR(tree.CrossValidationError, static_cast<double>(wrong) / total, 1e-12);
  return total;
}

// The cross-validation line follows the tree's block; the voting section weighs it.
void ExpectErrorsAndWeight(const GoldenRun& run, const TKeptTree& tree, size_t t, size_t at) {
  const std::string& report = run.Report;
  if (tree.CrossValidated) {
    const std::string line = "crossvalidate error " + FormatReal(tree.CrossValidationError, 5, 3);
    EXPECT_NE(report.find(line, at), std::string::npos) << "variant " << tree.Variant;
  } else {
    const size_t line = report.find("crossvalidate error", at);
    EXPECT_TRUE(line == std::string::npos || line > report.find("Variant N", at));
  }
  if (report.find(" tree=") == std::string::npos) {
    EXPECT_EQ(tree.VotingWeight, 0.0);
    return;
  }
  EXPECT_NE(report.find(FormatInt(static_cast<int64_t>(t) + 1, 2) + " tree=" +
                        FormatReal(tree.VotingWeight, 5, 3)),
            std::string::npos);
}

void ExpectTreeMirrorsItsBlock(const GoldenRun& run, size_t t, size_t& at) {
  const TKeptTree& tree = run.Result.Trees[t];
  const std::string heading = "Variant N" + FormatInt(tree.Variant, 3) + "\r\n";
  const size_t begin = run.Report.find(heading, at);
  ASSERT_NE(begin, std::string::npos) << heading;
  at = begin + heading.size();
  const size_t next = run.Report.find("Variant N", at);
  const std::string block = run.Report.substr(begin, next == std::string::npos ? next : next - begin);
  ExpectChildrenWithinParents(tree);
  if (tree.TimeSeries) {
    ExpectTimeSeriesTree(run.Result, tree, block);
  } else if (tree.LeavesNumber == 1) {
    EXPECT_NE(block.find(" No rule is found for given parameters"), std::string::npos);
  } else {
    ExpectRulesOfTheBlock(run.Result, tree, block);
  }
  ConfusionOfTheFolds(run.Result, tree);
  ExpectErrorsAndWeight(run, tree, t, at);
}

TEST(RunResult, EveryGoldenCaseMirrorsItsReport) {
  int trees = 0;
  for (const fs::path& data : testing::GoldenCases()) {
    SCOPED_TRACE(data.filename().string());
    const GoldenRun run = RunCase(data);
    ASSERT_EQ(run.Result.Outcome, RunOutcome::Complete);
    if (data.stem() == "houses_three_variants" || data.stem() == "colours_two_variants") {
      EXPECT_GT(run.Result.Trees.size(), 1u);
    }
    size_t at = 0;
    for (size_t t = 0; t < run.Result.Trees.size(); ++t) ExpectTreeMirrorsItsBlock(run, t, at);
    trees += static_cast<int>(run.Result.Trees.size());
  }
  EXPECT_GT(trees, 10);
}

TEST(RunResult, ClassificationRunNamesItsTargetAndCountsEveryTestedObject) {
  const GoldenRun run = RunCase(testing::GoldenCase("flowers_fractional_lookahead"));
  ASSERT_EQ(run.Result.Task, TaskKind::Classification);
  ASSERT_EQ(run.Result.ClassNames.size(), 3u);
  EXPECT_GT(run.Result.Trees.size(), 1u);
  for (const TKeptTree& tree : run.Result.Trees) {
    EXPECT_TRUE(tree.CrossValidated);
    EXPECT_EQ(ConfusionOfTheFolds(run.Result, tree), 59);  // one of the 60 has no site, which
                                                          // the task also reads
  }
  EXPECT_EQ(run.Result.FeatureNames.size(), 6u);
  EXPECT_EQ(run.Result.TargetFeature, 1);
  EXPECT_EQ(run.Result.ValueNames[0], run.Result.ClassNames);
  EXPECT_EQ(run.Result.Params.FeatureToPredict, 6);
}

}  // namespace
}  // namespace tarmel
