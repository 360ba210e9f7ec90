// Shared pieces of the welds: the parts of the vertex comparison, the move
// of a survivor down to its place, the re-indexing of the faces, and the
// grid's cell keys. Internal to the tool library.
#pragma once

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>

#include "tool/ModelStore.h"
#include "tool/VertexWelder.h"

namespace tool {
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

// Bit a set: position axis a is NaN.
inline uint32_t nanMask(const float* p) {
  return (p[0] != p[0] ? 1u : 0u) | (p[1] != p[1] ? 2u : 0u) | (p[2] != p[2] ? 4u : 0u);
}

// The grid's shared constants: the cell coordinate of a NaN axis (outside
// the clamped range of numbers); the flag of a vertex whose window crosses a
// cell border; how many vertices ahead cells are prefetched.
constexpr int32_t kNanAxis = INT32_MIN;
constexpr uint32_t kCrossesBorder = 0x80000000u;
constexpr int kAhead = 8;

inline uint64_t hashCell(const int32_t* c) {
  uint64_t h = (uint64_t(uint32_t(c[0])) | uint64_t(uint32_t(c[1])) << 32) * 0x9E3779B97F4A7C15ull;
  h ^= uint64_t(uint32_t(c[2])) * 0xC2B2AE3D27D4EB4Full;
  h ^= h >> 29;
  return h * 0xD6E8FEB86659FD93ull;
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
}  // namespace tool
