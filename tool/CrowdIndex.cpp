#include "tool/CrowdIndex.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "tool/WeldSupport.h"

namespace tool {

// Trees are built top-down: a node's places are sorted on the component
// that promises the best split (the widest spread in windows among the
// components not yet split on above it, up to a few tries when a split
// leaves one child with most of the places), cut into runs, and each run
// becomes a child; on a component that some vertex has NaN in, runs are
// joined into at most 16 children, since a search NaN there visits them
// all. A node stays a leaf when it is small, deep, or no component splits it
// (its places then agree nearly everywhere: copies, which merge at the first
// compare).

namespace {

// A node of at most this many places is a leaf.
constexpr int kLeafSize = 16;
// A forced cut inside a long run of close values leaves at least this many
// places on its left, spread over more than the window.
constexpr int kPieceMin = 4;
// Deeper nodes are leaves: bounds the recursion of searches.
constexpr int kMaxDepth = 48;
// Components tried at a node before the best split so far is taken, and the
// places sampled to rank them.
constexpr int kTries = 3;
constexpr int kSample = 128;
// Children of a node for numbers, at most.
constexpr int kMaxChildren = 16;
// Added to the order of a component already split on above a node: any
// unused one that can split comes first (spreads are at most 65536).
constexpr double kUsedLast = 1e9;
static_assert(kUsedLast > ModelStore::kVertexEntries,
              "a used component ranks after every unused one");
// Sorts of fewer values use std::sort; longer ones a radix sort.
constexpr size_t kRadixFrom = 256;

// The float's bits, turned so that unsigned order is the numbers' order
// (-0 just before +0; never called with NaN).
uint32_t orderedBits(float f) {
  uint32_t b;
  std::memcpy(&b, &f, sizeof b);
  return (b & 0x80000000u) ? ~b : b | 0x80000000u;
}

// Sorts a by its floats in three passes of 11 bits, stable; tmp is scratch.
void radixSort(std::vector<std::pair<float, int32_t>>& a,
               std::vector<std::pair<float, int32_t>>& tmp) {
  tmp.resize(a.size());
  for (int shift = 0; shift < 32; shift += 11) {
    uint32_t count[2048] = {};
    for (const auto& e : a) ++count[(orderedBits(e.first) >> shift) & 2047];
    if (*std::max_element(count, count + 2048) == a.size()) continue;  // one digit: no move
    uint32_t at = 0;
    for (uint32_t& c : count) {
      const uint32_t here = c;
      c = at;
      at += here;
    }
    for (const auto& e : a) tmp[count[(orderedBits(e.first) >> shift) & 2047]++] = e;
    a.swap(tmp);
  }
}

}  // namespace

void CrowdIndex::reset(const ModelStore& store, int vertexCount) {
  m_store = &store;
  m_vertexCount = vertexCount;
  m_nanFound = false;
  m_components.clear();
  m_nodes.clear();
  m_low.clear();
  m_high.clear();
  m_entries.clear();
  m_roots.clear();
  for (int32_t p : m_noted) m_placeTree[size_t(p)] = -1;
  m_noted.clear();
  for (int a = 0; a < 3; ++a) m_components.push_back({&store.positions[0][a], nullptr, 3});
  if (store.hasNormals)
    for (int a = 0; a < 3; ++a) m_components.push_back({&store.normals[0][a], nullptr, 3});
  const int layers = weld::layerLimit(store);
  for (int l = 0; l < layers; ++l) {
    const int d = weld::dimensionOf(store, l);
    for (int c = 0; c < d; ++c) m_components.push_back({&store.texCoords[l][c], nullptr, d});
  }
  if (store.hasSkin) {
    for (int s = 0; s < ModelStore::kInfluenceSlots; ++s) {
      m_components.push_back({&store.boneWeights[0][s], nullptr, ModelStore::kInfluenceSlots});
      m_components.push_back({nullptr, &store.boneIndices[0][s], ModelStore::kInfluenceSlots});
    }
  }
}

float CrowdIndex::value(int component, int place) const {
  // Bone indices as floats: equal indices give equal floats, which is all
  // their exact comparison needs (indices that round together share a child).
  const Component& c = m_components[component];
  const size_t at = size_t(place) * size_t(c.stride);
  return c.f ? c.f[at] : float(c.i[at]);
}

void CrowdIndex::findNan() {
  // Which components are NaN in some vertex of the model: only those can be
  // NaN in a search.
  m_hasNan.assign(m_components.size(), 0);
  for (size_t j = 0; j < m_components.size(); ++j)
    for (int v = 0; v < m_vertexCount && !m_hasNan[j]; ++v) {
      const float x = value(int(j), v);
      m_hasNan[j] = x != x;
    }
  m_nanFound = true;
}

double CrowdIndex::window(int component) const {
  // Bone indices must be equal; everything else matches within the window.
  return m_components[component].f ? weld::kWindow : 0.0;
}

int CrowdIndex::build(const int32_t* places, int count, uint32_t excludedAxes,
                      bool rememberPlaces) {
  m_places.assign(places, places + std::max(count, 0));
  const int root = static_cast<int>(m_nodes.size());
  m_nodes.push_back(Node{-1, 0, 0, 0, INT32_MAX, -1});
  m_low.push_back(0);
  m_high.push_back(0);
  m_tasks.assign(1, Task{root, 0, static_cast<int32_t>(m_places.size()), 0, 0});
  m_excluded = excludedAxes;
  m_noting = rememberPlaces;
  if (!m_nanFound) findNan();
  if (m_noting) {
    int32_t top = 0;
    for (int32_t p : m_places) top = std::max(top, p);
    if (m_placeTree.size() <= size_t(top)) {
      m_placeTree.resize(size_t(top) + 1, -1);
      m_placeLeaf.resize(size_t(top) + 1);
    }
    const int32_t t = static_cast<int32_t>(m_roots.size());
    for (int32_t p : m_places) {
      if (m_placeTree[size_t(p)] < 0) m_noted.push_back(p);
      m_placeTree[size_t(p)] = t;
      m_placeLeaf[size_t(p)] = 1;
    }
  }
  while (!m_tasks.empty()) {
    const Task task = m_tasks.back();
    m_tasks.pop_back();
    splitNode(task);
  }
  m_roots.push_back(root);
  return static_cast<int>(m_roots.size()) - 1;
}

int CrowdIndex::order(int component, int begin, int end) {
  // Sorts the places of [begin, end) by their value of the component (ties
  // in a fixed order), with the NaN ones after them; returns how many have a
  // number. m_sorted receives the numbers and their places.
  m_sorted.clear();
  int nans = 0;
  for (int i = begin; i < end; ++i) {
    const int32_t p = m_places[i];
    const float x = value(component, p);
    if (x != x)
      m_places[begin + nans++] = p;  // never ahead of i
    else
      m_sorted.emplace_back(x, p);
  }
  std::copy_backward(m_places.begin() + begin, m_places.begin() + begin + nans,
                     m_places.begin() + end);
  if (m_sorted.size() >= kRadixFrom)
    radixSort(m_sorted, m_sortScratch);
  else
    std::sort(m_sorted.begin(), m_sorted.end());
  for (size_t i = 0; i < m_sorted.size(); ++i) m_places[begin + i] = m_sorted[i].second;
  return static_cast<int>(m_sorted.size());
}

int CrowdIndex::cutPieces(int component, int numeric) {
  // Cuts the sorted numbers into runs: where the next value is more than
  // the window away, or where a run of close values has grown wide (then a
  // vertex near the cut finds both sides in its window). Fills m_cuts with
  // each piece's first index; returns the number of pieces.
  const double w = window(component);
  m_cuts.clear();
  if (numeric == 0) return 0;
  m_cuts.push_back(0);
  int start = 0;
  for (int i = 1; i < numeric; ++i) {
    const double a = m_sorted[i - 1].first, b = m_sorted[i].first;  // exact differences
    const bool apart = b - a > w;
    const bool wide = i - start >= kPieceMin && b - m_sorted[start].first > w && b > a;
    if (apart || wide) {
      m_cuts.push_back(i);
      start = i;
    }
  }
  // A component that is NaN in some vertex gets at most kMaxChildren
  // children: neighbouring pieces are joined into groups of about equal size
  // (each closed group has at least target places), so that a search NaN in
  // it, which visits every child, stays cheap. The children split further
  // on other components.
  if (m_cuts.size() > size_t(kMaxChildren) && m_hasNan[size_t(component)]) {
    const int target = (numeric + kMaxChildren - 1) / kMaxChildren;
    size_t groups = 1;
    for (size_t i = 1; i < m_cuts.size(); ++i)
      if (m_cuts[i] - m_cuts[groups - 1] >= target) m_cuts[groups++] = m_cuts[i];
    m_cuts.resize(groups);
  }
  return static_cast<int>(m_cuts.size());
}

CrowdIndex::Split CrowdIndex::trySplit(int component, int begin, int end) {
  const int numeric = order(component, begin, end);
  const int pieces = cutPieces(component, numeric);
  Split s;
  s.component = component;
  s.largest = end - begin;
  if (pieces < 2) return s;  // NaN apart from one run helps no search
  int largest = end - begin - numeric;
  for (int i = 0; i < pieces; ++i) {
    const int next = i + 1 < pieces ? m_cuts[i + 1] : numeric;
    largest = std::max(largest, next - m_cuts[i]);
  }
  s.largest = largest;
  return s;
}

void CrowdIndex::rankCandidates(const Task& task, int step) {
  // Candidates by spread in every step-th place: how many windows their
  // numbers cover (bone indices: how many values), at most the number of
  // places with a number. Components not split on above come first, so that
  // the splits take turns: a search NaN in one component visits every child
  // only where that component splits.
  const int n = task.end - task.begin;
  m_candidates.clear();
  for (int j = 0; j < static_cast<int>(m_components.size()); ++j) {
    if (j < 3 && (m_excluded >> j) & 1) continue;
    double lo = 0, hi = 0;
    int numbers = 0, seen = 0;
    for (int i = task.begin; i < task.end; i += step, ++seen) {
      const double x = value(j, m_places[i]);
      if (x != x) continue;
      lo = numbers ? std::min(lo, x) : x;
      hi = numbers ? std::max(hi, x) : x;
      ++numbers;
    }
    const double w = window(j);
    if (!(numbers > 1 && hi - lo > w)) continue;
    const double spread = w > 0 ? (hi - lo) / (2 * w) : hi - lo + 1;
    const double places = double(numbers) * n / seen;
    const bool used = (task.used >> (j & 63)) & 1;
    m_candidates.emplace_back((used ? kUsedLast : 0) - std::min(spread, places), j);
  }
  std::sort(m_candidates.begin(), m_candidates.end());
}

CrowdIndex::Split CrowdIndex::bestSplit(const Task& task, int step, int* last) {
  // Tries the best ranked components until one leaves no child with more
  // than three quarters of the places; returns the best split tried.
  const int n = task.end - task.begin;
  Split best;
  best.largest = n;
  rankCandidates(task, step);
  const int tries = std::min(static_cast<int>(m_candidates.size()), kTries);
  for (int t = 0; t < tries && best.largest > n * 3 / 4; ++t) {
    *last = m_candidates[t].second;
    const Split s = trySplit(*last, task.begin, task.end);
    if (s.largest < best.largest) best = s;
  }
  return best;
}

void CrowdIndex::splitNode(const Task& task) {
  const int n = task.end - task.begin;
  Split best;
  best.largest = n;
  int last = -1;  // the component of the last sort of the places
  if (n > kLeafSize && task.depth < kMaxDepth) {
    // Ranked on a sample first; when that finds no split, on every place (a
    // few differing places must not hide in a leaf of copies).
    const int sampleStep = std::max(1, n / kSample);
    best = bestSplit(task, sampleStep, &last);
    if (best.largest >= n && sampleStep > 1) best = bestSplit(task, 1, &last);
  }
  // The places and cuts must be those of the split taken.
  if (best.largest < n && best.component != last) trySplit(best.component, task.begin, task.end);
  if (best.largest >= n)
    makeLeaf(task);
  else
    makeChildren(task, best.component);
}

void CrowdIndex::makeLeaf(const Task& task) {
  const int32_t n = task.end - task.begin;
  const int32_t first = static_cast<int32_t>(m_entries.size());
  m_entries.resize(m_entries.size() + size_t(n));
  Node& leaf = m_nodes[task.node];
  leaf.component = -1;
  leaf.first = first;
  leaf.count = n;
  leaf.nan = 0;
  if (m_noting)
    for (int32_t i = task.begin; i < task.end; ++i) {
      int32_t& noted = m_placeLeaf[size_t(m_places[i])];
      noted = task.node * 2 + (noted & 1);
    }
}

void CrowdIndex::makeChildren(const Task& task, int component) {
  // m_sorted and m_cuts hold the split on component of the task's places.
  const int n = task.end - task.begin;
  const int numeric = static_cast<int>(m_sorted.size());
  const int pieces = static_cast<int>(m_cuts.size());
  const double w = window(component);
  const int32_t first = static_cast<int32_t>(m_nodes.size());
  const uint64_t used = task.used | uint64_t(1) << (component & 63);
  for (int i = 0; i < pieces; ++i) {
    const int next = i + 1 < pieces ? m_cuts[i + 1] : numeric;
    m_nodes.push_back(Node{-1, 0, 0, 0, INT32_MAX, task.node});
    m_low.push_back(m_sorted[m_cuts[i]].first);
    m_high.push_back(m_sorted[next - 1].first);
    m_tasks.push_back(
        Task{first + i, task.begin + m_cuts[i], task.begin + next, task.depth + 1, used});
    if (!m_noting) continue;
    // A search from a value whose window reaches a neighbouring piece looks
    // there too.
    const double below = i > 0 ? m_sorted[m_cuts[i] - 1].first : 0;
    for (int j = m_cuts[i]; j < next; ++j) {
      const double x = m_sorted[j].first;
      if (!((i == 0 || x - w > below) && (next == numeric || x + w < m_sorted[next].first)))
        m_placeLeaf[size_t(m_sorted[j].second)] = 0;
    }
  }
  int32_t nanChild = -1;
  if (numeric < n) {
    // Every search looks into the NaN child as well.
    nanChild = static_cast<int32_t>(m_nodes.size());
    m_nodes.push_back(Node{-1, 0, 0, 0, INT32_MAX, task.node});
    m_low.push_back(0);
    m_high.push_back(0);
    m_tasks.push_back(Task{nanChild, task.begin + numeric, task.end, task.depth + 1, used});
    if (m_noting)
      for (int i = task.begin; i < task.end; ++i) m_placeLeaf[size_t(m_places[i])] = 0;
  }
  Node& split = m_nodes[task.node];
  split.component = component;
  split.first = first;
  split.count = pieces;
  split.nan = nanChild;
}

bool CrowdIndex::noted(int t, int place) const {
  return place >= 0 && size_t(place) < m_placeTree.size() && m_placeTree[size_t(place)] == t;
}

void CrowdIndex::insert(int t, int k, int from) {
  int node = m_roots[t];
  if (noted(t, from)) node = m_placeLeaf[size_t(from)] >> 1;
  while (m_nodes[node].component >= 0) {
    const Node& nd = m_nodes[node];
    const float x = value(nd.component, k);
    if (x != x) {
      if (nd.nan < 0) throw std::logic_error("CrowdIndex: no room for a NaN value");
      node = nd.nan;
      continue;
    }
    const float* low = &m_low[nd.first];
    const int i = static_cast<int>(std::upper_bound(low, low + nd.count, x) - low) - 1;
    node = nd.first + std::max(i, 0);
  }
  Node& leaf = m_nodes[node];
  if (leaf.nan >= leaf.count) throw std::logic_error("CrowdIndex: a leaf overflowed");
  m_entries[size_t(leaf.first) + size_t(leaf.nan++)] = k;
  // The leaf and its ancestors now hold k; above the first node that held an
  // earlier survivor, all do.
  for (int n = node; n >= 0 && m_nodes[n].minK > k; n = m_nodes[n].parent) m_nodes[n].minK = k;
}

int CrowdIndex::scanLeaf(const Node& leaf, int v, int best) const {
  const ModelStore& s = *m_store;
  const int32_t* e = &m_entries[size_t(leaf.first)];
  for (int i = 0; i < leaf.nan && e[i] < best; ++i)
    if (weld::positionsMatch(s.positions[v], s.positions[e[i]]) && weld::restEqual(s, v, e[i]))
      return e[i];
  return best;
}

void CrowdIndex::visit(int node, int v, int& best) const {
  const Node& nd = m_nodes[node];
  if (nd.minK >= best) return;  // nothing filed below, or only later survivors
  if (nd.component < 0) {
    best = scanLeaf(nd, v, best);
    return;
  }
  const float x = value(nd.component, v);
  if (x != x) {
    for (int i = 0; i < nd.count; ++i) visit(nd.first + i, v, best);
  } else {
    // Child i holds values from m_low to m_high of it (ascending, apart):
    // visit those that reach into [x - w, x + w].
    const double w = window(nd.component);
    const float* low = &m_low[nd.first];
    const float* high = &m_high[nd.first];
    int i = static_cast<int>(std::lower_bound(high, high + nd.count, double(x) - w) - high);
    for (; i < nd.count && low[i] <= double(x) + w; ++i) visit(nd.first + i, v, best);
  }
  if (nd.nan >= 0) visit(nd.nan, v, best);
}

int CrowdIndex::query(int t, int v, int best) const {
  if (noted(t, v) && (m_placeLeaf[size_t(v)] & 1)) {
    const Node& leaf = m_nodes[m_placeLeaf[size_t(v)] >> 1];
    return leaf.minK < best ? scanLeaf(leaf, v, best) : best;
  }
  visit(m_roots[t], v, best);
  return best;
}

}  // namespace tool
