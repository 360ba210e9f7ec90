// A nested chunk tree through real files: written with ChunkOutputStream
// over a FileOutputStream, read back with ChunkInputStream over a
// FileInputStream, and copied chunk by chunk (readBytes / writeBytes) the
// way a model file is rewritten.
#include "io/ChunkInputStream.h"
#include "io/ChunkOutputStream.h"
#include "io/FileInputStream.h"
#include "io/FileOutputStream.h"
#include "testing/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

typedef std::vector<unsigned char> Bytes;

std::vector<unsigned char> fileBytes(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

lang::String str(const std::string& s) { return lang::String(s.c_str()); }

// Chunk "level<d>" holds d, a float, a string, a blob of 100 * d bytes, then
// its child, down to depth 0.
void writeLevel(io::ChunkOutputStream& out, int depth) {
  out.beginChunk(str("level" + std::to_string(depth)));
  out.writeInt(depth * 1000 - 7);
  out.writeFloat(depth * 0.25f);
  out.writeString(str("name of " + std::to_string(depth)));
  out.writeBytes(Bytes(100 * depth, static_cast<unsigned char>(depth)));
  if (depth > 0) writeLevel(out, depth - 1);
  out.endChunk();
}

void readLevel(io::ChunkInputStream& in, int depth) {
  lang::String name;
  int end = 0;
  in.beginChunk(name, end);
  ASSERT_TRUE(name == str("level" + std::to_string(depth)));
  EXPECT_EQ(in.readInt(), depth * 1000 - 7);
  EXPECT_EQ(in.readFloat(), depth * 0.25f);
  EXPECT_TRUE(in.readString() == str("name of " + std::to_string(depth)));
  for (int i = 0; i < 100 * depth; ++i) ASSERT_EQ(in.readByte(), depth);
  if (depth > 0) readLevel(in, depth - 1);
  EXPECT_EQ(in.getPosition(), end);
  in.endChunk(end);
}

void writeScene(const std::string& path) {
  io::FileOutputStream file(path);
  io::ChunkOutputStream out(&file);
  out.beginChunk(str("scene"));
  out.writeInt(3);
  writeLevel(out, 20);
  out.beginChunk(str("model"));
  for (int i = -5000; i < 5000; i += 7) out.writeInt(i * 1000);
  out.endChunk();
  out.beginChunk(str("empty"));
  out.endChunk();
  out.endChunk();
  out.beginChunk(str("trailer"));  // a second top-level chunk
  out.writeInt(-1);
  out.endChunk();
}

class ChunkRoundTrip : public ::testing::Test {
 protected:
  xmdtest::TempDir dir;
};

TEST_F(ChunkRoundTrip, NestedTreeThroughAFile) {
  std::string path = dir / "scene.xmd";
  writeScene(path);

  io::FileInputStream file(path);
  io::ChunkInputStream in(&file);
  lang::String name;
  int sceneEnd = 0, end = 0;
  EXPECT_EQ(in.beginChunk(name, sceneEnd), 0);
  EXPECT_TRUE(name == "scene");
  EXPECT_EQ(in.readInt(), 3);
  readLevel(in, 20);
  in.beginChunk(name, end);
  EXPECT_TRUE(name == "model");
  for (int i = -5000; i < 5000; i += 7) ASSERT_EQ(in.readInt(), i * 1000);
  in.endChunk(end);
  in.beginChunk(name, end);
  EXPECT_TRUE(name == "empty");
  EXPECT_EQ(end, in.getPosition());
  in.endChunk(end);
  EXPECT_EQ(in.getPosition(), sceneEnd);
  in.endChunk(sceneEnd);
  in.beginChunk(name, end);
  EXPECT_TRUE(name == "trailer");
  EXPECT_EQ(in.readInt(), -1);
  in.endChunk(end);
  EXPECT_EQ(in.getPosition(), static_cast<int>(fileBytes(path).size()));
}

TEST_F(ChunkRoundTrip, CopyingEveryChildVerbatimGivesTheSameFile) {
  std::string source = dir / "scene.xmd";
  std::string result = dir / "scene.xmd.result";
  writeScene(source);
  {
    io::FileInputStream inFile(source);
    io::FileOutputStream outFile(result);
    io::ChunkInputStream in(&inFile);
    io::ChunkOutputStream out(&outFile);
    lang::String name;
    int topEnd = 0;
    in.beginChunk(name, topEnd);
    int header = in.readInt();
    out.beginChunk(name);
    out.writeInt(header);
    Bytes buffer;
    while (in.getPosition() < topEnd) {
      int end = 0;
      int start = in.beginChunk(name, end);
      in.readBytes(buffer, start, end - start);
      out.writeBytes(buffer);
      in.endChunk(end);
    }
    out.endChunk();
    in.endChunk(topEnd);
    // The trailer goes across whole as well.
    int end = 0;
    int start = in.beginChunk(name, end);
    in.readBytes(buffer, start, end - start);
    out.writeBytes(buffer);  // outside any chunk: waits for close
    out.close();
    outFile.flush();
  }
  Bytes original = fileBytes(source);
  EXPECT_GT(original.size(), 20000u);
  EXPECT_EQ(fileBytes(result), original);
}

}  // namespace
