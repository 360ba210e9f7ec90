#include "tool/CrowdIndex.h"

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <random>
#include <stdexcept>
#include <vector>

#include "tool/CrowdTestModels.h"
#include "tool/VertexWelder.h"
#include "tool/WeldTestModels.h"

namespace {

using namespace tool;

using tooltest::Placement;
using tooltest::TestModel;

ModelStore& sharedStore() {
  static std::unique_ptr<ModelStore> s(new ModelStore());
  return *s;
}

// The lowest of the filed survivors below best that matches v, by the
// reference comparison.
int expectedMatch(const ModelStore& s, const std::vector<int32_t>& filed, int v, int best) {
  for (int32_t k : filed) {
    if (k >= best) break;
    if (verticesEqual(s, v, k)) return k;
  }
  return best;
}

TEST(CrowdIndex, SearchesFindTheLowestMatchingSurvivor) {
  // Trees over some of a crowded model's places, with some of those places
  // filed as survivors; every place of the model is searched (those outside
  // the tree too), with and without a bound, against the reference.
  std::mt19937 rng(2718);
  const Placement placements[] = {Placement::kOnePlace, Placement::kNanEverywhere,
                                  Placement::kFewPlaces, Placement::kNanOnSomeAxes,
                                  Placement::kNanAmongNumbers};
  for (int round = 0; round < 20; ++round) {
    TestModel m = tooltest::crowdModel(rng, placements[round % 5], 200 + int(rng() % 1500),
                                       "round " + std::to_string(round));
    m.hasNormals = round % 3 != 0;
    ModelStore& s = sharedStore();
    tooltest::load(m, s);
    const bool remember = round % 2 == 0;
    const uint32_t excluded = round % 4 == 1 ? 1u : round % 4 == 3 ? 6u : 0u;
    std::vector<int32_t> places, filed;
    for (int p = 0; p < m.size(); ++p)
      if (rng() % 4 != 0) places.push_back(p);
    CrowdIndex index;
    index.reset(s, m.size());
    const int t = index.build(places.data(), static_cast<int>(places.size()), excluded, remember);
    for (int32_t p : places) {
      if (rng() % 3 != 0) continue;
      index.insert(t, p, rng() % 2 ? p : -1);
      filed.push_back(p);
    }
    for (int v = 0; v < m.size(); ++v) {
      const int bound = rng() % 4 == 0 ? int(rng() % (m.size() + 1)) : INT_MAX;
      ASSERT_EQ(expectedMatch(s, filed, v, INT_MAX), index.query(t, v, INT_MAX))
          << m.name << " vertex " << v;
      ASSERT_EQ(expectedMatch(s, filed, v, bound), index.query(t, v, bound))
          << m.name << " vertex " << v << " below " << bound;
    }
  }
}

TEST(CrowdIndex, TreesOfOneResetAreIndependent) {
  // Two trees over disjoint halves: each finds only its own survivors.
  TestModel m = tooltest::denseNormalChain(600, 0.6f);
  ModelStore& s = sharedStore();
  tooltest::load(m, s);
  std::vector<int32_t> low, high;
  for (int p = 0; p < m.size(); ++p) (p < 300 ? low : high).push_back(p);
  CrowdIndex index;
  index.reset(s, m.size());
  const int a = index.build(low.data(), 300, 0, true);
  const int b = index.build(high.data(), 300, 0, true);
  EXPECT_EQ(2, index.treeCount());
  for (int32_t p : low) index.insert(a, p, p);
  for (int v = 0; v < m.size(); ++v) {
    EXPECT_EQ(expectedMatch(s, low, v, INT_MAX), index.query(a, v, INT_MAX)) << v;
    EXPECT_EQ(INT_MAX, index.query(b, v, INT_MAX)) << v;
  }
}

TEST(CrowdIndex, CopiesStayInOneLeaf) {
  // Places that agree everywhere give no split: the tree is one leaf.
  TestModel m;
  m.hasNormals = true;
  for (int i = 0; i < 500; ++i) {
    m.addVertex(1, 2, 3);
    m.normals.push_back({0, 0, 1});
  }
  ModelStore& s = sharedStore();
  tooltest::load(m, s);
  std::vector<int32_t> places(500);
  for (int i = 0; i < 500; ++i) places[i] = i;
  CrowdIndex index;
  index.reset(s, m.size());
  const int t = index.build(places.data(), 500, 0, true);
  EXPECT_EQ(1, index.nodeCount());
  index.insert(t, 7, 7);
  EXPECT_EQ(7, index.query(t, 300, INT_MAX));
  EXPECT_EQ(5, index.query(t, 300, 5)) << "survivors from the bound on are not looked at";
}

TEST(CrowdIndex, FewDifferingPlacesAmongCopiesStillSplit) {
  // Components are ranked on a sample of the places; places that differ
  // only between the sampled ones must still split the node, not hide in
  // one leaf with thousands of copies.
  TestModel m;
  m.hasNormals = true;
  for (int i = 0; i < 4000; ++i) {
    m.addVertex(1, 2, 3);
    m.normals.push_back({0, 0, i % 31 == 5 ? float(i) * 1e-3f : 1.0f});
  }
  ModelStore& s = sharedStore();
  tooltest::load(m, s);
  std::vector<int32_t> places(4000), filed;
  for (int i = 0; i < 4000; ++i) places[i] = i;
  CrowdIndex index;
  index.reset(s, m.size());
  const int t = index.build(places.data(), 4000, 0, true);
  EXPECT_GT(index.nodeCount(), 1);
  for (int p = 0; p < 4000; p += 7) {
    index.insert(t, p, p);
    filed.push_back(p);
  }
  for (int v = 0; v < 4000; ++v)
    EXPECT_EQ(expectedMatch(s, filed, v, INT_MAX), index.query(t, v, INT_MAX));
}

TEST(CrowdIndex, BoneIndicesMustBeEqual) {
  // Vertices that differ only in the bone index of one slot split on it;
  // a search finds the survivor with the same index only.
  TestModel m;
  m.hasSkin = true;
  for (int i = 0; i < 400; ++i) {
    m.addVertex(0, 0, 0);
    m.bones.push_back({0, i % 50, 0, 0});
    m.weights.push_back({0.5f, 0.5f, 0, 0});
  }
  ModelStore& s = sharedStore();
  tooltest::load(m, s);
  std::vector<int32_t> places(400);
  for (int i = 0; i < 400; ++i) places[i] = i;
  CrowdIndex index;
  index.reset(s, m.size());
  const int t = index.build(places.data(), 400, 0, false);
  EXPECT_GT(index.nodeCount(), 1);
  for (int k = 0; k < 50; ++k) index.insert(t, k, k);
  for (int v = 0; v < 400; ++v) EXPECT_EQ(v % 50, index.query(t, v, INT_MAX)) << v;
}

TEST(CrowdIndex, OverfullLeafThrows) {
  // More survivors than places breaks the contract: a clear failure, not a
  // write past the leaf.
  TestModel m;
  for (int i = 0; i < 3; ++i) m.addVertex(0, 0, 0);
  ModelStore& s = sharedStore();
  tooltest::load(m, s);
  const int32_t places[] = {0, 1, 2};
  CrowdIndex index;
  index.reset(s, m.size());
  const int t = index.build(places, 3, 0, false);
  for (int k = 0; k < 3; ++k) index.insert(t, k, k);
  EXPECT_THROW(index.insert(t, 2, 2), std::logic_error);
}

TEST(CrowdIndex, ResetForgetsNotedPlaces) {
  // Places noted by a tree of one weld mean nothing to the trees of the
  // next: a search there goes by the values.
  TestModel first = tooltest::denseNormalChain(300, 0.6f);
  ModelStore& s = sharedStore();
  tooltest::load(first, s);
  std::vector<int32_t> places(300);
  for (int i = 0; i < 300; ++i) places[i] = i;
  CrowdIndex index;
  index.reset(s, first.size());
  index.build(places.data(), 300, 0, true);
  TestModel second = tooltest::denseNormalChain(300, 3.0f);
  tooltest::load(second, s);
  index.reset(s, second.size());
  const int t = index.build(places.data(), 150, 0, false);
  std::vector<int32_t> filed;
  for (int p = 0; p < 150; p += 2) {
    index.insert(t, p, p);
    filed.push_back(p);
  }
  for (int v = 0; v < 300; ++v)
    EXPECT_EQ(expectedMatch(s, filed, v, INT_MAX), index.query(t, v, INT_MAX));
}

}  // namespace
