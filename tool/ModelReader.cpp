// Reading and checking one "model" chunk (ModelStreamProcessor::processModel).
// Every check prints its one line and abandons the model; only the first
// failure of a model is reported.
#include <algorithm>
#include <climits>
#include <cstring>

#include "io/ChunkFormat.h"
#include "tool/ModelStreamProcessor.h"

namespace {

// Vertex data slots: 1 for the extra-layers flag, 1 per declared layer, 2
// for skinning; at most this many.
constexpr int64_t kMaxSlots = 16;

}  // namespace

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

ModelStreamProcessor::ModelStreamProcessor(ModelStore& store, std::ostream& console)
    : m_store(store), m_console(&console) {}

void ModelStreamProcessor::readFloats(io::ChunkInputStream& in, float* out, int count) {
  // Reads count floats as count readFloat calls would (same values, same
  // position afterwards, the same io::EOFException when the file ends
  // first), through one block copy instead of a call per value.
  if (count <= 0) return;
  const int start = in.getPosition();
  const int64_t bytes = int64_t(count) * 4;
  if (start > INT_MAX - bytes) {  // positions near the 2 GB limit: value by value
    for (int i = 0; i < count; ++i) out[i] = in.readFloat();
    return;
  }
  in.readBytes(m_block, start, int(bytes));
  const size_t whole = m_block.size() / 4;
  for (size_t i = 0; i < whole; ++i) {
    const unsigned char* b = &m_block[i * 4];
    const uint32_t bits = uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3];
    std::memcpy(&out[i], &bits, sizeof bits);
  }
  in.endChunk(start + int(whole * 4));        // moves the position past them
  if (whole < size_t(count)) in.readFloat();  // the file ends inside the next: throws
}

bool ModelStreamProcessor::reject(const char* line) {
  *m_console << line << "\n";
  return false;
}

bool ModelStreamProcessor::processModel(io::ChunkInputStream& in, io::ChunkOutputStream& out,
                                        int modelEnd) {
  // A "model" chunk with no subchunk at all (as a rejected model is written)
  // has no "info": nothing past its end is read as one.
  if (in.getPosition() >= modelEnd) return reject("ERROR - no info chunk");
  if (!readInfo(in)) return false;
  if (!readSubchunks(in, modelEnd)) return false;
  if (!finalChecks()) return false;
  if (m_observer) m_observer(m_store, m_vertexCount, m_triangleCount);
  const int kept = m_welder.weldVertices(m_store, m_vertexCount, m_triangleCount);
  printWeldReport(*m_console, m_vertexCount, kept);
  writeModel(out, kept);
  return true;
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
  m_vertexCount = in.readInt();
  m_triangleCount = in.readInt();
  m_weightsPerVertex = in.readInt();
  m_layerCount = in.readInt();
  const char* failure = nullptr;
  if (m_vertexCount < 1)
    failure = "ERROR - invalid vertex count";
  else if (m_vertexCount > ModelStore::kMaxVertices)
    failure = "ERROR - too many vertices";
  else if (m_triangleCount < 0)
    failure = "ERROR - invalid triangle count";
  else if (m_weightsPerVertex < 0)
    failure = "ERROR - invalid per vertex weight count";
  // Every declared dimension is read and checked; the store keeps the
  // first 16 (a model declaring more fails the slot check below).
  for (int i = 0; !failure && i < m_layerCount; ++i) {
    const int d = in.readInt();
    if (i < ModelStore::kMaxLayers) m_store.layerDimensions[i] = d;
    if (d < 1 || d > ModelStore::kMaxLayerDimension)
      failure = "ERROR - invalid texture coordinate layer dimension";
  }
  m_vertexColorSize = 0;
  m_extraLayersFlag = false;
  if (!failure && in.getPosition() < infoEnd) {
    m_vertexColorSize = in.readInt();
    if (m_vertexColorSize != 0 && m_vertexColorSize != 3 && m_vertexColorSize != 4)
      failure = "ERROR - invalid vertex color size";
  }
  if (!failure && in.getPosition() < infoEnd) m_extraLayersFlag = in.readInt() != 0;
  if (failure) reject(failure);
  in.endChunk(infoEnd);  // skips the rest; throws when the fields ran past it
  if (failure) return false;

  const int64_t slots =
      (m_extraLayersFlag ? 1 : 0) + int64_t(m_layerCount) + (m_weightsPerVertex > 0 ? 2 : 0);
  if (slots > kMaxSlots) return reject("ERROR - too many texture coordinate layers");
  m_store.layerCount = m_layerCount;

  m_format.reset();
  m_format.setWeightCount(m_weightsPerVertex);
  for (int i = 0; i < m_layerCount; ++i) m_format.addLayer(m_store.layerDimensions[i]);
  if (m_vertexColorSize > 0) m_format.enableColors();
  m_format.enableNormals();
  if (m_extraLayersFlag) {
    m_format.addLayer(3);
    m_format.addLayer(3);
  }
  return true;
}

bool ModelStreamProcessor::readSubchunks(io::ChunkInputStream& in, int modelEnd) {
  m_store.hasSkin = false;
  m_store.hasNormals = false;
  m_materialSeen = m_pointsSeen = m_facesSeen = false;
  m_layersRead = 0;
  m_boneCount = 0;
  m_material = 0;
  while (in.getPosition() < modelEnd) {
    lang::String name;
    int end = 0;
    in.beginChunk(name, end);
    if (name == "material") {
      m_material = in.readInt();
      m_materialSeen = true;
    } else if (name == "points") {
      readFloats(in, &m_store.positions[0][0], m_vertexCount * 3);
      m_pointsSeen = true;
    } else if (name == "vertexnormalsf") {
      if (m_format.hasNormals()) {
        readFloats(in, &m_store.normals[0][0], m_vertexCount * 3);
        m_store.hasNormals = true;
      }
    } else if (name == "faces") {
      if (!readFaces(in, end)) return false;
    } else if (name == "vertexcolors") {
      // The colours are read past, not kept: the result carries none.
      if (m_format.hasColors()) skipBytes(in, int64_t(m_vertexCount) * m_vertexColorSize);
    } else if (name == "texcoordlayer") {
      readTexCoordLayer(in);
    } else if (name == "skin") {
      if (m_weightsPerVertex > 0) {
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

void ModelStreamProcessor::skipBytes(io::ChunkInputStream& in, int64_t count) {
  // As count readByte calls: the position moves over them, and a file that
  // ends first fails with readByte's io::EOFException.
  const int start = in.getPosition();
  if (start > INT_MAX - count) {
    for (int64_t i = 0; i < count; ++i) in.readByte();
    return;
  }
  in.endChunk(start + int(count));                      // skips as far as the file goes
  if (in.getPosition() < start + count) in.readByte();  // the file ended: throws
}

namespace {

// Decodes one chunk integer from bytes [at, size) as ChunkInputStream::readInt
// does. Returns the bytes it took, or 0 when the integer is not whole in
// the block or is one that readInt refuses (the caller then leaves it to
// readInt, with its own failures).
size_t decodeInteger(const unsigned char* bytes, size_t at, size_t size, int* value) {
  if (at >= size) return 0;
  unsigned b = bytes[at];
  const bool negative = (b & io::chunk::kNegativeFlag) != 0;
  uint64_t magnitude = b >> 2;
  int shift = io::chunk::kFirstGroupBits;
  size_t i = at + 1;
  for (int count = 1; b & io::chunk::kMoreFlag; ++count) {
    if (count == io::chunk::kMaxIntegerBytes || i >= size) return 0;
    b = bytes[i++];
    magnitude |= uint64_t(b >> 1) << shift;
    shift += io::chunk::kNextGroupBits;
  }
  if (magnitude > io::chunk::kMaxMagnitude) return 0;
  *value = negative ? -int(magnitude) : int(magnitude);
  return i - at;
}

// Face indices are decoded from blocks of at most this many bytes.
constexpr int64_t kFaceBlock = 1 << 16;

}  // namespace

bool ModelStreamProcessor::readFaces(io::ChunkInputStream& in, int end) {
  // The face storage grows with the indices actually read, so a declared
  // count cannot make it larger than the file's contents. The indices are
  // decoded from blocks; the position moves exactly as readInt would move it.
  std::vector<int32_t>& faces = m_store.faces;
  faces.clear();
  int64_t left = int64_t(m_triangleCount) * 3;
  while (left > 0) {
    const int start = in.getPosition();
    const int64_t want = std::min(left * io::chunk::kMaxIntegerBytes, kFaceBlock);
    size_t used = 0;
    int index = 0;
    bool whole = true;
    if (start <= INT_MAX - want) {
      in.readBytes(m_block, start, int(want));
      for (; left > 0; --left) {
        const size_t n = decodeInteger(m_block.data(), used, m_block.size(), &index);
        if (n == 0) break;
        used += n;
        if (index < 0 || index >= m_vertexCount) {
          whole = false;
          break;
        }
        faces.push_back(index);
      }
      in.endChunk(start + int(used));  // past the indices decoded
    }
    if (whole && left > 0 && used == 0) {
      index = in.readInt();  // not whole in the block, or refused: readInt decides
      whole = index >= 0 && index < m_vertexCount;
      if (whole) {
        faces.push_back(index);
        --left;
      }
    }
    if (!whole) {
      reject("ERROR - invalid vertex index");
      in.endChunk(end);
      return false;
    }
  }
  m_facesSeen = true;
  return true;
}

void ModelStreamProcessor::readTexCoordLayer(io::ChunkInputStream& in) {
  if (m_layersRead >= m_format.getLayerCount()) return;  // ignored, not counted
  if (m_layersRead < m_layerCount) {
    const int d = m_store.layerDimensions[m_layersRead];
    readFloats(in, m_store.texCoords[m_layersRead], m_vertexCount * d);
  }
  // A layer beyond the declared ones (the extra-layers flag) is counted only.
  ++m_layersRead;
}

void ModelStreamProcessor::clearInfluences() {
  for (int v = 0; v < m_vertexCount; ++v) {
    std::memset(m_store.boneIndices[v], 0, sizeof m_store.boneIndices[v]);
    std::memset(m_store.boneWeights[v], 0, sizeof m_store.boneWeights[v]);
    m_store.influenceCounts[v] = 0;
  }
}

bool ModelStreamProcessor::readSkin(io::ChunkInputStream& in, int end) {
  m_boneCount = in.readInt();
  if (m_boneCount > ModelStore::kMaxBones) {
    reject("ERROR - too many bones");
    in.endChunk(end);
    return false;
  }
  for (int b = 0; b < m_boneCount; ++b) m_store.boneNames[b] = in.readString();
  for (int v = 0; v < m_vertexCount; ++v) {
    const int n = in.readInt();
    int listed = 0;
    for (int i = 0; i < n; ++i) {
      const int bone = in.readInt();
      const float weight = in.readFloat();
      if (bone < 0 || bone >= m_boneCount) {
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
  if (m_layersRead != m_layerCount)
    return reject("ERROR - missing texture coordinate layer subchunk in model chunk");
  if (!m_materialSeen) return reject("ERROR - missing material subchunk in model chunk");
  if (!m_pointsSeen) return reject("ERROR - missing points subchunk in model chunk");
  if (!m_facesSeen) return reject("ERROR - missing faces subchunk in model chunk");
  if (!m_store.hasSkin && m_weightsPerVertex > 0) return reject("ERROR - missing skin subchunk");
  return true;
}
