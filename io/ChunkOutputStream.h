// ChunkOutputStream: writes a chunk container (framing and value encodings
// in io/ChunkFormat.h).
//
// A header carries its body's length in front of the body. How the length
// gets there depends on the underlying stream:
// - Over a plain OutputStream, everything that belongs to an open chunk is
//   kept in one memory buffer; a chunk's length is filled in when it ends,
//   and the bytes go to the underlying stream in one write when the
//   outermost open chunk ends.
// - Over an io::PatchableOutputStream, the bytes go through a buffer of
//   kPassOnSize bytes to the stream as it fills, and a chunk whose header has
//   already been passed on gets its length patched in place when it ends;
//   the outermost endChunk passes on the rest. Memory stays bounded however
//   large the chunks.
// Both give the same bytes and the same failures for the same calls. They
// differ only in what an abandoned stream leaves (close or destruction with
// chunks open, below), in where bytes written to the stream directly land,
// and in when errors of the stream surface: over a plain stream only at a
// hand-over, over a patchable one also when the buffer is passed on and
// when a length is patched. Values written outside any chunk wait in the
// buffer for the next hand-over.
//
// The underlying stream is not owned. The stream operations inherited from
// FilterOutputStream (write, flush, toString) act on it directly: write
// bypasses the buffer and any open chunk. Over a plain stream such bytes
// land before the outermost open chunk; over a patchable one, before the
// buffered bytes, that is inside each open chunk whose header was passed on
// already (and counted in its length). One thread.
#pragma once

#include <vector>

#include "io/FilterOutputStream.h"
#include "lang/Ptr.h"
#include "lang/String.h"

namespace io {

class ChunkOutputStream : public FilterOutputStream {
 public:
  class ChunkOutputStreamImpl;

  // Over a patchable stream, the bytes the buffer gathers before it passes
  // them on: large enough that writes to the stream are few and large.
  static const int kPassOnSize = 64 * 1024;

  // Patches lengths when out is an io::PatchableOutputStream, buffers whole
  // chunks otherwise. Writes nothing.
  explicit ChunkOutputStream(OutputStream* out);
  // Over a plain stream: drops chunks that were never ended and hands
  // nothing over. Over a patchable stream: what was passed on stays in the
  // stream as it is (an open chunk's length still 0), the rest is dropped.
  ~ChunkOutputStream() override;

  // Opens a chunk inside the innermost open one (if any). Throws
  // io::IOException as writeString for a name of more than 32767 UTF-8 bytes.
  void beginChunk(const lang::String& name);
  // Closes the innermost open chunk, filling in its length; the outermost
  // one hands the buffer over to the underlying stream in one write.
  // Throws io::IOException "Unpaired end chunk when writing {0}" when no
  // chunk is open, "Invalid chunk {0} size when writing {1}" for a body
  // past 2^31 - 1 bytes (over a patchable stream, bytes written to it
  // directly while the chunk was open count), and whatever the underlying
  // stream throws (the buffer then keeps its bytes).
  void endChunk();

  // Each value is appended whole or not at all. Throws io::IOException
  // "Invalid chunk {0} size when writing {1}" when the bytes since the last
  // hand-over would pass 2^31 - 1 ({0} the innermost open chunk's name);
  // over a patchable stream, whatever the stream throws when the buffer is
  // passed on (the value is then not appended).

  // The chunk integer. INT_MIN has none: io::IOException "Chunk integer
  // {0} out of range when writing {1}", nothing written.
  void writeInt(int value);
  void writeFloat(float value);
  // The count values of values in order, with the bytes and failures of
  // count calls of writeFloat (the values before a failing one stay
  // appended), in far fewer steps. Nothing for a count of 0 or less.
  void writeFloats(const float* values, int count);
  // The string encoding. Text of more than 32767 UTF-8 bytes throws
  // io::IOException "UTF-8 data of {0} bytes too long when writing {1}"
  // ({1} the underlying stream), nothing written.
  void writeString(const lang::String& value);
  // The bytes as they are, no length prefix. Over a patchable stream, bytes
  // beyond kPassOnSize go to the stream in one write of their own.
  void writeBytes(const std::vector<unsigned char>& bytes);

  // Hands over the buffered bytes that lie outside any open chunk. Chunks
  // still open are incomplete: they are forgotten (a later endChunk is
  // unpaired) and their bytes are dropped, except, over a patchable stream,
  // those already passed on, which stay with their lengths still 0. Neither
  // closes nor flushes the underlying stream.
  void close() override;

  // Chunks begun and not yet ended.
  int openChunks() const;
  // Bytes waiting in the buffer for the next hand-over (over a patchable
  // stream, at most kPassOnSize).
  int bufferedSize() const;
  // Whether lengths are patched in place (the stream is patchable).
  bool patchesLengths() const;

 private:
  lang::Ptr<ChunkOutputStreamImpl> m_impl;
};

}  // namespace io
