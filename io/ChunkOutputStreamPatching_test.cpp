// ChunkOutputStream over a patchable stream: the same bytes and failures as
// over a plain stream, with memory bounded by kPassOnSize, and what each
// mode leaves when a stream is abandoned with chunks open.
#include "io/ByteArrayOutputStream.h"
#include "io/ChunkInputStream.h"
#include "io/ChunkOutputStream.h"
#include "io/FileOutputStream.h"
#include "io/FileInputStream.h"
#include "testing/ChunkBuilder.h"
#include "testing/IoTestSupport.h"
#include "testing/TempDir.h"

#include <gtest/gtest.h>

#include <climits>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace {

using xmdtest::ChunkBuilder;
using xmdtest::thrown;
typedef std::vector<unsigned char> Bytes;
typedef std::vector<std::string> Log;

const int kPassOn = io::ChunkOutputStream::kPassOnSize;

lang::String str(const std::string& s) { return lang::String(s.c_str()); }

io::IOException writeFailure() {
  return io::IOException(lang::Format(lang::String("Failed to write to file: {0}"),
                                      lang::FormatArg(std::string("rec"))));
}

// A plain stream: keeps every write; lengths must be buffered over it.
class PlainSink : public io::OutputStream {
 public:
  int write(const void* src, int size) override {
    const unsigned char* p = static_cast<const unsigned char*>(src);
    bytes.insert(bytes.end(), p, p + size);
    ++writes;
    return size;
  }
  std::string toString() const override { return "result.xmd"; }
  Bytes bytes;
  int writes = 0;
};

// A patchable stream over memory that keeps a record of its calls and can be
// told to fail them.
class PatchSink : public io::PatchableOutputStream {
 public:
  int write(const void* src, int size) override {
    if (failWrites) throw writeFailure();
    ++writes;
    return m_bytes.write(src, size);
  }
  std::string toString() const override { return "result.xmd"; }
  std::int64_t getPosition() override { return m_bytes.getPosition(); }
  void patch(std::int64_t position, const void* src, int size) override {
    if (failPatches) throw writeFailure();
    m_bytes.patch(position, src, size);
    patches.push_back(position);
  }
  Bytes bytes() const { return Bytes(m_bytes.data(), m_bytes.data() + m_bytes.size()); }

  int writes = 0;
  std::vector<std::int64_t> patches;
  bool failWrites = false;
  bool failPatches = false;

 private:
  io::ByteArrayOutputStream m_bytes{0};
};

// Runs f, adding what it threw (or "nothing thrown") to the log.
template <class F>
void attempt(Log& log, F&& f) {
  log.push_back(thrown(std::forward<F>(f)));
}

typedef std::function<void(io::ChunkOutputStream&, Log&)> Script;

struct Outcome {
  Bytes bytes;
  Log log;
  int buffered;
};

Outcome runPlain(const Script& script) {
  PlainSink sink;
  Outcome o;
  {
    io::ChunkOutputStream out(&sink);
    EXPECT_FALSE(out.patchesLengths());
    script(out, o.log);
    o.buffered = out.bufferedSize();
  }
  o.bytes = sink.bytes;
  return o;
}

Outcome runPatched(const Script& script, PatchSink& sink) {
  Outcome o;
  {
    io::ChunkOutputStream out(&sink);
    EXPECT_TRUE(out.patchesLengths());
    script(out, o.log);
    o.buffered = out.bufferedSize();
    EXPECT_LE(o.buffered, kPassOn);
  }
  o.bytes = sink.bytes();
  return o;
}

Bytes filler(size_t n, int seed) {
  Bytes b(n);
  for (size_t i = 0; i < n; ++i) b[i] = static_cast<unsigned char>(i * 31 + seed);
  return b;
}

TEST(ChunkOutputStreamPatching, SameBytesAndFailuresAsBuffering) {
  const lang::String tooLong(std::u16string(32768, u'n').c_str());
  struct Case {
    const char* name;
    Script script;
  };
  const Case cases[] = {
      {"empty chunk",
       [](io::ChunkOutputStream& o, Log&) {
         o.beginChunk(str("skin"));
         o.endChunk();
       }},
      {"nested and empty chunks, every value kind",
       [](io::ChunkOutputStream& o, Log&) {
         o.beginChunk(str("model"));
         o.writeInt(1);
         o.beginChunk(str("points"));
         o.writeFloat(1.0f);
         o.writeFloat(-2.0f);
         o.endChunk();
         o.beginChunk(str("empty"));
         o.beginChunk(str(""));
         o.endChunk();
         o.endChunk();
         o.writeString(str("tail \xC3\xA9"));
         o.writeBytes(Bytes());
         o.writeInt(INT_MAX);
         o.writeInt(INT_MIN + 1);
         o.endChunk();
       }},
      {"two top-level chunks and values outside any chunk",
       [](io::ChunkOutputStream& o, Log&) {
         o.writeInt(5);
         o.beginChunk(str("a"));
         o.writeInt(300);
         o.endChunk();
         o.writeString(str("between"));
         o.beginChunk(str("b"));
         o.endChunk();
         o.writeInt(-6);
         o.close();
       }},
      {"unpaired ends and refused values write nothing",
       [&tooLong](io::ChunkOutputStream& o, Log& log) {
         attempt(log, [&] { o.endChunk(); });
         o.beginChunk(str("info"));
         o.writeBytes(filler(kPassOn - 3, 1));
         attempt(log, [&] { o.writeInt(INT_MIN); });
         attempt(log, [&] { o.writeString(tooLong); });
         attempt(log, [&] { o.beginChunk(tooLong); });
         log.push_back(std::to_string(o.openChunks()));
         o.writeInt(7);
         o.writeBytes(filler(2 * kPassOn, 2));
         attempt(log, [&] { o.writeInt(INT_MIN); });
         o.endChunk();
         attempt(log, [&] { o.endChunk(); });
       }},
      {"a chunk larger than the buffer inside small ones",
       [](io::ChunkOutputStream& o, Log&) {
         o.beginChunk(str("xmd"));
         o.writeInt(1);
         o.beginChunk(str("meta"));
         o.writeBytes(filler(3 * kPassOn + 5, 3));
         o.endChunk();
         o.beginChunk(str("model"));
         for (int i = 0; i < 40000; ++i) o.writeInt(i * 997);
         o.beginChunk(str("inner"));
         o.endChunk();
         o.endChunk();
         o.endChunk();
       }},
      {"a long name at the edge of the buffer",
       [](io::ChunkOutputStream& o, Log&) {
         o.beginChunk(str("top"));
         o.writeBytes(filler(kPassOn - 100, 4));
         o.beginChunk(lang::String(std::u16string(32767, u'x').c_str()));
         o.writeBytes(filler(kPassOn - 10, 5));
         o.endChunk();
         o.endChunk();
       }},
  };
  for (const Case& c : cases) {
    PatchSink sink;
    const Outcome plain = runPlain(c.script);
    const Outcome patched = runPatched(c.script, sink);
    EXPECT_EQ(patched.bytes, plain.bytes) << c.name;
    EXPECT_EQ(patched.log, plain.log) << c.name;
    EXPECT_FALSE(plain.bytes.empty()) << c.name;
  }
}

TEST(ChunkOutputStreamPatching, RefusalsNameTheStream) {
  // The failures themselves, as the buffered tests know them.
  PatchSink sink;
  const Outcome o = runPatched(
      [](io::ChunkOutputStream& out, Log& log) {
        attempt(log, [&] { out.endChunk(); });
        out.beginChunk(str("info"));
        attempt(log, [&] { out.writeInt(INT_MIN); });
        attempt(log, [&] { out.beginChunk(lang::String(std::u16string(32768, u'n').c_str())); });
        out.endChunk();
      },
      sink);
  EXPECT_EQ(o.log, (Log{"IOException: Unpaired end chunk when writing {0} | n:result.xmd",
                        "IOException: Chunk integer {0} out of range when writing {1} | "
                        "#-2147483648 | n:result.xmd",
                        "IOException: UTF-8 data of {0} bytes too long when writing {1} | "
                        "#32768 | n:result.xmd"}));
  EXPECT_EQ(o.bytes, ChunkBuilder().begin("info").end().bytes());
}

// Every length of a filler before a nested pair of chunks: the pass-on
// boundary falls before, inside and after each header and each value.
TEST(ChunkOutputStreamPatching, EveryBoundaryPosition) {
  for (int pad = kPassOn - 80; pad <= kPassOn + 8; ++pad) {
    const Script script = [pad](io::ChunkOutputStream& o, Log&) {
      o.beginChunk(str("outer"));
      o.writeBytes(filler(static_cast<size_t>(pad), pad));
      o.beginChunk(str("inner"));
      o.writeInt(123456);
      o.writeString(str("s"));
      o.endChunk();
      o.writeFloat(0.5f);
      o.endChunk();
    };
    ChunkBuilder b;
    b.begin("outer").raw(filler(static_cast<size_t>(pad), pad));
    b.begin("inner").integer(123456).str("s").end().f32(0.5f).end();
    PatchSink sink;
    ASSERT_EQ(runPatched(script, sink).bytes, b.bytes()) << pad;
  }
}

// Random trees with blobs up to twice the buffer, against the hand-built
// bytes and the buffered stream.
void randomTree(std::mt19937& rng, io::ChunkOutputStream* outs[2], ChunkBuilder& b, int depth) {
  const int items = static_cast<int>(rng() % 6);
  for (int i = 0; i < items; ++i) {
    switch (rng() % 4) {
      case 0: {
        const int v = static_cast<int>(rng() >> (rng() % 31)) | 1;
        for (int k = 0; k < 2; ++k) outs[k]->writeInt(v);
        b.integer(v);
        break;
      }
      case 1: {
        const std::string s(rng() % 40, static_cast<char>('a' + rng() % 26));
        for (int k = 0; k < 2; ++k) outs[k]->writeString(str(s));
        b.str(s);
        break;
      }
      case 2: {
        const Bytes raw = filler(rng() % 4 == 0 ? rng() % (2 * kPassOn) : rng() % 300, i);
        for (int k = 0; k < 2; ++k) outs[k]->writeBytes(raw);
        b.raw(raw);
        break;
      }
      default:
        if (depth < 4) {
          const std::string name = "c" + std::to_string(rng() % 100);
          for (int k = 0; k < 2; ++k) outs[k]->beginChunk(str(name));
          b.begin(name);
          randomTree(rng, outs, b, depth + 1);
          for (int k = 0; k < 2; ++k) outs[k]->endChunk();
          b.end();
        }
    }
  }
}

TEST(ChunkOutputStreamPatching, RandomTreesMatchTheHandBuiltBytes) {
  std::mt19937 rng(11);
  for (int round = 0; round < 60; ++round) {
    PlainSink plain;
    PatchSink patched;
    io::ChunkOutputStream plainOut(&plain);
    io::ChunkOutputStream patchedOut(&patched);
    io::ChunkOutputStream* outs[2] = {&plainOut, &patchedOut};
    ChunkBuilder b;
    for (int k = 0; k < 2; ++k) outs[k]->beginChunk(str("root"));
    b.begin("root");
    randomTree(rng, outs, b, 0);
    for (int k = 0; k < 2; ++k) outs[k]->endChunk();
    b.end();
    ASSERT_EQ(plain.bytes, b.bytes()) << round;
    ASSERT_EQ(patched.bytes(), b.bytes()) << round;
    EXPECT_EQ(plain.writes, 1) << round;
  }
}

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

TEST(ChunkOutputStreamPatching, ThroughARealFile) {
  xmdtest::TempDir dir;
  const std::string path = dir / "big.xmd";
  ChunkBuilder b;
  {
    io::FileOutputStream file(path);
    io::ChunkOutputStream out(&file);
    ASSERT_TRUE(out.patchesLengths());
    out.beginChunk(str("xmd"));
    b.begin("xmd");
    for (int i = 0; i < 5; ++i) {
      const std::string name = "part" + std::to_string(i);
      out.beginChunk(str(name));
      out.writeInt(i);
      out.writeBytes(filler(static_cast<size_t>(kPassOn / 2 * i + 1), i));
      out.beginChunk(str("empty"));
      out.endChunk();
      out.endChunk();
      b.begin(name).integer(i).raw(filler(static_cast<size_t>(kPassOn / 2 * i + 1), i));
      b.begin("empty").end().end();
    }
    out.endChunk();
    b.end();
    file.flush();
  }
  std::ifstream f(path, std::ios::binary);
  EXPECT_EQ(Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()), b.bytes());
}

}  // namespace
