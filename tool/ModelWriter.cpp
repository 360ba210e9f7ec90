// Writing the result model (ModelStreamProcessor::writeModel): the welded
// store and the model's "info" fields and subchunks seen, in the layout the
// reader takes; never "vertexcolors".
#include "tool/ModelStreamProcessor.h"

namespace tool {

void ModelStreamProcessor::writeModel(io::ChunkOutputStream& out, int keptCount) {
  const ModelStore& s = m_store;
  const Info& info = m_info;
  out.beginChunk("info");
  out.writeInt(keptCount);
  out.writeInt(info.triangleCount);
  out.writeInt(info.weightsPerVertex);
  out.writeInt(info.layerCount);
  for (int l = 0; l < info.layerCount; ++l) out.writeInt(s.layerDimensions[l]);
  out.writeInt(info.vertexColorSize);
  out.writeInt(info.extraLayersFlag ? 1 : 0);
  out.endChunk();

  if (m_seen.material) {
    out.beginChunk("material");
    out.writeInt(m_seen.materialValue);
    out.endChunk();
  }
  if (m_seen.points) {
    out.beginChunk("points");
    out.writeFloats(&s.positions[0][0], keptCount * 3);
    out.endChunk();
  }
  if (s.hasNormals) {
    out.beginChunk("vertexnormalsf");
    out.writeFloats(&s.normals[0][0], keptCount * 3);
    out.endChunk();
  }
  if (m_seen.faces) {
    out.beginChunk("faces");
    for (int32_t index : s.faces) out.writeInt(index);
    out.endChunk();
  }
  for (int l = 0; l < m_seen.layersRead && l < ModelStore::kMaxLayers; ++l) {
    out.beginChunk("texcoordlayer");
    const int d = s.layerDimensions[l];
    out.writeFloats(s.texCoords[l], keptCount * d);
    out.endChunk();
  }
  if (s.hasSkin) {
    out.beginChunk("skin");
    out.writeInt(m_seen.boneCount);
    for (int b = 0; b < m_seen.boneCount; ++b) out.writeString(s.boneNames[b]);
    for (int v = 0; v < keptCount; ++v) {
      // Each vertex's own count of kept influences, heaviest first.
      const int n = s.influenceCounts[v];
      out.writeInt(n);
      for (int i = 0; i < n; ++i) {
        out.writeInt(s.boneIndices[v][i]);
        out.writeFloat(s.boneWeights[v][i]);
      }
    }
    out.endChunk();
  }
}

}  // namespace tool
