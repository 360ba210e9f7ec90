#include "tool/VertexWelder.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "tool/WeldSupport.h"

// The grid weld. While there are few survivors it runs the plain scan
// (cheaper than any index, and all a model of a few distinct vertices
// needs). Then a first pass files every vertex by the cell of its position
// in a uniform grid (cell size from the data) and counts the vertices of each
// cell, so that each cell gets a segment with room for all its survivors.
// The second pass goes through the vertices in order: a vertex is compared
// with the survivors of every cell that its tolerance window reaches
// (usually its own cell only), in ascending order, and the lowest-indexed
// match wins exactly as in the plain scan; a vertex without a match becomes
// the next survivor and is appended to its cell's segment.
//
// A survivor with a NaN position component matches anything on that axis:
// it goes to the cell keyed by its other axes (kNanAxis on its NaN axes) and
// to the ordered list of its NaN group, which a vertex that is NaN where the
// group is not must walk whole. Models without NaN positions never do.

using weld::copyVertex;
using weld::kWindow;
using weld::positionsMatch;
using weld::reindexFaces;
using weld::restEqual;

namespace {

uint32_t nanMask(const float* p) {
  return (p[0] != p[0] ? 1u : 0u) | (p[1] != p[1] ? 2u : 0u) | (p[2] != p[2] ? 4u : 0u);
}

// Cells narrower than this would send most vertices to their neighbours.
constexpr double kMinCellSize = 16.0 * double(kWeldTolerance);
// Cell coordinates are clamped here; clamping keeps the cell order, so a
// vertex still finds every survivor within the window (infinities land on
// the clamp too, beside the far finite values, which only costs compares).
constexpr double kCellClamp = 2147483000.0;  // inside int32_t, room for +-1
// Cell coordinate of a NaN axis: outside the clamped range of numbers.
constexpr int32_t kNanAxis = INT32_MIN;
// The fast cell test (classify) needs |x| / size below 2^36 and |q| below 2^30.
constexpr double kFastXLimit = 68719476736.0;
constexpr double kFastQLimit = 1073741824.0;
// Sample size for the first cell size; the crowding (vertices sharing a
// cell with the average vertex) above which the cells are made smaller.
constexpr int kSampleSize = 1024;
constexpr double kMaxCrowding = 24;
// Set in a vertex's cell entry when its window crosses a cell border.
constexpr uint32_t kCrossesBorder = 0x80000000u;
// classify: a component is NaN, infinite or too far out for the fast test.
constexpr uint32_t kFarOrNaN = 8;
// How far ahead table slots and cell segments are prefetched.
constexpr int kAhead = 8;
// A cell with more vertices than this after the refinement is crowded; it
// gets a tree once it holds more survivors than kTreeSurvivors (a scan of
// that many costs about as much as a search of the tree).
constexpr int32_t kCrowdedCell = 64;
constexpr int32_t kTreeSurvivors = 32;
// m_cellTree of a cell without a tree: kPlainCell, or for a crowded cell
// kPendingTree - (its index in m_crowdOffsets).
constexpr int32_t kPlainCell = -1;
constexpr int32_t kPendingTree = -2;
// Survivors walked in one group for searches NaN on another axis, beyond
// four per vertex of the model, before the group gets a tree for them.
constexpr int64_t kWalkBudget = 1 << 16;

uint64_t hashCell(const int32_t* c) {
  uint64_t h = (uint64_t(uint32_t(c[0])) | uint64_t(uint32_t(c[1])) << 32) * 0x9E3779B97F4A7C15ull;
  h ^= uint64_t(uint32_t(c[2])) * 0xC2B2AE3D27D4EB4Full;
  h ^= h >> 29;
  return h * 0xD6E8FEB86659FD93ull;
}

}  // namespace

struct VertexWelder::Entry {
  float p[3];  // the survivor's position
  int32_t k;   // the survivor
};

VertexWelder::VertexWelder() = default;
VertexWelder::~VertexWelder() = default;

int32_t VertexWelder::cellOf(double x, int axis) const {
  // Monotone in x: every step (subtract, scale, clamp, floor) keeps the order.
  double q = (x - m_origin[axis]) * m_invCellSize;
  q = std::min(std::max(q, -kCellClamp), kCellClamp);
  int32_t c = static_cast<int32_t>(q);  // toward zero, then down to the floor
  return c - (double(c) > q ? 1 : 0);
}

void VertexWelder::cellKey(const float* p, int32_t* c) const {
  for (int a = 0; a < 3; ++a) c[a] = p[a] != p[a] ? kNanAxis : cellOf(p[a], a);
}

uint32_t VertexWelder::classify(const float* p, int32_t* c) const {
  // The window [x - w, x + w] of an axis lies in the cell of x when x is far
  // enough from the cell's borders. The values cellOf computes for x - w and
  // x + w differ from q -+ w / size by at most 2^-53 (4 |q| + |x| / size) and
  // a trace, below 1e-5 cells within the limits tested here; the margin of
  // 1e-4 cells covers it. Within those limits floor(q) is cellOf(x).
  // Returns the axes whose window crosses a border, or kFarOrNaN (the cell
  // then from cellKey).
  uint32_t crossing = 0;
  for (int a = 0; a < 3; ++a) {
    const double x = p[a];
    const double q = (x - m_origin[a]) * m_invCellSize;
    if (!(std::fabs(x) * m_invCellSize < kFastXLimit && std::fabs(q) < kFastQLimit)) {
      cellKey(p, c);  // NaN, infinite or far out
      return kFarOrNaN;
    }
    int32_t floorQ = static_cast<int32_t>(q);  // toward zero, then down
    floorQ -= double(floorQ) > q ? 1 : 0;
    const double f = q - double(floorQ);
    if (!(f >= m_borderMargin && f + m_borderMargin < 1.0)) crossing |= 1u << a;
    c[a] = floorQ;
  }
  return crossing;
}

int32_t VertexWelder::findCell(const int32_t* c, uint64_t hash) const {
  const size_t wrap = m_table.size() - 1;
  for (size_t i = hash >> (64 - m_tableBits);; i = (i + 1) & wrap) {
    const Slot& slot = m_table[i];
    if (slot.cell < 0) return -1;
    if (slot.c[0] == c[0] && slot.c[1] == c[1] && slot.c[2] == c[2]) return slot.cell;
  }
}

int32_t VertexWelder::addCell(const int32_t* c, uint64_t hash) {
  const size_t wrap = m_table.size() - 1;
  for (size_t i = hash >> (64 - m_tableBits);; i = (i + 1) & wrap) {
    Slot& slot = m_table[i];
    if (slot.cell < 0) {
      // The table has at least twice as many slots as there are vertices.
      const int32_t added = static_cast<int32_t>(m_cellFill.size());
      slot = Slot{{c[0], c[1], c[2]}, added};
      m_cellFill.push_back(0);
      m_cellSlots.push_back(static_cast<uint32_t>(i));
      return added;
    }
    if (slot.c[0] == c[0] && slot.c[1] == c[1] && slot.c[2] == c[2]) return slot.cell;
  }
}

void VertexWelder::listWindowCells(const float* p, int v, const int32_t* own, int32_t ownCell,
                                   uint32_t crossing) {
  // The cells that the window of vertex v reaches. Every cell that can hold
  // a survivor for v exists by now: survivors come from earlier vertices.
  if (nanMask(p)) {
    m_vertexNear[v] = -1;  // searched group by group
    return;
  }
  int32_t lo[3], hi[3];
  for (int a = 0; a < 3; ++a) {
    if ((crossing >> a) & 1 || crossing == kFarOrNaN) {
      lo[a] = cellOf(double(p[a]) - kWindow, a);
      hi[a] = cellOf(double(p[a]) + kWindow, a);
    } else {
      lo[a] = hi[a] = own[a];
    }
  }
  m_vertexNear[v] = static_cast<int32_t>(m_near.size());
  m_near.push_back(0);
  int32_t c[3];
  for (c[0] = lo[0]; c[0] <= hi[0]; ++c[0])
    for (c[1] = lo[1]; c[1] <= hi[1]; ++c[1])
      for (c[2] = lo[2]; c[2] <= hi[2]; ++c[2]) {
        const bool isOwn = c[0] == own[0] && c[1] == own[1] && c[2] == own[2];
        const int32_t cell = isOwn ? ownCell : findCell(c, hashCell(c));
        if (cell < 0) continue;
        m_near.push_back(cell);
        ++m_near[m_vertexNear[v]];
      }
}

double VertexWelder::fileVertices(const ModelStore& store, int vertexCount) {
  // Files every vertex by its cell; returns the crowding, the number of
  // vertices that share a cell with the average vertex.
  unsigned bits = 6;
  while ((size_t(1) << bits) < size_t(vertexCount) * 2) ++bits;
  if (bits != m_tableBits) {
    m_tableBits = bits;
    m_table.assign(size_t(1) << bits, Slot{{0, 0, 0}, -1});
  } else {
    for (uint32_t i : m_cellSlots) m_table[i].cell = -1;  // only what was used
  }
  m_cellSlots.clear();
  m_cellFill.clear();
  m_near.clear();
  // Keys are worked out kAhead vertices ahead and their table slots
  // prefetched, so that the table's cache misses overlap.
  struct Pending {
    int32_t c[3];
    uint32_t crossing;
    uint64_t hash;
  } pending[kAhead];
  auto prepare = [&](int u) {
    Pending& e = pending[u % kAhead];
    e.crossing = classify(store.positions[u], e.c);
    e.hash = hashCell(e.c);
    __builtin_prefetch(&m_table[e.hash >> (64 - m_tableBits)]);
  };
  for (int u = 0; u < kAhead && u < vertexCount; ++u) prepare(u);
  for (int v = 0; v < vertexCount; ++v) {
    const Pending e = pending[v % kAhead];
    if (v + kAhead < vertexCount) prepare(v + kAhead);
    const int32_t cell = addCell(e.c, e.hash);
    ++m_cellFill[cell];  // counts the cell's vertices for now
    m_vertexCell[v] = uint32_t(cell) | (e.crossing ? kCrossesBorder : 0);
    if (e.crossing) listWindowCells(store.positions[v], v, e.c, cell, e.crossing);
  }
  // Segments in cell order; the fill counts restart from 0.
  const size_t cells = m_cellFill.size();
  m_cellStart.resize(cells);
  int32_t start = 0;
  double crowding = 0;
  for (size_t i = 0; i < cells; ++i) {
    m_cellStart[i] = start;
    start += m_cellFill[i];
    crowding += double(m_cellFill[i]) * m_cellFill[i];
    m_cellFill[i] = 0;
  }
  return crowding / vertexCount;
}

void VertexWelder::pinGridForTesting(double cellSize, double origin) {
  m_pinned = true;
  m_scanLimit = -1;
  setCellSize(std::max(cellSize, kMinCellSize));
  for (double& o : m_origin) o = origin;
}

void VertexWelder::setCellSize(double size) {
  // Values equal to the sample's low end (all of them, when the vertices
  // share a place) lie mid-cell, away from the borders.
  if (!m_pinned)
    for (int c = 0; c < 3; ++c) m_origin[c] = m_low[c] - 0.5 * size;
  m_cellSize = size;
  m_invCellSize = 1.0 / size;
  m_borderMargin = kWindow * m_invCellSize + 1e-4;
}

void VertexWelder::chooseGrid(const ModelStore& store, int vertexCount) {
  // First cell size from the density of a sample's central box (1% to 99% on
  // every axis, so that a few far outliers do not make the cells huge).
  const int samples = std::min(vertexCount, kSampleSize);
  for (int c = 0; c < 3; ++c) m_sample[c].clear();
  for (int i = 0; i < samples; ++i) {
    const int v = static_cast<int>(int64_t(i) * vertexCount / samples);
    for (int c = 0; c < 3; ++c)
      if (std::isfinite(store.positions[v][c])) m_sample[c].push_back(store.positions[v][c]);
  }
  double volume = 1;
  int dims = 0;
  for (int c = 0; c < 3; ++c) {
    std::vector<double>& a = m_sample[c];
    m_low[c] = 0;
    if (a.empty()) continue;
    const size_t lo = a.size() / 100, hi = a.size() - 1 - a.size() / 100;
    std::nth_element(a.begin(), a.begin() + lo, a.end());
    const double low = a[lo];
    std::nth_element(a.begin(), a.begin() + hi, a.end());
    const double extent = a[hi] - low;
    m_low[c] = low;
    if (extent > 0) {
      volume *= extent;
      ++dims;
    }
  }
  double size = dims ? std::pow(volume / vertexCount, 1.0 / dims) : kMinCellSize;
  if (!(size >= kMinCellSize)) size = kMinCellSize;
  if (size > 1e30) size = 1e30;
  setCellSize(size);
}

int VertexWelder::scanCell(const ModelStore& store, int v, int32_t cell, int best) const {
  if (m_cellTree[cell] >= 0) return m_crowd.query(m_cellTree[cell], v, best);
  const float* p = store.positions[v];
  const Entry* e = &m_entries[m_cellStart[cell]];
  const Entry* end = e + m_cellFill[cell];
  for (; e != end && e->k < best; ++e)
    if (positionsMatch(p, e->p) && restEqual(store, v, e->k)) return e->k;
  return best;
}

int VertexWelder::searchGroup(const ModelStore& store, int v, uint32_t mask, uint32_t group,
                              int best) {
  // Vertex v is NaN on an axis by which the group's cells are keyed, so the
  // cells do not narrow the search: walk the group in order while that is
  // cheap, then search a tree over the group's places that leaves out the
  // axes on which v is NaN.
  if (m_groupTree[group][mask] >= 0) return m_crowd.query(m_groupTree[group][mask], v, best);
  const float* p = store.positions[v];
  int64_t steps = 0;
  for (int k = m_groupHead[group]; k >= 0 && k < best; k = m_groupNext[k], ++steps) {
    if (positionsMatch(p, store.positions[k]) && restEqual(store, v, k)) {
      best = k;
      break;
    }
  }
  m_groupSteps[group][mask] += steps;
  if (m_groupSteps[group][mask] > kWalkBudget + 4 * int64_t(m_vertexCount))
    buildGroupTree(store, group, mask);
  return best;
}

void VertexWelder::buildGroupTree(const ModelStore& store, uint32_t group, uint32_t mask) {
  // Over every place whose NaN axes are the group's: the survivors so far
  // (below the place being welded), and every vertex still to come.
  m_treePlaces.clear();
  for (int p = 0; p < m_vertexCount; ++p)
    if (nanMask(store.positions[p]) == group) m_treePlaces.push_back(p);
  const int tree = m_crowd.build(m_treePlaces.data(), static_cast<int>(m_treePlaces.size()),
                                 group | mask, false);
  for (int k = m_groupHead[group]; k >= 0; k = m_groupNext[k]) m_crowd.insert(tree, k, k);
  m_groupTree[group][mask] = tree;
  m_groupTrees[group] |= 1u << mask;
}

int VertexWelder::searchCells(const ModelStore& store, int v, uint32_t group, int best) const {
  // Axes of the group's cells: those on which its survivors are not NaN. The
  // vertex itself has a number on each of them (its NaN axes lie in group).
  const float* p = store.positions[v];
  int32_t lo[3], hi[3];
  for (int a = 0; a < 3; ++a) {
    if ((group >> a) & 1) {
      lo[a] = hi[a] = kNanAxis;
    } else {
      lo[a] = cellOf(double(p[a]) - kWindow, a);
      hi[a] = cellOf(double(p[a]) + kWindow, a);
    }
  }
  int32_t c[3];
  for (c[0] = lo[0]; c[0] <= hi[0]; ++c[0])
    for (c[1] = lo[1]; c[1] <= hi[1]; ++c[1])
      for (c[2] = lo[2]; c[2] <= hi[2]; ++c[2]) {
        const int32_t cell = findCell(c, hashCell(c));
        if (cell >= 0) best = scanCell(store, v, cell, best);
      }
  return best;
}

int VertexWelder::search(const ModelStore& store, int v, uint32_t mask, int best, bool skipFinite) {
  for (uint32_t group = skipFinite ? 1 : 0; group < 8; ++group) {
    if (!(m_groups & (1u << group))) continue;
    if ((mask & ~group) == 0)
      best = searchCells(store, v, group, best);
    else  // the vertex is NaN on an axis the group is filed by: walk the group
      best = searchGroup(store, v, mask, group, best);
  }
  return best;
}

void VertexWelder::file(const ModelStore& store, int v, int k, uint32_t mask) {
  const int32_t cell = int32_t(m_vertexCell[v] & ~kCrossesBorder);
  const int32_t tree = m_cellTree[cell];
  if (tree >= 0) {
    m_crowd.insert(tree, k, v);
  } else {
    Entry& e = m_entries[m_cellStart[cell] + m_cellFill[cell]++];
    std::memcpy(e.p, store.positions[k], sizeof e.p);
    e.k = k;
    if (tree <= kPendingTree && m_cellFill[cell] > kTreeSurvivors) growTree(cell, v);
  }
  for (uint32_t m = 0; m < 8; ++m)
    if ((m_groupTrees[mask] >> m) & 1) m_crowd.insert(m_groupTree[mask][m], k, v);
  m_groupNext[k] = -1;
  if (m_groups & (1u << mask))
    m_groupNext[m_groupTail[mask]] = k;
  else
    m_groupHead[mask] = k;
  m_groups |= 1u << mask;
  m_groupTail[mask] = k;
}

void VertexWelder::buildGrid(const ModelStore& store, int vertexCount) {
  if (!m_pinned) chooseGrid(store, vertexCount);
  // Cells that hold many vertices hold many survivors, unless the vertices
  // are copies: make them smaller while they are crowded, and stop as soon as
  // a step barely helps (the crowd is then made of copies, which merge at
  // the first compare, and more passes would only cost).
  double crowding = fileVertices(store, vertexCount);
  while (!m_pinned && crowding > kMaxCrowding && m_cellSize > kMinCellSize &&
         m_refinements < kMaxRefinements) {
    const double factor = crowding > 64 * kMaxCrowding ? 8 : 2;
    setCellSize(std::max(m_cellSize / factor, kMinCellSize));
    const double before = crowding;
    crowding = fileVertices(store, vertexCount);
    ++m_refinements;
    if (crowding > 0.75 * before) break;
  }
  indexCrowds(vertexCount);
}

void VertexWelder::indexCrowds(int vertexCount) {
  // A cell that still holds many vertices after the refinement holds copies
  // (cheap: they merge at the first compare) or vertices that share a place
  // but differ elsewhere. Its places are kept, so that a tree over all their
  // attributes can take over once the cell holds many survivors.
  const size_t cells = m_cellStart.size();
  m_cellTree.assign(cells, kPlainCell);
  m_crowdOffsets.clear();
  int32_t total = 0;
  for (size_t i = 0; i < cells; ++i) {
    const int32_t count = (i + 1 < cells ? m_cellStart[i + 1] : vertexCount) - m_cellStart[i];
    if (count <= kCrowdedCell) continue;
    m_cellTree[i] = kPendingTree - static_cast<int32_t>(m_crowdOffsets.size());
    m_crowdOffsets.push_back(total);
    total += count;
  }
  m_crowdOffsets.push_back(total);
  if (total == 0) return;
  m_crowdPlaces.resize(size_t(total));
  for (int v = 0; v < vertexCount; ++v) {
    const uint32_t cell = m_vertexCell[v] & ~kCrossesBorder;
    if (m_cellTree[cell] <= kPendingTree) {
      const int32_t at = m_crowdOffsets[kPendingTree - m_cellTree[cell]] + m_cellFill[cell]++;
      m_crowdPlaces[size_t(at)] = v;
    }
  }
  for (size_t i = 0; i < cells; ++i)
    if (m_cellTree[i] <= kPendingTree) m_cellFill[i] = 0;
}

void VertexWelder::growTree(int32_t cell, int v) {
  // The tree holds the cell's survivors so far (at their places now) and
  // the cell's vertices after v (at their places still); vertices of the
  // cell before v have merged or are among the survivors.
  const int32_t crowd = kPendingTree - m_cellTree[cell];
  m_treePlaces.clear();
  const Entry* e = &m_entries[m_cellStart[cell]];
  for (int32_t i = 0; i < m_cellFill[cell]; ++i) m_treePlaces.push_back(e[i].k);
  for (int32_t i = m_crowdOffsets[crowd]; i < m_crowdOffsets[crowd + 1]; ++i)
    if (m_crowdPlaces[i] > v) m_treePlaces.push_back(m_crowdPlaces[i]);
  const int tree =
      m_crowd.build(m_treePlaces.data(), static_cast<int>(m_treePlaces.size()), 0, true);
  for (int32_t i = 0; i < m_cellFill[cell]; ++i) m_crowd.insert(tree, e[i].k, e[i].k);
  m_cellTree[cell] = tree;
}

int VertexWelder::weldVertices(ModelStore& store, int vertexCount, int triangleCount) {
  vertexCount = std::min(std::max(vertexCount, 0), ModelStore::kVertexEntries);
  const size_t room = std::max(vertexCount, 1);
  if (m_remap.size() < room) {
    m_remap.resize(room);
    m_groupNext.resize(room);
    m_vertexCell.resize(room);
    m_vertexNear.resize(room);
    m_entries.resize(room);
  }
  m_refinements = 0;
  m_groups = 0;
  m_crowd.reset(store);
  m_vertexCount = vertexCount;
  for (uint32_t g = 0; g < 8; ++g) {
    m_groupTrees[g] = 0;
    for (uint32_t m = 0; m < 8; ++m) {
      m_groupTree[g][m] = -1;
      m_groupSteps[g][m] = 0;
    }
  }
  int kept = 0;
  int v = 0;
  // While there are few survivors the plain scan is cheaper than any index
  // (and a model made of copies of a few vertices never needs one).
  for (; v < vertexCount && kept <= m_scanLimit; ++v) {
    int k = 0;
    while (k < kept &&
           !(positionsMatch(store.positions[v], store.positions[k]) && restEqual(store, v, k)))
      ++k;
    if (k == kept) copyVertex(store, v, kept++);
    m_remap[v] = k;
  }
  if (v < vertexCount) {
    // The grid files every place of the store as it stands now: places below
    // kept hold the survivors so far, each filed by its own place; places
    // from v on hold the vertices still to come.
    buildGrid(store, vertexCount);
    for (int k = 0; k < kept; ++k) file(store, k, k, nanMask(store.positions[k]));
  }
  for (; v < vertexCount; ++v) {
    if (v + kAhead < vertexCount) {
      const uint32_t ahead = m_vertexCell[v + kAhead] & ~kCrossesBorder;
      __builtin_prefetch(&m_entries[m_cellStart[ahead]]);
    }
    const uint32_t cell = m_vertexCell[v];
    int k = INT_MAX;
    uint32_t mask = 0;
    if (!(cell & kCrossesBorder)) {
      // The common case: the window lies in one cell.
      k = scanCell(store, v, int32_t(cell), INT_MAX);
    } else if (m_vertexNear[v] >= 0) {
      const int32_t* near = &m_near[m_vertexNear[v]];
      for (int32_t i = 1; i <= near[0]; ++i) k = scanCell(store, v, near[i], k);
    } else {
      mask = nanMask(store.positions[v]);
    }
    // Survivors with a NaN position component (rare) are searched by group.
    if (m_groups > 1 || mask) k = search(store, v, mask, k, mask == 0);
    if (k == INT_MAX) {
      k = kept++;
      copyVertex(store, v, k);
      file(store, v, k, mask);
    }
    m_remap[v] = k;
  }
  reindexFaces(store, triangleCount, m_remap.data());
  return kept;
}
