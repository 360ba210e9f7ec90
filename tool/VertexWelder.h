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
// vertex through a hashed uniform grid over the positions, at a small
// fraction of the cost; vertices the grid cannot separate (many at one
// place, or NaN positions, differing in other attributes) are searched
// through trees over all attributes (CrowdIndex). Both rewrite the store in
// place and keep no second copy of the vertex data: the scan needs the
// remap table only, the grid adds a cell entry and a survivor slot per
// vertex, and its cells.
//
// Single-threaded: a welder and the store it works on belong to one thread.
#pragma once

#include <cmath>
#include <cstdint>
#include <memory>
#include <ostream>
#include <vector>

#include "tool/CrowdIndex.h"
#include "tool/ModelStore.h"

namespace tool {

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
int weldVerticesByScan(ModelStore& store, int vertexCount, int triangleCount, int32_t* remap);

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

  // How often the last weld made its cells smaller before welding, because
  // they held too many vertices (for tests and benchmarks).
  int refinements() const { return m_refinements; }

  // How many trees over all attributes the last weld built, for crowded
  // cells and for NaN searches (for tests and benchmarks).
  int crowdTrees() const { return m_crowd.treeCount(); }

  // Fixes the cell size (at least the smallest cell the welder uses) and the
  // grid origin on every axis, and uses the grid from the first vertex on,
  // for tests that place vertices on cell borders.
  void pinGridForTesting(double cellSize, double origin);
  // Uses the grid from the first vertex on (no plain scan while there are
  // few survivors), with the cell size chosen from the data.
  void useGridOnlyForTesting() { m_scanLimit = -1; }

 private:
  // Room that is kept from weld to weld and left uninitialised when it
  // grows: its pages are touched only where a weld writes.
  template <typename T>
  class Scratch {
   public:
    void reserve(size_t n) {
      if (n > m_size) {
        m_data.reset(new T[n]);
        m_size = n;
      }
    }
    T* data() const { return m_data.get(); }
    T& operator[](size_t i) const { return m_data[i]; }

   private:
    std::unique_ptr<T[]> m_data;
    size_t m_size = 0;
  };

  // The grid (VertexWelderGrid.cpp).
  void chooseGrid(const ModelStore& store, int vertexCount);
  void buildGrid(const ModelStore& store, int vertexCount);
  void setCellSize(double size);
  double fileVertices(const ModelStore& store, int vertexCount);
  int32_t cellOf(double x, int axis) const;
  void cellKey(const float* p, int32_t* cell) const;
  uint32_t classify(const float* p, int32_t* cell) const;
  int32_t findCell(const int32_t* cell, uint64_t hash) const;
  int32_t addCell(const int32_t* cell, uint64_t hash);
  void listWindowCells(const float* p, int v, const int32_t* own, int32_t ownCell,
                       uint32_t crossing);
  int32_t ownCell(int place) const;
  int searchCells(const ModelStore& store, int v, uint32_t group, int best) const;
  // The search (VertexWelder.cpp).
  void indexCrowds(int vertexCount);
  void growTree(int32_t cell, int v);
  int scanCell(const ModelStore& store, int v, int32_t cell, int best) const;
  int search(const ModelStore& store, int v, uint32_t mask, int best, bool skipFinite);
  int searchGroup(const ModelStore& store, int v, uint32_t mask, uint32_t group, int best);
  void buildGroupTree(const ModelStore& store, uint32_t group, uint32_t mask);
  void file(int v, int k, uint32_t mask);

  // Every cell that holds a vertex, found through an open-addressing table
  // that only grows (a weld clears the slots it used, not the table).
  struct Slot {
    int32_t c[3];  // the cell's coordinates
    int32_t cell;  // its index, -1 for an empty slot
  };
  std::vector<Slot> m_table;          // 2^m_tableBits slots
  std::vector<uint32_t> m_cellSlots;  // per cell: its slot in the table
  unsigned m_tableBits = 0;
  std::vector<int32_t> m_cellStart;  // per cell: first entry of its segment
  std::vector<int32_t> m_cellFill;   // per cell: survivors filed so far
  // Per vertex: its cell; or, with kCrossesBorder set, when its tolerance
  // window crosses a cell border (or it has a NaN or far-out component),
  // where its list in m_near begins: its own cell, the number of cells its
  // window reaches, those cells (none for a NaN vertex: it is searched
  // group by group).
  Scratch<uint32_t> m_vertexCell;
  std::vector<int32_t> m_near;
  // The survivors, cell by cell, each cell's in ascending order; a cell's
  // segment has room for every vertex of the cell.
  Scratch<int32_t> m_entries;
  // Survivors by NaN axes (group m: bit a set for a NaN on axis a), each
  // group listed in ascending order; kept only for models with NaN
  // positions (others have group 0 alone and never walk it).
  Scratch<int32_t> m_groupNext;
  bool m_listGroups = false;
  uint32_t m_groups = 0;  // bit m set: group m holds survivors
  int32_t m_groupHead[8];
  int32_t m_groupTail[8];

  // Crowded cells (more vertices than the grid can thin out) are searched
  // through trees over all attributes; so are groups of NaN survivors that
  // vertices NaN elsewhere would otherwise walk whole.
  CrowdIndex m_crowd;
  bool m_crowded = false;               // some cell is crowded (else m_cellTree is unused)
  std::vector<int32_t> m_cellTree;      // per cell: its tree, or none yet (negative)
  std::vector<int32_t> m_crowdPlaces;   // places of crowded cells, cell by cell
  std::vector<int32_t> m_crowdOffsets;  // per crowded cell: its first place there
  std::vector<int32_t> m_treePlaces;    // the places of the tree being built
  int32_t m_groupTree[8][8];            // [group][NaN axes of the search]: tree or -1
  int64_t m_groupSteps[8][8];           // survivors walked so far without a tree
  uint32_t m_groupTrees[8];             // per group: bit m set when [group][m] has a tree
  int m_vertexCount = 0;

  Scratch<int32_t> m_remap;
  std::vector<double> m_sample[3];  // per axis: the sample's finite values
  double m_low[3] = {0, 0, 0};      // per axis: the sample's low end (1%)
  double m_origin[3] = {0, 0, 0};
  double m_cellSize = 1;
  double m_invCellSize = 1;
  double m_borderMargin = 0;  // in cells: window plus rounding room
  bool m_pinned = false;
  // Survivors up to which the plain scan runs. Past it the scan would spend
  // at least this many compares on every further vertex, more than the grid
  // with all its passes (at most 1 + kMaxRefinements) costs.
  static constexpr int kScanSurvivors = 64;
  static constexpr int kMaxRefinements = 4;
  int m_scanLimit = kScanSurvivors;
  int m_refinements = 0;
};

}  // namespace tool
