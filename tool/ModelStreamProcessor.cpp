// ModelStreamProcessor: the walk of one model file (processStream) and of
// one "model" chunk (processModel): read and checked (ModelReader.cpp),
// welded, written (ModelWriter.cpp).
#include "tool/ModelStreamProcessor.h"

#include <algorithm>

#include "io/EOFException.h"
#include "io/Raise.h"

namespace tool {

ModelStreamProcessor::ModelStreamProcessor(ModelStore& store, std::ostream& console)
    : m_store(store), m_console(&console) {}

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
      copyForeign(in, out, start, end);
    }
    in.endChunk(end);
  }
  out.endChunk();
  in.endChunk(topEnd);
  return allPassed;
}

void ModelStreamProcessor::copyForeign(io::ChunkInputStream& in, io::ChunkOutputStream& out,
                                       int start, int end) {
  // The whole subchunk, header included, a piece at a time; the input's
  // position stays after the header all along. One that the file does not
  // hold to its end is not padded into a copy that looks whole.
  for (int at = start; at < end;) {
    const int piece = std::min(end - at, kCopyPiece);
    in.readBytes(m_copy, at, piece);
    if (m_copy.size() != size_t(piece))
      io::detail::raise<io::EOFException>("Unexpected end of file in {0}.", in.toString());
    out.writeBytes(m_copy);
    at += piece;
  }
}

bool ModelStreamProcessor::processModel(io::ChunkInputStream& in, io::ChunkOutputStream& out,
                                        int modelEnd) {
  m_info = Info();
  m_seen = Seen();
  // A "model" chunk with no subchunk at all (as a rejected model is written)
  // has no "info": nothing past its end is read as one.
  if (in.getPosition() >= modelEnd) return reject("ERROR - no info chunk");
  if (!readInfo(in)) return false;
  if (!readSubchunks(in, modelEnd)) return false;
  if (!finalChecks()) return false;
  const int vertices = m_info.vertexCount;
  if (m_observer) m_observer(m_store, vertices, m_info.triangleCount);
  const int kept = m_welder.weldVertices(m_store, vertices, m_info.triangleCount);
  printWeldReport(*m_console, vertices, kept);
  writeModel(out, kept);
  return true;
}

bool ModelStreamProcessor::reject(const char* line) {
  *m_console << line << "\n";
  return false;
}

}  // namespace tool
