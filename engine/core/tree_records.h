// Tree records: a decision tree is a multiway tree of vertices and branches on the heap.
// A vertex carries the statistics of the learning objects that reach it and, when split,
// the feature and the head of its branch list; a branch carries the condition an object
// must meet to go down it and owns the vertex below it. Heap trees are freed with
// FreeBranches; pooled trees (see NodePool) are never freed record by record.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <memory>

namespace tarmel {

constexpr int MaxClasses = 10;     // classes of a task
constexpr int MaxCategories = 99;  // declared values of one of the last two features
constexpr double Infinity = 1e17;  // open interval bound; also "no quality found yet"

struct TVertex;
struct TBranch;
using PVertex = TVertex*;
using PBranch = TBranch*;

// Counts per class code, indexed 1..ClassesNumber (entry 0 unused).
using TClassCounts = std::array<int32_t, MaxClasses + 1>;

struct TVertex {
  PBranch FirstBranch = nullptr;  // nil at a leaf
  int32_t SplitFeature = 0;       // 0 on a grown leaf, -1 on a closed pooled leaf
  int32_t ObjCount = 0;           // learning objects reaching the vertex
  double Variance = 0.0;          // population variance of the target (may be slightly < 0)
  double Mean = 0.0;              // mean of the target: the regression prediction
  bool Terminal = false;          // closed by rule (homogeneous, too small, nothing varies)
  TClassCounts ClassCounts{};     // objects per class
  int32_t SeriesCandidate = 0;    // time-series ordering: candidate table the split came from
};

struct TBranch {
  PVertex Child = nullptr;  // never nil
  PBranch Next = nullptr;   // next branch of the same parent
  uint8_t Kind = 0;         // 0 interval of a numeric feature, 2 set of nominal codes
  double Low = -Infinity;   // Kind 0: exclusive lower bound
  double High = Infinity;   // Kind 0: inclusive upper bound
  int32_t CategoryCount = 0;                            // Kind 2: codes in Categories
  std::array<int32_t, MaxCategories + 1> Categories{};  // Kind 2: codes, 1-based
};

// A new branch together with its (zeroed leaf) child vertex.
PBranch NewBranch();

// Frees a branch list and everything below it; B becomes nil. Nil does nothing.
void FreeBranches(PBranch& B);

// What a vertex says about its objects and its split, without its branch list.
void CopyVertexFields(TVertex& to, const TVertex& from);

// A branch's condition, without its links to the child and the next branch.
void CopyBranchFields(TBranch& to, const TBranch& from);

// Deep copy of a branch list; the copy shares nothing with Src.
void CopyBranches(PBranch& Dst, PBranch Src);

// Frees a whole heap tree (its branches, then the root) and sets Root to nil.
void FreeTree(PVertex& Root);

// Owner of a heap tree: frees it on every path out of a scope.
struct TreeDeleter {
  void operator()(TVertex* root) const;
};
using OwnedTree = std::unique_ptr<TVertex, TreeDeleter>;

// Pre-allocated records that hold the tree of a growth. Records are addressed 1-based; the
// pool grows instead of overflowing, and references stay valid while it grows.
struct NodePool {
  std::deque<TVertex> Vertices;  // entry 0 unused; vertex 1 is the root of the pooled tree
  std::deque<TBranch> Branches;  // entry 0 unused
  int32_t VerticesUsed = 0;
  int32_t BranchesUsed = 0;

  void Allocate(int32_t poolSize);  // poolSize + 1 vertices and poolSize branches
  void Reset() { VerticesUsed = 0; BranchesUsed = 0; }
  PVertex Vertex(int32_t i);        // grows the pool when i is beyond it
  PBranch Branch(int32_t i);
  PVertex Root() { return Vertex(1); }
};

}  // namespace tarmel
