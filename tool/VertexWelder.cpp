#include "tool/VertexWelder.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace {

// Layer loops never leave the store, whatever layerCount and dimensions say.
int layerLimit(const ModelStore& s) {
  return std::min(std::max(s.layerCount, 0), ModelStore::kMaxLayers);
}
int dimensionOf(const ModelStore& s, int l) {
  return std::min(std::max(s.layerDimensions[l], 0), ModelStore::kMaxLayerDimension);
}

bool positionsMatch(const float* a, const float* b) {
  return componentsMatch(a[0], b[0]) && componentsMatch(a[1], b[1]) &&
         componentsMatch(a[2], b[2]);
}

// Everything but the position: normals, texture coordinates, influences.
bool restEqual(const ModelStore& s, int v, int k) {
  if (s.hasNormals && !positionsMatch(s.normals[v], s.normals[k])) return false;
  const int layers = layerLimit(s);
  for (int l = 0; l < layers; ++l) {
    const int d = dimensionOf(s, l);
    const float* a = &s.texCoords[l][v * d];
    const float* b = &s.texCoords[l][k * d];
    for (int c = 0; c < d; ++c)
      if (!componentsMatch(a[c], b[c])) return false;
  }
  if (s.hasSkin) {
    for (int slot = 0; slot < ModelStore::kInfluenceSlots; ++slot) {
      if (s.boneIndices[v][slot] != s.boneIndices[k][slot]) return false;
      if (!componentsMatch(s.boneWeights[v][slot], s.boneWeights[k][slot])) return false;
    }
  }
  return true;
}

// Moves vertex `from` down to survivor place `to` (to <= from).
void copyVertex(ModelStore& s, int from, int to) {
  if (from == to) return;
  std::memcpy(s.positions[to], s.positions[from], sizeof s.positions[0]);
  if (s.hasNormals) std::memcpy(s.normals[to], s.normals[from], sizeof s.normals[0]);
  const int layers = layerLimit(s);
  for (int l = 0; l < layers; ++l) {
    const int d = dimensionOf(s, l);
    float* t = s.texCoords[l];
    std::memmove(&t[to * d], &t[from * d], sizeof(float) * d);
  }
  if (s.hasSkin) {
    std::memcpy(s.boneIndices[to], s.boneIndices[from], sizeof s.boneIndices[0]);
    std::memcpy(s.boneWeights[to], s.boneWeights[from], sizeof s.boneWeights[0]);
    s.influenceCounts[to] = s.influenceCounts[from];
  }
}

void reindexFaces(ModelStore& s, int triangleCount, const int32_t* remap) {
  const size_t n = std::min(s.faces.size(), size_t(std::max(triangleCount, 0)) * 3);
  int32_t* f = s.faces.data();
  for (size_t i = 0; i < n; ++i) f[i] = remap[f[i]];
}

uint32_t nanMask(const float* p) {
  return (p[0] != p[0] ? 1u : 0u) | (p[1] != p[1] ? 2u : 0u) | (p[2] != p[2] ? 4u : 0u);
}

// A float match can lie slightly more than the tolerance apart in real
// numbers (the difference is rounded to float: at most tolerance + 2^-41), so
// the neighbour window is a little wider than the tolerance.
constexpr double kWindow = double(kWeldTolerance) * (1.0 + 1.0 / 64);
// Cells narrower than this would send most vertices to their neighbours.
constexpr double kMinCellSize = 16.0 * double(kWeldTolerance);
// Cell coordinates are clamped here; clamping keeps the cell order, so a
// vertex still finds every survivor within the window (infinities land on
// the clamp too, beside the far finite values, which only costs compares).
constexpr double kCellClamp = 2147483000.0;  // inside int32_t, room for +-1
// Sample size for the grid's cell size, and the average number of
// survivors examined per vertex above which the grid is refined.
constexpr int kSampleSize = 1024;
constexpr int kBlock = 256;
constexpr int64_t kMaxVisitsPerVertex = 12;
// The table slot of the vertex this far ahead is prefetched.
constexpr int kLookAhead = 12;
// Cell coordinate of a NaN axis: outside the clamped range of numbers.
constexpr int32_t kNanAxis = INT32_MIN;

}  // namespace

bool verticesEqual(const ModelStore& s, int v, int k) {
  for (int c = 0; c < 3; ++c) {
    if (!componentsMatch(s.positions[v][c], s.positions[k][c])) return false;
    if (s.hasNormals && !componentsMatch(s.normals[v][c], s.normals[k][c])) return false;
  }
  const int layers = layerLimit(s);
  for (int l = 0; l < layers; ++l) {
    const int d = dimensionOf(s, l);
    for (int c = 0; c < d; ++c)
      if (!componentsMatch(s.texCoords[l][v * d + c], s.texCoords[l][k * d + c])) return false;
  }
  if (s.hasSkin) {
    for (int slot = 0; slot < ModelStore::kInfluenceSlots; ++slot) {
      if (s.boneIndices[v][slot] != s.boneIndices[k][slot]) return false;
      if (!componentsMatch(s.boneWeights[v][slot], s.boneWeights[k][slot])) return false;
    }
  }
  return true;
}

int weldVerticesByScan(ModelStore& s, int vertexCount, int triangleCount, int32_t* remap) {
  std::vector<int32_t> own;
  if (!remap) {
    own.resize(std::max(vertexCount, 1));
    remap = own.data();
  }
  int kept = 0;
  for (int v = 0; v < vertexCount; ++v) {
    int k = 0;
    while (k < kept && !verticesEqual(s, v, k)) ++k;
    if (k == kept) copyVertex(s, v, kept++);
    remap[v] = k;
  }
  reindexFaces(s, triangleCount, remap);
  return kept;
}

void printWeldReport(std::ostream& out, int before, int after) {
  std::string line = "INFO - optimization " + std::to_string(before) + " -> " +
                     std::to_string(after) + "\n";
  out << line << "\n";
}

// ---------------------------------------------------------------------------
// The grid. Survivors are filed by the cell of their position; a survivor
// with a NaN position component goes to the NaN group of its axes (mask bit
// c for axis c) and is filed by its other axes only (0 on its NaN axes).
// Each cell and each group lists its survivors in ascending order, so walking
// a list can stop at the first match or at the best survivor found so far.
// The cells live in an open-addressing table keyed by (cell, mask).

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

namespace {
uint64_t hashCell(const int32_t* c) {
  uint64_t h = (uint64_t(uint32_t(c[0])) | uint64_t(uint32_t(c[1])) << 32) * 0x9E3779B97F4A7C15ull;
  h ^= uint64_t(uint32_t(c[2])) * 0xC2B2AE3D27D4EB4Full;
  h ^= h >> 29;
  return h * 0xD6E8FEB86659FD93ull;
}
}  // namespace

size_t VertexWelder::probe(const int32_t* c) const {
  // A slot holds the first survivor of its cell; the cell itself is not
  // stored but taken from that survivor's position, which the search reads
  // anyway (it keeps the table at four bytes a slot).
  const size_t wrap = m_table.size() - 1;
  for (size_t i = hashCell(c) >> (64 - m_tableBits);; i = (i + 1) & wrap) {
    const int32_t head = m_table[i];
    if (head < 0) return i;
    int32_t h[3];
    cellKey(m_positions[head], h);
    if (h[0] == c[0] && h[1] == c[1] && h[2] == c[2]) return i;
  }
}

void VertexWelder::prefetch(const float* p) const {
  int32_t c[3];
  cellKey(p, c);
  const int32_t head = m_table[hashCell(c) >> (64 - m_tableBits)];
  if (head >= 0) __builtin_prefetch(m_positions[head]);
}

void VertexWelder::file(size_t i, int tail, uint32_t mask, int k) {
  m_cellNext[k] = -1;
  if (m_table[i] < 0) {
    // The table has at least twice as many slots as there can be cells.
    m_table[i] = k;
    m_used.push_back(static_cast<uint32_t>(i));
  } else {
    m_cellNext[tail] = k;
  }
  m_groupNext[k] = -1;
  if (m_groups & (1u << mask))
    m_groupNext[m_groupTail[mask]] = k;
  else
    m_groupHead[mask] = k;
  m_groups |= 1u << mask;
  m_groupTail[mask] = k;
}

void VertexWelder::insert(const float* p, uint32_t mask, int k) {
  int32_t c[3];
  cellKey(p, c);
  const size_t i = probe(c);
  int tail = m_table[i];
  if (tail >= 0)
    while (m_cellNext[tail] >= 0) tail = m_cellNext[tail];
  file(i, tail, mask, k);
}

void VertexWelder::resetGrid(int vertexCount) {
  unsigned bits = 6;
  while ((size_t(1) << bits) < size_t(vertexCount) * 2) ++bits;
  if (bits != m_tableBits || m_table.size() != (size_t(1) << bits)) {
    m_tableBits = bits;
    m_table.assign(size_t(1) << bits, -1);
    m_used.clear();
  }
  // Empty only the slots the last weld used.
  for (uint32_t i : m_used) m_table[i] = -1;
  m_used.clear();
  m_groups = 0;
}

void VertexWelder::rebuildGrid(const ModelStore& store, int keptCount) {
  for (uint32_t i : m_used) m_table[i] = -1;
  m_used.clear();
  m_groups = 0;
  for (int k = 0; k < keptCount; ++k) insert(store.positions[k], nanMask(store.positions[k]), k);
}

void VertexWelder::pinGridForTesting(double cellSize, double origin) {
  m_pinned = true;
  m_cellSize = std::max(cellSize, kMinCellSize);
  m_invCellSize = 1.0 / m_cellSize;
  for (double& o : m_origin) o = origin;
}

void VertexWelder::chooseGrid(const ModelStore& store, int vertexCount) {
  if (m_pinned) return;
  // Cell size from the density of a sample's central box (1% to 99% on every
  // axis, so that a few far outliers do not make the cells huge).
  const int samples = std::min(vertexCount, kSampleSize);
  std::vector<double>* values = m_sample;
  for (int c = 0; c < 3; ++c) values[c].clear();
  for (int i = 0; i < samples; ++i) {
    const int v = static_cast<int>(int64_t(i) * vertexCount / samples);
    for (int c = 0; c < 3; ++c)
      if (std::isfinite(store.positions[v][c])) values[c].push_back(store.positions[v][c]);
  }
  double volume = 1;
  int dims = 0;
  for (int c = 0; c < 3; ++c) {
    std::vector<double>& a = values[c];
    m_origin[c] = 0;
    if (a.empty()) continue;
    const size_t lo = a.size() / 100, hi = a.size() - 1 - a.size() / 100;
    std::nth_element(a.begin(), a.begin() + lo, a.end());
    const double low = a[lo];
    std::nth_element(a.begin(), a.begin() + hi, a.end());
    const double extent = a[hi] - low;
    m_origin[c] = low;
    if (extent > 0) {
      volume *= extent;
      ++dims;
    }
  }
  double size = dims ? std::pow(volume / vertexCount, 1.0 / dims) : kMinCellSize;
  if (!(size >= kMinCellSize)) size = kMinCellSize;
  if (size > 1e30) size = 1e30;
  m_cellSize = size;
  m_invCellSize = 1.0 / size;
}

int VertexWelder::walk(const ModelStore& store, int v, int k, const int32_t* next, int best) {
  const float* p = store.positions[v];
  for (; k >= 0 && k < best; k = next[k]) {
    ++m_visits;
    if (positionsMatch(p, store.positions[k]) && restEqual(store, v, k)) return k;
  }
  return best;
}

int VertexWelder::walkAll(const ModelStore& store, int v, int k, int* last) {
  const float* p = store.positions[v];
  for (; k >= 0; k = m_cellNext[k]) {
    ++m_visits;
    if (positionsMatch(p, store.positions[k]) && restEqual(store, v, k)) return k;
    *last = k;
  }
  return INT_MAX;
}

int VertexWelder::searchCells(const ModelStore& store, int v, uint32_t group, int best) {
  // Axes of the group's key: those on which its survivors are not NaN. The
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
        ++m_visits;
        best = walk(store, v, m_table[probe(c)], m_cellNext.data(), best);
      }
  return best;
}

int VertexWelder::search(const ModelStore& store, int v, uint32_t mask) {
  int best = INT_MAX;
  for (uint32_t group = 0; group < 8; ++group) {
    if (!(m_groups & (1u << group))) continue;
    if ((mask & ~group) == 0)
      best = searchCells(store, v, group, best);
    else  // the vertex is NaN on an axis the group is filed by: walk the group
      best = walk(store, v, m_groupHead[group], m_groupNext.data(), best);
  }
  return best;
}

int VertexWelder::weldOne(ModelStore& store, int v, int kept) {
  const float* p = store.positions[v];
  const uint32_t mask = nanMask(p);
  if (mask == 0 && m_groups <= 1) {
    // The common case: every survivor so far is filed by all three axes,
    // and the vertex's window lies inside one cell: one probe serves both
    // the search and the filing.
    int32_t lo[3], hi[3];
    for (int a = 0; a < 3; ++a) {
      lo[a] = cellOf(double(p[a]) - kWindow, a);
      hi[a] = cellOf(double(p[a]) + kWindow, a);
    }
    if (lo[0] == hi[0] && lo[1] == hi[1] && lo[2] == hi[2]) {
      ++m_visits;
      const size_t i = probe(lo);
      int tail = -1;
      const int k = walkAll(store, v, m_table[i], &tail);
      if (k != INT_MAX) return k;
      copyVertex(store, v, kept);
      file(i, tail, 0, kept);
      return kept;
    }
  }
  const int k = search(store, v, mask);
  if (k != INT_MAX) return k;
  copyVertex(store, v, kept);
  insert(store.positions[kept], mask, kept);
  return kept;
}

int VertexWelder::weldVertices(ModelStore& store, int vertexCount, int triangleCount) {
  vertexCount = std::min(std::max(vertexCount, 0), ModelStore::kVertexEntries);
  const size_t room = std::max(vertexCount, 1);
  if (m_remap.size() < room) {
    m_remap.resize(room);
    m_cellNext.resize(room);
    m_groupNext.resize(room);
  }
  m_refinements = 0;
  m_visits = 0;
  int kept = 0;
  m_positions = store.positions;
  if (vertexCount > 0) {
    chooseGrid(store, vertexCount);
    resetGrid(vertexCount);
  }
  int64_t blockStart = 0;
  for (int v = 0; v < vertexCount; ++v) {
    if (v + kLookAhead < vertexCount) prefetch(store.positions[v + kLookAhead]);
    const int k = weldOne(store, v, kept);
    m_remap[v] = k;
    if (k == kept) ++kept;
    if (v % kBlock == kBlock - 1) {
      // Too many survivors examined per vertex: the cells are too coarse for
      // this part of the model. Halve them (quarter them when far off) and
      // file the survivors again; their lists stay in ascending order.
      const int64_t visits = m_visits - blockStart;
      if (!m_pinned && visits > kBlock * kMaxVisitsPerVertex && m_cellSize > kMinCellSize) {
        const double factor = visits > 8 * kBlock * kMaxVisitsPerVertex ? 4 : 2;
        m_cellSize = std::max(m_cellSize / factor, kMinCellSize);
        m_invCellSize = 1.0 / m_cellSize;
        rebuildGrid(store, kept);
        ++m_refinements;
      }
      blockStart = m_visits;
    }
  }
  reindexFaces(store, triangleCount, m_remap.data());
  return kept;
}
