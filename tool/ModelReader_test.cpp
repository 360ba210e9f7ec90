#include <gtest/gtest.h>

#include <limits>

#include "testing/ModelFixtures.h"

namespace {

using namespace xmdtest;
using tool::BoneInfluence;
using tool::sortInfluences;

struct RejectCase {
  const char* name;
  Body body;  // the model chunk's contents
  const char* line;
};

// The required subchunks after a given "info".
Body withInfo(
    std::vector<int64_t> fields, Body rest = [](ChunkBuilder& b) {
      material(b);
      points(b, 3);
      faces(b, {0, 1, 2});
    }) {
  return [fields, rest](ChunkBuilder& b) {
    info(b, fields);
    rest(b);
  };
}

std::vector<int64_t> layers(std::vector<int64_t> head, int count, std::vector<int64_t> tail) {
  for (int i = 0; i < count; ++i) head.push_back(1);
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
}

TEST(ModelReader, EveryCheckPrintsItsLineAndLeavesAnEmptyModel) {
  const Body required = [](ChunkBuilder& b) {
    material(b);
    points(b, 3);
    faces(b, {0, 1, 2});
  };
  const RejectCase cases[] = {
      {"info not first",
       [](ChunkBuilder& b) {
         faces(b, {0, 1, 2});
         points(b, 3);
         info(b, {3, 1, 0, 0});
       },
       "ERROR - no info chunk"},
      {"no subchunk at all", [](ChunkBuilder&) {}, "ERROR - no info chunk"},
      {"vertex count 0", withInfo({0, 1, 0, 0}), "ERROR - invalid vertex count"},
      {"vertex count -5, triangles -1", withInfo({-5, -1, -1, 0}), "ERROR - invalid vertex count"},
      {"65535 vertices", withInfo({65535, 1, 0, 0}), "ERROR - too many vertices"},
      {"triangle count -1", withInfo({3, -1, -1, 0}), "ERROR - invalid triangle count"},
      {"weights -1", withInfo({3, 1, -1, 0}), "ERROR - invalid per vertex weight count"},
      {"third dimension 5, colour size 7", withInfo({3, 1, 0, 3, 2, 2, 5, 7}),
       "ERROR - invalid texture coordinate layer dimension"},
      {"dimension 0", withInfo({3, 1, 0, 1, 0}),
       "ERROR - invalid texture coordinate layer dimension"},
      {"colour size 2", withInfo({3, 1, 0, 0, 2}), "ERROR - invalid vertex color size"},
      {"15 layers and skinning: 17 slots", withInfo(layers({3, 1, 1, 15}, 15, {})),
       "ERROR - too many texture coordinate layers"},
      {"14 layers, skinning and the flag: 17 slots", withInfo(layers({3, 1, 1, 14}, 14, {0, 1})),
       "ERROR - too many texture coordinate layers"},
      {"17 layers", withInfo(layers({3, 1, 0, 17}, 17, {})),
       "ERROR - too many texture coordinate layers"},
      {"index 3 of 3 vertices",
       withInfo({3, 1, 0, 0},
                [](ChunkBuilder& b) {
                  faces(b, {0, 1, 3});
                }),
       "ERROR - invalid vertex index"},
      {"index -1",
       withInfo({3, 1, 0, 0},
                [](ChunkBuilder& b) {
                  faces(b, {-1, 1, 2});
                }),
       "ERROR - invalid vertex index"},
      {"257 bones",
       withInfo({3, 1, 1, 0},
                [required](ChunkBuilder& b) {
                  required(b);
                  skin(b, 257, {});
                }),
       "ERROR - too many bones"},
      {"bone index 2 of 2",
       withInfo({3, 1, 1, 0},
                [required](ChunkBuilder& b) {
                  required(b);
                  skin(b, 2, {{{0, 1.0f}}, {{2, 1.0f}}, {}});
                }),
       "ERROR - invalid bone index"},
      {"bone index -1",
       withInfo({3, 1, 1, 0},
                [required](ChunkBuilder& b) {
                  required(b);
                  skin(b, 2, {{{-1, 1.0f}}, {}, {}});
                }),
       "ERROR - invalid bone index"},
      {"40 influences, the 40th invalid",
       withInfo({3, 1, 1, 0},
                [required](ChunkBuilder& b) {
                  required(b);
                  std::vector<Pair> many(39, Pair{1, 0.5f});
                  many.push_back(Pair{9, 0.5f});
                  skin(b, 4, {many, {}, {}});
                }),
       "ERROR - invalid bone index"},
      {"declared layer missing", withInfo({3, 1, 0, 1, 2}),
       "ERROR - missing texture coordinate layer subchunk in model chunk"},
      {"layer beyond the declared ones with the flag",
       withInfo({3, 1, 0, 1, 2, 0, 1},
                [required](ChunkBuilder& b) {
                  required(b);
                  layer(b, 6);
                  layer(b, 9);
                }),
       "ERROR - missing texture coordinate layer subchunk in model chunk"},
      {"no material",
       withInfo({3, 1, 0, 0},
                [](ChunkBuilder& b) {
                  points(b, 3);
                  faces(b, {0, 1, 2});
                }),
       "ERROR - missing material subchunk in model chunk"},
      {"no points",
       withInfo({3, 1, 0, 0},
                [](ChunkBuilder& b) {
                  material(b);
                  faces(b, {0, 1, 2});
                }),
       "ERROR - missing points subchunk in model chunk"},
      {"no faces",
       withInfo({3, 1, 0, 0},
                [](ChunkBuilder& b) {
                  material(b);
                  points(b, 3);
                }),
       "ERROR - missing faces subchunk in model chunk"},
      {"weights 2 and no skin", withInfo({3, 1, 2, 0}), "ERROR - missing skin subchunk"},
      {"layer missing before material missing",
       withInfo({3, 1, 0, 1, 2}, [](ChunkBuilder& b) { points(b, 3); }),
       "ERROR - missing texture coordinate layer subchunk in model chunk"},
  };
  for (const RejectCase& c : cases) {
    const RunResult run = process(file(model(c.body)));
    EXPECT_EQ(std::string(c.line) + "\n", run.console) << c.name;
    EXPECT_FALSE(run.passed) << c.name;
    EXPECT_EQ(emptyModelFile(), run.result) << c.name;
  }
}

TEST(ModelReader, AcceptsModelsAtTheLimits) {
  struct Case {
    const char* name;
    Body body;
    const char* line;
  };
  const Case cases[] = {
      {"65534 vertices",
       withInfo({65534, 1, 0, 0},
                [](ChunkBuilder& b) {
                  material(b);
                  points(b, 65534);
                  faces(b, {0, 1, 2});
                }),
       "INFO - optimization 65534 -> 65534\n\n"},
      {"no triangles, empty faces",
       withInfo({3, 0, 0, 0},
                [](ChunkBuilder& b) {
                  material(b);
                  points(b, 3);
                  faces(b, {});
                }),
       "INFO - optimization 3 -> 3\n\n"},
      {"2 layers, skinning and the flag: 5 slots",
       withInfo({3, 1, 1, 2, 2, 3, 0, 1},
                [](ChunkBuilder& b) {
                  material(b);
                  points(b, 3);
                  faces(b, {0, 1, 2});
                  layer(b, 6);
                  layer(b, 9);
                  skin(b, 1, {{{0, 1.0f}}, {{0, 1.0f}}, {{0, 1.0f}}});
                }),
       "INFO - optimization 3 -> 3\n\n"},
      {"16 layers of 4",
       withInfo(layers({3, 1, 0, 16}, 0, {4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4}),
                [](ChunkBuilder& b) {
                  material(b);
                  points(b, 3);
                  faces(b, {0, 1, 2});
                  for (int l = 0; l < 16; ++l) layer(b, 12);
                }),
       "INFO - optimization 3 -> 3\n\n"},
      {"layer beyond the declared ones without the flag",
       withInfo({3, 1, 0, 1, 2},
                [](ChunkBuilder& b) {
                  material(b);
                  points(b, 3);
                  faces(b, {0, 1, 2});
                  layer(b, 6);
                  layer(b, 6);
                }),
       "INFO - optimization 3 -> 3\n\n"},
      {"256 bones",
       withInfo({3, 1, 1, 0},
                [](ChunkBuilder& b) {
                  material(b);
                  points(b, 3);
                  faces(b, {0, 1, 2});
                  skin(b, 256, {{{255, 1.0f}}, {}, {}});
                }),
       "INFO - optimization 3 -> 3\n\n"},
      {"colours of size 0 skipped unread",
       withInfo({3, 1, 0, 0},
                [](ChunkBuilder& b) {
                  b.begin("vertexcolors").u8(1).end();
                  material(b);
                  points(b, 3);
                  faces(b, {0, 1, 2});
                }),
       "INFO - optimization 3 -> 3\n\n"},
      {"unknown subchunk skipped",
       withInfo({3, 1, 0, 0},
                [](ChunkBuilder& b) {
                  b.begin("Points").u8(1).u8(2).end();
                  material(b);
                  points(b, 3);
                  faces(b, {0, 1, 2});
                }),
       "INFO - optimization 3 -> 3\n\n"},
  };
  for (const Case& c : cases) {
    const RunResult run = process(file(model(c.body)));
    EXPECT_EQ(c.line, run.console) << c.name;
    EXPECT_TRUE(run.passed) << c.name;
  }
}

TEST(ModelReader, ColoursShorterThanDeclaredOverflowTheirChunk) {
  // Colour size 3 needs 9 bytes for 3 vertices; the chunk holds 8.
  const Bytes bytes = file(model(withInfo({3, 1, 0, 0, 3}, [](ChunkBuilder& b) {
    b.begin("vertexcolors").raw(std::string(8, '\x7f')).end();
    material(b);
    points(b, 3);
    faces(b, {0, 1, 2});
  })));
  const Failure f = processFailing(bytes);
  EXPECT_EQ("ERROR - chunk read overflow in model chunk\n", f.console);
  EXPECT_EQ(0u, f.thrown.find("IOException: Chunk read overflow at {0,#} while reading {1}"))
      << f.thrown;
}

TEST(ModelReader, DataCutByTheEndOfTheFileEndsTheRunThere) {
  // The last subchunk of the file is short: the reads run into the end of
  // the file, not just past the chunk, and fail there.
  const Body cases[] = {
      [](ChunkBuilder& b) {
        material(b);
        points(b, 3);
        faces(b, {0, 1, 2});
        b.begin("vertexcolors").raw(std::string(8, '\x7f')).end();
      },
      [](ChunkBuilder& b) {
        material(b);
        faces(b, {0, 1, 2});
        b.begin("points").raw(std::string(35, '\x01')).end();
      },
      [](ChunkBuilder& b) {
        material(b);
        points(b, 3);
        faces(b, {0, 1});
      },
      [](ChunkBuilder& b) {
        material(b);
        points(b, 3);
        faces(b, {0, 1, 2});
        b.begin("texcoordlayer").raw(std::string(3, '\x01')).end();
      },
  };
  int i = 0;
  for (const Body& body : cases) {
    const Failure f = processFailing(file(model(withInfo({3, 1, 0, 1, 1, 3}, body))));
    EXPECT_EQ("", f.console) << i;
    EXPECT_EQ("EOFException: Unexpected end of file in {0}. | n:test.xmd", f.thrown) << i++;
  }
}

TEST(ModelReader, InfoFieldsPastTheInfoChunkEndTheRun) {
  // "info" claims 2 body bytes but the four counts take 4.
  ChunkBuilder b;
  b.begin("xmd").integer(1).begin("model");
  b.header("info", 2).integer(3).integer(1).integer(0).integer(0);
  material(b);
  b.end().end();
  const Failure f = processFailing(b.bytes());
  EXPECT_EQ("", f.console);
  EXPECT_EQ(0u, f.thrown.find("IOException: Chunk read overflow")) << f.thrown;
}

TEST(ModelReader, FaceIndicesOfEveryLengthAreReadAsChunkIntegers) {
  // 1- to 3-byte indices, and a long run of them across several blocks.
  std::vector<int64_t> corners = {0, 63, 64, 8191, 8192, 65533};
  for (int i = 0; i < 60000; ++i) corners.push_back((i * 7919) % 65534);
  const RunResult run = process(file(model([&](ChunkBuilder& b) {
    info(b, {65534, int64_t(corners.size() / 3), 0, 0});
    material(b);
    points(b, 65534);
    faces(b, corners);
  })));
  ASSERT_TRUE(run.passed) << run.console;
  const std::vector<int32_t>& stored = testStore().faces;
  ASSERT_EQ(corners.size(), stored.size());
  for (size_t i = 0; i < corners.size(); ++i) ASSERT_EQ(corners[i], stored[i]) << i;
}

TEST(ModelReader, FaceIndexThatIsNoChunkIntegerFailsAsTheStreamSays) {
  // A 6-byte integer and one past 2^31 - 1, each after two good indices:
  // the failure names the position of the bad integer's first byte.
  struct Case {
    const char* name;
    std::string bytes;
  };
  const Case cases[] = {
      {"six bytes", std::string("\x01\x01\x01\x01\x01\x00", 6)},
      {"too large", std::string("\xfd\xff\xff\xff\x7e", 5)},
  };
  for (const Case& c : cases) {
    ChunkBuilder b;
    b.begin("xmd").integer(1).begin("model");
    info(b, {3, 1, 0, 0});
    b.begin("faces").integer(0).integer(1);
    const size_t at = b.size();
    b.raw(c.bytes).end().end().end();
    const Failure f = processFailing(b.bytes());
    EXPECT_EQ("IOException: Invalid chunk integer at {0,#} while reading {1} | #" +
                  std::to_string(at) + " | n:test.xmd",
              f.thrown)
        << c.name;
  }
}

TEST(ModelReader, SortInfluencesIsStableAndHeaviestFirst) {
  BoneInfluence list[16];
  for (int i = 0; i < 16; ++i) list[i] = BoneInfluence{i, float(i % 3)};
  sortInfluences(list, 16);
  const int expected[] = {2, 5, 8, 11, 14, 1, 4, 7, 10, 13, 0, 3, 6, 9, 12, 15};
  for (int i = 0; i < 16; ++i) EXPECT_EQ(expected[i], list[i].bone) << i;
  BoneInfluence withNaN[3] = {{0, 1}, {1, std::numeric_limits<float>::quiet_NaN()}, {2, 2}};
  sortInfluences(withNaN, 3);  // a NaN weight compares false: nothing moves past it
  EXPECT_EQ(0, withNaN[0].bone);
  EXPECT_EQ(1, withNaN[1].bone);
  EXPECT_EQ(2, withNaN[2].bone);
}

}  // namespace
