#include "tool/VertexWelder.h"

#include <algorithm>
#include <climits>

#include "tool/WeldSupport.h"

namespace tool {

// The grid weld. While there are few survivors it runs the plain scan
// (cheaper than any index, and all a model of a few distinct vertices
// needs). Then a first pass (VertexWelderGrid.cpp) files every vertex by the
// cell of its position in a uniform grid (cell size from the data) and
// counts the vertices of each cell, so that each cell gets a segment with
// room for all its survivors. The second pass goes through the vertices in
// order: a vertex is compared with the survivors of every cell that its
// tolerance window reaches (usually its own cell only), in ascending order,
// and the lowest-indexed match wins exactly as in the plain scan; a vertex
// without a match becomes the next survivor and is appended to its cell's
// segment.
//
// A cell that still holds many vertices after the grid has been refined is
// crowded: copies (which merge at the first compare) or vertices at one
// place that differ elsewhere. Once such a cell holds many survivors, a tree
// over all attributes of its vertices takes over its search.
//
// A survivor with a NaN position component matches anything on that axis:
// it goes to the cell keyed by its other axes (kNanAxis on its NaN axes) and
// to the ordered list of its NaN group, which a vertex that is NaN where the
// group is not must walk whole, until the walks have cost enough to build a
// tree over the group's vertices that leaves those axes out. Models without
// NaN positions never walk.

using weld::copyVertex;
using weld::kAhead;
using weld::kCrossesBorder;
using weld::nanMask;
using weld::positionsMatch;
using weld::reindexFaces;
using weld::restEqual;

namespace {

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

}  // namespace

VertexWelder::VertexWelder() = default;
VertexWelder::~VertexWelder() = default;

int VertexWelder::scanCell(const ModelStore& store, int v, int32_t cell, int best) const {
  if (m_crowded && m_cellTree[size_t(cell)] >= 0)
    return m_crowd.query(m_cellTree[size_t(cell)], v, best);
  const float* p = store.positions[v];
  const int32_t* e = &m_entries[size_t(m_cellStart[size_t(cell)])];
  const int32_t* end = e + m_cellFill[size_t(cell)];
  for (; e != end && *e < best; ++e)
    if (positionsMatch(p, store.positions[*e]) && restEqual(store, v, *e)) return *e;
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
  const int tree =
      m_crowd.build(m_treePlaces.data(), static_cast<int>(m_treePlaces.size()), group | mask, true);
  for (int k = m_groupHead[group]; k >= 0; k = m_groupNext[k]) m_crowd.insert(tree, k, k);
  m_groupTree[group][mask] = tree;
  m_groupTrees[group] |= 1u << mask;
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

void VertexWelder::file(int v, int k, uint32_t mask) {
  // Survivor k came from vertex v (its values are v's, now at place k).
  const int32_t cell = ownCell(v);
  const int32_t tree = m_crowded ? m_cellTree[size_t(cell)] : kPlainCell;
  if (tree >= 0) {
    m_crowd.insert(tree, k, v);
  } else {
    m_entries[size_t(m_cellStart[size_t(cell)] + m_cellFill[size_t(cell)]++)] = k;
    if (tree <= kPendingTree && m_cellFill[size_t(cell)] > kTreeSurvivors) growTree(cell, v);
  }
  for (uint32_t m = 0; m < 8; ++m)
    if ((m_groupTrees[mask] >> m) & 1) m_crowd.insert(m_groupTree[mask][m], k, v);
  if (m_listGroups) {
    m_groupNext[size_t(k)] = -1;
    if (m_groups & (1u << mask))
      m_groupNext[size_t(m_groupTail[mask])] = k;
    else
      m_groupHead[mask] = k;
    m_groupTail[mask] = k;
  }
  m_groups |= 1u << mask;
}

void VertexWelder::indexCrowds(int vertexCount) {
  // A cell that still holds many vertices after the refinement holds copies
  // (cheap: they merge at the first compare) or vertices that share a place
  // but differ elsewhere. Its places are kept, so that a tree over all their
  // attributes can take over once the cell holds many survivors.
  const size_t cells = m_cellStart.size();
  auto count = [&](size_t i) {
    return (i + 1 < cells ? m_cellStart[i + 1] : vertexCount) - m_cellStart[i];
  };
  m_crowded = false;
  for (size_t i = 0; i < cells && !m_crowded; ++i) m_crowded = count(i) > kCrowdedCell;
  if (!m_crowded) return;  // m_cellTree is not read
  m_cellTree.assign(cells, kPlainCell);
  m_crowdOffsets.clear();
  int32_t total = 0;
  for (size_t i = 0; i < cells; ++i) {
    if (count(i) <= kCrowdedCell) continue;
    m_cellTree[i] = kPendingTree - static_cast<int32_t>(m_crowdOffsets.size());
    m_crowdOffsets.push_back(total);
    total += count(i);
  }
  m_crowdOffsets.push_back(total);
  m_crowdPlaces.resize(size_t(total));
  for (int v = 0; v < vertexCount; ++v) {
    const size_t cell = size_t(ownCell(v));
    if (m_cellTree[cell] <= kPendingTree) {
      const int32_t at =
          m_crowdOffsets[size_t(kPendingTree - m_cellTree[cell])] + m_cellFill[cell]++;
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
  const size_t crowd = size_t(kPendingTree - m_cellTree[size_t(cell)]);
  const int32_t* e = &m_entries[size_t(m_cellStart[size_t(cell)])];
  const int32_t filed = m_cellFill[size_t(cell)];
  m_treePlaces.assign(e, e + filed);
  for (int32_t i = m_crowdOffsets[crowd]; i < m_crowdOffsets[crowd + 1]; ++i)
    if (m_crowdPlaces[size_t(i)] > v) m_treePlaces.push_back(m_crowdPlaces[size_t(i)]);
  const int tree =
      m_crowd.build(m_treePlaces.data(), static_cast<int>(m_treePlaces.size()), 0, true);
  for (int32_t i = 0; i < filed; ++i) m_crowd.insert(tree, e[i], e[i]);
  m_cellTree[size_t(cell)] = tree;
}

int VertexWelder::weldVertices(ModelStore& store, int vertexCount, int triangleCount) {
  vertexCount = std::min(std::max(vertexCount, 0), ModelStore::kVertexEntries);
  const size_t room = size_t(std::max(vertexCount, 1));
  m_remap.reserve(room);
  m_vertexCell.reserve(room);
  m_entries.reserve(room);
  m_groupNext.reserve(room);
  m_refinements = 0;
  m_groups = 0;
  m_listGroups = false;
  m_crowded = false;
  m_crowd.reset(store, vertexCount);
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
    m_remap[size_t(v)] = k;
  }
  if (v < vertexCount) {
    // The grid files every place of the store as it stands now: places below
    // kept hold the survivors so far, each filed by its own place; places
    // from v on hold the vertices still to come.
    buildGrid(store, vertexCount);
    for (int k = 0; k < kept; ++k) file(k, k, nanMask(store.positions[k]));
  }
  for (; v < vertexCount; ++v) {
    if (v + kAhead < vertexCount) {
      const uint32_t ahead = m_vertexCell[size_t(v + kAhead)];
      if (!(ahead & kCrossesBorder)) __builtin_prefetch(&m_entries[size_t(m_cellStart[ahead])]);
    }
    const uint32_t cell = m_vertexCell[size_t(v)];
    int k = INT_MAX;
    uint32_t mask = 0;
    if (!(cell & kCrossesBorder)) {
      // The common case: the window lies in one cell.
      k = scanCell(store, v, int32_t(cell), INT_MAX);
    } else {
      const int32_t* near = &m_near[cell & ~kCrossesBorder];
      for (int32_t i = 0; i < near[1]; ++i) k = scanCell(store, v, near[2 + i], k);
      mask = nanMask(store.positions[v]);
    }
    // Survivors with a NaN position component (rare) are searched by group.
    if (m_groups > 1 || mask) k = search(store, v, mask, k, mask == 0);
    if (k == INT_MAX) {
      k = kept++;
      copyVertex(store, v, k);
      file(v, k, mask);
    }
    m_remap[size_t(v)] = k;
  }
  reindexFaces(store, triangleCount, m_remap.data());
  return kept;
}

}  // namespace tool
