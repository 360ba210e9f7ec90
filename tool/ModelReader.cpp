// Reading and checking one "model" chunk (ModelStreamProcessor::processModel).
// Every check prints its one line and abandons the model; only the first
// failure of a model is reported. The values come through the chunk
// stream's reads, blocks of them through its bulk reads.
#include <algorithm>
#include <climits>
#include <cstring>

#include "tool/ModelStreamProcessor.h"

namespace tool {

void sortInfluences(BoneInfluence* list, int count) {
  // Insertion sort: stable, and safe with any weights (a NaN compares false
  // and simply stays put). Lists are at most a few dozen pairs.
  for (int i = 1; i < count; ++i) {
    const BoneInfluence item = list[i];
    int j = i;
    for (; j > 0 && list[j - 1].weight < item.weight; --j) list[j] = list[j - 1];
    list[j] = item;
  }
}

bool ModelStreamProcessor::readInfo(io::ChunkInputStream& in) {
  lang::String name;
  int infoEnd = 0;
  in.beginChunk(name, infoEnd);
  if (!(name == "info")) {
    reject("ERROR - no info chunk");
    in.endChunk(infoEnd);
    return false;
  }
  Info& info = m_info;
  info.vertexCount = in.readInt();
  info.triangleCount = in.readInt();
  info.weightsPerVertex = in.readInt();
  info.layerCount = in.readInt();
  const char* failure = nullptr;
  if (info.vertexCount < 1)
    failure = "ERROR - invalid vertex count";
  else if (info.vertexCount > ModelStore::kMaxVertices)
    failure = "ERROR - too many vertices";
  else if (info.triangleCount < 0)
    failure = "ERROR - invalid triangle count";
  else if (info.weightsPerVertex < 0)
    failure = "ERROR - invalid per vertex weight count";
  // Every declared dimension is read and checked; the store keeps the
  // first kMaxLayers (a model declaring more fails the slot check below).
  for (int i = 0; !failure && i < info.layerCount; ++i) {
    const int d = in.readInt();
    if (i < ModelStore::kMaxLayers) m_store.layerDimensions[i] = d;
    if (d < 1 || d > ModelStore::kMaxLayerDimension)
      failure = "ERROR - invalid texture coordinate layer dimension";
  }
  if (!failure && in.getPosition() < infoEnd) {
    info.vertexColorSize = in.readInt();
    if (info.vertexColorSize != 0 && info.vertexColorSize != 3 && info.vertexColorSize != 4)
      failure = "ERROR - invalid vertex color size";
  }
  if (!failure && in.getPosition() < infoEnd) info.extraLayersFlag = in.readInt() != 0;
  if (failure) reject(failure);
  in.endChunk(infoEnd);  // skips the rest; throws when the fields ran past it
  if (failure) return false;

  // Vertex data slots: 1 for the extra-layers flag, 1 per declared layer, 2
  // for skinning. Each layer takes a slot, so the store's layers hold every
  // model that passes.
  const int64_t slots = (info.extraLayersFlag ? 1 : 0) + int64_t(info.layerCount) +
                        (info.weightsPerVertex > 0 ? 2 : 0);
  if (slots > ModelStore::kMaxLayers) return reject("ERROR - too many texture coordinate layers");
  m_store.layerCount = info.layerCount;
  buildFormat();
  return true;
}

void ModelStreamProcessor::buildFormat() {
  VertexFormat& format = m_info.format;
  format.reset();
  format.setWeightCount(m_info.weightsPerVertex);
  for (int i = 0; i < m_info.layerCount; ++i) format.addLayer(m_store.layerDimensions[i]);
  if (m_info.vertexColorSize > 0) format.enableColors();
  format.enableNormals();
  if (m_info.extraLayersFlag) {
    format.addLayer(3);
    format.addLayer(3);
  }
}

bool ModelStreamProcessor::readSubchunks(io::ChunkInputStream& in, int modelEnd) {
  m_store.hasSkin = false;
  m_store.hasNormals = false;
  const int vertices = m_info.vertexCount;
  while (in.getPosition() < modelEnd) {
    lang::String name;
    int end = 0;
    in.beginChunk(name, end);
    if (name == "material") {
      m_seen.materialValue = in.readInt();
      m_seen.material = true;
    } else if (name == "points") {
      in.readFloats(&m_store.positions[0][0], vertices * 3);
      m_seen.points = true;
    } else if (name == "vertexnormalsf") {
      // Every format has normals.
      in.readFloats(&m_store.normals[0][0], vertices * 3);
      m_store.hasNormals = true;
    } else if (name == "faces") {
      if (!readFaces(in, end)) return false;
    } else if (name == "vertexcolors") {
      // The colours are read past, not kept: the result carries none.
      if (m_info.format.hasColors()) in.skipBytes(vertices * m_info.vertexColorSize);
    } else if (name == "texcoordlayer") {
      readTexCoordLayer(in);
    } else if (name == "skin") {
      if (m_info.weightsPerVertex > 0) {
        if (!readSkin(in, end)) return false;
      } else {
        clearInfluences();  // not read: the model has no influences
      }
      m_store.hasSkin = true;
    }
    if (in.getPosition() > end) {
      reject("ERROR - chunk read overflow in model chunk");
      in.endChunk(end);  // throws: the position is past the end
      return false;
    }
    in.endChunk(end);
  }
  return true;
}

namespace {

// Face indices are read in blocks of at most this many.
constexpr int kFaceBlock = 1 << 14;

}  // namespace

bool ModelStreamProcessor::readFaces(io::ChunkInputStream& in, int end) {
  // The face storage grows by the indices actually read (a block at a time),
  // so a declared count cannot make it much larger than the file's contents.
  std::vector<int32_t>& faces = m_store.faces;
  faces.clear();
  const int lastVertex = m_info.vertexCount - 1;
  int64_t left = int64_t(m_info.triangleCount) * 3;
  while (left > 0) {
    const int want = int(std::min<int64_t>(left, kFaceBlock));
    const size_t at = faces.size();
    faces.resize(at + size_t(want));
    const int got = in.readInts(&faces[at], want, 0, lastVertex);
    const int32_t last = faces[at + size_t(got) - 1];
    if (got < want || last < 0 || last > lastVertex) {
      faces.resize(at + size_t(got) - 1);
      reject("ERROR - invalid vertex index");
      in.endChunk(end);
      return false;
    }
    left -= want;
  }
  m_seen.faces = true;
  return true;
}

void ModelStreamProcessor::readTexCoordLayer(io::ChunkInputStream& in) {
  const int layer = m_seen.layersRead;
  if (layer >= m_info.format.getLayerCount()) return;  // ignored, not counted
  if (layer < m_info.layerCount) {
    const int d = m_store.layerDimensions[layer];
    in.readFloats(m_store.texCoords[layer], m_info.vertexCount * d);
  }
  // A layer beyond the declared ones (the extra-layers flag) is counted only.
  ++m_seen.layersRead;
}

void ModelStreamProcessor::clearInfluences() {
  for (int v = 0; v < m_info.vertexCount; ++v) {
    std::memset(m_store.boneIndices[v], 0, sizeof m_store.boneIndices[v]);
    std::memset(m_store.boneWeights[v], 0, sizeof m_store.boneWeights[v]);
    m_store.influenceCounts[v] = 0;
  }
}

bool ModelStreamProcessor::readSkin(io::ChunkInputStream& in, int end) {
  const int bones = in.readInt();
  m_seen.boneCount = bones;
  if (bones > ModelStore::kMaxBones) {
    reject("ERROR - too many bones");
    in.endChunk(end);
    return false;
  }
  for (int b = 0; b < bones; ++b) m_store.boneNames[b] = in.readString();
  for (int v = 0; v < m_info.vertexCount; ++v) {
    const int n = in.readInt();
    int listed = 0;
    for (int i = 0; i < n; ++i) {
      const int bone = in.readInt();
      const float weight = in.readFloat();
      if (bone < 0 || bone >= bones) {
        reject("ERROR - invalid bone index");
        in.endChunk(end);
        return false;
      }
      if (listed < kMaxSortedInfluences) m_scratch[listed++] = BoneInfluence{bone, weight};
    }
    sortInfluences(m_scratch, listed);
    const int kept = std::min(listed, ModelStore::kInfluenceSlots);
    for (int s = 0; s < ModelStore::kInfluenceSlots; ++s) {
      m_store.boneIndices[v][s] = s < kept ? m_scratch[s].bone : 0;
      m_store.boneWeights[v][s] = s < kept ? m_scratch[s].weight : 0.0f;
    }
    m_store.influenceCounts[v] = static_cast<uint8_t>(kept);
  }
  return true;
}

bool ModelStreamProcessor::finalChecks() {
  if (m_seen.layersRead != m_info.layerCount)
    return reject("ERROR - missing texture coordinate layer subchunk in model chunk");
  if (!m_seen.material) return reject("ERROR - missing material subchunk in model chunk");
  if (!m_seen.points) return reject("ERROR - missing points subchunk in model chunk");
  if (!m_seen.faces) return reject("ERROR - missing faces subchunk in model chunk");
  if (!m_store.hasSkin && m_info.weightsPerVertex > 0)
    return reject("ERROR - missing skin subchunk");
  return true;
}

}  // namespace tool
