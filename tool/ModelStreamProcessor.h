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
// and writes its console lines to the stream it is given; the caller owns
// both and keeps them alive while the processor is used. What it reads of a
// model besides the store (the "info" fields, the subchunks seen) lives in
// two records that start afresh with every model. Problems of the container
// (malformed framing, a chunk running past the end of the file) are io
// exceptions that pass on; problems of a model's contents are lines. One
// thread.
//
// The processor's walk of the file is in ModelStreamProcessor.cpp, the
// reading and checks of a model in ModelReader.cpp, the writing of the
// result model in ModelWriter.cpp.
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

namespace tool {

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
  // Foreign subchunks are copied in pieces of this size, so that a large one
  // costs no more memory than this (with an output that patches its lengths
  // in place, io/ChunkOutputStream.h).
  static constexpr int kCopyPiece = 1 << 20;

  // Uses store for every model and writes its lines to console; neither is
  // owned.
  ModelStreamProcessor(ModelStore& store, std::ostream& console);

  // Processes the input's top-level chunk into the output. Returns true when
  // every model of it passed its checks, false when at least one was
  // rejected (and written as an empty "model" chunk). Throws the io
  // exceptions of the chunk streams for a malformed container, among them
  // io::EOFException "Unexpected end of file in {0}." for a foreign
  // subchunk that runs past the end of the input (the input's position then
  // just after that subchunk's header). After a failure the output holds
  // part of the result (its top-level chunk still open), to be abandoned.
  bool processStream(io::ChunkInputStream& in, io::ChunkOutputStream& out);

  // Reads the "model" chunk whose body starts at the input's position and
  // ends at modelEnd, checks it, welds it and writes the result model's
  // subchunks into the output chunk the caller has begun. Returns false after
  // a failed check (its line printed, nothing written). The caller ends the
  // output chunk and skips the input to modelEnd. Throws as processStream.
  bool processModel(io::ChunkInputStream& in, io::ChunkOutputStream& out, int modelEnd);

  // Writes the welded model's subchunks (keptCount vertices). Throws what
  // the output throws.
  void writeModel(io::ChunkOutputStream& out, int keptCount);

  // The welder, with the tables of the last weld.
  const VertexWelder& welder() const { return m_welder; }
  // Later console lines go to console (not owned; it must outlive their writing).
  void setConsole(std::ostream& console) { m_console = &console; }

  // Called with the store, the vertex count and the triangle count of every
  // model that passed its checks, just before it is welded (for tests).
  using WeldObserver = std::function<void(const ModelStore&, int, int)>;
  void setWeldObserverForTesting(WeldObserver observer) { m_observer = std::move(observer); }

 private:
  // What a model's "info" chunk declares, and the vertex format built from
  // it. Defaults: no colours, no extra layers.
  struct Info {
    int vertexCount = 0;
    int triangleCount = 0;
    int weightsPerVertex = 0;
    int layerCount = 0;  // as declared (may be negative; then rejected)
    int vertexColorSize = 0;
    bool extraLayersFlag = false;
    VertexFormat format;
  };
  // The subchunks read so far and what they gave besides the store.
  struct Seen {
    bool material = false;
    int materialValue = 0;
    bool points = false;
    bool faces = false;
    int layersRead = 0;
    int boneCount = 0;
  };

  // Each reading step returns false after printing the line of a failed
  // check, and throws the io exceptions of the input.
  bool reject(const char* line);
  // Copies the foreign subchunk at [start, end) of the input, header
  // included, whose header the input has just read. Throws as processStream.
  void copyForeign(io::ChunkInputStream& in, io::ChunkOutputStream& out, int start, int end);
  bool readInfo(io::ChunkInputStream& in);
  void buildFormat();
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
  std::vector<unsigned char> m_copy;  // one piece of a foreign subchunk

  // The model being read; both start afresh with every model.
  Info m_info;
  Seen m_seen;
  BoneInfluence m_scratch[kMaxSortedInfluences];  // one vertex's influences
};

}  // namespace tool
