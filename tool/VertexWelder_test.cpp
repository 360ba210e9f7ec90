#include "tool/VertexWelder.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <sstream>

#include "testing/WeldCheck.h"
#include "tool/CrowdTestModels.h"
#include "tool/WeldTestModels.h"

namespace {

using namespace tool;
using tooltest::Placement;
using tooltest::TestModel;
using xmdtest::expectSameWeld;
using xmdtest::expectSameWeldWith;

std::vector<int32_t> fastRemap(const TestModel& m, int* kept = nullptr) {
  static std::unique_ptr<ModelStore> s(new ModelStore());
  tooltest::load(m, *s);
  VertexWelder w;
  const int k = w.weldVertices(*s, m.size(), m.triangleCount());
  if (kept) *kept = k;
  return std::vector<int32_t>(w.remap(), w.remap() + m.size());
}

float floatBits(uint32_t bits) {
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

TEST(VertexWelder, ToleranceIsTheFloatNearestTo1e5) {
  uint32_t bits;
  std::memcpy(&bits, &kWeldTolerance, sizeof bits);
  EXPECT_EQ(0x3727C5ACu, bits);
}

TEST(VertexWelder, ComponentRuleIsTheFloatDifference) {
  struct Case {
    float a, b;
    bool match;
  };
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const Case cases[] = {
      {0.0f, 5e-6f, true},
      {0.0f, 2e-5f, false},
      {0.0f, kWeldTolerance, true},
      {0.0f, std::nextafter(kWeldTolerance, 1.0f), false},
      // More than the tolerance apart in real numbers, yet the float
      // difference rounds down onto the tolerance: a match.
      {floatBits(0x364ae457), floatBits(0xb6ea192d), true},
      {nan, 1.0f, true},
      {1.0f, nan, true},
      {inf, inf, true},
      {-inf, -inf, true},
      {inf, -inf, false},
      {inf, 3e38f, false},
      {-0.0f, 0.0f, true},
      {3.4e38f, -3.4e38f, false},  // the difference overflows to infinity
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.match, componentsMatch(c.a, c.b)) << c.a << " vs " << c.b;
    EXPECT_EQ(c.match, componentsMatch(c.b, c.a)) << c.b << " vs " << c.a;
  }
}

TEST(VertexWelder, MergesIntoTheFirstSurvivorOnly) {
  struct Case {
    const char* name;
    std::vector<float> xs;
    std::vector<int32_t> remap;
  };
  const Case cases[] = {
      {"distinct", {0, 1, 2, 3}, {0, 1, 2, 3}},
      {"5e-6 merges", {0, 5e-6f}, {0, 0}},
      {"2e-5 stays", {0, 2e-5f}, {0, 1}},
      {"not transitive", {0, 8e-6f, 1.6e-5f}, {0, 0, 1}},
      {"lowest survivor wins", {0, 1.5e-5f, 0.8e-5f}, {0, 1, 0}},
      {"first always survives", {7, 7, 7}, {0, 0, 0}},
  };
  for (const Case& c : cases) {
    TestModel m;
    for (float x : c.xs) m.addVertex(x, 0, 0);
    EXPECT_EQ(c.remap, fastRemap(m)) << c.name;
    expectSameWeld(m);
  }
}

TEST(VertexWelder, ComparesNormalsOnlyWhenTheModelHasThem) {
  TestModel m;
  m.addVertex(1, 2, 3);
  m.addVertex(1, 2, 3);
  m.hasNormals = true;
  m.normals = {{0, 0, 1}, {0, 1e-4f, 1}};
  EXPECT_EQ((std::vector<int32_t>{0, 1}), fastRemap(m));
  m.hasNormals = false;
  EXPECT_EQ((std::vector<int32_t>{0, 0}), fastRemap(m));
}

TEST(VertexWelder, ComparesEveryLayerComponentAndInfluenceSlot) {
  TestModel m;
  m.addVertex(0, 0, 0);
  m.addVertex(0, 0, 0);
  m.addLayer(2, {0.5f, 0.25f, 0.5f, 0.25f});
  m.addLayer(3, {1, 2, 3, 1, 2, 3.001f});
  EXPECT_EQ((std::vector<int32_t>{0, 1}), fastRemap(m)) << "third component of layer 1";
  m.layers[1][5] = 3;
  EXPECT_EQ((std::vector<int32_t>{0, 0}), fastRemap(m));

  m.hasSkin = true;
  m.bones = {{1, 2, 0, 0}, {1, 3, 0, 0}};
  m.weights = {{0.5f, 0.5f, 0, 0}, {0.5f, 0.5f, 0, 0}};
  EXPECT_EQ((std::vector<int32_t>{0, 1}), fastRemap(m)) << "bone index of slot 1";
  m.bones[1][1] = 2;
  m.weights[1][1] = 0.5f + 1e-6f;
  EXPECT_EQ((std::vector<int32_t>{0, 0}), fastRemap(m)) << "weight within tolerance";
}

TEST(VertexWelder, CompactsSurvivorsAndReindexesFaces) {
  TestModel m;
  m.hasNormals = true;
  for (int i = 0; i < 6; ++i) {
    m.addVertex(float(i % 3), 0, 0);
    m.normals.push_back({0, 0, float(i % 3)});
  }
  m.addLayer(1, {10, 11, 12, 10, 11, 12});
  m.faces = {0, 3, 3, 1, 4, 5, 2, 0, 4};
  static std::unique_ptr<ModelStore> s(new ModelStore());
  tooltest::load(m, *s);
  VertexWelder w;
  ASSERT_EQ(3, w.weldVertices(*s, 6, 3));
  EXPECT_EQ((std::vector<int32_t>{0, 0, 0, 1, 1, 2, 2, 0, 1}), s->faces)
      << "a triangle whose corners merge stays, with three equal indices";
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(float(k), s->positions[k][0]);
    EXPECT_EQ(float(k), s->normals[k][2]);
    EXPECT_EQ(float(10 + k), s->texCoords[0][k]);
  }
  expectSameWeld(m);
}

TEST(VertexWelder, ReportLineIsFollowedByAnEmptyLine) {
  std::ostringstream out;
  printWeldReport(out, 1200, 845);
  EXPECT_EQ("INFO - optimization 1200 -> 845\n\n", out.str());
}

TEST(VertexWelder, EmptyModelWeldsToNothing) {
  TestModel m;
  expectSameWeld(m);
}

// --- The differential tests: fast weld against the plain scan ---------------

TEST(VertexWelderDifferential, RandomModels) {
  std::mt19937 rng(12345);
  for (int round = 0; round < 40; ++round) {
    const TestModel m = tooltest::randomModel(rng, round);
    expectSameWeld(m);
  }
}

TEST(VertexWelderDifferential, LargeModelsWithEveryAttribute) {
  // Thousands of survivors, so the grid (not the plain scan of the first
  // survivors) decides nearly every vertex; all attributes take part.
  std::mt19937 rng(2024);
  for (int round = 0; round < 4; ++round) {
    const TestModel m = tooltest::randomModel(rng, round, 12000);
    expectSameWeld(m);
  }
}

TEST(VertexWelderDifferential, AdversarialModels) {
  for (const TestModel& m : tooltest::adversarialModels()) expectSameWeld(m);
}

TEST(VertexWelderDifferential, CellBordersWithAPinnedGrid) {
  // Survivors and queries placed on, just below and just above the borders
  // of a known grid, at distances around the tolerance and the window.
  for (double size : {1e-3, 2e-4, 0.37}) {
    VertexWelder w;
    w.pinGridForTesting(size, 0.0);
    const TestModel m = tooltest::borderModel(size);
    expectSameWeldWith(m, w);
  }
}

TEST(VertexWelderDifferential, WindowIsWiderThanTheTolerance) {
  // These two floats lie 2.3e-13 more than the tolerance apart, yet match.
  // With a cell border between the survivor and (query - tolerance), a
  // window of exactly the tolerance would miss the survivor.
  const float survivor = floatBits(0xb6ea192d), query = floatBits(0x364ae457);
  TestModel m;
  m.addVertex(survivor, 0.5f, 0.5f);
  m.addVertex(query, 0.5f, 0.5f);
  VertexWelder w;
  w.pinGridForTesting(1.0, double(survivor) + 1e-13);
  ASSERT_EQ(1, w.weldVertices(*std::unique_ptr<ModelStore>(tooltest::loaded(m)), 2, 0));
  EXPECT_EQ(0, w.remap()[1]);
}

TEST(VertexWelderDifferential, RefinesTheGridOnClusteredData) {
  // Two dense clusters far apart: the first cell size is far too coarse, so
  // the grid must refine and still find the same survivors.
  const TestModel m = tooltest::twoClusters(20000, 1e6f);
  VertexWelder w;
  expectSameWeldWith(m, w);
  EXPECT_GT(w.refinements(), 0);
}

TEST(VertexWelderDifferential, StopsRefiningWhenTheCrowdIsCopies) {
  // 97 places with hundreds of copies each: once the places are apart,
  // smaller cells cannot thin the crowd, so the welder stops shrinking them.
  const std::vector<TestModel> models = tooltest::adversarialModels();
  const TestModel& few = models.back();
  ASSERT_EQ("65534 vertices, 97 places", few.name);
  VertexWelder w;
  w.useGridOnlyForTesting();
  expectSameWeldWith(few, w);
  EXPECT_LE(w.refinements(), 2);
}

// --- Crowds: vertices the position grid cannot separate -----------------------

TEST(VertexWelderCrowds, EveryPlacementAgreesWithTheScan) {
  // Other attributes near a few hundred bases, with values at the
  // tolerance, one float beyond it, signed zeros, infinities and NaN.
  const struct {
    Placement placement;
    const char* name;
  } cases[] = {
      {Placement::kOnePlace, "one place"},
      {Placement::kNanEverywhere, "NaN everywhere"},
      {Placement::kFewPlaces, "few places"},
      {Placement::kNanOnSomeAxes, "NaN on some axes"},
      {Placement::kNanAmongNumbers, "NaN among numbers"},
  };
  std::mt19937 rng(5150);
  for (const auto& c : cases) {
    for (int round = 0; round < 6; ++round) {
      const int n = 300 + int(rng() % 4000);
      const TestModel m = tooltest::crowdModel(rng, c.placement, n,
                                               std::string(c.name) + " " + std::to_string(round));
      expectSameWeld(m);
    }
  }
}

TEST(VertexWelderCrowds, OnePlaceIsSearchedThroughATree) {
  // With normals, so that the crowd holds many survivors.
  std::mt19937 rng(77);
  for (Placement p : {Placement::kOnePlace, Placement::kOnePlace, Placement::kNanEverywhere}) {
    TestModel m = tooltest::crowdModel(rng, p, 5000, "one place or all NaN, large");
    m.hasNormals = true;
    VertexWelder w;
    expectSameWeldWith(m, w);
    EXPECT_GT(w.crowdTrees(), 0) << "the crowd went through a tree";
  }
}

TEST(VertexWelderCrowds, LongRunsOfCloseValuesAreCutInside) {
  // Normals in steps of a fraction of the tolerance: every value is within
  // the window of its neighbours, so only cuts inside the run split it.
  for (float step : {0.25f, 0.6f, 0.999f, 1.0f}) {
    const TestModel m = tooltest::denseNormalChain(4000, step);
    VertexWelder w;
    expectSameWeldWith(m, w);
    EXPECT_GT(w.crowdTrees(), 0) << step;
    expectSameWeld(m);
  }
}

TEST(VertexWelderCrowds, ComponentsWholeTolerancesApart) {
  expectSameWeld(tooltest::toleranceLattice(4000));
}

TEST(VertexWelderCrowds, NanSearchesAmongNumbersGetAGroupTree) {
  // Spread positions (no crowded cell) and as many vertices NaN on x, all
  // with their own normals: each NaN vertex would walk every survivor with
  // a number on x. A tree over those survivors without x takes over.
  std::mt19937 rng(8);
  TestModel m;
  m.name = "NaN x among spread numbers";
  m.hasNormals = true;
  const float nan = std::numeric_limits<float>::quiet_NaN();
  for (int i = 0; i < 6000; ++i) {
    const float y = float(i / 2) * 1e-3f;
    m.addVertex(i % 2 ? nan : float(i) * 1e-3f, y, 0.5f);
    std::array<float, 3> n = tooltest::unitVector(rng);
    if (i % 7 == 0 && i > 0) n = m.normals[rng() % size_t(i)];  // a repeated normal
    m.normals.push_back(n);
  }
  m.facesOverAllVertices();
  VertexWelder w;
  expectSameWeldWith(m, w);
  EXPECT_GT(w.crowdTrees(), 0);
  expectSameWeld(m);
}

TEST(VertexWelderCrowds, CrowdedCellsAcrossPinnedBorders) {
  // Crowds around the corners of a known grid: vertices near a border look
  // into the neighbouring cells, whose crowds are in trees.
  std::mt19937 rng(4243);
  const double size = 1e-3;
  const double offsets[] = {0, 0.5, -0.5, 1, -1, 1.01, -1.01, 2, -2};
  TestModel m;
  m.name = "crowds at pinned borders";
  m.hasNormals = true;
  for (int i = 0; i < 4000; ++i) {
    std::array<float, 3> q;
    for (int c = 0; c < 3; ++c)
      q[c] = float(double(int(rng() % 2)) * size + offsets[rng() % 9] * double(kWeldTolerance));
    m.addVertex(q[0], q[1], q[2]);
    m.normals.push_back({tooltest::nearValue(rng, float(rng() % 30) * 0.1f), 0, 1});
  }
  m.facesOverAllVertices();
  VertexWelder w;
  w.pinGridForTesting(size, 0.0);
  expectSameWeldWith(m, w);
  EXPECT_GT(w.crowdTrees(), 0);
}

TEST(VertexWelderCrowds, OneWelderOverManyModels) {
  // Tables kept from a large crowded model must not leak into the next,
  // smaller models.
  std::mt19937 rng(99);
  VertexWelder w;
  expectSameWeldWith(tooltest::crowdModel(rng, Placement::kOnePlace, 6000, "large"), w);
  for (int round = 0; round < 8; ++round) {
    const Placement p = round % 2 ? Placement::kNanOnSomeAxes : Placement::kFewPlaces;
    expectSameWeldWith(tooltest::crowdModel(rng, p, 50 + int(rng() % 1500), "after"), w);
  }
}

}  // namespace
