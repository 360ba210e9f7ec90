// The bundled sample models, built in memory: the generator make_samples
// writes them under samples/, and the tool's end-to-end tests build their
// trees from them. Each is a whole xmd file (one top-level chunk "xmd" with
// header value 1) as bytes.
//
//   crate()       a cube as a triangle soup: 36 corners that weld to 24
//   walker()      a skinned strip of quads (two bones), soup that welds
//   scene()       a foreign chunk, two models, another foreign chunk
//   badIndex()    a model whose triangle names a vertex that does not exist
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "testing/ChunkBuilder.h"

namespace xmdsamples {

struct Influence {
  int bone;
  float weight;
};

struct Model {
  std::vector<std::array<float, 3>> points;
  std::vector<std::array<float, 3>> normals;  // empty: no "vertexnormalsf"
  std::vector<std::array<int, 3>> faces;
  std::vector<std::vector<float>> uvs;  // one layer of 2 components per vertex, or none
  std::vector<std::string> bones;       // empty: not skinned
  std::vector<std::vector<Influence>> influences;
  int material = 7;
};

inline void writeModel(xmdtest::ChunkBuilder& b, const Model& m) {
  const int n = static_cast<int>(m.points.size());
  b.begin("model");
  b.begin("info").integer(n).integer(static_cast<int>(m.faces.size()));
  b.integer(m.bones.empty() ? 0 : 4).integer(m.uvs.empty() ? 0 : 1);
  if (!m.uvs.empty()) b.integer(2);
  b.integer(0).integer(0).end();
  b.begin("material").integer(m.material).end();
  b.begin("points");
  for (const auto& p : m.points) b.f32(p[0]).f32(p[1]).f32(p[2]);
  b.end();
  if (!m.normals.empty()) {
    b.begin("vertexnormalsf");
    for (const auto& v : m.normals) b.f32(v[0]).f32(v[1]).f32(v[2]);
    b.end();
  }
  b.begin("faces");
  for (const auto& f : m.faces) b.integer(f[0]).integer(f[1]).integer(f[2]);
  b.end();
  if (!m.uvs.empty()) {
    b.begin("texcoordlayer");
    for (const auto& uv : m.uvs) b.f32(uv[0]).f32(uv[1]);
    b.end();
  }
  if (!m.bones.empty()) {
    b.begin("skin").integer(static_cast<int>(m.bones.size()));
    for (const auto& name : m.bones) b.str(name);
    for (const auto& vertex : m.influences) {
      b.integer(static_cast<int>(vertex.size()));
      for (const Influence& i : vertex) b.integer(i.bone).f32(i.weight);
    }
    b.end();
  }
  b.end();
}

// A file of the given models, with foreign chunks before and after when
// foreign is set.
inline std::string file(const std::vector<Model>& models, bool foreign = false) {
  xmdtest::ChunkBuilder b;
  b.begin("xmd").integer(1);
  if (foreign) b.begin("comment").str("made by make_samples").u8(0xFF).end();
  for (const Model& m : models) writeModel(b, m);
  if (foreign) b.begin("lights").integer(2).f32(0.5f).end();
  b.end();
  return std::string(b.bytes().begin(), b.bytes().end());
}

// A triangle soup: every triangle gets its own three corners.
inline Model soup(const std::vector<std::array<float, 3>>& corners) {
  Model m;
  m.points = corners;
  for (int i = 0; i + 2 < static_cast<int>(corners.size()); i += 3)
    m.faces.push_back({i, i + 1, i + 2});
  return m;
}

inline Model crateModel() {
  std::vector<std::array<float, 3>> corners;
  std::vector<std::array<float, 3>> normals;
  std::vector<std::vector<float>> uvs;
  for (int axis = 0; axis < 3; ++axis) {
    for (int side = -1; side <= 1; side += 2) {
      // The four corners of this face, as two triangles.
      const int quad[6][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 0}, {1, 1}, {0, 1}};
      for (const auto& q : quad) {
        std::array<float, 3> p{};
        p[axis] = static_cast<float>(side);
        p[(axis + 1) % 3] = q[0] ? 1.0f : -1.0f;
        p[(axis + 2) % 3] = q[1] ? 1.0f : -1.0f;
        std::array<float, 3> nrm{};
        nrm[axis] = static_cast<float>(side);
        corners.push_back(p);
        normals.push_back(nrm);
        uvs.push_back({static_cast<float>(q[0]), static_cast<float>(q[1])});
      }
    }
  }
  Model m = soup(corners);
  m.normals = normals;
  m.uvs = uvs;
  m.material = 3;
  return m;
}

inline Model walkerModel() {
  std::vector<std::array<float, 3>> corners;
  for (int row = 0; row < 4; ++row) {
    const float y0 = static_cast<float>(row);
    const float y1 = y0 + 1.0f;
    const std::array<float, 3> quad[6] = {{0, y0, 0}, {1, y0, 0}, {1, y1, 0},
                                          {0, y0, 0}, {1, y1, 0}, {0, y1, 0}};
    corners.insert(corners.end(), quad, quad + 6);
  }
  Model m = soup(corners);
  m.bones = {"hip", "knee"};
  for (const auto& p : corners) {
    const float w = p[1] / 4.0f;  // blends from the hip at the bottom to the knee at the top
    m.influences.push_back({{0, 1.0f - w}, {1, w}});
  }
  return m;
}

inline std::string crate() { return file({crateModel()}); }
inline std::string walker() { return file({walkerModel()}); }

inline std::string scene() {
  Model tri = soup({{{0, 0, 0}}, {{1, 0, 0}}, {{0, 1, 0}}});
  Model quad = soup({{{0, 0, 0}}, {{1, 0, 0}}, {{1, 1, 0}}, {{0, 0, 0}}, {{1, 1, 0}}, {{0, 1, 0}}});
  return file({quad, tri}, /*foreign=*/true);
}

inline std::string badIndex() {
  Model m = soup({{{0, 0, 0}}, {{1, 0, 0}}, {{0, 1, 0}}});
  m.faces[0][2] = 3;  // one past the last vertex
  return file({m});
}

}  // namespace xmdsamples
