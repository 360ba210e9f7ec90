// VertexFormat: a small value that describes which vertex data a model
// carries (positions, normals, colours, texture coordinate layers and their
// dimensions, weights per vertex). Built by the model reader from a model's
// "info" chunk; it decides which optional subchunks are read.
#pragma once

#include <cstdint>

#include "tool/ModelStore.h"

namespace tool {

class VertexFormat {
 public:
  static constexpr uint16_t kPositions = 0x1;
  static constexpr uint16_t kNormals = 0x4;
  static constexpr uint16_t kColors = 0x8;

  VertexFormat() { reset(); }

  // Positions only, no layers, no weights.
  void reset();
  // Stores w when it is below 4, else 3.
  void setWeightCount(int w);
  // Appends d as the next layer's dimension; does nothing once
  // ModelStore::kMaxLayers (16) layers are held.
  void addLayer(int d);
  void enableNormals() { m_flags |= kNormals; }
  void enableColors() { m_flags |= kColors; }

  bool hasNormals() const { return (m_flags & kNormals) != 0; }
  bool hasColors() const { return (m_flags & kColors) != 0; }
  int getLayerCount() const { return m_layerCount; }
  int getWeightCount() const { return m_weightCount; }
  // Dimension of layer i; 0 for an index outside the held layers.
  int getLayerDimension(int i) const;

 private:
  uint16_t m_flags;
  uint8_t m_layerCount;
  uint8_t m_weightCount;
  uint8_t m_layerDimensions[ModelStore::kMaxLayers];
};

}  // namespace tool
