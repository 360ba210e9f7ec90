#include "io/ByteArrayOutputStream.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(ByteArrayOutputStream, KeepsTwentyBytesInsideThenMovesToARoundedHeapArray) {
  io::ByteArrayOutputStream s(0);
  EXPECT_EQ(s.capacity(), 20);
  unsigned char bytes[21];
  for (int i = 0; i < 21; ++i) bytes[i] = static_cast<unsigned char>(i + 1);
  EXPECT_EQ(s.write(bytes, 20), 20);
  EXPECT_TRUE(s.isLocal());
  EXPECT_EQ(s.capacity(), 20);
  EXPECT_EQ(s.write(bytes + 20, 1), 1);
  EXPECT_FALSE(s.isLocal());
  EXPECT_EQ(s.capacity(), 4352);  // 20 + 4096 rounded up to 256
  ASSERT_EQ(s.size(), 21);
  EXPECT_EQ(std::vector<unsigned char>(s.data(), s.data() + 21),
            std::vector<unsigned char>(bytes, bytes + 21));
}

TEST(ByteArrayOutputStream, GrowthRule) {
  struct Case {
    int initial;
    std::vector<int> writes;
    int capacity;
  } cases[] = {
      {0, {}, 20},
      {20, {}, 20},
      {21, {}, 256},       // at least 256
      {300, {}, 512},      // rounded up to 256
      {256, {257}, 4352},  // max(257, 256 + 4096) rounded
      {0, {5000}, 5120},   // a write larger than the step
      {4352, {4352, 1}, 8448},
  };
  for (const Case& c : cases) {
    io::ByteArrayOutputStream s(c.initial);
    for (int n : c.writes) {
      std::vector<unsigned char> bytes(n, 7);
      s.write(bytes.data(), n);
    }
    EXPECT_EQ(s.capacity(), c.capacity) << "initial " << c.initial;
  }
}

TEST(ByteArrayOutputStream, ResetKeepsStorageAndCopyToStopsAtSize) {
  io::ByteArrayOutputStream s(0);
  std::vector<unsigned char> big(5000, 1);
  s.write(big.data(), 5000);
  const unsigned char* storage = s.data();
  s.reset();
  EXPECT_EQ(s.size(), 0);
  unsigned char seven[7] = {1, 2, 3, 4, 5, 6, 7};
  s.write(seven, 7);
  EXPECT_EQ(s.data(), storage);

  unsigned char dest[100];
  std::fill(dest, dest + 100, 0xEE);
  s.copyTo(dest, 100);
  EXPECT_EQ(std::vector<unsigned char>(dest, dest + 8),
            (std::vector<unsigned char>{1, 2, 3, 4, 5, 6, 7, 0xEE}));
  s.copyTo(dest, 3);
  EXPECT_EQ(dest[2], 3);
  EXPECT_EQ(s.toString(), "ByteArrayOutputStream");
  EXPECT_EQ(s.write(seven, 0), 0);
  EXPECT_EQ(s.size(), 7);
}

}  // namespace
