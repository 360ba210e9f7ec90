// Decoding and encoding throughput of the stream layers through real files:
// chunk integers, floats and a whole chunk tree, read with ChunkInputStream
// over FileInputStream and written with ChunkOutputStream over
// FileOutputStream. Each has a memcpy of the same byte count beside it as the
// floor, and a raw block read/write of the file as the file-stream floor.
// Bytes/s are those of the container file.
#include <benchmark/benchmark.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "io/ChunkInputStream.h"
#include "io/ChunkOutputStream.h"
#include "io/FileInputStream.h"
#include "io/FileOutputStream.h"
#include "testing/TempDir.h"

namespace {

const int kValues = 1 << 20;  // values per flat file
const int kModels = 2000;     // "model" chunks in the tree file

xmdtest::TempDir& tempDir() {
  static xmdtest::TempDir dir;
  return dir;
}

int integerAt(int i) {
  // A mix of 1- to 5-byte chunk integers, like indices and counts.
  static const int scale[] = {1, 100, 10000, 1000000, 40000000};
  return (i % 2 ? -1 : 1) * ((i % 1000) * 7919 % 50) * scale[i % 5];
}

// --- writers shared by the encode benchmarks and the file setup ---------

void writeIntegers(io::ChunkOutputStream& out) {
  out.beginChunk("faces");
  for (int i = 0; i < kValues; ++i) out.writeInt(integerAt(i));
  out.endChunk();
}

void writeFloats(io::ChunkOutputStream& out) {
  out.beginChunk("points");
  for (int i = 0; i < kValues; ++i) out.writeFloat(i * 0.001f);
  out.endChunk();
}

void writeTree(io::ChunkOutputStream& out) {
  out.beginChunk("scene");
  out.writeInt(1);
  for (int m = 0; m < kModels; ++m) {
    out.beginChunk("model");
    out.beginChunk("info");
    for (int i = 0; i < 6; ++i) out.writeInt(m + i);
    out.endChunk();
    out.beginChunk("points");
    for (int i = 0; i < 150; ++i) out.writeFloat(i * 0.5f);
    out.endChunk();
    out.beginChunk("faces");
    for (int i = 0; i < 150; ++i) out.writeInt(i % 50);
    out.endChunk();
    out.beginChunk("skin");
    out.writeInt(2);
    out.writeString("bone_root");
    out.writeString("bone_tip");
    out.endChunk();
    out.endChunk();
  }
  out.endChunk();
}

typedef void (*Writer)(io::ChunkOutputStream&);

std::string makeFile(const char* name, Writer writer) {
  std::string path = tempDir() / name;
  io::FileOutputStream file(path);
  io::ChunkOutputStream out(&file);
  writer(out);
  return path;
}

const std::string& integersFile() {
  static std::string p = makeFile("ints.xmd", writeIntegers);
  return p;
}
const std::string& floatsFile() {
  static std::string p = makeFile("floats.xmd", writeFloats);
  return p;
}
const std::string& treeFile() {
  static std::string p = makeFile("tree.xmd", writeTree);
  return p;
}

long long fileSize(const std::string& path) {
  std::ifstream f(path, std::ios::binary | std::ios::ate);
  return static_cast<long long>(f.tellg());
}

// --- decoding -----------------------------------------------------------

// Decodes the kValues values of the one chunk of a file with `read`.
template <typename Sum, Sum (*Read)(io::ChunkInputStream&)>
void decodeValues(benchmark::State& state, const std::string& path) {
  for (auto _ : state) {
    io::FileInputStream file(path);
    io::ChunkInputStream in(&file);
    lang::String name;
    int end;
    in.beginChunk(name, end);
    Sum sum = 0;
    for (int i = 0; i < kValues; ++i) sum += Read(in);
    benchmark::DoNotOptimize(sum);
  }
  state.SetBytesProcessed(state.iterations() * fileSize(path));
  state.SetItemsProcessed(state.iterations() * kValues);
}

long long readInteger(io::ChunkInputStream& in) { return in.readInt(); }
float readFloat(io::ChunkInputStream& in) { return in.readFloat(); }

void BM_DecodeIntegers(benchmark::State& state) {
  decodeValues<long long, readInteger>(state, integersFile());
}

void BM_DecodeFloats(benchmark::State& state) {
  decodeValues<float, readFloat>(state, floatsFile());
}

void BM_DecodeTree(benchmark::State& state) {
  const std::string& path = treeFile();
  for (auto _ : state) {
    io::FileInputStream file(path);
    io::ChunkInputStream in(&file);
    lang::String name;
    int sceneEnd, modelEnd, end;
    in.beginChunk(name, sceneEnd);
    long long sum = in.readInt();
    while (in.getPosition() < sceneEnd) {
      in.beginChunk(name, modelEnd);
      while (in.getPosition() < modelEnd) {
        in.beginChunk(name, end);
        if (name == "points") {
          while (in.getPosition() < end) sum += static_cast<long long>(in.readFloat());
        } else if (name == "skin") {
          int bones = in.readInt();
          for (int b = 0; b < bones; ++b) sum += in.readString().length();
        } else {
          while (in.getPosition() < end) sum += in.readInt();
        }
        in.endChunk(end);
      }
      in.endChunk(modelEnd);
    }
    in.endChunk(sceneEnd);
    benchmark::DoNotOptimize(sum);
  }
  state.SetBytesProcessed(state.iterations() * fileSize(path));
}

// The file-stream floor: the whole file in 64 KiB reads.
void BM_ReadFileRaw(benchmark::State& state) {
  const std::string& path = integersFile();
  std::vector<char> block(64 * 1024);
  for (auto _ : state) {
    io::FileInputStream file(path);
    while (file.read(block.data(), static_cast<int>(block.size())) > 0) {
    }
    benchmark::DoNotOptimize(block.data());
  }
  state.SetBytesProcessed(state.iterations() * fileSize(path));
}

// --- encoding -----------------------------------------------------------

template <Writer W>
void BM_Encode(benchmark::State& state, const std::string& (*source)()) {
  std::string path = tempDir() / "encode.xmd";
  for (auto _ : state) {
    io::FileOutputStream file(path);
    io::ChunkOutputStream out(&file);
    W(out);
    file.flush();
  }
  state.SetBytesProcessed(state.iterations() * fileSize(source()));
}

void BM_EncodeIntegers(benchmark::State& state) { BM_Encode<writeIntegers>(state, integersFile); }
void BM_EncodeFloats(benchmark::State& state) { BM_Encode<writeFloats>(state, floatsFile); }
void BM_EncodeTree(benchmark::State& state) { BM_Encode<writeTree>(state, treeFile); }

// The file-stream floor: the same bytes in one write.
void BM_WriteFileRaw(benchmark::State& state) {
  std::ifstream f(integersFile(), std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  std::string path = tempDir() / "raw.bin";
  for (auto _ : state) {
    io::FileOutputStream file(path);
    file.write(bytes.data(), static_cast<int>(bytes.size()));
    file.flush();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<long long>(bytes.size()));
}

// --- floor ----------------------------------------------------------------

void BM_Memcpy(benchmark::State& state, const std::string& (*source)()) {
  size_t n = static_cast<size_t>(fileSize(source()));
  std::vector<char> from(n, 1), to(n);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), n);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<long long>(n));
}

void BM_MemcpyIntegers(benchmark::State& state) { BM_Memcpy(state, integersFile); }
void BM_MemcpyFloats(benchmark::State& state) { BM_Memcpy(state, floatsFile); }
void BM_MemcpyTree(benchmark::State& state) { BM_Memcpy(state, treeFile); }

}  // namespace

BENCHMARK(BM_MemcpyIntegers)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadFileRaw)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DecodeIntegers)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EncodeIntegers)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WriteFileRaw)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MemcpyFloats)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DecodeFloats)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EncodeFloats)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MemcpyTree)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DecodeTree)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EncodeTree)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
