// The chunk container's framing and its variable-length chunk integer,
// shared by io::ChunkInputStream and io::ChunkOutputStream.
//
// A chunk is a header, then a body: a 16-bit big-endian name byte count N,
// N bytes of UTF-8 name, a 32-bit big-endian body length L (not negative),
// then L body bytes (values and child chunks). No signature, padding,
// terminator or checksum.
//
// The chunk integer stores a sign and a magnitude, least significant group
// first: the first byte holds a "more follows" flag in bit 0, the sign in
// bit 1 and magnitude bits 0..5 in bits 2..7; each further byte holds a
// "more follows" flag in bit 0 and the next 7 magnitude bits in bits 1..7.
// Magnitudes up to 2^31 - 1 take at most 5 bytes (6 + 4 * 7 = 34 bits).
//
// encodeInteger and IntegerDecoder (with decodeInteger over memory) are the
// integer's one encoder and one decoder; the chunk streams and their bulk
// reads go through them.
#pragma once

#include <climits>
#include <cstddef>
#include <cstdint>

namespace io {
namespace chunk {

// The shortest header: empty name (2 bytes of count) and the length field.
const int kNameCountSize = 2;
const int kLengthSize = 4;
const int kMinHeaderSize = kNameCountSize + kLengthSize;

const unsigned kMoreFlag = 0x01;
const unsigned kNegativeFlag = 0x02;
const int kFirstGroupBits = 6;
const int kNextGroupBits = 7;
const int kMaxIntegerBytes = 5;
static_assert(kFirstGroupBits + (kMaxIntegerBytes - 1) * kNextGroupBits >= 31,
              "five bytes hold any 31-bit magnitude");
// The largest magnitude a chunk integer carries; -2^31 has no form.
const uint32_t kMaxMagnitude = INT_MAX;

// Encodes value (not INT_MIN) in as few bytes as its magnitude needs.
// Returns the byte count, 1 to 5.
inline int encodeInteger(int value, unsigned char out[kMaxIntegerBytes]) {
  uint32_t m = value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
  unsigned first = (m & 0x3F) << 2;
  if (value < 0) first |= kNegativeFlag;
  m >>= kFirstGroupBits;
  if (m != 0) first |= kMoreFlag;
  out[0] = static_cast<unsigned char>(first);
  int n = 1;
  while (m != 0) {
    unsigned next = (m & 0x7F) << 1;
    m >>= kNextGroupBits;
    if (m != 0) next |= kMoreFlag;
    out[n++] = static_cast<unsigned char>(next);
  }
  return n;
}

// What decodeInteger returns for bytes that hold no integer the format
// allows: a sixth byte announced, or a magnitude past 2^31 - 1.
const int kInvalidInteger = -1;

// The chunk integer's one decoder, fed a byte at a time: decodeInteger feeds
// it from memory, ChunkInputStream::readInt from its stream.
class IntegerDecoder {
 public:
  // Starts an integer with its first byte.
  explicit IntegerDecoder(unsigned first)
      : m_magnitude(first >> 2),
        m_negative((first & kNegativeFlag) != 0),
        m_more((first & kMoreFlag) != 0) {}

  // Whether the integer wants another byte: one is announced and fewer than
  // kMaxIntegerBytes were taken.
  bool more() const { return m_more && m_count < kMaxIntegerBytes; }
  // Takes the next byte (only while more()).
  void take(unsigned next) {
    m_magnitude |= static_cast<uint64_t>(next >> 1) << m_shift;
    m_shift += kNextGroupBits;
    ++m_count;
    m_more = (next & kMoreFlag) != 0;
  }
  // Once more() is false: returns true and sets value for an integer the
  // format allows; false for a sixth byte announced or a magnitude past
  // 2^31 - 1 (value untouched).
  bool finish(int& value) const {
    if (m_more || m_magnitude > kMaxMagnitude) return false;
    const int magnitude = static_cast<int>(m_magnitude);
    value = m_negative ? -magnitude : magnitude;
    return true;
  }
  // The bytes taken, the first included.
  int count() const { return m_count; }

 private:
  uint64_t m_magnitude;
  int m_shift = kFirstGroupBits;
  int m_count = 1;
  bool m_negative;
  bool m_more;
};

// Decodes the chunk integer that starts at bytes, of which size are at hand.
// Returns the byte count it took (1 to 5), value then holding it; 0 when
// the size bytes end before the integer does; kInvalidInteger when the
// integer is one the format does not allow (value untouched both times).
inline int decodeInteger(const unsigned char* bytes, size_t size, int& value) {
  if (size == 0) return 0;
  IntegerDecoder decoder(bytes[0]);
  while (decoder.more()) {
    if (static_cast<size_t>(decoder.count()) == size) return 0;
    decoder.take(bytes[decoder.count()]);
  }
  return decoder.finish(value) ? decoder.count() : kInvalidInteger;
}

}  // namespace chunk
}  // namespace io
