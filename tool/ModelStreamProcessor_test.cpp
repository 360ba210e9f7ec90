// The walk of processStream over foreign subchunks larger than a copy piece:
// copied whole and in bounded pieces, over an output that patches its
// lengths and one that buffers alike, and cut short anywhere with the
// failure and input position the single whole-chunk read gave.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "io/ByteArrayInputStream.h"
#include "io/ByteArrayOutputStream.h"
#include "io/ChunkInputStream.h"
#include "io/ChunkOutputStream.h"
#include "io/EOFException.h"
#include "testing/ModelFixtures.h"
#include "tool/DiscardingOutputStream.h"

namespace {

using namespace xmdtest;
using tool::ModelStreamProcessor;

const int kPiece = ModelStreamProcessor::kCopyPiece;

// Keeps what it is given and the largest single write, without being
// patchable: the chunk stream over it buffers whole chunks.
class PlainSink : public io::OutputStream {
 public:
  int write(const void* src, int size) override {
    const uint8_t* p = static_cast<const uint8_t*>(src);
    bytes.insert(bytes.end(), p, p + size);
    return size;
  }
  std::string toString() const override { return "result.xmd"; }
  Bytes bytes;
};

// The same over a patchable stream, with the largest write it was given.
class PatchSink : public io::ByteArrayOutputStream {
 public:
  PatchSink() : io::ByteArrayOutputStream(0) {}
  int write(const void* src, int size) override {
    largest = std::max(largest, size);
    return io::ByteArrayOutputStream::write(src, size);
  }
  Bytes bytes() const { return Bytes(data(), data() + size()); }
  int largest = 0;
};

// A run over bytes: what was thrown (or "nothing thrown"), and the input's
// position afterwards.
struct Walk {
  std::string thrown;
  int position = -1;
  bool operator==(const Walk& o) const { return thrown == o.thrown && position == o.position; }
};

template <class F>
Walk walk(const Bytes& bytes, F&& body) {
  io::ByteArrayInputStream source(std::vector<unsigned char>(bytes.begin(), bytes.end()),
                                  "test.xmd");
  io::ChunkInputStream in(&source);
  Walk w;
  w.thrown = xmdtest::thrown([&] { body(in); });
  w.position = in.getPosition();
  return w;
}

Walk processed(const Bytes& bytes, io::OutputStream& sink) {
  std::ostringstream console;
  ModelStreamProcessor processor(testStore(), console);
  return walk(bytes, [&](io::ChunkInputStream& in) {
    io::ChunkOutputStream out(&sink);
    processor.processStream(in, out);
  });
}

// The walk of a file of foreign subchunks only, copying each with one read
// of the whole subchunk: how the processor copied them before it went by
// pieces.
Walk copiedWhole(const Bytes& bytes) {
  return walk(bytes, [](io::ChunkInputStream& in) {
    lang::String name;
    int topEnd = 0, end = 0;
    in.beginChunk(name, topEnd);
    in.readInt();
    std::vector<unsigned char> copy;
    while (in.getPosition() < topEnd) {
      const int start = in.beginChunk(name, end);
      in.readBytes(copy, start, end - start);
      if (copy.size() != size_t(end - start))
        throw io::EOFException(
            lang::Format(lang::String("Unexpected end of file in {0}."), in.toString()));
      in.endChunk(end);
    }
    in.endChunk(topEnd);
  });
}

Bytes pattern(size_t n, int seed) {
  Bytes b(n);
  for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>((i >> 8) * 13 + i * 7 + seed);
  return b;
}

void foreignChunk(ChunkBuilder& b, const std::string& name, size_t body, int seed) {
  b.begin(name).raw(pattern(body, seed)).end();
}

TEST(ModelStreamProcessor, LargeForeignSubchunksAreCopiedWholeInPieces) {
  // Body sizes around one and two pieces (the whole subchunk, its 10-byte
  // header included, ending just before, at and after a piece's end).
  const size_t sizes[] = {
      0, 1, size_t(kPiece) - 11, size_t(kPiece) - 10, size_t(kPiece) - 9, 2 * size_t(kPiece) + 17};
  for (size_t size : sizes) {
    const auto foreignAround = [size](const Body& model) {
      return file([size, model](ChunkBuilder& b) {
        foreignChunk(b, "meta", 5, 1);
        foreignChunk(b, "blob", size, 2);
        model(b);
        foreignChunk(b, "tail", size / 3, 3);
      });
    };
    const Bytes source = foreignAround(plainModel);
    PlainSink plain;
    PatchSink patched;
    EXPECT_EQ(processed(source, plain).thrown, "nothing thrown") << size;
    EXPECT_EQ(processed(source, patched).thrown, "nothing thrown") << size;
    EXPECT_EQ(patched.bytes(), plain.bytes) << size;
    EXPECT_EQ(plain.bytes, foreignAround([](ChunkBuilder& m) {
                m.begin("model");
                info(m, {3, 1, 0, 0, 0, 0});  // the result's "info" has every field
                material(m);
                points(m, 3);
                faces(m, {0, 1, 2});
                m.end();
              }))
        << size;
    EXPECT_LE(patched.largest, kPiece) << size;
  }
}

TEST(ModelStreamProcessor, FilesWithoutModelsComeOutTheSame) {
  const Bytes source = file([](ChunkBuilder& b) {
    foreignChunk(b, "a", 3 * size_t(kPiece) + 5, 4);
    b.begin("").end();
  });
  PatchSink patched;
  EXPECT_EQ(processed(source, patched).thrown, "nothing thrown");
  EXPECT_EQ(patched.bytes(), source);
}

// A check run's output keeps nothing, patches included.
TEST(ModelStreamProcessor, ACheckRunCountsTheResult) {
  const Bytes source = file([](ChunkBuilder& b) {
    foreignChunk(b, "a", 2 * size_t(kPiece), 7);
    plainModel(b);
  });
  tool::DiscardingOutputStream counted("check.xmd");
  PatchSink patched;
  EXPECT_EQ(processed(source, counted).thrown, "nothing thrown");
  EXPECT_EQ(processed(source, patched).thrown, "nothing thrown");
  EXPECT_EQ(counted.count(), int64_t(patched.bytes().size()));
  const char field[4] = {};
  const struct {
    int64_t position;
    int size;
  } refused[] = {{-1, 4}, {counted.count() - 3, 4}, {0, -1}, {INT64_MAX, 4}};
  for (const auto& r : refused)
    EXPECT_EQ(xmdtest::thrown([&] { counted.patch(r.position, field, r.size); }),
              "IOException: Failed to seek file position: {0} | n:check.xmd")
        << r.position;
  EXPECT_EQ(xmdtest::thrown([&] { counted.patch(counted.count() - 4, field, 4); }),
            "nothing thrown");
}

TEST(ModelStreamProcessor, TruncatedLargeForeignSubchunksFailAsACopyInOneRead) {
  ChunkBuilder b;
  b.begin("xmd").integer(1);
  foreignChunk(b, "small", 100, 5);
  const size_t start = b.size();
  foreignChunk(b, "large", 2 * size_t(kPiece) + 100, 6);
  const size_t end = b.size();
  b.end();
  const Bytes whole = b.bytes();

  // Cuts around the large subchunk's header, around each piece boundary
  // within it, at its end, and at every prefix of the small one before it.
  std::vector<size_t> cuts;
  for (size_t n = 0; n < start + 16; ++n) cuts.push_back(n);
  for (size_t k = 1; k <= 2; ++k)
    for (size_t n = start + k * kPiece - 3; n <= start + k * kPiece + 3; ++n) cuts.push_back(n);
  for (size_t n = end - 3; n <= whole.size(); ++n) cuts.push_back(n);

  for (size_t n : cuts) {
    const Bytes prefix(whole.begin(), whole.begin() + n);
    const Walk before = copiedWhole(prefix);
    PlainSink plain;
    PatchSink patched;
    EXPECT_EQ(processed(prefix, plain), before) << "prefix of " << n << " bytes";
    EXPECT_EQ(processed(prefix, patched), before) << "prefix of " << n << " bytes";
    if (n < whole.size()) {
      EXPECT_EQ(before.thrown, "EOFException: Unexpected end of file in {0}. | n:test.xmd") << n;
      // Nothing reaches a buffering output before the top-level chunk ends.
      EXPECT_TRUE(plain.bytes.empty()) << n;
    }
    const size_t headerEnd = start + 2 + 5 + 4;  // count, "large", length
    if (n >= headerEnd && n < end) {
      EXPECT_EQ(before.position, int(headerEnd)) << n;
    }
  }
}

}  // namespace
