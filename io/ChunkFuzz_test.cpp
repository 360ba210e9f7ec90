// Malformed containers: random bytes, every one-byte corruption and every
// truncation of a valid tree are walked with every read operation. Each must
// end normally or in an io::IOException; the sanitizer build checks that no
// read leaves its buffers.
#include "io/ByteArrayInputStream.h"
#include "io/ChunkInputStream.h"
#include "io/IOException.h"
#include "testing/ChunkBuilder.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

typedef std::vector<unsigned char> Bytes;

// Walks one chunk: a mix of value reads chosen from the position, child
// chunks, and a verbatim copy of the chunk. Every loop step consumes at
// least one byte or throws, so the walk ends.
void walk(io::ChunkInputStream& in, int depth, Bytes& scratch) {
  lang::String name;
  int end = 0;
  int start = in.beginChunk(name, end);
  in.readBytes(scratch, start, end - start);
  EXPECT_LE(scratch.size(), static_cast<size_t>(end - start));
  while (in.getPosition() < end) {
    switch ((in.getPosition() + depth + name.length()) % 6) {
      case 0:
        in.readInt();
        break;
      case 1:
        in.readFloat();
        break;
      case 2:
        in.readString();
        break;
      case 3:
        in.readByte();
        break;
      default:
        if (depth < 64)
          walk(in, depth + 1, scratch);
        else
          in.readByte();
    }
  }
  in.endChunk(end);
}

// Returns true when the walk ended normally, false on an io::IOException.
bool walkAll(const Bytes& input) {
  io::ByteArrayInputStream src(input, "fuzz");
  io::ChunkInputStream in(&src);
  Bytes scratch;
  try {
    while (in.getPosition() < static_cast<int>(input.size())) walk(in, 0, scratch);
  } catch (const io::IOException&) {
    return false;
  }
  return true;
}

Bytes validTree() {
  xmdtest::ChunkBuilder b;
  b.begin("scene").integer(1);
  b.begin("model").integer(300).f32(1.5f).str("abc").end();
  b.begin("skin").begin("bone").str("\xC3\xA9t\xC3\xA9").integer(-70000).end().u8(7).end();
  b.begin("").end();
  b.end();
  return b.bytes();
}

TEST(ChunkFuzz, EveryTruncation) {
  Bytes full = validTree();
  for (size_t cut = 0; cut < full.size(); ++cut) walkAll(Bytes(full.begin(), full.begin() + cut));
}

TEST(ChunkFuzz, EveryOneByteCorruption) {
  Bytes full = validTree();
  const unsigned char values[] = {0x00, 0x01, 0x7F, 0x80, 0xFE, 0xFF};
  for (size_t at = 0; at < full.size(); ++at) {
    for (unsigned char v : values) {
      Bytes poked = full;
      poked[at] = v;
      walkAll(poked);
      poked[at] = full[at] ^ 0x01;
      walkAll(poked);
    }
  }
}

TEST(ChunkFuzz, RandomBytes) {
  std::mt19937 rng(1234);
  for (int round = 0; round < 3000; ++round) {
    Bytes input(rng() % 160);
    for (unsigned char& b : input) b = static_cast<unsigned char>(rng());
    // Bias towards plausible headers: small name counts and lengths.
    if (input.size() > 6 && round % 2 == 0) {
      input[0] = 0;
      input[1] = static_cast<unsigned char>(rng() % 4);
      input[2 + input[1]] = 0;
      if (input.size() > 4u + input[1]) input[3 + input[1]] = 0;
    }
    walkAll(input);
  }
}

}  // namespace
