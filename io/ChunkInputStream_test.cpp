#include "io/ByteArrayInputStream.h"
#include "io/ChunkInputStream.h"
#include "testing/IoTestSupport.h"
#include "testing/ChunkBuilder.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

namespace {

using xmdtest::bytes;
using xmdtest::ChunkBuilder;
using xmdtest::thrown;
typedef std::vector<unsigned char> Bytes;

// A source over the builder's bytes, and a chunk stream over it.
struct Reader {
  explicit Reader(const ChunkBuilder& b, const char* name = "model.xmd")
      : src(b.bytes(), name), chunks(&src) {}
  io::ByteArrayInputStream src;
  io::ChunkInputStream chunks;
};

TEST(ChunkInputStream, HeaderGivesStartNameAndEnd) {
  ChunkBuilder b;
  b.u8(0xAA).u8(0xBB).u8(0xCC);  // the header starts at 3
  b.header("info", 12).raw(Bytes(12, 0x11));
  Reader r(b);
  r.chunks.readByte();
  r.chunks.readByte();
  r.chunks.readByte();
  lang::String name;
  int end = 0;
  EXPECT_EQ(r.chunks.beginChunk(name, end), 3);
  EXPECT_TRUE(name == "info");
  EXPECT_EQ(end, 3 + 22);
  EXPECT_EQ(r.chunks.getPosition(), 3 + 10);
  r.chunks.endChunk(end);
  EXPECT_EQ(r.chunks.getPosition(), 25);
}

TEST(ChunkInputStream, EmptyBodyAndEmptyName) {
  ChunkBuilder b;
  b.header("", 0).header("x", 0);
  Reader r(b);
  lang::String name;
  int end = 0;
  EXPECT_EQ(r.chunks.beginChunk(name, end), 0);
  EXPECT_EQ(name.length(), 0);
  EXPECT_EQ(end, 6);
  r.chunks.endChunk(end);
  EXPECT_EQ(r.chunks.beginChunk(name, end), 6);
  EXPECT_EQ(end, 13);
  // Its children: none. Each turn of the walk reads a child, so a wrong end
  // or position ends it with an error instead of looping.
  int children = 0;
  while (r.chunks.getPosition() < end) {
    lang::String child;
    int childEnd = 0;
    r.chunks.beginChunk(child, childEnd);
    r.chunks.endChunk(childEnd);
    ++children;
  }
  EXPECT_EQ(children, 0);
  r.chunks.endChunk(end);
  EXPECT_EQ(r.chunks.getPosition(), 13);
}

TEST(ChunkInputStream, WalksChildrenAndValues) {
  ChunkBuilder b;
  b.begin("root").integer(7);
  b.begin("a").integer(-100).f32(2.5f).end();
  b.begin("b").str("bone\xC3\xA9").u8(9).end();
  b.begin("skipped").integer(1).integer(2).end();
  b.end();
  Reader r(b);
  lang::String name;
  int rootEnd = 0;
  r.chunks.beginChunk(name, rootEnd);
  EXPECT_EQ(r.chunks.readInt(), 7);
  std::vector<std::string> seen;
  while (r.chunks.getPosition() < rootEnd) {
    int end = 0;
    r.chunks.beginChunk(name, end);
    seen.push_back(xmdtest::text(name));
    if (name == "a") {
      EXPECT_EQ(r.chunks.readInt(), -100);
      EXPECT_EQ(r.chunks.readFloat(), 2.5f);
    } else if (name == "b") {
      EXPECT_EQ(xmdtest::text(r.chunks.readString()), "bone\\u00E9");
      EXPECT_EQ(r.chunks.readByte(), 9);
    }
    r.chunks.endChunk(end);
  }
  r.chunks.endChunk(rootEnd);
  EXPECT_EQ(seen, (std::vector<std::string>{"a", "b", "skipped"}));
  EXPECT_EQ(r.chunks.getPosition(), static_cast<int>(b.size()));
}

TEST(ChunkInputStream, InvalidLengths) {
  struct Case {
    int length;
    bool accepted;
  } cases[] = {
      {-1, false},                                 // FF FF FF FF
      {INT_MIN, false},     {INT_MAX - 10, true},  // the end is exactly 2^31 - 1
      {INT_MAX - 9, false},                        // the end would not fit
      {INT_MAX, false},
  };
  for (const Case& c : cases) {
    ChunkBuilder b;
    b.header("info", c.length).raw(Bytes(4, 0));
    Reader r(b);
    lang::String name;
    int end = 0;
    std::string result = thrown([&] { r.chunks.beginChunk(name, end); });
    if (c.accepted) {
      EXPECT_EQ(result, "nothing thrown");
      EXPECT_EQ(end, INT_MAX);
      // The body is not there: endChunk skips as far as the source goes.
      r.chunks.endChunk(end);
      EXPECT_EQ(r.chunks.getPosition(), 14);
    } else {
      EXPECT_EQ(result,
                "IOException: Invalid chunk {2} length at {0,#} while reading {1} | #10 | "
                "n:model.xmd | t:info");
      EXPECT_EQ(r.chunks.getPosition(), 10);
    }
  }
}

// One field of a valid chunk corrupted at a time, and the exact failure.
TEST(ChunkInputStream, CorruptedHeaderFields) {
  ChunkBuilder valid;
  valid.begin("info").integer(1000).integer(5).end();  // 10 header bytes, body A1 1E 14
  struct Case {
    size_t at;
    unsigned char value;
    std::string error;
  } cases[] = {
      {0, 0x80, "IOException: Invalid UTF-8 data in {0}. | n:model.xmd"},  // name count negative
      {1, 0x50,
       "EOFException: Unexpected end of file in {0}. | n:model.xmd"},  // name longer than the file
      {6, 0xFF,
       "IOException: Invalid chunk {2} length at {0,#} while reading {1} | #10 | n:model.xmd | "
       "t:info"},
      {9, 0x02,
       "IOException: Chunk read overflow at {0,#} while reading {1} | #13 | n:model.xmd"},  // body
                                                                                            // too
                                                                                            // short
      {9, 0x01, "IOException: Chunk read overflow at {0,#} while reading {1} | #13 | n:model.xmd"},
      {11, 0xFF,
       "EOFException: Unexpected end of file in {0}. | n:model.xmd"},  // the first integer takes
                                                                       // the second
      {12, 0x15,
       "EOFException: Unexpected end of file in {0}. | n:model.xmd"},  // the last integer goes on
      {9, 0x03, "nothing thrown"},
  };
  for (const Case& c : cases) {
    Bytes poked = valid.bytes();
    poked[c.at] = c.value;
    io::ByteArrayInputStream src(poked, "model.xmd");
    io::ChunkInputStream in(&src);
    EXPECT_EQ(thrown([&] {
                lang::String name;
                int end = 0;
                in.beginChunk(name, end);
                in.readInt();
                in.readInt();
                in.endChunk(end);
              }),
              c.error)
        << "byte " << c.at;
  }
}

TEST(ChunkInputStream, ReadingPastTheBodyIsReportedByEndChunk) {
  ChunkBuilder b;
  b.begin("faces").integer(1).end().integer(2);
  Reader r(b);
  lang::String name;
  int end = 0;
  r.chunks.beginChunk(name, end);
  r.chunks.readInt();
  r.chunks.readInt();  // belongs to what follows the chunk: no check here
  EXPECT_EQ(thrown([&] { r.chunks.endChunk(end); }),
            "IOException: Chunk read overflow at {0,#} while reading {1} | #13 | n:model.xmd");
  EXPECT_EQ(thrown([&] { r.chunks.endChunk(INT_MIN); }),
            "IOException: Chunk read overflow at {0,#} while reading {1} | #13 | n:model.xmd");
}

TEST(ChunkInputStream, BodyPastTheEndOfTheSource) {
  ChunkBuilder b;
  b.header("big", 1000).integer(3);
  Reader r(b);
  lang::String name;
  int end = 0;
  r.chunks.beginChunk(name, end);
  EXPECT_EQ(r.chunks.readInt(), 3);
  r.chunks.endChunk(end);  // no error: the skip stops where the source ends
  EXPECT_EQ(r.chunks.getPosition(), static_cast<int>(b.size()));
  EXPECT_EQ(thrown([&] { r.chunks.readInt(); }),
            "EOFException: Unexpected end of file in {0}. | n:model.xmd");
}

TEST(ChunkInputStream, ReadBytesCopiesARangeAndReturns) {
  ChunkBuilder b;
  b.begin("root").integer(1);
  size_t childStart = b.size();
  b.begin("foreign").f32(1.0f).str("abc").end();
  size_t childEnd = b.size();
  b.integer(42).end();
  Reader r(b);
  lang::String name;
  int rootEnd = 0, end = 0;
  r.chunks.beginChunk(name, rootEnd);
  r.chunks.readInt();
  int start = r.chunks.beginChunk(name, end);
  EXPECT_EQ(start, static_cast<int>(childStart));
  EXPECT_EQ(end, static_cast<int>(childEnd));
  int before = r.chunks.getPosition();

  std::vector<unsigned char> buffer(5000, 0xEE);  // stale contents must not survive
  r.chunks.readBytes(buffer, start, end - start);
  EXPECT_EQ(buffer, Bytes(b.bytes().begin() + childStart, b.bytes().begin() + childEnd));
  EXPECT_EQ(r.chunks.getPosition(), before);
  EXPECT_EQ(r.chunks.readFloat(), 1.0f);  // reading goes on where it was
  r.chunks.endChunk(end);
  EXPECT_EQ(r.chunks.readInt(), 42);

  r.chunks.readBytes(buffer, 0, 0);
  EXPECT_TRUE(buffer.empty());
}

TEST(ChunkInputStream, ReadBytesNeverAllocatesWhatTheSourceDoesNotHave) {
  ChunkBuilder b;
  b.header("huge", INT_MAX - 10).raw(Bytes(90, 0x33));  // 100 bytes in all
  Reader r(b);
  lang::String name;
  int end = 0;
  int start = r.chunks.beginChunk(name, end);
  std::vector<unsigned char> buffer;
  r.chunks.readBytes(buffer, start, end - start);
  EXPECT_EQ(buffer.size(), 100u);
  EXPECT_LT(buffer.capacity(), 1u << 20);
  EXPECT_EQ(buffer, b.bytes());
  EXPECT_EQ(r.chunks.getPosition(), 10);
}

TEST(ChunkInputStream, ReadBytesOutsideTheSourceFails) {
  ChunkBuilder b;
  b.header("x", 0);
  Reader r(b);
  std::vector<unsigned char> buffer;
  EXPECT_EQ(thrown([&] { r.chunks.readBytes(buffer, -1, 4); }),
            "IOException: Failed to seek file position: {0} | n:model.xmd");
  EXPECT_EQ(thrown([&] { r.chunks.readBytes(buffer, 1000, 4); }),
            "IOException: Failed to seek file position: {0} | n:model.xmd");
  EXPECT_EQ(r.chunks.getPosition(), 0);
  r.chunks.readBytes(buffer, 5, 100);  // runs off the end: what is there
  EXPECT_EQ(buffer, bytes({0, 0}));
}

TEST(ChunkInputStream, TheStreamInterfaceBypassesThePosition) {
  ChunkBuilder b;
  b.begin("a").integer(1).integer(2).end();
  Reader r(b);
  EXPECT_EQ(r.chunks.skip(3), 3);
  EXPECT_EQ(r.chunks.getPosition(), 0);
  EXPECT_EQ(r.chunks.toString(), "model.xmd");
  EXPECT_EQ(r.chunks.clone().get(), nullptr);
  EXPECT_EQ(r.chunks.available(), static_cast<int>(b.size()) - 3);
}

TEST(ChunkInputStream, EveryPrefixOfATreeEndsInEOF) {
  ChunkBuilder b;
  b.begin("root").integer(123456);
  b.begin("a").integer(-5).f32(0.5f).end();
  b.begin("b").begin("c").str("name").u8(1).end().integer(64).end();
  b.end();
  const Bytes& full = b.bytes();
  for (size_t cut = 0; cut < full.size(); ++cut) {
    io::ByteArrayInputStream src(Bytes(full.begin(), full.begin() + cut), "cut");
    io::ChunkInputStream in(&src);
    std::string result = thrown([&] {
      lang::String name;
      int rootEnd, end, innerEnd;
      in.beginChunk(name, rootEnd);
      in.readInt();
      in.beginChunk(name, end);
      in.readInt();
      in.readFloat();
      in.endChunk(end);
      in.beginChunk(name, end);
      in.beginChunk(name, innerEnd);
      in.readString();
      in.readByte();
      in.endChunk(innerEnd);
      in.readInt();
      in.endChunk(end);
      in.endChunk(rootEnd);
    });
    EXPECT_EQ(result, "EOFException: Unexpected end of file in {0}. | n:cut") << cut;
    EXPECT_LE(in.getPosition(), static_cast<int>(cut));
  }
}

}  // namespace
