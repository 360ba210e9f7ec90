// Test and benchmark models for the vertex weld: a plain description of a
// model's vertex data (TestModel), loading it into a ModelStore, comparing
// two welded stores, and generators of random, adversarial and benchmark
// inputs. Header-only; used by tool_test and the weld benchmark.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "tool/ModelStore.h"
#include "tool/VertexWelder.h"

namespace tooltest {

using tool::kWeldTolerance;
using tool::ModelStore;

struct TestModel {
  std::string name;
  std::vector<std::array<float, 3>> positions;
  bool hasNormals = false;
  std::vector<std::array<float, 3>> normals;
  std::vector<int> dims;
  std::vector<std::vector<float>> layers;
  bool hasSkin = false;
  std::vector<std::array<int32_t, 4>> bones;
  std::vector<std::array<float, 4>> weights;
  std::vector<int32_t> faces;

  int size() const { return static_cast<int>(positions.size()); }
  int triangleCount() const { return static_cast<int>(faces.size() / 3); }
  void addVertex(float x, float y, float z) { positions.push_back({x, y, z}); }
  void addLayer(int d, std::vector<float> values) {
    dims.push_back(d);
    layers.push_back(std::move(values));
  }
  // Faces naming every vertex once (padded with vertex 0), so that the
  // re-indexed faces show the whole remap.
  void facesOverAllVertices() {
    faces.clear();
    for (int v = 0; v < size(); ++v) faces.push_back(v);
    while (faces.size() % 3) faces.push_back(0);
  }
};

inline void load(const TestModel& m, ModelStore& s) {
  const int n = m.size();
  for (int v = 0; v < n; ++v)
    for (int c = 0; c < 3; ++c) s.positions[v][c] = m.positions[v][c];
  s.hasNormals = m.hasNormals;
  if (m.hasNormals)
    for (int v = 0; v < n; ++v)
      for (int c = 0; c < 3; ++c) s.normals[v][c] = m.normals[v][c];
  s.layerCount = static_cast<int32_t>(m.dims.size());
  for (size_t l = 0; l < m.dims.size(); ++l) {
    s.layerDimensions[l] = m.dims[l];
    std::copy(m.layers[l].begin(), m.layers[l].end(), s.texCoords[l]);
  }
  s.hasSkin = m.hasSkin;
  if (m.hasSkin)
    for (int v = 0; v < n; ++v)
      for (int i = 0; i < 4; ++i) {
        s.boneIndices[v][i] = m.bones[v][i];
        s.boneWeights[v][i] = m.weights[v][i];
        s.influenceCounts[v] = 4;
      }
  s.faces = m.faces;
}

// A new store holding the model.
inline ModelStore* loaded(const TestModel& m) {
  ModelStore* s = new ModelStore();
  load(m, *s);
  return s;
}

// The first `kept` vertices of both stores agree bit for bit.
inline bool sameSurvivors(const ModelStore& a, const ModelStore& b, int kept) {
  const size_t n = size_t(kept);
  if (std::memcmp(a.positions, b.positions, n * sizeof a.positions[0])) return false;
  if (a.hasNormals && std::memcmp(a.normals, b.normals, n * sizeof a.normals[0])) return false;
  for (int l = 0; l < a.layerCount; ++l)
    if (std::memcmp(a.texCoords[l], b.texCoords[l], n * a.layerDimensions[l] * sizeof(float)))
      return false;
  if (a.hasSkin && (std::memcmp(a.boneIndices, b.boneIndices, n * sizeof a.boneIndices[0]) ||
                    std::memcmp(a.boneWeights, b.boneWeights, n * sizeof a.boneWeights[0])))
    return false;
  return true;
}

// --- generators ---------------------------------------------------------------

inline float uniform(std::mt19937& rng, float lo, float hi) {
  return std::uniform_real_distribution<float>(lo, hi)(rng);
}

// Jitter of up to `scale` tolerances, sometimes none, sometimes exactly one.
inline float jitter(std::mt19937& rng, float scale) {
  switch (rng() % 4) {
    case 0:
      return 0;
    case 1:
      return (rng() % 2 ? 1 : -1) * kWeldTolerance;
    default:
      return uniform(rng, -scale, scale) * kWeldTolerance;
  }
}

// Vertices as copies of a smaller base set with jitter around the tolerance,
// in every attribute a model may have.
inline TestModel randomModel(std::mt19937& rng, int round, int vertices = 0) {
  TestModel m;
  m.name = "random " + std::to_string(round);
  const int n = vertices > 0 ? vertices : 1 + int(rng() % 2500);
  const int base = 1 + int(rng() % std::max(1, n / (1 + int(rng() % 4))));
  const float scale = std::pow(10.0f, float(int(rng() % 9)) - 5.0f);  // 1e-5 .. 1e3
  const float spread = 0.5f + float(rng() % 4);                       // jitter, tolerances
  m.hasNormals = rng() % 2;
  const int layerCount = int(rng() % 4);
  for (int l = 0; l < layerCount; ++l) m.dims.push_back(1 + int(rng() % 4));
  m.layers.resize(layerCount);
  m.hasSkin = rng() % 3 == 0;
  std::vector<std::array<float, 3>> bp(base), bn(base);
  for (auto& p : bp)
    for (float& x : p) x = uniform(rng, -scale, scale);
  for (auto& p : bn)
    for (float& x : p) x = float(rng() % 3) * 0.5f;
  for (int v = 0; v < n; ++v) {
    const int b = int(rng() % base);
    m.addVertex(bp[b][0] + jitter(rng, spread), bp[b][1] + jitter(rng, spread),
                bp[b][2] + jitter(rng, spread));
    m.normals.push_back({bn[b][0] + jitter(rng, spread), bn[b][1], bn[b][2]});
    for (int l = 0; l < layerCount; ++l)
      for (int c = 0; c < m.dims[l]; ++c)
        m.layers[l].push_back(float(b % 5) * 0.25f + (rng() % 8 == 0 ? jitter(rng, spread) : 0));
    m.bones.push_back({int32_t(b % 3), int32_t(rng() % 16 == 0 ? 1 : 0), 0, 0});
    m.weights.push_back({1.0f + jitter(rng, spread), 0, 0, 0});
  }
  m.facesOverAllVertices();
  return m;
}

inline TestModel positionsOnly(std::string name, const std::vector<std::array<float, 3>>& p) {
  TestModel m;
  m.name = std::move(name);
  m.positions = p;
  m.facesOverAllVertices();
  return m;
}

inline std::vector<TestModel> adversarialModels() {
  std::mt19937 rng(777);
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float big = std::numeric_limits<float>::max();
  std::vector<TestModel> out;
  std::vector<std::array<float, 3>> p;

  // Chains: every step just under (or exactly) the tolerance.
  for (float step : {0.9999f * kWeldTolerance, kWeldTolerance, 0.5f * kWeldTolerance}) {
    p.clear();
    for (int i = 0; i < 3000; ++i) p.push_back({float(i) * step, 1.0f, float(i % 2) * step});
    out.push_back(positionsOnly("chain", p));
    p.clear();
    float x = 0.25f;
    for (int i = 0; i < 3000; ++i, x += step) p.push_back({x, x, -x});
    out.push_back(positionsOnly("diagonal chain, accumulated", p));
  }
  // NaN, infinities and signed zeros on any axis.
  const float specials[] = {nan,  inf,          -inf, 0.0f, -0.0f, kWeldTolerance, -kWeldTolerance,
                            1.0f, 1.0f + 4e-6f, big,  -big};
  p.clear();
  for (int i = 0; i < 4000; ++i)
    p.push_back({specials[rng() % 11], specials[rng() % 11], specials[rng() % 11]});
  out.push_back(positionsOnly("specials", p));
  p.clear();
  for (int i = 0; i < 3000; ++i) {
    std::array<float, 3> q = {uniform(rng, 0, 1e-3f), uniform(rng, 0, 1e-3f),
                              uniform(rng, 0, 1e-3f)};
    if (rng() % 10 == 0) q[rng() % 3] = nan;
    if (rng() % 50 == 0) q[rng() % 3] = nan;
    p.push_back(q);
  }
  out.push_back(positionsOnly("some NaN components", p));
  // Huge coordinates, neighbours one float apart.
  p.clear();
  for (int i = 0; i < 3000; ++i) {
    float x = (rng() % 2 ? 1 : -1) * big / float(1 + rng() % 8);
    if (rng() % 2) x = std::nextafter(x, 0.0f);
    p.push_back({x, float(rng() % 3) * 1e30f, uniform(rng, -1, 1) * 1e-30f});
  }
  out.push_back(positionsOnly("huge coordinates", p));
  // One far outlier among jittered copies in the unit cube.
  p.clear();
  for (int i = 0; i < 6000; ++i) {
    const float b = float(i % 1500) / 1500.0f;
    p.push_back({b + jitter(rng, 2), std::sin(b * 40.0f) + jitter(rng, 2), b * b});
    if (i == 2000) p.push_back({1e30f, -1e30f, 1e30f});
  }
  out.push_back(positionsOnly("far outlier", p));
  // All equal; and equal positions with distinct normals.
  p.assign(5000, {0.5f, -0.5f, 2.0f});
  out.push_back(positionsOnly("all equal", p));
  TestModel fan = positionsOnly("one position, many normals",
                                std::vector<std::array<float, 3>>(2000, {1, 1, 1}));
  fan.hasNormals = true;
  for (int i = 0; i < 2000; ++i) fan.normals.push_back({float(i % 700) * 1e-4f, 0, 1});
  out.push_back(fan);
  // A 1e-4 spaced lattice with copies just inside and outside the tolerance.
  p.clear();
  for (int i = 0; i < 12; ++i)
    for (int j = 0; j < 12; ++j)
      for (int k = 0; k < 12; ++k) {
        p.push_back({float(i) * 1e-4f, float(j) * 1e-4f, float(k) * 1e-4f});
        if ((i + j + k) % 3 == 0)
          p.push_back({float(i) * 1e-4f + jitter(rng, 1.5f), float(j) * 1e-4f, float(k) * 1e-4f});
      }
  std::shuffle(p.begin(), p.end(), rng);
  out.push_back(positionsOnly("1e-4 lattice", p));
  // Many vertices, few survivors.
  p.clear();
  for (int i = 0; i < ModelStore::kMaxVertices; ++i) {
    const float b = float(i % 97);
    p.push_back({b + jitter(rng, 1), b * 0.5f, -b});
  }
  out.push_back(positionsOnly("65534 vertices, 97 places", p));
  return out;
}

// Vertices on, beside and across the borders of a grid of the given cell
// size with origin 0.
inline TestModel borderModel(double size) {
  std::mt19937 rng(4242);
  const double offsets[] = {0, 0.5, -0.5, 1, -1, 1.01, -1.01, 1.02, -1.02, 2, -2};
  std::vector<std::array<float, 3>> p;
  for (int i = 0; i < 2500; ++i) {
    std::array<float, 3> q;
    for (int c = 0; c < 3; ++c) {
      const double border = double(int(rng() % 7) - 3) * size;
      q[c] = float(border + offsets[rng() % 11] * double(kWeldTolerance));
    }
    p.push_back(q);
  }
  return positionsOnly("cell borders", p);
}

inline TestModel twoClusters(int n, float distance) {
  std::mt19937 rng(99);
  std::vector<std::array<float, 3>> p;
  for (int i = 0; i < n; ++i) {
    const float o = i % 2 ? distance : 0;
    const float b = float((i / 2) % (n / 6)) * 1e-3f;
    p.push_back({o + b + jitter(rng, 2), std::cos(b * 30) + jitter(rng, 2), b});
  }
  return positionsOnly("two clusters", p);
}

// --- benchmark inputs (65534 vertices each) ----------------------------------

constexpr int kBenchVertices = ModelStore::kMaxVertices;

// A random unit vector.
inline std::array<float, 3> unitVector(std::mt19937& rng) {
  std::normal_distribution<float> g;
  for (;;) {
    const float x = g(rng), y = g(rng), z = g(rng);
    const float length = std::sqrt(x * x + y * y + z * z);
    if (length > 1e-3f) return {x / length, y / length, z / length};
  }
}

// Distinct random positions in the unit cube; with normals, each vertex also
// gets its own random normal.
inline TestModel benchDistinct(bool normals = false) {
  std::mt19937 rng(1);
  std::vector<std::array<float, 3>> p;
  for (int i = 0; i < kBenchVertices; ++i)
    p.push_back({uniform(rng, 0, 1), uniform(rng, 0, 1), uniform(rng, 0, 1)});
  TestModel m = positionsOnly(normals ? "distinct, with normals" : "distinct", p);
  m.hasNormals = normals;
  for (int i = 0; normals && i < kBenchVertices; ++i) m.normals.push_back(unitVector(rng));
  return m;
}

// 3 to 6 copies of each vertex of a smaller set, with sub-tolerance jitter,
// in the order of a shuffled mesh; optionally one far outlier in the middle.
inline TestModel benchJitteredCopies(bool outlier) {
  std::mt19937 rng(2);
  std::vector<std::array<float, 3>> base, p;
  while (int(p.size()) < kBenchVertices) {
    const std::array<float, 3> b = {uniform(rng, -10, 10), uniform(rng, -10, 10),
                                    uniform(rng, -10, 10)};
    const int copies = 3 + int(rng() % 4);
    for (int c = 0; c < copies && int(p.size()) < kBenchVertices; ++c)
      p.push_back({b[0] + uniform(rng, -0.4f, 0.4f) * kWeldTolerance,
                   b[1] + uniform(rng, -0.4f, 0.4f) * kWeldTolerance, b[2]});
  }
  std::shuffle(p.begin(), p.end(), rng);
  if (outlier) p[p.size() / 2] = {1e7f, -1e7f, 1e7f};
  return positionsOnly(outlier ? "jittered copies + outlier" : "jittered copies", p);
}

inline TestModel benchGrid() {
  std::vector<std::array<float, 3>> p;
  for (int i = 0; i < 41 && int(p.size()) < kBenchVertices; ++i)
    for (int j = 0; j < 40 && int(p.size()) < kBenchVertices; ++j)
      for (int k = 0; k < 40 && int(p.size()) < kBenchVertices; ++k)
        p.push_back({float(i) * 1e-4f, float(j) * 1e-4f, float(k) * 1e-4f});
  return positionsOnly("1e-4 grid", p);
}

// A torus as a triangle soup: three vertices per triangle, each with its
// position, normal and texture coordinates, so every vertex occurs about six
// times (the seam's copies differ in their texture coordinates).
inline TestModel benchTriangleSoup() {
  TestModel m;
  m.name = "triangle soup";
  m.hasNormals = true;
  m.dims = {2};
  m.layers.resize(1);
  const int nu = 127, nv = 86;  // 2 x 127 x 86 triangles = 65532 corners
  auto corner = [&](int i, int j) {
    const float u = float(i) / nu, v = float(j) / nv;
    const float a = u * 6.2831853f, b = v * 6.2831853f;
    const float r = 3 + std::cos(b);
    m.positions.push_back({r * std::cos(a), r * std::sin(a), std::sin(b)});
    m.normals.push_back({std::cos(b) * std::cos(a), std::cos(b) * std::sin(a), std::sin(b)});
    m.layers[0].push_back(u);
    m.layers[0].push_back(v);
  };
  for (int i = 0; i < nu; ++i)
    for (int j = 0; j < nv; ++j) {
      corner(i, j), corner(i + 1, j), corner(i + 1, j + 1);
      corner(i, j), corner(i + 1, j + 1), corner(i, j + 1);
    }
  m.facesOverAllVertices();
  return m;
}

// The model's vertices interleaved (position, normal, texture coordinates),
// as an exact-duplicate remap takes them.
inline std::vector<float> interleaved(const TestModel& m, size_t* stride) {
  size_t floats = 3 + (m.hasNormals ? 3 : 0);
  for (int d : m.dims) floats += d;
  *stride = floats * sizeof(float);
  std::vector<float> out;
  out.reserve(floats * m.size());
  for (int v = 0; v < m.size(); ++v) {
    out.insert(out.end(), m.positions[v].begin(), m.positions[v].end());
    if (m.hasNormals) out.insert(out.end(), m.normals[v].begin(), m.normals[v].end());
    for (size_t l = 0; l < m.dims.size(); ++l)
      for (int c = 0; c < m.dims[l]; ++c) out.push_back(m.layers[l][v * m.dims[l] + c]);
  }
  return out;
}

}  // namespace tooltest
