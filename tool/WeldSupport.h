// Shared pieces of the two welds: the parts of the vertex comparison, the
// move of a survivor down to its place, and the re-indexing of the faces.
// Internal to the tool library.
#pragma once

#include <algorithm>
#include <cstring>

#include "tool/ModelStore.h"
#include "tool/VertexWelder.h"

namespace weld {

// A float match can lie slightly more than the tolerance apart in real
// numbers (the difference is rounded to float: at most tolerance + 2^-41
// near zero, a relative 2^-24 beyond), so searches look this far around a
// value: a little wider than the tolerance.
constexpr double kWindow = double(kWeldTolerance) * (1.0 + 1.0 / 64);
static_assert(kWindow > double(kWeldTolerance) * (1.0 + 1.0 / (1 << 23)),
              "the window covers every float match");

// Layer loops never leave the store, whatever layerCount and dimensions say.
inline int layerLimit(const ModelStore& s) {
  return std::min(std::max(s.layerCount, 0), ModelStore::kMaxLayers);
}
inline int dimensionOf(const ModelStore& s, int l) {
  return std::min(std::max(s.layerDimensions[l], 0), ModelStore::kMaxLayerDimension);
}

inline bool positionsMatch(const float* a, const float* b) {
  return componentsMatch(a[0], b[0]) && componentsMatch(a[1], b[1]) && componentsMatch(a[2], b[2]);
}

// Everything but the position: normals, texture coordinates, influences.
inline bool restEqual(const ModelStore& s, int v, int k) {
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
inline void copyVertex(ModelStore& s, int from, int to) {
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

inline void reindexFaces(ModelStore& s, int triangleCount, const int32_t* remap) {
  const size_t n = std::min(s.faces.size(), size_t(std::max(triangleCount, 0)) * 3);
  int32_t* f = s.faces.data();
  for (size_t i = 0; i < n; ++i) f[i] = remap[f[i]];
}

}  // namespace weld
