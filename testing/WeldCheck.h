// The differential check of the grid weld against the plain scan, for the
// tool's tests: both weld the same model, and must give the identical remap
// and leave the identical store. Also a TestModel taken from a store.
// Header-only (gtest assertions).
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "tool/VertexWelder.h"
#include "tool/WeldTestModels.h"

namespace xmdtest {

// The fast weld and the plain scan give the identical remap and leave the
// identical store (survivors bit for bit, faces re-indexed the same way).
inline void expectSameWeldWith(const tooltest::TestModel& m, tool::VertexWelder& welder) {
  static std::unique_ptr<tool::ModelStore> a(new tool::ModelStore());
  static std::unique_ptr<tool::ModelStore> b(new tool::ModelStore());
  const int n = m.size();
  tooltest::load(m, *a);
  tooltest::load(m, *b);
  std::vector<int32_t> expected(std::max(n, 1));
  const int keptScan = tool::weldVerticesByScan(*a, n, m.triangleCount(), expected.data());
  const int keptFast = welder.weldVertices(*b, n, m.triangleCount());
  ASSERT_EQ(keptScan, keptFast) << m.name;
  for (int v = 0; v < n; ++v)
    ASSERT_EQ(expected[v], welder.remap()[v]) << m.name << " vertex " << v;
  EXPECT_TRUE(tooltest::sameSurvivors(*a, *b, keptScan)) << m.name;
  EXPECT_EQ(a->faces, b->faces) << m.name;
}

// Both as the welder runs (plain scan while survivors are few) and with the
// grid from the first vertex on.
inline void expectSameWeld(const tooltest::TestModel& m) {
  tool::VertexWelder hybrid;
  expectSameWeldWith(m, hybrid);
  tool::VertexWelder gridOnly;
  gridOnly.useGridOnlyForTesting();
  expectSameWeldWith(m, gridOnly);
}

// The first vertexCount vertices of a store (and its first 3 x
// triangleCount face entries) as a TestModel.
inline tooltest::TestModel fromStore(const tool::ModelStore& s, int vertexCount, int triangleCount,
                                     std::string name) {
  tooltest::TestModel m;
  m.name = std::move(name);
  for (int v = 0; v < vertexCount; ++v)
    m.addVertex(s.positions[v][0], s.positions[v][1], s.positions[v][2]);
  m.hasNormals = s.hasNormals;
  if (s.hasNormals)
    for (int v = 0; v < vertexCount; ++v)
      m.normals.push_back({s.normals[v][0], s.normals[v][1], s.normals[v][2]});
  for (int l = 0; l < s.layerCount; ++l)
    m.addLayer(
        s.layerDimensions[l],
        std::vector<float>(s.texCoords[l], s.texCoords[l] + vertexCount * s.layerDimensions[l]));
  m.hasSkin = s.hasSkin;
  if (s.hasSkin)
    for (int v = 0; v < vertexCount; ++v) {
      m.bones.push_back(
          {s.boneIndices[v][0], s.boneIndices[v][1], s.boneIndices[v][2], s.boneIndices[v][3]});
      m.weights.push_back(
          {s.boneWeights[v][0], s.boneWeights[v][1], s.boneWeights[v][2], s.boneWeights[v][3]});
    }
  m.faces.assign(s.faces.begin(),
                 s.faces.begin() + std::min<size_t>(s.faces.size(), size_t(triangleCount) * 3));
  return m;
}

}  // namespace xmdtest
