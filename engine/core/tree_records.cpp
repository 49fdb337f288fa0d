// Allocation, release and deep copy of tree records, and the node pools. Heap records are
// owned by their parent (a vertex owns its branch list, a branch its child), so freeing a
// branch list frees everything below it. Pools hand out records by number and grow when a
// tree needs more than the run asked for, instead of overflowing.
#include "tree_records.h"

namespace tarmel {

PBranch NewBranch() {
  auto* b = new TBranch;
  b->Child = new TVertex;
  return b;
}

void FreeBranches(PBranch& B) {
  if (B == nullptr) return;
  FreeBranches(B->Next);
  FreeBranches(B->Child->FirstBranch);
  delete B->Child;
  delete B;
  B = nullptr;
}

void CopyVertexFields(TVertex& to, const TVertex& from) {
  to.SplitFeature = from.SplitFeature;
  to.ClassCounts = from.ClassCounts;
  to.ObjCount = from.ObjCount;
  to.Variance = from.Variance;
  to.Mean = from.Mean;
  to.Terminal = from.Terminal;
  to.SeriesCandidate = from.SeriesCandidate;
}

void CopyBranchFields(TBranch& to, const TBranch& from) {
  to.Kind = from.Kind;
  to.Low = from.Low;
  to.High = from.High;
  to.CategoryCount = from.CategoryCount;
  to.Categories = from.Categories;
}

void CopyBranches(PBranch& Dst, PBranch Src) {
  if (Src == nullptr) {
    Dst = nullptr;
    return;
  }
  Dst = NewBranch();
  CopyBranches(Dst->Next, Src->Next);
  CopyBranches(Dst->Child->FirstBranch, Src->Child->FirstBranch);
  CopyBranchFields(*Dst, *Src);
  CopyVertexFields(*Dst->Child, *Src->Child);
}

void FreeTree(PVertex& Root) {
  if (Root == nullptr) return;
  FreeBranches(Root->FirstBranch);
  delete Root;
  Root = nullptr;
}

void TreeDeleter::operator()(TVertex* root) const { FreeTree(root); }

void NodePool::Allocate(int32_t poolSize) {
  Vertices.assign(static_cast<size_t>(poolSize) + 2, TVertex{});
  Branches.assign(static_cast<size_t>(poolSize) + 1, TBranch{});
  Reset();
}

PVertex NodePool::Vertex(int32_t i) {
  while (Vertices.size() <= static_cast<size_t>(i)) Vertices.emplace_back();
  return &Vertices[static_cast<size_t>(i)];
}

PBranch NodePool::Branch(int32_t i) {
  while (Branches.size() <= static_cast<size_t>(i)) Branches.emplace_back();
  return &Branches[static_cast<size_t>(i)];
}

}  // namespace tarmel
