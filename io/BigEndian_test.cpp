#include "io/BigEndian.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

namespace {

typedef std::vector<unsigned char> Bytes;

template <class T>
Bytes stored(T value) {
  Bytes b(sizeof(T) + 2, 0xEE);  // a guard byte on each side
  io::storeBigEndian(value, b.data() + 1);
  return b;
}

TEST(BigEndian, ValuesAndTheirBytes) {
  EXPECT_EQ(stored<uint16_t>(0x1234), (Bytes{0xEE, 0x12, 0x34, 0xEE}));
  EXPECT_EQ(stored<int16_t>(-2), (Bytes{0xEE, 0xFF, 0xFE, 0xEE}));
  EXPECT_EQ(stored<uint32_t>(0x12345678u), (Bytes{0xEE, 0x12, 0x34, 0x56, 0x78, 0xEE}));
  EXPECT_EQ(stored<int32_t>(INT32_MIN), (Bytes{0xEE, 0x80, 0x00, 0x00, 0x00, 0xEE}));
  EXPECT_EQ(stored<float>(1.0f), (Bytes{0xEE, 0x3F, 0x80, 0x00, 0x00, 0xEE}));
  EXPECT_EQ(stored<float>(-0.0f), (Bytes{0xEE, 0x80, 0x00, 0x00, 0x00, 0xEE}));

  const unsigned char in[] = {0xC0, 0x49, 0x0F, 0xDB};
  EXPECT_EQ(io::loadBigEndian<uint16_t>(in), 0xC049u);
  EXPECT_EQ(io::loadBigEndian<int16_t>(in), -16311);
  EXPECT_EQ(io::loadBigEndian<uint32_t>(in), 0xC0490FDBu);
  EXPECT_EQ(io::loadBigEndian<int32_t>(in), -1068953637);
  EXPECT_EQ(io::loadBigEndian<float>(in), -3.14159274101257324f);
}

// Every bit pattern comes back, NaN payloads and subnormals included.
TEST(BigEndian, FloatBitPatternsComeBack) {
  const uint32_t patterns[] = {0x7FC00001u, 0xFF800000u, 0x00000001u, 0x807FFFFFu, 0x7F7FFFFFu};
  for (uint32_t bits : patterns) {
    unsigned char b[4];
    io::storeBigEndian(bits, b);
    const float f = io::loadBigEndian<float>(b);
    unsigned char again[4];
    io::storeBigEndian(f, again);
    EXPECT_EQ(io::loadBigEndian<uint32_t>(again), bits);
  }
}

// The bulk store lays out each float as the single store does, whatever the
// count and the alignment of the destination.
TEST(BigEndian, BulkFloatsAreSingleFloats) {
  const uint32_t patterns[] = {0x7FC00001u, 0xFF800000u, 0x00000001u, 0x807FFFFFu,
                               0x7F7FFFFFu, 0x3F800000u, 0x00000000u};
  const std::size_t n = sizeof patterns / sizeof patterns[0];
  float values[n];
  std::memcpy(values, patterns, sizeof values);
  for (std::size_t count = 0; count <= n; ++count) {
    unsigned char bulk[4 * n + 1] = {}, single[4 * n + 1] = {};
    io::storeBigEndianFloats(values, count, bulk + 1);
    for (std::size_t i = 0; i < count; ++i) io::storeBigEndian(values[i], single + 1 + 4 * i);
    EXPECT_EQ(0, std::memcmp(bulk, single, sizeof bulk)) << count;
  }
}

}  // namespace
