#include <gtest/gtest.h>

#include "tree_records.h"

namespace tarmel {
namespace {

// Root split in two; the first child split again in two.
PVertex SmallTree() {
  auto* root = new TVertex;
  root->SplitFeature = 1;
  root->FirstBranch = NewBranch();
  root->FirstBranch->High = 5.0;
  root->FirstBranch->Next = NewBranch();
  root->FirstBranch->Next->Low = 5.0;
  PVertex left = root->FirstBranch->Child;
  left->SplitFeature = 2;
  left->FirstBranch = NewBranch();
  left->FirstBranch->Kind = 2;
  left->FirstBranch->CategoryCount = 2;
  left->FirstBranch->Categories[1] = 3;
  left->FirstBranch->Categories[2] = 1;
  left->FirstBranch->Child->ObjCount = 4;
  left->FirstBranch->Child->Mean = 2.5;
  left->FirstBranch->Child->ClassCounts[2] = 4;
  left->FirstBranch->Child->Terminal = true;
  left->FirstBranch->Next = NewBranch();
  return root;
}

TEST(TreeRecords, FreeBranchesOnNilDoesNothingAndClearsTheVariable) {
  PBranch b = nullptr;
  FreeBranches(b);
  EXPECT_EQ(b, nullptr);
  PVertex root = SmallTree();
  FreeBranches(root->FirstBranch);
  EXPECT_EQ(root->FirstBranch, nullptr);
  FreeTree(root);
  EXPECT_EQ(root, nullptr);
}

TEST(TreeRecords, CopyBranchesMakesAnIndependentDeepCopy) {
  OwnedTree source(SmallTree());
  PBranch copy = nullptr;
  CopyBranches(copy, source->FirstBranch);
  ASSERT_NE(copy, nullptr);
  ASSERT_NE(copy, source->FirstBranch);
  const TBranch& grand = *copy->Child->FirstBranch;
  EXPECT_NE(&grand, source->FirstBranch->Child->FirstBranch);
  EXPECT_EQ(grand.Kind, 2);
  EXPECT_EQ(grand.CategoryCount, 2);
  EXPECT_EQ(grand.Categories[1], 3);
  EXPECT_EQ(grand.Categories[2], 1);
  EXPECT_EQ(grand.Child->ObjCount, 4);
  EXPECT_EQ(grand.Child->Mean, 2.5);
  EXPECT_EQ(grand.Child->ClassCounts[2], 4);
  EXPECT_TRUE(grand.Child->Terminal);
  EXPECT_EQ(grand.Child->FirstBranch, nullptr);
  EXPECT_EQ(copy->Child->SplitFeature, 2);
  EXPECT_EQ(copy->Next->Low, 5.0);
  EXPECT_EQ(copy->High, 5.0);
  // Freeing the source leaves the copy intact (the sanitizers see any sharing).
  source.reset();
  EXPECT_EQ(copy->Child->FirstBranch->Child->Mean, 2.5);
  FreeBranches(copy);
  PBranch none = reinterpret_cast<PBranch>(1);
  CopyBranches(none, nullptr);
  EXPECT_EQ(none, nullptr);
}

TEST(TreeRecords, NodePoolGrowsInsteadOfOverflowing) {
  NodePool pool;
  pool.Allocate(2);
  PVertex first = pool.Vertex(1);
  first->ObjCount = 9;
  for (int32_t i = 1; i <= 5000; ++i) pool.Vertex(i)->Mean = i;
  EXPECT_EQ(pool.Vertex(1), first);  // records stay where they are while the pool grows
  EXPECT_EQ(first->ObjCount, 9);
  EXPECT_EQ(pool.Branch(4000)->Next, nullptr);
}

}  // namespace
}  // namespace tarmel
