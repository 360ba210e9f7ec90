// ChunkOutputStream over a patchable stream: memory bounded by the pass-on
// buffer, lengths patched in place, what an abandoned stream leaves in each
// mode, and the failures of the stream under it.
#include "io/ChunkOutputStream.h"
#include "testing/ChunkBuilder.h"
#include "testing/ChunkSinks.h"
#include "testing/IoTestSupport.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using namespace xmdtest::chunksinks;
using xmdtest::ChunkBuilder;
using xmdtest::thrown;

TEST(ChunkOutputStreamPatching, MemoryStaysBoundedAndLengthsArePatchedInPlace) {
  PatchSink sink;
  io::ChunkOutputStream out(&sink);
  out.beginChunk(str("xmd"));
  out.writeInt(1);
  out.beginChunk(str("meta"));  // its length field starts at offset 10 + 6
  const Bytes piece = filler(4096, 9);
  size_t total = 10 + 10;
  for (int i = 0; i < 256; ++i) {
    out.writeBytes(piece);
    total += piece.size();
    ASSERT_LE(out.bufferedSize(), kPassOn);
    ASSERT_EQ(sink.bytes().size() + static_cast<size_t>(out.bufferedSize()), total);
  }
  out.endChunk();
  EXPECT_EQ(sink.patches, (std::vector<std::int64_t>{16}));
  out.beginChunk(str("small"));  // ends before anything passes on: no patch
  out.endChunk();
  const int writes = sink.writes;
  out.writeBytes(filler(3 * kPassOn, 1));  // large values go in one write
  EXPECT_EQ(sink.writes, writes + 2);      // the buffer, then the value
  out.endChunk();
  EXPECT_EQ(out.bufferedSize(), 0);
  EXPECT_EQ(sink.patches, (std::vector<std::int64_t>{16, 5}));  // then "xmd"

  ChunkBuilder b;
  b.begin("xmd").integer(1).begin("meta");
  for (int i = 0; i < 256; ++i) b.raw(piece);
  b.end().begin("small").end().raw(filler(3 * kPassOn, 1)).end();
  EXPECT_EQ(sink.bytes(), b.bytes());
}

// A stream abandoned with chunks open. Over a plain stream nothing of them
// is written. Over a patchable one, what was passed on stays (the open
// chunks' lengths 0) and the buffered rest is dropped; while nothing of the
// outermost open chunk was passed on, that is the same as buffering.
TEST(ChunkOutputStreamPatching, AbandonedChunks) {
  const Bytes big = filler(kPassOn, 6);
  const Script passedOn = [&big](io::ChunkOutputStream& o, Log&) {
    o.writeInt(5);
    o.beginChunk(str("open"));
    o.writeBytes(big);  // passes on what precedes it, then goes on its own
    o.beginChunk(str("inner"));
    o.writeInt(7);
  };
  const Script buffered = [](io::ChunkOutputStream& o, Log&) {
    o.writeInt(5);
    o.beginChunk(str("open"));
    o.writeBytes(filler(100, 7));
  };
  const Script next = [](io::ChunkOutputStream& o, Log& log) {
    o.close();
    log.push_back(std::to_string(o.openChunks()));
    attempt(log, [&] { o.endChunk(); });
    o.beginChunk(str("next"));  // the stream goes on working
    o.endChunk();
  };
  const Bytes next5 = ChunkBuilder().integer(5).begin("next").end().bytes();
  const Log closed = {"0", "IOException: Unpaired end chunk when writing {0} | n:result.xmd"};
  struct Case {
    const char* name;
    Script script;
    Bytes plain;
    Bytes patched;
  };
  const Case cases[] = {
      {"destroyed, outermost header passed on", passedOn, Bytes(),
       ChunkBuilder().integer(5).header("open", 0).raw(big).bytes()},
      {"destroyed, all buffered", buffered, Bytes(), Bytes()},
      {"closed, outermost header passed on",
       [&](io::ChunkOutputStream& o, Log& log) {
         passedOn(o, log);
         next(o, log);
       },
       next5, ChunkBuilder().integer(5).header("open", 0).raw(big).begin("next").end().bytes()},
      {"closed, all buffered",
       [&](io::ChunkOutputStream& o, Log& log) {
         buffered(o, log);
         next(o, log);
       },
       next5, next5},
  };
  for (const Case& c : cases) {
    PatchSink sink;
    const Outcome plain = runPlain(c.script);
    const Outcome patched = runPatched(c.script, sink);
    EXPECT_EQ(plain.bytes, c.plain) << c.name;
    EXPECT_EQ(patched.bytes, c.patched) << c.name;
    EXPECT_EQ(patched.log, plain.log) << c.name;
    if (!plain.log.empty()) {
      EXPECT_EQ(plain.log, closed) << c.name;
    }
  }
}

// Bytes written to the stream directly while a chunk is open: before the
// buffered bytes, so inside a chunk whose header was passed on, and counted.
TEST(ChunkOutputStreamPatching, StreamWritesKeepTheFramingWhole) {
  PatchSink sink;
  io::ChunkOutputStream out(&sink);
  out.beginChunk(str("a"));
  out.writeBytes(filler(kPassOn, 1));  // "a" passes on
  out.beginChunk(str("b"));            // buffered
  const unsigned char raw[3] = {0xAB, 0xCD, 0xEF};
  out.write(raw, 3);
  out.writeInt(1);
  out.endChunk();
  out.endChunk();
  ChunkBuilder b;
  b.begin("a").raw(filler(kPassOn, 1)).raw(Bytes(raw, raw + 3)).begin("b").integer(1).end().end();
  EXPECT_EQ(sink.bytes(), b.bytes());
}

TEST(ChunkOutputStreamPatching, FailuresOfTheStream) {
  {  // a failed pass-on keeps everything; the value is not appended
    PatchSink sink;
    io::ChunkOutputStream out(&sink);
    out.beginChunk(str("a"));
    out.writeBytes(filler(kPassOn - 20, 1));
    sink.failWrites = true;
    const int before = out.bufferedSize();
    EXPECT_EQ(thrown([&] { out.writeBytes(filler(100, 2)); }),
              "IOException: Failed to write to file: {0} | n:rec");
    EXPECT_EQ(out.bufferedSize(), before);
    sink.failWrites = false;
    out.writeInt(9);
    out.writeBytes(filler(100, 3));
    out.endChunk();
    EXPECT_EQ(sink.bytes(), ChunkBuilder()
                                .begin("a")
                                .raw(filler(kPassOn - 20, 1))
                                .integer(9)
                                .raw(filler(100, 3))
                                .end()
                                .bytes());
  }
  {  // a failed patch ends the chunk unpatched
    PatchSink sink;
    io::ChunkOutputStream out(&sink);
    out.beginChunk(str("a"));
    out.writeBytes(filler(kPassOn, 1));
    sink.failPatches = true;
    EXPECT_EQ(thrown([&] { out.endChunk(); }), "IOException: Failed to write to file: {0} | n:rec");
    EXPECT_EQ(out.openChunks(), 0);
  }
}

// Counts what it is given and keeps nothing, so a chunk can grow past
// 2^31 - 1 bytes through writes to the stream itself.
class CountingSink : public io::PatchableOutputStream {
 public:
  int write(const void*, int size) override {
    m_count += size;
    return size;
  }
  std::string toString() const override { return "count"; }
  std::int64_t getPosition() override { return m_count; }
  void patch(std::int64_t, const void*, int) override { ADD_FAILURE() << "no patch expected"; }

 private:
  std::int64_t m_count = 0;
};

TEST(ChunkOutputStreamPatching, ALengthPastTheLargestIntIsRefused) {
  CountingSink sink;
  io::ChunkOutputStream out(&sink);
  out.beginChunk(str("big"));
  out.writeBytes(filler(kPassOn, 1));
  const unsigned char unread = 0;  // the sink reads nothing
  out.write(&unread, INT_MAX);
  EXPECT_EQ(thrown([&] { out.endChunk(); }),
            "IOException: Invalid chunk {0} size when writing {1} | t:big | n:count");
  EXPECT_EQ(out.openChunks(), 0);
}

}  // namespace
