// PatchableOutputStream: an output stream whose bytes, once written, can be
// overwritten in place. A writer that learns a value only after the bytes
// that follow it (a chunk's length, io/ChunkOutputStream.h) writes a
// placeholder, goes on writing, and patches the placeholder later, instead of
// holding everything in memory until the value is known.
//
// Positions count bytes from where the stream began (for a file opened
// empty: offsets in the file). A patch never moves the position and never
// changes the stream's length. One thread uses a stream at a time.
#pragma once

#include <cstdint>

#include "io/OutputStream.h"

namespace io {

class PatchableOutputStream : public OutputStream {
 public:
  // Returns where the next write goes: the bytes written so far. Throws
  // io::IOException "Failed to seek file position: {0}" when the stream
  // cannot tell.
  virtual std::int64_t getPosition() = 0;

  // Overwrites the size bytes that start at position with the bytes of src;
  // they must all have been written already (position >= 0 and position +
  // size <= getPosition()). Throws io::IOException "Failed to seek file
  // position: {0}" for a range outside the written bytes (nothing changes)
  // or a positioning that fails, "Failed to write to file: {0}" when the
  // bytes are not taken.
  virtual void patch(std::int64_t position, const void* src, int size) = 0;
};

}  // namespace io
