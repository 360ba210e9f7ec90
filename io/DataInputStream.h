// DataInputStream: reads big-endian values and strings from another stream.
//
// Values are decoded host-independently: short, int and float are read
// most significant byte first; a string is a 16-bit byte count (0 to 32767)
// followed by that many bytes of UTF-8. The stream counts every byte it
// consumes (getPosition); a chunk stream uses that count as its position.
//
// The source is not owned. The stream owns one byte buffer, reused by every
// readUTF, and frees it on destruction.
#pragma once

#include <string>

#include "io/FilterInputStream.h"
#include "lang/String.h"

namespace io {

class DataInputStream : public FilterInputStream {
 public:
  explicit DataInputStream(InputStream* in);
  ~DataInputStream() override;

  // Bytes consumed through this stream (or the offset of the last seek).
  int getPosition() const { return m_position; }

  // Reads exactly size bytes with one read of the source. Throws
  // io::EOFException "Unexpected end of file in {0}." (the position then
  // includes the bytes that did arrive).
  void readFully(void* dest, int size);
  // Each throws io::EOFException as readFully does.
  unsigned char readByte();
  short readShort();
  int readInt();
  float readFloat();
  // A string: 16-bit byte count, then UTF-8. A negative count throws
  // io::IOException "Invalid UTF-8 data in {0}."; malformed UTF-8 bytes are
  // skipped without error.
  lang::String readUTF();

  // Seeks the source and sets the position to match. Origin 0 takes any
  // offset from 0 up; origin 1 moves relative to the position; origin 2
  // (the end) is refused, since the source's length says nothing of this
  // stream's position. Returns false, with the position unchanged, when
  // refused or when the source's seek fails.
  bool seek(int offset, int origin) override;
  // read and skip of the source; the position grows by the count.
  int read(void* dest, int size) override;
  int skip(int count) override;

 private:
  // position += count. Throws io::IOException "Stream position overflow in
  // {0}." when the position would pass 2^31 - 1.
  void advance(int count);

  unsigned char* m_buffer = nullptr;  // readUTF's bytes; owned, grows only
  int m_bufferCapacity = 0;
  int m_position = 0;
  std::u16string m_units;  // readUTF's code units, reused
};

}  // namespace io
