// Crowded inputs for the vertex weld: many vertices at one place, with NaN
// positions, or NaN among numbers, that differ in their other attributes
// (normals, texture coordinates, influences), with values at the tolerance,
// signed zeros, infinities and NaN there too. Header-only; used by tool_test
// and the weld benchmarks.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "tool/WeldTestModels.h"

namespace tooltest {

// How the positions of a crowded model are laid out.
enum class Placement {
  kOnePlace,         // every vertex at one place, a few of them one tolerance off
  kNanEverywhere,    // NaN on every axis, a few NaN on one axis only
  kFewPlaces,        // five places, with jitter around the tolerance
  kNanOnSomeAxes,    // five places, each vertex NaN on a random set of axes
  kNanAmongNumbers,  // spread numbers, and as many vertices NaN on x
};

// A value near base: the same, one tolerance or one float beyond it, half
// or twice the tolerance away, a signed zero, and now and then an infinity
// or NaN.
inline float nearValue(std::mt19937& rng, float base) {
  const float tol = kWeldTolerance;
  const float inf = std::numeric_limits<float>::infinity();
  switch (rng() % 16) {
    case 0:
      return base + tol;
    case 1:
      return base - tol;
    case 2:
      return base + std::nextafter(tol, 1.0f);
    case 3:
      return base + 0.5f * tol;
    case 4:
      return base - 2 * tol;
    case 5:
      return base == 0 ? -0.0f : base;
    case 6:
      return rng() % 4 ? base : (rng() % 2 ? inf : -inf);
    case 7:
      return rng() % 4 ? base : std::numeric_limits<float>::quiet_NaN();
    default:
      return base;
  }
}

inline std::array<float, 3> crowdPosition(std::mt19937& rng, Placement placement, int i) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float tol = kWeldTolerance;
  const std::array<float, 3> places[5] = {
      {0.25f, -0.5f, 1}, {0.25f, -0.5f, 1 + 3e-5f}, {0, 0, 0}, {-0.0f, 7, 7}, {1e30f, 1, 1}};
  std::array<float, 3> p = places[0];
  switch (placement) {
    case Placement::kOnePlace:
      if (rng() % 8 == 0) p[rng() % 3] += rng() % 2 ? tol : -tol;
      break;
    case Placement::kNanEverywhere:
      p = {nan, nan, nan};
      if (rng() % 10 == 0) p = {nan, 0.5f, 0.5f};
      break;
    case Placement::kFewPlaces:
      p = places[rng() % 5];
      p[rng() % 3] += float(int(rng() % 5) - 2) * 0.5f * tol;
      break;
    case Placement::kNanOnSomeAxes: {
      p = places[rng() % 5];
      const uint32_t masks[] = {0, 0, 1, 2, 4, 3, 7};
      const uint32_t m = masks[rng() % 7];
      for (int a = 0; a < 3; ++a)
        if ((m >> a) & 1) p[a] = nan;
      break;
    }
    case Placement::kNanAmongNumbers:
      p = {float(i) * 1e-3f, float(i % 3), 0.5f};
      if (i % 2) p[0] = nan;
      break;
  }
  return p;
}

// n vertices placed as given whose other attributes come from a few hundred
// base vertices, each component moved near its base value now and then.
inline TestModel crowdModel(std::mt19937& rng, Placement placement, int n, std::string name) {
  TestModel m;
  m.name = std::move(name);
  const int bases = 20 + int(rng() % 400);
  m.hasNormals = rng() % 4 != 0;
  const int layerCount = int(rng() % 3);
  for (int l = 0; l < layerCount; ++l) m.addLayer(1 + int(rng() % 4), {});
  m.hasSkin = rng() % 3 == 0;
  std::vector<std::array<float, 3>> normal(bases);
  std::vector<float> uv(bases);
  for (int b = 0; b < bases; ++b) {
    normal[b] = unitVector(rng);
    uv[b] = float(rng() % 5) * 0.25f;
  }
  for (int i = 0; i < n; ++i) {
    const int b = int(rng() % bases);
    const std::array<float, 3> p = crowdPosition(rng, placement, i);
    m.addVertex(p[0], p[1], p[2]);
    m.normals.push_back(
        {nearValue(rng, normal[b][0]), nearValue(rng, normal[b][1]), nearValue(rng, normal[b][2])});
    for (int l = 0; l < layerCount; ++l)
      for (int c = 0; c < m.dims[l]; ++c)
        m.layers[l].push_back(nearValue(rng, uv[(b + c) % bases]));
    m.bones.push_back({int32_t(b % 3), int32_t(rng() % 8 == 0), int32_t(b % 2), 0});
    m.weights.push_back({nearValue(rng, 0.5f), nearValue(rng, 0.25f), 0, 0});
  }
  m.facesOverAllVertices();
  return m;
}

// n vertices at one place whose normals lie on one axis in steps of a
// fraction of the tolerance, shuffled: a long run of close values that only
// cuts inside the run can split.
inline TestModel denseNormalChain(int n, float step) {
  std::mt19937 rng(31);
  TestModel m;
  m.name = "dense normal chain";
  m.hasNormals = true;
  std::vector<int> order(n);
  for (int i = 0; i < n; ++i) order[i] = i;
  std::shuffle(order.begin(), order.end(), rng);
  for (int i = 0; i < n; ++i) {
    m.addVertex(1, 2, 3);
    m.normals.push_back({float(order[i]) * step * kWeldTolerance, 0, 1});
  }
  m.facesOverAllVertices();
  return m;
}

// n vertices at one place with two texture coordinate layers whose
// components are whole multiples of the tolerance: neighbours are exactly
// one tolerance apart, or one float more.
inline TestModel toleranceLattice(int n) {
  std::mt19937 rng(32);
  TestModel m;
  m.name = "tolerance lattice";
  m.addLayer(2, {});
  m.addLayer(3, {});
  for (int i = 0; i < n; ++i) {
    m.addVertex(0.5f, 0.5f, 0.5f);
    for (int l = 0; l < 2; ++l)
      for (int c = 0; c < m.dims[l]; ++c) {
        float x = float(rng() % 40) * kWeldTolerance;
        if (rng() % 8 == 0) x = std::nextafter(x, 1.0f);
        m.layers[l].push_back(x);
      }
  }
  m.facesOverAllVertices();
  return m;
}

// Every vertex at one position (or NaN on every axis), each with its own
// normal and texture coordinates: a grid over the positions puts them all
// into one cell.
inline TestModel benchOnePosition(bool nanPositions) {
  std::mt19937 rng(3);
  const float nan = std::numeric_limits<float>::quiet_NaN();
  TestModel m;
  m.name = nanPositions ? "NaN positions, distinct normals and uvs"
                        : "one position, distinct normals and uvs";
  m.hasNormals = true;
  m.addLayer(2, {});
  for (int i = 0; i < kBenchVertices; ++i) {
    if (nanPositions)
      m.addVertex(nan, nan, nan);
    else
      m.addVertex(0.5f, -0.25f, 2.0f);
    m.normals.push_back(unitVector(rng));
    m.layers[0].push_back(uniform(rng, 0, 1));
    m.layers[0].push_back(uniform(rng, 0, 1));
  }
  m.facesOverAllVertices();
  return m;
}

// Half the vertices at distinct positions, the other half NaN on x at the
// same y and z, all with their own normals: every NaN vertex has to be
// compared with survivors of any x.
inline TestModel benchNanAmongNumbers() {
  std::mt19937 rng(4);
  const float nan = std::numeric_limits<float>::quiet_NaN();
  TestModel m;
  m.name = "NaN x among distinct positions, distinct normals";
  m.hasNormals = true;
  for (int i = 0; i < kBenchVertices; ++i) {
    if (i % 2)
      m.addVertex(nan, 0.5f, 0.5f);
    else
      m.addVertex(uniform(rng, 0, 1), 0.5f, 0.5f);
    m.normals.push_back(unitVector(rng));
  }
  m.facesOverAllVertices();
  return m;
}

// Every vertex at one place with its own normal and texture coordinates,
// and NaN in one of those five components (a different one from vertex to
// vertex): each component leaves a fifth of the vertices to match anything.
inline TestModel benchOnePositionNanAttributes() {
  TestModel m = benchOnePosition(false);
  m.name = "one position, NaN in one other component each";
  const float nan = std::numeric_limits<float>::quiet_NaN();
  for (int i = 0; i < m.size(); ++i) {
    const int c = i % 5;
    if (c < 3)
      m.normals[i][c] = nan;
    else
      m.layers[0][2 * i + (c - 3)] = nan;
  }
  return m;
}

}  // namespace tooltest
