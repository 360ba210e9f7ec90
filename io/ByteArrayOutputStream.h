// ByteArrayOutputStream: an output stream into a growable byte array.
//
// Up to 20 bytes live inside the object; beyond that the bytes move to an
// owned heap array that grows in steps of at least 4096 bytes, rounded up to
// 256, so a stream reused through reset() stops allocating once it has
// reached its working size. Its bytes can be patched in place
// (io::PatchableOutputStream); its position is size().
#pragma once

#include <cstdint>
#include <string>

#include "io/PatchableOutputStream.h"

namespace io {

class ByteArrayOutputStream : public PatchableOutputStream {
 public:
  // In-object room; a request up to this size allocates nothing.
  static const int kLocalSize = 20;
  // Heap capacities are multiples of this, and a growth adds at least kGrowStep.
  static const int kRound = 256;
  static const int kGrowStep = 4096;

  // Makes room for initialSize bytes (by the growth rule).
  explicit ByteArrayOutputStream(int initialSize);
  ~ByteArrayOutputStream() override;

  // Appends count bytes; returns count. Throws std::length_error when the
  // contents would pass 2^31 - 1 bytes.
  int write(const void* src, int count) override;
  // Nothing to close or flush.
  void close() override;
  void flush() override;
  // "ByteArrayOutputStream".
  std::string toString() const override;
  // Returns size().
  std::int64_t getPosition() override;
  // Overwrites bytes in place. Throws io::IOException "Failed to seek file
  // position: {0}" ({0} "ByteArrayOutputStream") when position and size do
  // not lie within the size() bytes written.
  void patch(std::int64_t position, const void* src, int size) override;

  // Empties the stream; the storage stays.
  void reset() { m_size = 0; }
  // Bytes written since construction or the last reset.
  int size() const { return m_size; }
  int capacity() const { return m_capacity; }
  const unsigned char* data() const { return m_data; }
  bool isLocal() const { return m_data == m_local; }
  // Copies the first min(size(), count) bytes to dest.
  void copyTo(void* dest, int count) const;

 private:
  void grow(int required);

  unsigned char* m_data;  // m_local or an owned heap array
  int m_size;
  int m_capacity;
  unsigned char m_local[kLocalSize];
};

}  // namespace io
