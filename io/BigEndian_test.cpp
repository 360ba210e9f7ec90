#include "io/BigEndian.h"

#include <gtest/gtest.h>

#include <cstdint>
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

}  // namespace
