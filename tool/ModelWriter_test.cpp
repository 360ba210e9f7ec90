#include <gtest/gtest.h>

#include "samples/SampleModels.h"
#include "testing/ModelFixtures.h"
#include "testing/WeldCheck.h"

namespace {

using namespace xmdtest;
using tool::ModelStore;
using tool::ModelStreamProcessor;

// The result of the standard plain model.
void plainResult(ChunkBuilder& b) {
  b.begin("model");
  info(b, {3, 1, 0, 0, 0, 0});
  material(b);
  points(b, 3);
  faces(b, {0, 1, 2});
  b.end();
}

void foreign(ChunkBuilder& b, const char* name) {
  // Odd contents on purpose: a nested chunk, raw bytes, a "model" name inside.
  b.begin(name).integer(42).raw(std::string("\x00\xff\x80 model", 9));
  b.begin("model").u8(1).end();
  b.end();
}

TEST(ModelWriter, ForeignSubchunksAreCopiedByteForByteInTheirPlaces) {
  const RunResult run = process(file(
      [](ChunkBuilder& b) {
        foreign(b, "meta");
        plainModel(b);
        foreign(b, "Model");
      },
      1234567));
  EXPECT_TRUE(run.passed);
  EXPECT_EQ(file(
                [](ChunkBuilder& b) {
                  foreign(b, "meta");
                  plainResult(b);
                  foreign(b, "Model");
                },
                1234567),
            run.result);
}

TEST(ModelWriter, TwoModelsAreReportedAndRewrittenInOrder) {
  const RunResult run = process(file([](ChunkBuilder& b) {
    plainModel(b);
    model([](ChunkBuilder& m) {
      info(m, {4, 2, 0, 0});
      material(m, 9);
      pointList(m, {0, 0, 0, 1, 0, 0, 0, 0, 0, 1, 1, 1});
      faces(m, {0, 1, 2, 2, 3, 0});
    })(b);
  }));
  EXPECT_EQ("INFO - optimization 3 -> 3\n\nINFO - optimization 4 -> 3\n\n", run.console);
  EXPECT_EQ(file([](ChunkBuilder& b) {
              plainResult(b);
              b.begin("model");
              info(b, {3, 2, 0, 0, 0, 0});
              material(b, 9);
              pointList(b, {0, 0, 0, 1, 0, 0, 1, 1, 1});
              faces(b, {0, 1, 0, 0, 2, 0});
              b.end();
            }),
            run.result);
}

TEST(ModelWriter, ARejectedModelLeavesAnEmptyChunkAndTheOthersGoOn) {
  const RunResult run = process(file([](ChunkBuilder& b) {
    b.begin("model").end();  // as a rejected model is written
    model([](ChunkBuilder& m) { info(m, {0, 1, 0, 0}); })(b);
    plainModel(b);
  }));
  EXPECT_FALSE(run.passed);
  EXPECT_EQ("ERROR - no info chunk\nERROR - invalid vertex count\nINFO - optimization 3 -> 3\n\n",
            run.console);
  EXPECT_EQ(file([](ChunkBuilder& b) {
              b.begin("model").end();
              b.begin("model").end();
              plainResult(b);
            }),
            run.result);
}

TEST(ModelWriter, BytesAfterTheTopLevelChunkAreNotCopied) {
  Bytes bytes = file(plainModel, 5);
  bytes.insert(bytes.end(), {0xde, 0xad, 0xbe, 0xef});
  EXPECT_EQ(file(plainResult, 5), process(bytes).result);
}

TEST(ModelWriter, InfoIsWrittenWithAllSevenFields) {
  struct Case {
    std::vector<int64_t> in, out;
  };
  const Case cases[] = {
      {{3, 1, 0, 0}, {3, 1, 0, 0, 0, 0}},            // ends after the dimensions
      {{3, 1, 0, 0, 4}, {3, 1, 0, 0, 4, 0}},         // colour size kept, colours dropped
      {{3, 1, 0, 0, 0, -7}, {3, 1, 0, 0, 0, 1}},     // any non-zero flag is written as 1
      {{3, 1, 0, 0, 3, 0, 99}, {3, 1, 0, 0, 3, 0}},  // further bytes skipped
  };
  for (const Case& c : cases) {
    const int colourSize = c.out[4];
    const RunResult run = process(file(model([&](ChunkBuilder& b) {
      info(b, c.in);
      material(b);
      points(b, 3);
      b.begin("vertexcolors").raw(std::string(3 * colourSize, '\x10')).end();
      faces(b, {0, 1, 2});
    })));
    EXPECT_EQ(file([&](ChunkBuilder& b) {
                b.begin("model");
                info(b, c.out);
                material(b);
                points(b, 3);
                faces(b, {0, 1, 2});
                b.end();
              }),
              run.result)
        << c.in.size();
  }
}

TEST(ModelWriter, WeldedModelHasTheWeldedCountInEverySubchunk) {
  // Six vertices, two of them copies (one within the tolerance), with
  // normals, a two-component layer and a skin.
  const RunResult run = process(file(model([](ChunkBuilder& b) {
    info(b, {6, 2, 2, 1, 2});
    b.begin("unknown").u8(7).end();
    material(b, 3);
    pointList(b, {0, 0, 0, 1, 0, 0, 0, 0, 0, 2, 0, 0, 1, 5e-6f, 0, 3, 0, 0});
    floats(b, "vertexnormalsf", {0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1});
    faces(b, {0, 1, 2, 3, 4, 5});
    floats(b, "texcoordlayer", {0, 0, 1, 0, 0, 0, 2, 0, 1, 0, 3, 0});
    skin(b, 2, {{{0, 1}}, {{1, 0.25f}, {0, 0.75f}}, {{0, 1}}, {}, {{0, 0.75f}, {1, 0.25f}}, {}});
  })));
  EXPECT_EQ("INFO - optimization 6 -> 4\n\n", run.console);
  EXPECT_EQ(file([](ChunkBuilder& b) {
              b.begin("model");
              info(b, {4, 2, 2, 1, 2, 0, 0});
              material(b, 3);
              pointList(b, {0, 0, 0, 1, 0, 0, 2, 0, 0, 3, 0, 0});
              floats(b, "vertexnormalsf", {0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1});
              faces(b, {0, 1, 0, 2, 1, 3});
              floats(b, "texcoordlayer", {0, 0, 1, 0, 2, 0, 3, 0});
              skin(b, 2, {{{0, 1}}, {{0, 0.75f}, {1, 0.25f}}, {}, {}});
              b.end();
            }),
            run.result);
}

TEST(ModelWriter, SkinKeepsTheHeaviestFourInOrder) {
  // Per vertex: what it lists, then what the result holds.
  struct Case {
    const char* name;
    std::vector<Pair> in;
    int64_t count;
    std::vector<Pair> out;
  };
  std::vector<Pair> forty;
  for (int i = 0; i < 40; ++i) forty.push_back(Pair{i % 7, 0.01f * float(i)});
  forty[35].weight = 9;  // beyond the first 32: validated, never kept
  const Case cases[] = {
      {"six",
       {{1, 0.1f}, {2, 0.5f}, {3, 0.05f}, {4, 0.2f}, {5, 0.1f}, {6, 0.05f}},
       6,
       {{2, 0.5f}, {4, 0.2f}, {1, 0.1f}, {5, 0.1f}}},
      {"two", {{1, 0.25f}, {3, 0.75f}}, 2, {{3, 0.75f}, {1, 0.25f}}},
      {"negative count", {}, -3, {}},
      {"forty", forty, 40, {forty[31], forty[30], forty[29], forty[28]}},
  };
  for (const Case& c : cases) {
    const RunResult run = process(file(model([&](ChunkBuilder& b) {
      info(b, {1, 0, 4, 0});
      material(b);
      points(b, 1);
      faces(b, {});
      skin(b, 7, {c.in}, {c.count});
    })));
    EXPECT_EQ(file([&](ChunkBuilder& b) {
                b.begin("model");
                info(b, {1, 0, 4, 0, 0, 0});
                material(b);
                points(b, 1);
                faces(b, {});
                skin(b, 7, {c.out});
                b.end();
              }),
              run.result)
        << c.name;
  }
}

TEST(ModelWriter, CommonInfluenceCountIsWrittenForEveryVertex) {
  for (int n = 0; n <= 4; ++n) {
    std::vector<std::vector<Pair>> in(3), out(3);
    for (int v = 0; v < 3; ++v)
      for (int i = 0; i < n; ++i) {
        in[v].push_back(Pair{i, 0.1f * float(i + 1)});
        out[v].insert(out[v].begin(), Pair{i, 0.1f * float(i + 1)});
      }
    const RunResult run = process(file(model([&](ChunkBuilder& b) {
      info(b, {3, 1, 1, 0});
      material(b);
      points(b, 3);
      faces(b, {0, 1, 2});
      skin(b, 4, in);
    })));
    EXPECT_EQ(file([&](ChunkBuilder& b) {
                b.begin("model");
                info(b, {3, 1, 1, 0, 0, 0});
                material(b);
                points(b, 3);
                faces(b, {0, 1, 2});
                skin(b, 4, out);
                b.end();
              }),
              run.result)
        << n;
  }
}

TEST(ModelWriter, SkinOfAModelWithoutWeightsIsWrittenEmpty) {
  // Not read: no bones, no influences, whatever the chunk holds (and
  // whatever an earlier skinned model left in the store).
  process(file(model([](ChunkBuilder& b) {
    info(b, {3, 1, 1, 0});
    material(b);
    points(b, 3);
    faces(b, {0, 1, 2});
    skin(b, 2, {{{1, 1}}, {{1, 1}}, {{1, 1}}});
  })));
  const RunResult run = process(file(model([](ChunkBuilder& b) {
    info(b, {3, 1, 0, 0});
    material(b);
    points(b, 3);
    faces(b, {0, 1, 2});
    skin(b, 5, {{{1, 1}}, {{1, 1}}, {{1, 1}}});
  })));
  EXPECT_EQ(file([](ChunkBuilder& b) {
              b.begin("model");
              info(b, {3, 1, 0, 0, 0, 0});
              material(b);
              points(b, 3);
              faces(b, {0, 1, 2});
              skin(b, 0, {{}, {}, {}});
              b.end();
            }),
            run.result);
}

TEST(ModelWriter, MalformedContainersEndTheRunWithTheirFailure) {
  struct Case {
    const char* name;
    Bytes bytes;
    const char* thrown;
  };
  ChunkBuilder pastEnd;  // a foreign subchunk that claims more than the file holds
  pastEnd.begin("xmd").integer(1).header("meta", 100).raw(std::string("abc")).end();
  ChunkBuilder topPastEnd;  // the top-level chunk claims more than the file holds
  topPastEnd.header("xmd", 500).integer(1);
  plainModel(topPastEnd);
  ChunkBuilder negative;
  negative.begin("xmd").integer(1).header("meta", -1).end();
  ChunkBuilder pastModel;  // a subchunk of "model" that ends beyond the model
  pastModel.begin("xmd").integer(1).header("model", 3).begin("junk").u8(1).end().end();
  const Case cases[] = {
      {"foreign subchunk past the end", pastEnd.bytes(),
       "EOFException: Unexpected end of file in {0}. | n:test.xmd"},
      {"top-level chunk past the end", topPastEnd.bytes(),
       "EOFException: Unexpected end of file in {0}. | n:test.xmd"},
      {"negative length", negative.bytes(), "IOException: Invalid chunk {2} length at {0,#}"},
      {"subchunk past its model", pastModel.bytes(), "IOException: Chunk read overflow at {0,#}"},
  };
  for (const Case& c : cases) {
    const Failure f = processFailing(c.bytes);
    EXPECT_EQ(0u, f.thrown.find(c.thrown)) << c.name << ": " << f.thrown;
  }
}

// A file with every kind of subchunk, for the damage loops below.
Bytes fullFile() {
  return file([](ChunkBuilder& b) {
    foreign(b, "meta");
    model([](ChunkBuilder& m) {
      info(m, {4, 2, 2, 1, 2, 3, 0});
      material(m, 3);
      pointList(m, {0, 0, 0, 1, 0, 0, 0, 0, 0, 1, 1, 1});
      floats(m, "vertexnormalsf", std::vector<float>(12, 0.5f));
      faces(m, {0, 1, 2, 2, 3, 0});
      m.begin("vertexcolors").raw(std::string(12, '\x40')).end();
      floats(m, "texcoordlayer", {0, 0, 1, 0, 0, 0, 1, 1});
      skin(m, 2, {{{0, 1}}, {{1, 0.5f}, {0, 0.5f}}, {{0, 1}}, {}});
    })(b);
  });
}

TEST(ModelWriter, EveryTruncationEndsTheRunAtTheEndOfTheFile) {
  const Bytes whole = fullFile();
  for (size_t n = 0; n < whole.size(); ++n) {
    const Bytes prefix(whole.begin(), whole.begin() + n);
    const Failure f = processFailing(prefix);
    EXPECT_EQ("EOFException: Unexpected end of file in {0}. | n:test.xmd", f.thrown)
        << "prefix of " << n << " bytes";
  }
  EXPECT_EQ("nothing thrown", processFailing(whole).thrown);
}

TEST(ModelWriter, CorruptedBytesNeverReachOutsideTheStore) {
  // Every byte set to a few telling values; each run either completes or
  // ends with an io failure (the sanitizer build checks the memory side).
  const Bytes whole = fullFile();
  for (size_t i = 0; i < whole.size(); ++i)
    for (int value : {0x00, 0x01, 0x7f, 0x80, 0xfd, 0xff}) {
      Bytes damaged = whole;
      damaged[i] = static_cast<uint8_t>(value);
      const Failure f = processFailing(damaged);
      EXPECT_TRUE(f.thrown == "nothing thrown" ||
                  f.thrown.find("Exception: ") != std::string::npos);
    }
}

TEST(ModelWriter, FastWeldMatchesTheScanOnEveryTestModel) {
  std::vector<tooltest::TestModel> seen;
  std::ostringstream console;
  ModelStreamProcessor processor(testStore(), console);
  processor.setWeldObserverForTesting([&](const ModelStore& s, int vertices, int triangles) {
    seen.push_back(
        xmdtest::fromStore(s, vertices, triangles, "model " + std::to_string(seen.size())));
  });
  const std::string samples[] = {xmdsamples::crate(), xmdsamples::walker(), xmdsamples::scene()};
  for (const std::string& sample : samples)
    process(Bytes(sample.begin(), sample.end()), &processor);
  process(fullFile(), &processor);
  ASSERT_GE(seen.size(), 5u);
  for (const tooltest::TestModel& m : seen) xmdtest::expectSameWeld(m);
}

}  // namespace
