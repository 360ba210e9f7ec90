// ChunkOutputStream over a patchable stream gives the same bytes and
// failures as over a plain one, wherever the pass-on boundary falls; its bulk
// writes give what their single writes give.
#include "io/FileOutputStream.h"
#include "io/ChunkOutputStream.h"
#include "testing/ChunkBuilder.h"
#include "testing/ChunkSinks.h"
#include "testing/IoTestSupport.h"
#include "testing/TempDir.h"

#include <gtest/gtest.h>

#include <climits>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace xmdtest::chunksinks;
using xmdtest::ChunkBuilder;
using xmdtest::thrown;

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
// writeFloats leaves what as many writeFloat calls leave: the same bytes, the
// same writes to the stream, the same failure at the same value, wherever
// the buffer stands and however many values there are.
TEST(ChunkOutputStreamPatching, BulkFloatsAreSingleFloats) {
  std::vector<float> values(3 * 1024 + 7);
  for (size_t i = 0; i < values.size(); ++i) values[i] = float(i) * 0.37f - 100.0f;
  const int fills[] = {0, 1, kPassOn - 4096, kPassOn - 6, kPassOn - 4, kPassOn - 2};
  const int counts[] = {0, 1, 1023, 1024, 1025, int(values.size())};
  for (bool failing : {false, true})
    for (int fill : fills)
      for (int count : counts) {
        const auto script = [&](bool bulk) {
          return [&, bulk](io::ChunkOutputStream& o, Log& log) {
            o.beginChunk(str("points"));
            attempt(log, [&] { o.writeBytes(filler(size_t(fill), 6)); });
            attempt(log, [&] {
              if (bulk)
                o.writeFloats(values.data(), count);
              else
                for (int i = 0; i < count; ++i) o.writeFloat(values[i]);
            });
            log.push_back(std::to_string(o.bufferedSize()));
            if (!failing) o.endChunk();
          };
        };
        PatchSink bulkSink, singleSink;
        bulkSink.failWrites = singleSink.failWrites = failing;
        const Outcome bulk = runPatched(script(true), bulkSink);
        const Outcome single = runPatched(script(false), singleSink);
        const std::string what = "fill " + std::to_string(fill) + ", count " +
                                 std::to_string(count) + (failing ? ", failing" : "");
        EXPECT_EQ(bulk.bytes, single.bytes) << what;
        EXPECT_EQ(bulk.log, single.log) << what;
        EXPECT_EQ(bulkSink.writes, singleSink.writes) << what;
        if (!failing) {
          EXPECT_EQ(runPlain(script(true)).bytes, single.bytes) << what;
        }
      }
}

}  // namespace
