// ChunkBuilder: builds the bytes of a chunk container by hand, for tests.
//
// It knows the container's framing and value encodings but shares no code
// with io::ChunkOutputStream or the data streams, so tests can use it to
// check them (and to feed readers with exactly the bytes they want).
//
//   xmdtest::ChunkBuilder b;
//   b.begin("model").integer(5).f32(1.0f).str("bone").end();
//   std::vector<uint8_t> bytes = b.bytes();
//
// Header: a 16-bit big-endian name byte count, the UTF-8 name, then a 32-bit
// big-endian body length. begin() writes a placeholder length that end()
// fills in with the count of bytes written since. header() writes a header
// with any length, for corrupt-file tests. Names and strings are given as
// UTF-8 byte strings and written as they are.
#pragma once

#include <cassert>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace xmdtest {

class ChunkBuilder {
 public:
  // Opens a chunk: header with a placeholder length, filled in by end().
  ChunkBuilder& begin(const std::string& name) {
    str(name);
    m_open.push_back(m_bytes.size());
    return be32(0);
  }

  // Closes the innermost chunk opened by begin().
  ChunkBuilder& end() {
    assert(!m_open.empty());
    size_t lengthAt = m_open.back();
    m_open.pop_back();
    uint32_t length = static_cast<uint32_t>(m_bytes.size() - lengthAt - 4);
    for (int i = 0; i < 4; ++i)
      m_bytes[lengthAt + i] = static_cast<uint8_t>(length >> (24 - 8 * i));
    return *this;
  }

  // A header with an explicit body length (which may be wrong on purpose).
  ChunkBuilder& header(const std::string& name, int32_t length) {
    str(name);
    return be32(static_cast<uint32_t>(length));
  }

  // The variable-length chunk integer: first byte bit 0 = more follows,
  // bit 1 = negative, bits 2..7 = magnitude bits 0..5; each further byte
  // bit 0 = more follows, bits 1..7 = the next 7 magnitude bits.
  ChunkBuilder& integer(int64_t value) {
    bool negative = value < 0;
    uint64_t m = negative ? static_cast<uint64_t>(-value) : static_cast<uint64_t>(value);
    uint8_t first = static_cast<uint8_t>((m % 64) * 4);
    if (negative) first |= 2;
    m /= 64;
    if (m != 0) first |= 1;
    m_bytes.push_back(first);
    while (m != 0) {
      uint8_t next = static_cast<uint8_t>((m % 128) * 2);
      m /= 128;
      if (m != 0) next |= 1;
      m_bytes.push_back(next);
    }
    return *this;
  }

  // IEEE 754 single, big-endian.
  ChunkBuilder& f32(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    return be32(bits);
  }

  // The string encoding: 16-bit big-endian byte count, then the bytes.
  ChunkBuilder& str(const std::string& utf8) {
    be16(static_cast<uint16_t>(utf8.size()));
    return raw(utf8);
  }

  ChunkBuilder& be16(uint16_t v) {
    m_bytes.push_back(static_cast<uint8_t>(v >> 8));
    m_bytes.push_back(static_cast<uint8_t>(v));
    return *this;
  }

  ChunkBuilder& be32(uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
      m_bytes.push_back(static_cast<uint8_t>(v >> shift));
    return *this;
  }

  ChunkBuilder& u8(uint8_t v) {
    m_bytes.push_back(v);
    return *this;
  }

  ChunkBuilder& raw(const std::vector<uint8_t>& bytes) {
    m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
    return *this;
  }

  ChunkBuilder& raw(const std::string& bytes) {
    m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
    return *this;
  }

  // Offset the next byte will be written at.
  size_t size() const { return m_bytes.size(); }
  int openChunks() const { return static_cast<int>(m_open.size()); }

  // The bytes so far (chunks still open keep their placeholder length).
  const std::vector<uint8_t>& bytes() const { return m_bytes; }

 private:
  std::vector<uint8_t> m_bytes;
  std::vector<size_t> m_open;  // offset of each open chunk's length field
};

}  // namespace xmdtest
