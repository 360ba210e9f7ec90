// CrowdIndex: an index of the vertices of a ModelStore over all their
// attributes, for the crowds that the welder's grid over the positions
// cannot separate: many vertices at one place (or with NaN positions) whose
// normals, texture coordinates or influences differ.
//
// It holds a forest of trees, each built over a given set of vertex places.
// A node splits its places on one component (a position axis, a normal
// axis, a texture coordinate component, an influence weight or bone index)
// into runs of ascending values: a run ends where the next value is more
// than the weld's window away (no match can cross there) or, inside a long
// run of close values, after a piece that is wider than the window (a vertex
// near such a border looks on both sides). Places whose component is NaN go
// to a child of their own, which every search visits, and a search whose own
// component is NaN visits every child. Survivors are filed at the leaf their
// values lead to, in increasing order, so a search returns the
// lowest-indexed matching survivor exactly as a scan over all survivors
// would.
//
// The index reads the store it was reset with; it owns its trees and keeps
// its allocations from weld to weld. Single-threaded.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "tool/ModelStore.h"

namespace tool {

class CrowdIndex {
 public:
  // Drops every tree and takes the components of the store's vertices:
  // positions, normals (when store.hasNormals), every component of the
  // texture coordinate layers below store.layerCount, and (when
  // store.hasSkin) the bone index and weight of every influence slot.
  // Searches come from vertices below vertexCount.
  void reset(const ModelStore& store, int vertexCount);

  // Builds a tree over count places of the store (vertex indices), split on
  // every component except the position axes in excludedAxes (bit a: axis
  // a). Returns the tree's id. The places are read as they are now. With
  // rememberPlaces, the tree notes for each of its places the leaf that its
  // values lead to and whether a search from them looks into that leaf only
  // (a place is noted by one tree at a time: the latest).
  int build(const int32_t* places, int count, uint32_t excludedAxes, bool rememberPlaces);

  // Files survivor k (its values at place k) into tree t. from is the place
  // the survivor's values came from: a place noted by t with those values
  // still there, or any other place (or -1) to find the leaf by the values.
  // Each survivor has the values that one of the tree's places had when the
  // tree was built, and no two survivors stand for the same place; the
  // survivors of a tree are filed in increasing order. Throws
  // std::logic_error if a leaf overflows (never expected).
  void insert(int t, int k, int from);

  // The lowest survivor below best filed in tree t that matches vertex v in
  // every attribute under the weld's component rule; best when there is
  // none. If t noted place v, v's values must still be those it had then.
  int query(int t, int v, int best) const;

  // Number of trees and of their nodes since the last reset (for tests and
  // benchmarks).
  int treeCount() const { return static_cast<int>(m_roots.size()); }
  int nodeCount() const { return static_cast<int>(m_nodes.size()); }

 private:
  // One component: its first value and the distance between vertices, as
  // floats (weights and coordinates) or integers (bone indices).
  struct Component {
    const float* f;
    const int32_t* i;
    int stride;
  };
  struct Node {
    int32_t component;  // split component, -1 for a leaf
    int32_t first;      // split: first child (children are consecutive); leaf: first entry
    int32_t count;      // split: children for numbers; leaf: room for entries
    int32_t nan;        // split: child for NaN values, -1 for none; leaf: entries filed
    int32_t minK;       // lowest survivor filed below the node, INT32_MAX for none
    int32_t parent;     // -1 for a root
  };
  struct Task {
    int32_t node, begin, end, depth;
    uint64_t used;  // bit j % 64: component j splits a node above
  };
  struct Split {
    int component = -1;
    int largest = 0;  // places in the largest child
  };

  float value(int component, int place) const;
  void findNan();
  double window(int component) const;
  void rankCandidates(const Task& task, int step);
  Split bestSplit(const Task& task, int step, int* last);
  void splitNode(const Task& task);
  Split trySplit(int component, int begin, int end);
  int order(int component, int begin, int end);
  int cutPieces(int component, int numeric);
  bool noted(int t, int place) const;
  void makeLeaf(const Task& task);
  void makeChildren(const Task& task, int component);
  void visit(int node, int v, int& best) const;
  int scanLeaf(const Node& leaf, int v, int best) const;

  const ModelStore* m_store = nullptr;
  int m_vertexCount = 0;
  bool m_nanFound = false;              // m_hasNan is known
  std::vector<unsigned char> m_hasNan;  // per component: NaN in some vertex
  std::vector<Component> m_components;
  std::vector<Node> m_nodes;
  // Per node: the lowest and highest value of its parent's split component
  // among its places (a survivor filed there has one of those values).
  std::vector<float> m_low;
  std::vector<float> m_high;
  std::vector<int32_t> m_entries;
  std::vector<int32_t> m_roots;
  // Scratch of a build: the places being split, their values, the tasks,
  // the children's first places.
  std::vector<int32_t> m_places;
  std::vector<std::pair<float, int32_t>> m_sorted;
  std::vector<std::pair<float, int32_t>> m_sortScratch;
  std::vector<Task> m_tasks;
  std::vector<int32_t> m_cuts;
  std::vector<std::pair<double, int>> m_candidates;  // (order, component), best first
  uint32_t m_excluded = 0;  // position axes the tree being built does not split on
  bool m_noting = false;    // the tree being built notes its places
  // Per place: the tree that noted it, and its leaf times 2 plus 1 when a
  // search from its values needs that leaf only; the places noted since the
  // last reset. While a tree is built, m_placeLeaf holds 1 or 0 (a search
  // from the place crosses a border) until the place reaches its leaf.
  std::vector<int32_t> m_placeTree;
  std::vector<int32_t> m_placeLeaf;
  std::vector<int32_t> m_noted;
};

}  // namespace tool
