// Vertex welding: merges the vertices of the model in a ModelStore whose
// every attribute agrees within a fixed tolerance, compacts the survivors to
// the front of the store in the order of their first occurrence, and
// re-indexes the triangles.
//
// Two components match when the absolute value of their difference, taken
// as a 32-bit float, is not greater than kWeldTolerance; a difference that is
// not a number (a NaN component, or two infinities of the same sign) matches.
// An input vertex merges into the LOWEST-indexed earlier survivor that
// matches; it is compared with survivors only, so merging is not transitive.
//
// weldVerticesByScan is the plain form of that rule: every vertex against
// every survivor. VertexWelder finds exactly the same survivor for every
// vertex through a hashed grid over the positions, at a small fraction of the
// cost. Both rewrite the store in place; the only extra vertex-sized data is
// the remap table (and, for the grid, per-survivor list links).
//
// Single-threaded: a welder and the store it works on belong to one thread.
#pragma once

#include <cmath>
#include <cstdint>
#include <ostream>
#include <vector>

#include "tool/ModelStore.h"

// The 32-bit float nearest to 1e-5 (bit pattern 0x3727C5AC).
constexpr float kWeldTolerance = 0x1.4f8b58p-17f;
static_assert(kWeldTolerance == 1e-5f, "the weld tolerance is the float nearest to 1e-5");

// The component rule. The difference is rounded to float before the test:
// keep it so (no wider type, no precomputed a +- tolerance window).
inline bool componentsMatch(float a, float b) {
  float d = a - b;
  return !(std::fabs(d) > kWeldTolerance);
}

// True when input vertex v and survivor k of the store agree in position,
// normal (when store.hasNormals), every component of every texture
// coordinate layer below store.layerCount, and (when store.hasSkin) in the
// four influence slots: bone indices exactly, weights as components.
bool verticesEqual(const ModelStore& store, int v, int k);

// Welds by scanning every survivor for every vertex. Returns the number of
// survivors; remap (room for vertexCount entries, may be null) receives the
// survivor each input vertex became. Faces are re-indexed in place; the first
// 3 x triangleCount entries of store.faces must name vertices below
// vertexCount. Cost: input x survivors comparisons. Kept as the reference.
int weldVerticesByScan(ModelStore& store, int vertexCount, int triangleCount,
                       int32_t* remap);

// Prints the weld report: "INFO - optimization <before> -> <after>" and an
// empty line after it.
void printWeldReport(std::ostream& out, int before, int after);

// The fast weld. Holds its scratch tables between models so that welding
// allocates nothing once the largest model has been seen.
class VertexWelder {
 public:
  VertexWelder();
  ~VertexWelder();
  VertexWelder(const VertexWelder&) = delete;
  VertexWelder& operator=(const VertexWelder&) = delete;

  // Same contract and same result as weldVerticesByScan (vertexCount from 0
  // to ModelStore::kMaxVertices). Returns the number of survivors.
  int weldVertices(ModelStore& store, int vertexCount, int triangleCount);

  // The remap table of the last weld: entry v is the survivor of vertex v.
  const int32_t* remap() const { return m_remap.data(); }

  // How often the last weld refined its grid (for tests and benchmarks).
  int refinements() const { return m_refinements; }

  // Fixes the cell size (at least the smallest cell the welder uses) and the
  // grid origin on every axis, for tests that place vertices on cell borders.
  void pinGridForTesting(double cellSize, double origin);

 private:
  void chooseGrid(const ModelStore& store, int vertexCount);
  void resetGrid(int vertexCount);
  void rebuildGrid(const ModelStore& store, int keptCount);
  int32_t cellOf(double x, int axis) const;
  void cellKey(const float* p, int32_t* cell) const;
  size_t probe(const int32_t* cell) const;
  void prefetch(const float* p) const;
  void file(size_t slot, int tail, uint32_t mask, int k);
  void insert(const float* p, uint32_t mask, int k);
  int weldOne(ModelStore& store, int v, int kept);
  int search(const ModelStore& store, int v, uint32_t mask);
  int searchCells(const ModelStore& store, int v, uint32_t group, int best);
  int walk(const ModelStore& store, int v, int k, const int32_t* next, int best);
  int walkAll(const ModelStore& store, int v, int k, int* last);

  std::vector<int32_t> m_remap;
  std::vector<int32_t> m_cellNext;   // per survivor: next survivor of its cell
  std::vector<int32_t> m_groupNext;  // per survivor: next survivor of its NaN group
  std::vector<int32_t> m_table;      // open addressing: first survivor of a cell, -1 empty
  const float (*m_positions)[3] = nullptr;  // the store's positions during a weld
  std::vector<uint32_t> m_used;      // slots holding a cell
  std::vector<double> m_sample[3];   // per axis: the sample's finite values
  uint32_t m_groups = 0;             // bit m set: NaN group m holds survivors
  int32_t m_groupHead[8];
  int32_t m_groupTail[8];
  unsigned m_tableBits = 0;
  double m_origin[3] = {0, 0, 0};
  double m_cellSize = 1;
  double m_invCellSize = 1;
  int64_t m_visits = 0;
  bool m_pinned = false;
  int m_refinements = 0;
};
