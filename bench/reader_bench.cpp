// Reading a large model file through the tool's model processing: one
// "model" chunk at the store's size (65,000 vertices, normals, two texture
// coordinate layers, vertex colours, a skin, 120,000 triangles), read from a
// real file with FileInputStream.
//
//   BM_ReadLargeModel     the model lacks its "material" subchunk, so every
//                         other subchunk is read and the model is refused at
//                         the final checks: the reading alone
//   BM_ProcessLargeModel  the complete model: read, welded and written (to
//                         memory)
// Bytes/s are those of the model file.
#include <benchmark/benchmark.h>

#include <fstream>
#include <memory>
#include <ostream>
#include <streambuf>
#include <string>

#include "io/ByteArrayOutputStream.h"
#include "io/ChunkInputStream.h"
#include "io/ChunkOutputStream.h"
#include "io/FileInputStream.h"
#include "testing/ChunkBuilder.h"
#include "testing/TempDir.h"
#include "tool/ModelStore.h"
#include "tool/ModelStreamProcessor.h"

namespace {

using tool::ModelStore;
using tool::ModelStreamProcessor;

const int kVertices = 65000;
const int kTriangles = 120000;
const int kBones = 8;

xmdtest::TempDir& tempDir() {
  static xmdtest::TempDir dir;
  return dir;
}

// The model file; withMaterial false leaves out "material".
std::string largeModel(bool withMaterial) {
  xmdtest::ChunkBuilder b;
  b.begin("xmd").integer(1);
  b.begin("model");
  // Vertices, triangles, 2 weights, layers of 2 and 3 components, colour
  // size 4, no extra layers.
  b.begin("info").integer(kVertices).integer(kTriangles).integer(2).integer(2);
  b.integer(2).integer(3).integer(4).integer(0).end();
  if (withMaterial) b.begin("material").integer(3).end();
  b.begin("points");
  for (int v = 0; v < kVertices; ++v) b.f32(v % 250 * 0.5f).f32(v / 250 * 0.5f).f32(v * 1e-4f);
  b.end();
  b.begin("vertexnormalsf");
  for (int v = 0; v < kVertices; ++v) b.f32(0.0f).f32(v % 2 ? 1.0f : -1.0f).f32(0.0f);
  b.end();
  b.begin("faces");
  // Corners of every size class of the chunk integer up to 3 bytes.
  for (int64_t i = 0; i < kTriangles * 3; ++i) b.integer(i * 7919 % kVertices);
  b.end();
  b.begin("vertexcolors");
  for (int v = 0; v < kVertices * 4; ++v) b.u8(static_cast<uint8_t>(v));
  b.end();
  b.begin("texcoordlayer");
  for (int i = 0; i < kVertices * 2; ++i) b.f32(i % 1024 / 1024.0f);
  b.end();
  b.begin("texcoordlayer");
  for (int i = 0; i < kVertices * 3; ++i) b.f32(i % 512 / 512.0f);
  b.end();
  b.begin("skin").integer(kBones);
  for (int i = 0; i < kBones; ++i) b.str("bone" + std::to_string(i));
  for (int v = 0; v < kVertices; ++v)
    b.integer(2).integer(v % kBones).f32(0.75f).integer((v + 1) % kBones).f32(0.25f);
  b.end();
  b.end();
  b.end();
  const std::string path = tempDir() / (withMaterial ? "complete.xmd" : "nomaterial.xmd");
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(b.bytes().data()),
            static_cast<std::streamsize>(b.size()));
  return path;
}

long long fileSize(const std::string& path) {
  std::ifstream f(path, std::ios::binary | std::ios::ate);
  return static_cast<long long>(f.tellg());
}

// Swallows the console lines.
class NullBuffer : public std::streambuf {
 protected:
  int overflow(int c) override { return traits_type::not_eof(c); }
  std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

void processFile(benchmark::State& state, const std::string& path, bool expectPassed) {
  std::unique_ptr<ModelStore> store(new ModelStore());
  NullBuffer nothing;
  std::ostream console(&nothing);
  ModelStreamProcessor processor(*store, console);
  for (auto _ : state) {
    io::FileInputStream file(path);
    io::ByteArrayOutputStream sink(0);
    io::ChunkInputStream in(&file);
    io::ChunkOutputStream out(&sink);
    if (processor.processStream(in, out) != expectPassed) state.SkipWithError("unexpected check");
    benchmark::DoNotOptimize(sink.size());
  }
  state.SetBytesProcessed(state.iterations() * fileSize(path));
}

void BM_ReadLargeModel(benchmark::State& state) {
  static const std::string path = largeModel(false);
  processFile(state, path, false);
}

void BM_ProcessLargeModel(benchmark::State& state) {
  static const std::string path = largeModel(true);
  processFile(state, path, true);
}

}  // namespace

BENCHMARK(BM_ReadLargeModel)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProcessLargeModel)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
