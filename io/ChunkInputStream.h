// ChunkInputStream: walks a chunk container sequentially (framing and value
// encodings in io/ChunkFormat.h).
//
// It reads through one member DataInputStream over the same source; that
// stream's byte count is the chunk stream's position: a byte offset from
// where the source stood when the chunk stream was made, which must be the
// source's offset 0 (readBytes seeks to such positions). Calls made through
// the InputStream interface go straight to the source and leave the position
// alone.
//
// The reader does not track open chunks: the caller pairs beginChunk with
// endChunk, and loops over a chunk's children while getPosition() < end. No
// value read checks the end of its chunk; the following endChunk reports a
// body read past its end. The source is not owned.
#pragma once

#include <climits>
#include <vector>

#include "io/DataInputStream.h"
#include "io/FilterInputStream.h"
#include "lang/String.h"

namespace io {

class ChunkInputStream : public FilterInputStream {
 public:
  // Position 0; reads nothing.
  explicit ChunkInputStream(InputStream* in);
  ~ChunkInputStream() override;

  // Reads a chunk header. Returns the position of its first byte; name
  // receives the chunk's name, end the position just past its body.
  // Throws io::IOException "Invalid chunk {2} length at {0,#} while
  // reading {1}" when the length is negative or the end would pass
  // 2^31 - 1; io::EOFException / "Invalid UTF-8 data in {0}." as readUTF.
  int beginChunk(lang::String& name, int& end);
  // Skips what is left of the chunk up to end (only as far as the source
  // goes). Throws io::IOException "Chunk read overflow at {0,#} while
  // reading {1}" when the position is already past end.
  void endChunk(int end);
  int getPosition() const { return m_data.getPosition(); }

  // One chunk integer. Throws io::IOException "Invalid chunk integer at
  // {0,#} while reading {1}" ({0} its first byte) for more than 5 bytes or
  // a magnitude past 2^31 - 1; io::EOFException when the source ends.
  int readInt();
  // A 4-byte big-endian float, a string, a byte; io::EOFException at the end.
  float readFloat();
  lang::String readString();
  unsigned char readByte();
  // Copies the length bytes that start at position start into buffer and
  // returns to the current position. When the source ends first, buffer
  // holds only the bytes it delivered; the buffer grows with the bytes that
  // arrive, never to a declared length the source does not have. Throws
  // io::IOException "Failed to seek file position: {0}" when the source
  // cannot be positioned at start or back.
  void readBytes(std::vector<unsigned char>& buffer, int start, int length);

  // Bulk reads: each gives what a loop of the single reads above gives (the
  // same values, the same position afterwards, and the same exception at the
  // same position when the source ends or a value is refused), asking the
  // source for many bytes at a time. The loops they stand for are named.

  // count floats into out: for i < count, out[i] = readFloat(). Their bytes
  // come in one read of the source, as each float's four do for readFloat:
  // a source that delivers fewer counts as ended. After io::EOFException
  // out holds every float that was whole; the slot of a partial one is
  // overwritten. count <= 0 reads nothing.
  void readFloats(float* out, int count);
  // Chunk integers into out: for i < count, out[i] = readInt(), stopping
  // after the first value outside [low, high]. Returns how many were stored,
  // that value included. Throws what readInt throws.
  int readInts(int* out, int count, int low = INT_MIN, int high = INT_MAX);
  // count readByte calls, the bytes dropped (count <= 0: none). When the
  // source ends first, io::EOFException with the position at its end.
  void skipBytes(int count);
  // readByte calls, the bytes dropped, up to position (none when the
  // position is there or past it). Throws as skipBytes.
  void skipTo(int position);

 private:
  // Puts the source back to position, bytes read past a stop of readInts.
  // Throws io::IOException "Failed to seek file position: {0}".
  void seekBack(int position);

  DataInputStream m_data;
};

}  // namespace io
