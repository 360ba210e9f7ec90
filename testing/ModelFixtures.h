// Test fixtures for the model processing: model files built byte by byte
// with the chunk builder, and a run of the processor over them in memory
// (console lines and result bytes captured). The runs share one store, made
// on first use and kept for the test program's life, as the tool reuses its
// store from model to model. Header-only; for the tool's tests.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "io/ByteArrayInputStream.h"
#include "io/ByteArrayOutputStream.h"
#include "io/ChunkInputStream.h"
#include "io/ChunkOutputStream.h"
#include "testing/IoTestSupport.h"
#include "testing/ChunkBuilder.h"
#include "tool/ModelStreamProcessor.h"

namespace xmdtest {

using Bytes = std::vector<uint8_t>;
using Body = std::function<void(ChunkBuilder&)>;

inline void info(ChunkBuilder& b, const std::vector<int64_t>& fields) {
  b.begin("info");
  for (int64_t f : fields) b.integer(f);
  b.end();
}
inline void material(ChunkBuilder& b, int value = 7) { b.begin("material").integer(value).end(); }
// n vertices at (i, 2i, 3i).
inline void points(ChunkBuilder& b, int n) {
  b.begin("points");
  for (int i = 0; i < n; ++i) b.f32(float(i)).f32(float(2 * i)).f32(float(3 * i));
  b.end();
}
inline void pointList(ChunkBuilder& b, const std::vector<float>& xyz) {
  b.begin("points");
  for (float f : xyz) b.f32(f);
  b.end();
}
inline void faces(ChunkBuilder& b, const std::vector<int64_t>& corners) {
  b.begin("faces");
  for (int64_t c : corners) b.integer(c);
  b.end();
}
inline void floats(ChunkBuilder& b, const char* name, const std::vector<float>& values) {
  b.begin(name);
  for (float f : values) b.f32(f);
  b.end();
}
inline void layer(ChunkBuilder& b, int count) {
  b.begin("texcoordlayer");
  for (int i = 0; i < count; ++i) b.f32(0.5f * float(i));
  b.end();
}
struct Pair {
  int64_t bone;
  float weight;
};
inline void skin(ChunkBuilder& b, int64_t bones, const std::vector<std::vector<Pair>>& perVertex,
                 const std::vector<int64_t>& counts = {}) {
  b.begin("skin").integer(bones);
  for (int64_t i = 0; i < bones && i < 300; ++i) b.str("bone" + std::to_string(i));
  for (size_t v = 0; v < perVertex.size(); ++v) {
    b.integer(v < counts.size() ? counts[v] : int64_t(perVertex[v].size()));
    for (const Pair& p : perVertex[v]) b.integer(p.bone).f32(p.weight);
  }
  b.end();
}

// The standard valid model: 3 vertices, one triangle, material, points, faces.
inline void plainModel(ChunkBuilder& b) {
  b.begin("model");
  info(b, {3, 1, 0, 0});
  material(b);
  points(b, 3);
  faces(b, {0, 1, 2});
  b.end();
}

// A model chunk holding what body writes.
inline Body model(const Body& body) {
  return [body](ChunkBuilder& b) {
    b.begin("model");
    body(b);
    b.end();
  };
}

// A file: top-level chunk "xmd", header value, then what body writes.
inline Bytes file(const Body& body, int header = 1) {
  ChunkBuilder b;
  b.begin("xmd").integer(header);
  body(b);
  b.end();
  return b.bytes();
}

struct RunResult {
  std::string console;
  Bytes result;
  bool passed = false;
};

inline tool::ModelStore& testStore() {
  static std::unique_ptr<tool::ModelStore> store(new tool::ModelStore());
  return *store;
}

// Processes bytes with processor (by default a new one over testStore()
// whose lines the result holds); io exceptions pass on.
inline RunResult process(const Bytes& bytes, tool::ModelStreamProcessor* processor = nullptr) {
  std::ostringstream console;
  std::unique_ptr<tool::ModelStreamProcessor> own;
  if (!processor) {
    own.reset(new tool::ModelStreamProcessor(testStore(), console));
    processor = own.get();
  }
  io::ByteArrayInputStream source(std::vector<unsigned char>(bytes.begin(), bytes.end()),
                                  "test.xmd");
  io::ByteArrayOutputStream sink(0);
  io::ChunkInputStream in(&source);
  io::ChunkOutputStream out(&sink);
  RunResult run;
  run.passed = processor->processStream(in, out);
  run.console = console.str();
  run.result.assign(sink.data(), sink.data() + sink.size());
  return run;
}

// Processes bytes that must make the run end: the console lines printed up
// to then, and what was thrown (xmdtest form, or "nothing thrown").
struct Failure {
  std::string console;
  std::string thrown;
};
inline Failure processFailing(const Bytes& bytes) {
  std::ostringstream console;
  tool::ModelStreamProcessor processor(testStore(), console);
  Failure f;
  f.thrown = xmdtest::thrown([&] {
    io::ByteArrayInputStream source(std::vector<unsigned char>(bytes.begin(), bytes.end()),
                                    "test.xmd");
    io::ByteArrayOutputStream sink(0);
    io::ChunkInputStream in(&source);
    io::ChunkOutputStream out(&sink);
    processor.processStream(in, out);
  });
  f.console = console.str();
  return f;
}

// The result of a file whose one model was rejected.
inline Bytes emptyModelFile(int header = 1) {
  return file([](ChunkBuilder& b) { b.begin("model").end(); }, header);
}

}  // namespace xmdtest
