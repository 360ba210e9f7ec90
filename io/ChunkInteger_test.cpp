#include "io/ByteArrayInputStream.h"
#include "io/ByteArrayOutputStream.h"
#include "io/ChunkFormat.h"
#include "io/ChunkInputStream.h"
#include "testing/IoTestSupport.h"
#include "testing/ChunkBuilder.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

namespace {

using xmdtest::bytes;
using xmdtest::thrown;
typedef std::vector<unsigned char> Bytes;

Bytes encode(int value) {
  unsigned char out[io::chunk::kMaxIntegerBytes];
  int n = io::chunk::encodeInteger(value, out);
  return Bytes(out, out + n);
}

int decode(const Bytes& in, int* consumed = nullptr) {
  io::ByteArrayInputStream src(in);
  io::ChunkInputStream chunks(&src);
  int value = chunks.readInt();
  if (consumed) *consumed = chunks.getPosition();
  return value;
}

TEST(ChunkInteger, Examples) {
  struct Case {
    int value;
    Bytes bytes;
  } cases[] = {
      {0, bytes({0x00})},
      {5, bytes({0x14})},
      {63, bytes({0xFC})},
      {64, bytes({0x01, 0x02})},
      {100, bytes({0x91, 0x02})},
      {1000, bytes({0xA1, 0x1E})},
      {65535, bytes({0xFD, 0xFF, 0x0E})},
      {2147483647, bytes({0xFD, 0xFF, 0xFF, 0xFF, 0x1E})},
      {-1, bytes({0x06})},
      {-100, bytes({0x93, 0x02})},
      {-2147483647, bytes({0xFF, 0xFF, 0xFF, 0xFF, 0x1E})},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(encode(c.value), c.bytes) << c.value;
    int consumed = 0;
    EXPECT_EQ(decode(c.bytes, &consumed), c.value);
    EXPECT_EQ(consumed, static_cast<int>(c.bytes.size()));
  }
}

TEST(ChunkInteger, EveryMagnitudeBoundaryUsesTheFewestBytes) {
  for (int bits = 0; bits <= 31; ++bits) {
    long long edges[] = {(1LL << bits) - 1, 1LL << bits, (1LL << bits) + 1};
    for (long long e : edges) {
      if (e > INT_MAX) continue;
      for (int value : {static_cast<int>(e), -static_cast<int>(e)}) {
        Bytes b = encode(value);
        unsigned magnitude =
            value < 0 ? 0u - static_cast<unsigned>(value) : static_cast<unsigned>(value);
        size_t expected = magnitude < (1u << 6)    ? 1
                          : magnitude < (1u << 13) ? 2
                          : magnitude < (1u << 20) ? 3
                          : magnitude < (1u << 27) ? 4
                                                   : 5;
        EXPECT_EQ(b.size(), expected) << value;
        xmdtest::ChunkBuilder independent;
        independent.integer(value);
        EXPECT_EQ(b, independent.bytes()) << value;
        EXPECT_EQ(decode(b), value);
      }
    }
  }
}

// The decoder on its own: the bytes it took, 0 for bytes that end inside the
// integer, kInvalidInteger for a form the format refuses.
TEST(ChunkInteger, DecoderOverEveryPrefix) {
  struct Case {
    Bytes in;
    int taken;  // over all of in
    int value;
  } cases[] = {
      {bytes({0x14}), 1, 5},
      {bytes({0x93, 0x02, 0xFF}), 2, -100},  // bytes after the integer stay
      {bytes({0xFD, 0xFF, 0xFF, 0xFF, 0x1E}), 5, 2147483647},
      {bytes({0x03, 0x00}), 2, 0},
      {bytes({0x01, 0x01, 0x01, 0x01, 0x01, 0x00}), io::chunk::kInvalidInteger, 0},
      {bytes({0x01, 0x01, 0x01, 0x01, 0x20}), io::chunk::kInvalidInteger, 0},
      {bytes({0x03, 0x01, 0x01, 0x01, 0x20}), io::chunk::kInvalidInteger, 0},
  };
  for (const Case& c : cases) {
    for (size_t size = 0; size <= c.in.size(); ++size) {
      int value = 12345;
      const int taken = io::chunk::decodeInteger(c.in.data(), size, value);
      // The integer's own bytes decide; fewer than it needs give 0.
      const size_t needs = c.taken > 0 ? size_t(c.taken) : size_t(io::chunk::kMaxIntegerBytes);
      const int expected = size < needs ? 0 : c.taken;
      EXPECT_EQ(taken, expected) << "case of " << c.in.size() << " bytes, size " << size;
      EXPECT_EQ(value, expected > 0 ? c.value : 12345);
    }
  }
}

TEST(ChunkInteger, LongerFormsAreReadToo) {
  // Never written (the writer uses the fewest bytes), but well formed.
  EXPECT_EQ(decode(bytes({0x01, 0x00})), 0);
  EXPECT_EQ(decode(bytes({0x15, 0x01, 0x01, 0x01, 0x00})), 5);
  EXPECT_EQ(decode(bytes({0x03, 0x00})), 0);  // minus zero
}

TEST(ChunkInteger, RefusesTooLongOrTooLarge) {
  struct Case {
    Bytes in;
    int position;
  } cases[] = {
      {bytes({0x01, 0x01, 0x01, 0x01, 0x01, 0x00}), 5},  // a sixth byte announced
      {bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}), 5},
      {bytes({0x01, 0x01, 0x01, 0x01, 0x20}), 5},  // 2^31
      {bytes({0x03, 0x01, 0x01, 0x01, 0x20}), 5},  // -2^31 has no form either
      {bytes({0xFD, 0xFF, 0xFF, 0xFF, 0xFE}), 5},  // bits past 31
  };
  for (const Case& c : cases) {
    Bytes in = bytes({0xAA, 0xAA});  // the integer starts at position 2
    in.insert(in.end(), c.in.begin(), c.in.end());
    io::ByteArrayInputStream src(in, "ints.bin");
    io::ChunkInputStream chunks(&src);
    chunks.readByte();
    chunks.readByte();
    EXPECT_EQ(thrown([&] { chunks.readInt(); }),
              "IOException: Invalid chunk integer at {0,#} while reading {1} | #2 | n:ints.bin");
    EXPECT_EQ(chunks.getPosition(), 2 + c.position);
  }
}

TEST(ChunkInteger, EveryPrefixEndsInEOF) {
  Bytes full = encode(2147483647);
  for (size_t cut = 0; cut < full.size(); ++cut) {
    io::ByteArrayInputStream src(Bytes(full.begin(), full.begin() + cut), "cut");
    io::ChunkInputStream chunks(&src);
    EXPECT_EQ(thrown([&] { chunks.readInt(); }),
              "EOFException: Unexpected end of file in {0}. | n:cut");
    EXPECT_EQ(chunks.getPosition(), static_cast<int>(cut));
  }
}

}  // namespace
