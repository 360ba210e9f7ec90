// ByteArrayInputStream: an input stream over an in-memory copy of bytes.
//
// For tests, fuzzing and in-memory sources. It can be told to deliver at most
// a few bytes per read (maxRead), to check callers against short reads.
#pragma once

#include <string>
#include <vector>

#include "io/InputStream.h"

namespace io {

class ByteArrayInputStream : public InputStream {
 public:
  // A stream over a copy of bytes, named name in messages; each read
  // delivers at most maxRead bytes (0: no limit).
  explicit ByteArrayInputStream(std::vector<unsigned char> bytes,
                                std::string name = "ByteArrayInputStream", int maxRead = 0);
  ByteArrayInputStream(const void* bytes, int size, std::string name = "ByteArrayInputStream");

  // A new stream over the same bytes, at the start.
  lang::Ptr<InputStream> clone() override;
  // After close, reads return 0 and seeks fail.
  void close() override;
  // Any position from 0 to the end is valid (origin 0 start, 1 current,
  // other end); returns false, not moving, otherwise.
  bool seek(int offset, int origin) override;
  int tell() override;
  int read(void* dest, int size) override;
  int available() override;
  std::string toString() const override;

 private:
  std::vector<unsigned char> m_bytes;
  std::string m_name;
  int m_maxRead;
  int m_pos = 0;
  bool m_closed = false;
};

}  // namespace io
