// ChunkOutputStream: writes a chunk container (framing and value encodings
// in io/ChunkFormat.h).
//
// A header carries its body's length in front of the body, so everything
// that belongs to an open chunk is kept in one memory buffer; a chunk's
// length is filled in when it ends, and the bytes go to the underlying
// stream in one write when the outermost open chunk ends. Values written
// outside any chunk wait in the buffer for the next hand-over.
//
// The underlying stream is not owned. The stream operations
// inherited from FilterOutputStream (write, flush, toString) act on it
// directly: write bypasses the buffer and any open chunk. Destroying the
// stream drops chunks that were never ended and hands nothing over.
#pragma once

#include <vector>

#include "io/FilterOutputStream.h"
#include "lang/Ptr.h"
#include "lang/String.h"

namespace io {

class ChunkOutputStream : public FilterOutputStream {
 public:
  class ChunkOutputStreamImpl;

  // Writes nothing.
  explicit ChunkOutputStream(OutputStream* out);
  ~ChunkOutputStream() override;

  // Opens a chunk inside the innermost open one (if any). Throws
  // io::IOException as writeString for a name of more than 32767 UTF-8 bytes.
  void beginChunk(const lang::String& name);
  // Closes the innermost open chunk, filling in its length; the outermost
  // one hands the buffer over to the underlying stream in one write.
  // Throws io::IOException "Unpaired end chunk when writing {0}" when no
  // chunk is open, and whatever the underlying stream throws (the buffer
  // then keeps its bytes).
  void endChunk();

  // The chunk integer. INT_MIN has none: io::IOException "Chunk integer
  // {0} out of range when writing {1}", nothing written.
  void writeInt(int value);
  void writeFloat(float value);
  // The string encoding. Text of more than 32767 UTF-8 bytes throws
  // io::IOException "UTF-8 data of {0} bytes too long when writing {1}"
  // ({1} the underlying stream), nothing written.
  void writeString(const lang::String& value);
  // The bytes as they are, no length prefix.
  void writeBytes(const std::vector<unsigned char>& bytes);

  // Hands over the buffered bytes that lie outside any open chunk. Chunks
  // still open are incomplete: their bytes are dropped and they are
  // forgotten (a later endChunk is unpaired). Neither closes nor flushes
  // the underlying stream.
  void close() override;

  // Chunks begun and not yet ended.
  int openChunks() const;
  // Bytes waiting for the next hand-over.
  int bufferedSize() const;

 private:
  lang::Ptr<ChunkOutputStreamImpl> m_impl;
};

}  // namespace io
