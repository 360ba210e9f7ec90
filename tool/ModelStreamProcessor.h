// ModelStreamProcessor: turns one model file into its result. It walks the
// input's top-level chunk, copies every foreign subchunk byte for byte, and
// rewrites every "model" subchunk: the model is read into the ModelStore and
// checked (one "ERROR - " line and an empty "model" chunk when a check
// fails), its vertices are welded (the "INFO - optimization" line), and the
// welded model is written.
//
// Layout of a "model" chunk: "info" first (vertex count, triangle count,
// weights per vertex, layer count, the layer dimensions, then optionally the
// vertex colour size and the extra-layers flag), then in any order
// "material", "points", "vertexnormalsf", "faces", "vertexcolors",
// "texcoordlayer" (one per declared layer) and "skin"; other names are
// skipped. The result model holds "info" with all seven fields, "material",
// "points", "vertexnormalsf" (when read), "faces", the texture coordinate
// layers and "skin" (when present); never "vertexcolors".
//
// The processor uses the store it is given for every model, one at a time,
// and writes its console lines to the stream it is given. Problems of the
// container (malformed framing, a chunk running past the end of the file)
// are io exceptions that pass on; problems of a model's contents are lines.
#pragma once

#include <cstdint>
#include <functional>
#include <ostream>
#include <vector>

#include "io/ChunkInputStream.h"
#include "io/ChunkOutputStream.h"
#include "tool/ModelStore.h"
#include "tool/VertexFormat.h"
#include "tool/VertexWelder.h"

// One influence of a vertex: a bone and its weight.
struct BoneInfluence {
  int32_t bone;
  float weight;
};

// Sorts count influences by weight, largest first. Stable: influences of
// equal weight keep their order (a NaN weight stays where it is relative to
// its neighbours; the sort never reads outside the list).
void sortInfluences(BoneInfluence* list, int count);

class ModelStreamProcessor {
 public:
  // Influence pairs of one vertex that reach the sort; later pairs are
  // validated but dropped.
  static constexpr int kMaxSortedInfluences = 32;

  ModelStreamProcessor(ModelStore& store, std::ostream& console);

  // Processes the input's top-level chunk into the output. Returns true when
  // every model of it passed its checks, false when at least one was
  // rejected (and written as an empty "model" chunk). Throws the io
  // exceptions of the chunk streams for a malformed container, among them
  // io::EOFException "Unexpected end of file in {0}." for a foreign
  // subchunk that runs past the end of the input.
  bool processStream(io::ChunkInputStream& in, io::ChunkOutputStream& out);

  // Reads the "model" chunk whose body starts at the input's position and
  // ends at modelEnd, checks it, welds it and writes the result model's
  // subchunks into the output chunk the caller has begun. Returns false after
  // a failed check (its line printed, nothing written). The caller ends the
  // output chunk and skips the input to modelEnd.
  bool processModel(io::ChunkInputStream& in, io::ChunkOutputStream& out, int modelEnd);

  // Writes the welded model's subchunks (keptCount vertices).
  void writeModel(io::ChunkOutputStream& out, int keptCount);

  const VertexWelder& welder() const { return m_welder; }
  // Later console lines go to console (not owned; it must outlive their writing).
  void setConsole(std::ostream& console) { m_console = &console; }

  // Called with the store, the vertex count and the triangle count of every
  // model that passed its checks, just before it is welded (for tests).
  using WeldObserver = std::function<void(const ModelStore&, int, int)>;
  void setWeldObserverForTesting(WeldObserver observer) { m_observer = std::move(observer); }

 private:
  bool reject(const char* line);
  void readFloats(io::ChunkInputStream& in, float* out, int count);
  void skipBytes(io::ChunkInputStream& in, int64_t count);
  bool readInfo(io::ChunkInputStream& in);
  bool readSubchunks(io::ChunkInputStream& in, int modelEnd);
  bool readFaces(io::ChunkInputStream& in, int end);
  void readTexCoordLayer(io::ChunkInputStream& in);
  bool readSkin(io::ChunkInputStream& in, int end);
  void clearInfluences();
  bool finalChecks();

  ModelStore& m_store;
  std::ostream* m_console;  // not owned
  VertexWelder m_welder;
  WeldObserver m_observer;
  std::vector<unsigned char> m_copy;   // one foreign subchunk at a time
  std::vector<unsigned char> m_block;  // a block of floats being read

  // Per-model reading state.
  int m_vertexCount = 0;
  int m_triangleCount = 0;
  int m_weightsPerVertex = 0;
  int m_layerCount = 0;  // as declared (may be negative; then rejected)
  int m_vertexColorSize = 0;
  bool m_extraLayersFlag = false;
  int m_material = 0;
  int m_boneCount = 0;
  bool m_materialSeen = false;
  bool m_pointsSeen = false;
  bool m_facesSeen = false;
  int m_layersRead = 0;
  VertexFormat m_format;
  BoneInfluence m_scratch[kMaxSortedInfluences];
};

// The batch tool's processing of one file: a processor over the process-wide
// store, its lines on standard output, or on console. Same contract as
// ModelStreamProcessor::processStream.
bool processStream(io::ChunkInputStream& in, io::ChunkOutputStream& out);
bool processStream(io::ChunkInputStream& in, io::ChunkOutputStream& out, std::ostream& console);
