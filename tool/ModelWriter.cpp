// Writing the result: the file walk of ModelStreamProcessor::processStream
// (foreign subchunks copied byte for byte) and the welded model (writeModel).
#include <iostream>

#include "io/EOFException.h"
#include "io/Raise.h"
#include "tool/ModelStreamProcessor.h"

bool ModelStreamProcessor::processStream(io::ChunkInputStream& in, io::ChunkOutputStream& out) {
  lang::String topName;
  int topEnd = 0;
  in.beginChunk(topName, topEnd);
  const int header = in.readInt();
  out.beginChunk(topName);
  out.writeInt(header);
  bool allPassed = true;
  while (in.getPosition() < topEnd) {
    lang::String name;
    int end = 0;
    const int start = in.beginChunk(name, end);
    if (name == "model") {
      out.beginChunk(name);
      if (!processModel(in, out, end)) allPassed = false;
      out.endChunk();
    } else {
      // The whole subchunk, header included. One that the file does not
      // hold to its end is not padded into a copy that looks whole.
      in.readBytes(m_copy, start, end - start);
      if (m_copy.size() != size_t(end - start))
        io::detail::raise<io::EOFException>("Unexpected end of file in {0}.", in.toString());
      out.writeBytes(m_copy);
    }
    in.endChunk(end);
  }
  out.endChunk();
  in.endChunk(topEnd);
  return allPassed;
}

void ModelStreamProcessor::writeModel(io::ChunkOutputStream& out, int keptCount) {
  const ModelStore& s = m_store;
  out.beginChunk("info");
  out.writeInt(keptCount);
  out.writeInt(m_triangleCount);
  out.writeInt(m_weightsPerVertex);
  out.writeInt(m_layerCount);
  for (int l = 0; l < m_layerCount; ++l) out.writeInt(s.layerDimensions[l]);
  out.writeInt(m_vertexColorSize);
  out.writeInt(m_extraLayersFlag ? 1 : 0);
  out.endChunk();

  if (m_materialSeen) {
    out.beginChunk("material");
    out.writeInt(m_material);
    out.endChunk();
  }
  if (m_pointsSeen) {
    out.beginChunk("points");
    for (int v = 0; v < keptCount; ++v)
      for (int c = 0; c < 3; ++c) out.writeFloat(s.positions[v][c]);
    out.endChunk();
  }
  if (s.hasNormals) {
    out.beginChunk("vertexnormalsf");
    for (int v = 0; v < keptCount; ++v)
      for (int c = 0; c < 3; ++c) out.writeFloat(s.normals[v][c]);
    out.endChunk();
  }
  if (m_facesSeen) {
    out.beginChunk("faces");
    for (int32_t index : s.faces) out.writeInt(index);
    out.endChunk();
  }
  for (int l = 0; l < m_layersRead && l < ModelStore::kMaxLayers; ++l) {
    out.beginChunk("texcoordlayer");
    const int d = s.layerDimensions[l];
    for (int i = 0; i < keptCount * d; ++i) out.writeFloat(s.texCoords[l][i]);
    out.endChunk();
  }
  if (s.hasSkin) {
    out.beginChunk("skin");
    out.writeInt(m_boneCount);
    for (int b = 0; b < m_boneCount; ++b) out.writeString(s.boneNames[b]);
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

bool processStream(io::ChunkInputStream& in, io::ChunkOutputStream& out) {
  return processStream(in, out, std::cout);
}

bool processStream(io::ChunkInputStream& in, io::ChunkOutputStream& out, std::ostream& console) {
  static ModelStreamProcessor processor(theModelStore(), std::cout);
  processor.setConsole(console);
  return processor.processStream(in, out);
}
