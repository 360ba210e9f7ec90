// The welder's grid over the positions: the choice of the cell size, the
// cells as an open-addressing table, and the first pass that files every
// vertex by its cell, counts each cell's vertices and lists the cells that
// the window of a vertex near a cell border reaches. The search over it is
// in VertexWelder.cpp.
#include <algorithm>
#include <cmath>

#include "tool/VertexWelder.h"
#include "tool/WeldSupport.h"

namespace tool {

using weld::hashCell;
using weld::kAhead;
using weld::kCrossesBorder;
using weld::kNanAxis;
using weld::kWindow;
using weld::nanMask;

namespace {

// Cells narrower than this would send most vertices to their neighbours.
constexpr double kMinCellSize = 16.0 * double(kWeldTolerance);
// Cell coordinates are clamped here; clamping keeps the cell order, so a
// vertex still finds every survivor within the window (infinities land on
// the clamp too, beside the far finite values, which only costs compares).
constexpr double kCellClamp = 2147483000.0;  // inside int32_t, room for +-1
static_assert(-kCellClamp - 1 > double(kNanAxis), "NaN axes have a coordinate of their own");
// The fast cell test (classify) needs |x| / size below 2^36 and |q| below 2^30.
constexpr double kFastXLimit = 68719476736.0;
constexpr double kFastQLimit = 1073741824.0;
// Sample size for the first cell size; the crowding (vertices sharing a
// cell with the average vertex) above which the cells are made smaller.
constexpr int kSampleSize = 1024;
constexpr double kMaxCrowding = 24;
// classify: a component is NaN, infinite or too far out for the fast test.
constexpr uint32_t kFarOrNaN = 8;

}  // namespace

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

int32_t VertexWelder::ownCell(int place) const {
  const uint32_t e = m_vertexCell[size_t(place)];
  return (e & kCrossesBorder) ? m_near[e & ~kCrossesBorder] : int32_t(e);
}

void VertexWelder::listWindowCells(const float* p, int v, const int32_t* own, int32_t ownCell,
                                   uint32_t crossing) {
  // The cells that the window of vertex v reaches. Every cell that can hold
  // a survivor for v exists by now: survivors come from earlier vertices.
  const size_t at = m_near.size();
  m_vertexCell[size_t(v)] = kCrossesBorder | uint32_t(at);
  m_near.push_back(ownCell);
  m_near.push_back(0);
  if (nanMask(p)) return;  // searched group by group
  int32_t lo[3], hi[3];
  for (int a = 0; a < 3; ++a) {
    if ((crossing >> a) & 1 || crossing == kFarOrNaN) {
      lo[a] = cellOf(double(p[a]) - kWindow, a);
      hi[a] = cellOf(double(p[a]) + kWindow, a);
    } else {
      lo[a] = hi[a] = own[a];
    }
  }
  int32_t c[3];
  for (c[0] = lo[0]; c[0] <= hi[0]; ++c[0])
    for (c[1] = lo[1]; c[1] <= hi[1]; ++c[1])
      for (c[2] = lo[2]; c[2] <= hi[2]; ++c[2]) {
        const bool isOwn = c[0] == own[0] && c[1] == own[1] && c[2] == own[2];
        const int32_t cell = isOwn ? ownCell : findCell(c, hashCell(c));
        if (cell < 0) continue;
        m_near.push_back(cell);
        ++m_near[at + 1];
      }
}

double VertexWelder::fileVertices(const ModelStore& store, int vertexCount) {
  // Files every vertex by its cell; returns the crowding, the number of
  // vertices that share a cell with the average vertex.
  unsigned bits = 6;
  while ((size_t(1) << bits) < size_t(vertexCount) * 2) ++bits;
  if (bits > m_tableBits) {
    m_tableBits = bits;
    m_table.assign(size_t(1) << bits, Slot{{0, 0, 0}, -1});
  } else {
    for (uint32_t i : m_cellSlots) m_table[i].cell = -1;  // only what was used
  }
  m_cellSlots.clear();
  m_cellFill.clear();
  m_cellSlots.reserve(size_t(vertexCount));  // no growth steps
  m_cellFill.reserve(size_t(vertexCount));
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
    ++m_cellFill[size_t(cell)];  // counts the cell's vertices for now
    if (e.crossing) {
      listWindowCells(store.positions[v], v, e.c, cell, e.crossing);
      if (e.crossing == kFarOrNaN && nanMask(store.positions[v])) m_listGroups = true;
    } else {
      m_vertexCell[size_t(v)] = uint32_t(cell);
    }
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

void VertexWelder::buildGrid(const ModelStore& store, int vertexCount) {
  if (!m_pinned) chooseGrid(store, vertexCount);
  // Cells that hold many vertices hold many survivors, unless the vertices
  // are copies: make them smaller while they are crowded, and stop as soon as
  // a step barely helps (the crowd is then made of copies, which merge at
  // the first compare, or of vertices at one place, which the trees over all
  // attributes take; more passes would only cost).
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

}  // namespace tool
