#include "io/ChunkOutputStream.h"
#include "testing/IoTestSupport.h"
#include "testing/ChunkBuilder.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <vector>

namespace {

using xmdtest::bytes;
using xmdtest::ChunkBuilder;
using xmdtest::thrown;
typedef std::vector<unsigned char> Bytes;

// Keeps each write it receives as one piece; can be told to fail.
class RecordingStream : public io::OutputStream {
 public:
  int write(const void* src, int size) override {
    if (failWrites)
      throw io::IOException(lang::Format(lang::String("Failed to write to file: {0}"),
                                         lang::FormatArg(std::string("rec"))));
    const unsigned char* p = static_cast<const unsigned char*>(src);
    writes.push_back(Bytes(p, p + size));
    return size;
  }
  std::string toString() const override { return "result.xmd"; }
  Bytes all() const {
    Bytes out;
    for (const Bytes& w : writes) out.insert(out.end(), w.begin(), w.end());
    return out;
  }
  std::vector<Bytes> writes;
  bool failWrites = false;
};

lang::String str(const char* s) { return lang::String(s); }

TEST(ChunkOutputStream, EmptyChunkInOneWrite) {
  RecordingStream sink;
  io::ChunkOutputStream out(&sink);
  out.beginChunk(str("skin"));
  out.endChunk();
  ASSERT_EQ(sink.writes.size(), 1u);
  EXPECT_EQ(sink.writes[0], bytes({0x00, 0x04, 0x73, 0x6B, 0x69, 0x6E, 0x00, 0x00, 0x00, 0x00}));
}

TEST(ChunkOutputStream, BodyLengthCountsTheBody) {
  RecordingStream sink;
  io::ChunkOutputStream out(&sink);
  out.beginChunk(str("faces"));
  out.writeInt(5);
  out.endChunk();
  ASSERT_EQ(sink.writes.size(), 1u);
  EXPECT_EQ(sink.writes[0],
            bytes({0x00, 0x05, 0x66, 0x61, 0x63, 0x65, 0x73, 0x00, 0x00, 0x00, 0x01, 0x14}));
}

TEST(ChunkOutputStream, NestedChunksReachTheSinkWithTheOutermost) {
  RecordingStream sink;
  io::ChunkOutputStream out(&sink);
  out.beginChunk(str("model"));
  out.writeInt(1);
  out.beginChunk(str("points"));
  out.writeFloat(1.0f);
  out.writeFloat(-2.0f);
  out.endChunk();
  out.beginChunk(str("empty"));
  out.endChunk();
  EXPECT_TRUE(sink.writes.empty());
  EXPECT_EQ(out.openChunks(), 1);
  out.writeString(str("tail"));
  out.writeBytes(Bytes());
  out.endChunk();
  ASSERT_EQ(sink.writes.size(), 1u);
  ChunkBuilder expected;
  expected.begin("model").integer(1);
  expected.begin("points").f32(1.0f).f32(-2.0f).end();
  expected.begin("empty").end();
  expected.str("tail").end();
  EXPECT_EQ(sink.writes[0], expected.bytes());
  EXPECT_EQ(out.bufferedSize(), 0);
}

TEST(ChunkOutputStream, OneWritePerTopLevelChunk) {
  RecordingStream sink;
  io::ChunkOutputStream out(&sink);
  for (const char* name : {"a", "b"}) {
    out.beginChunk(str(name));
    out.writeInt(300);
    out.endChunk();
  }
  ASSERT_EQ(sink.writes.size(), 2u);
  EXPECT_EQ(sink.writes[1], ChunkBuilder().begin("b").integer(300).end().bytes());
}

TEST(ChunkOutputStream, UnpairedEndChangesNothing) {
  RecordingStream sink;
  io::ChunkOutputStream out(&sink);
  EXPECT_EQ(thrown([&] { out.endChunk(); }),
            "IOException: Unpaired end chunk when writing {0} | n:result.xmd");
  out.beginChunk(str("a"));
  out.endChunk();
  EXPECT_EQ(thrown([&] { out.endChunk(); }),
            "IOException: Unpaired end chunk when writing {0} | n:result.xmd");
  EXPECT_EQ(sink.writes.size(), 1u);
}

TEST(ChunkOutputStream, RefusedValuesWriteNothing) {
  RecordingStream sink;
  io::ChunkOutputStream out(&sink);
  out.beginChunk(str("info"));
  int before = out.bufferedSize();
  EXPECT_EQ(
      thrown([&] { out.writeInt(INT_MIN); }),
      "IOException: Chunk integer {0} out of range when writing {1} | #-2147483648 | n:result.xmd");
  EXPECT_EQ(
      thrown([&] { out.writeString(lang::String(std::u16string(40000, u'x').c_str())); }),
      "IOException: UTF-8 data of {0} bytes too long when writing {1} | #40000 | n:result.xmd");
  EXPECT_EQ(
      thrown([&] { out.beginChunk(lang::String(std::u16string(32768, u'n').c_str())); }),
      "IOException: UTF-8 data of {0} bytes too long when writing {1} | #32768 | n:result.xmd");
  EXPECT_EQ(out.openChunks(), 1);
  EXPECT_EQ(out.bufferedSize(), before);
  out.writeInt(INT_MIN + 1);
  out.endChunk();
  EXPECT_EQ(sink.all(), ChunkBuilder().begin("info").integer(INT_MIN + 1).end().bytes());
}

TEST(ChunkOutputStream, DestroyingWithAChunkOpenWritesNothing) {
  RecordingStream sink;
  {
    io::ChunkOutputStream out(&sink);
    out.beginChunk(str("model"));
    out.writeInt(1);
  }
  EXPECT_TRUE(sink.writes.empty());
}

TEST(ChunkOutputStream, StreamWritesBypassTheBuffer) {
  RecordingStream sink;
  io::ChunkOutputStream out(&sink);
  out.beginChunk(str("a"));
  unsigned char raw[2] = {0xAB, 0xCD};
  out.write(raw, 2);
  out.endChunk();
  ASSERT_EQ(sink.writes.size(), 2u);
  EXPECT_EQ(sink.writes[0], bytes({0xAB, 0xCD}));
  EXPECT_EQ(out.toString(), "result.xmd");
}

TEST(ChunkOutputStream, CloseHandsOverCompleteBytesAndForgetsOpenChunks) {
  RecordingStream sink;
  io::ChunkOutputStream out(&sink);
  out.writeInt(5);  // outside any chunk: waits for the next hand-over
  out.close();
  ASSERT_EQ(sink.writes.size(), 1u);
  EXPECT_EQ(sink.writes[0], bytes({0x14}));

  out.writeInt(6);
  out.beginChunk(str("open"));
  out.beginChunk(str("inner"));
  out.writeInt(7);
  out.close();
  ASSERT_EQ(sink.writes.size(), 2u);
  EXPECT_EQ(sink.writes[1], bytes({0x18}));  // the open chunks are dropped
  EXPECT_EQ(out.openChunks(), 0);
  EXPECT_EQ(thrown([&] { out.endChunk(); }),
            "IOException: Unpaired end chunk when writing {0} | n:result.xmd");

  // The stream goes on working.
  out.beginChunk(str("next"));
  out.endChunk();
  EXPECT_EQ(sink.writes.back(), ChunkBuilder().begin("next").end().bytes());
  out.close();  // nothing left: an empty write
  EXPECT_TRUE(sink.writes.back().empty());
}

TEST(ChunkOutputStream, AFailedHandOverKeepsTheBytes) {
  RecordingStream sink;
  io::ChunkOutputStream out(&sink);
  out.beginChunk(str("a"));
  out.writeInt(1);
  sink.failWrites = true;
  EXPECT_EQ(thrown([&] { out.endChunk(); }), "IOException: Failed to write to file: {0} | n:rec");
  EXPECT_EQ(out.bufferedSize(), 8);
  sink.failWrites = false;
  out.close();
  EXPECT_EQ(sink.all(), ChunkBuilder().begin("a").integer(1).end().bytes());
}

// A random tree, written through the chunk stream and by the builder alike.
void randomTree(std::mt19937& rng, io::ChunkOutputStream& out, ChunkBuilder& b, int depth) {
  int items = static_cast<int>(rng() % 6);
  for (int i = 0; i < items; ++i) {
    switch (rng() % 5) {
      case 0: {
        int v = static_cast<int>(rng()) >> (rng() % 31);
        if (v == INT_MIN) v = 0;
        out.writeInt(v);
        b.integer(v);
        break;
      }
      case 1: {
        float f = static_cast<float>(static_cast<int>(rng() % 2000) - 1000) / 8.0f;
        out.writeFloat(f);
        b.f32(f);
        break;
      }
      case 2: {
        std::string s(rng() % 40, static_cast<char>('a' + rng() % 26));
        out.writeString(lang::String(s.c_str()));
        b.str(s);
        break;
      }
      case 3: {
        Bytes raw(rng() % 300, static_cast<unsigned char>(rng()));
        out.writeBytes(raw);
        b.raw(raw);
        break;
      }
      default:
        if (depth < 5) {
          std::string name = "c" + std::to_string(rng() % 100);
          out.beginChunk(lang::String(name.c_str()));
          b.begin(name);
          randomTree(rng, out, b, depth + 1);
          out.endChunk();
          b.end();
        }
    }
  }
}

TEST(ChunkOutputStream, MatchesTheHandBuiltBytes) {
  std::mt19937 rng(7);
  for (int round = 0; round < 200; ++round) {
    RecordingStream sink;
    io::ChunkOutputStream out(&sink);
    ChunkBuilder b;
    out.beginChunk(str("root"));
    b.begin("root");
    randomTree(rng, out, b, 0);
    out.endChunk();
    b.end();
    ASSERT_EQ(sink.writes.size(), 1u);
    ASSERT_EQ(sink.writes[0], b.bytes()) << round;
  }
}

}  // namespace
