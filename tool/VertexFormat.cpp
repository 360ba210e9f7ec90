#include "tool/VertexFormat.h"

namespace tool {

void VertexFormat::reset() {
  m_flags = kPositions;
  m_layerCount = 0;
  m_weightCount = 0;
  for (uint8_t& d : m_layerDimensions) d = 0;
}

void VertexFormat::setWeightCount(int w) {
  m_weightCount = static_cast<uint8_t>(w >= 0 && w < 4 ? w : 3);
}

void VertexFormat::addLayer(int d) {
  if (m_layerCount >= ModelStore::kMaxLayers) return;
  m_layerDimensions[m_layerCount++] = static_cast<uint8_t>(d);
}

int VertexFormat::getLayerDimension(int i) const {
  return i >= 0 && i < m_layerCount ? m_layerDimensions[i] : 0;
}

}  // namespace tool
