// ModelStore: the one store that holds a model while it is checked, welded
// and written. Vertex attributes lie in parallel arrays indexed by vertex
// number; the program entry makes one store (in static storage: every array
// zero, bone names empty) and the model processor reuses it from model to
// model; nothing in it is cleared between models except what the reader
// clears (see ModelStreamProcessor.h). It is a plain record: the model
// reader fills it, the welder compacts it in place, the writer reads it.
// About 20 MB: never on a stack (tests value-initialise one on the heap).
//
// Capacities: every model that the reader's checks admit fits. 65534
// vertices (two spare entries), 16 texture coordinate layers of up to four
// components (the vertex data slot check admits at most 16 layers), 256 bones,
// four influence slots per vertex. Triangles have no fixed limit: `faces`
// grows as indices are actually read from the file, so its size is bounded by
// the file's size, never by a declared count alone.
//
// Single-threaded: one model at a time.
#pragma once

#include <cstdint>
#include <vector>

#include "lang/String.h"

namespace tool {

struct ModelStore {
  static constexpr int kMaxVertices = 65534;
  static constexpr int kVertexEntries = 65536;  // two spare entries
  // Texture coordinate layers: the reader admits at most 16 vertex data
  // slots, one per layer. The one limit on layers (the vertex format's too).
  static constexpr int kMaxLayers = 16;
  static constexpr int kMaxLayerDimension = 4;
  static constexpr int kMaxBones = 256;
  static constexpr int kInfluenceSlots = 4;

  // Vertex positions and normals, x y z per vertex.
  float positions[kVertexEntries][3];
  float normals[kVertexEntries][3];

  // Components per vertex of each declared texture coordinate layer.
  int32_t layerDimensions[kMaxLayers];
  int32_t layerCount;

  // Layer l is packed by its own dimension d: component c of vertex v is
  // texCoords[l][v * d + c].
  float texCoords[kMaxLayers][kVertexEntries * kMaxLayerDimension];

  // Three vertex indices per triangle; triangle t at 3t, 3t + 1, 3t + 2.
  std::vector<int32_t> faces;

  // Four influence slots per vertex, heaviest first; a slot that holds no
  // influence has bone index 0 and weight 0.
  int32_t boneIndices[kVertexEntries][kInfluenceSlots];
  float boneWeights[kVertexEntries][kInfluenceSlots];
  // Per vertex, the number of influences kept in its slots (0 to 4).
  uint8_t influenceCounts[kVertexEntries];

  lang::String boneNames[kMaxBones];  // bone names in bone order

  bool hasNormals;  // the model had a "vertexnormalsf" subchunk
  bool hasSkin;     // the model had a "skin" subchunk
};

}  // namespace tool
