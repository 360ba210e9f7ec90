// Single files through the whole tool, as processes, against a floor run in
// the same iteration, so that the ratio is a counter of one run. Each side
// works on a fresh copy of its input (the copy, and a sync before each side,
// are not timed).
//
//   BM_AgainstCp/distinct
//       65534 distinct vertices with normals (about 1.7 MB), against cp of
//       the same file
//   BM_AgainstDurableRewrite/distinct
//       the same model, against bench/durable_rewrite.cpp rewriting the
//       file durably with its own bytes
//   BM_AgainstDistinct/one_position
//       65534 vertices at one position, each with its own normal and texture
//       coordinates, against the tool on the distinct model
//   BM_AgainstDistinct/nan_positions
//       the same with every position component NaN
//   BM_ForeignChunkMemory
//       peak resident set of the tool on a file that holds one foreign chunk
//       of $XMDOPT_BENCH_FOREIGN_MB MB (default 400) and a small model;
//       skipped when the temporary folder has less than 2 GB free
//
// The tool and its extra arguments come from XMDOPT_EXE and
// XMDOPT_BENCH_ARGS (bench/ToolRuns.h).
//
// How to run each row and its goal: bench/README.md.
//
//   model_bench --benchmark_filter=Memory
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/ToolRuns.h"
#include "samples/SampleModels.h"
#include "testing/ChunkBuilder.h"
#include "testing/TempDir.h"
#include "tool/CrowdTestModels.h"
#include "tool/WeldTestModels.h"

namespace {

namespace stdfs = std::filesystem;

xmdsamples::Model toSample(const tooltest::TestModel& t) {
  xmdsamples::Model m;
  m.points = t.positions;
  m.normals = t.normals;
  for (int v = 0; !t.layers.empty() && v < t.size(); ++v)
    m.uvs.push_back({t.layers[0][2 * v], t.layers[0][2 * v + 1]});
  for (size_t i = 0; i + 2 < t.faces.size(); i += 3)
    m.faces.push_back({t.faces[i], t.faces[i + 1], t.faces[i + 2]});
  return m;
}

struct Inputs {
  xmdtest::TempDir dir;
  Inputs() {
    dir.write("distinct.xmd", xmdsamples::file({toSample(tooltest::benchDistinct(true))}));
    dir.write("one.xmd", xmdsamples::file({toSample(tooltest::benchOnePosition(false))}));
    dir.write("nan.xmd", xmdsamples::file({toSample(tooltest::benchOnePosition(true))}));
  }
};

Inputs& inputs() {
  static Inputs i;
  return i;
}

// Copies src to work (untimed) and flushes the disk; the path of the copy.
std::string freshCopy(const std::string& src, const std::string& work) {
  stdfs::copy_file(src, work, stdfs::copy_options::overwrite_existing);
  xmdbench::settleDisk();
  return work;
}

// The floors a single file is measured against: cp of it, or
// bench/durable_rewrite.cpp putting a copy of it in its place durably (what
// the tool adds to the disk's cost of a safe rewrite).
enum Floor { kCp, kDurableRewrite };

void BM_File(benchmark::State& state, const char* file, Floor floor) {
  const xmdtest::TempDir& dir = inputs().dir;
  const std::string src = dir / file, work = dir / "work.xmd", other = dir / "floor.xmd";
  const std::string err = dir / "stderr";
  xmdbench::Pair pair;
  for (auto _ : state) {
    if (!pair.timeTool(state, xmdbench::toolArgv({freshCopy(src, work)}), err)) break;
    std::vector<std::string> floorArgv;
    if (floor == kCp) {
      stdfs::remove(other);
      xmdbench::settleDisk();
      floorArgv = {"/bin/cp", src, other};
    } else {
      floorArgv = {DURABLE_REWRITE_EXE, freshCopy(src, other)};
    }
    if (!pair.timeFloor(state, floorArgv, err)) break;
  }
  pair.report(state);
  state.SetLabel(floor == kCp ? "floor: cp of the file" : "floor: durable_rewrite of the file");
  state.SetBytesProcessed(int64_t(state.iterations() * stdfs::file_size(src)));
}

void BM_AgainstCp(benchmark::State& state, const char* file) { BM_File(state, file, kCp); }
void BM_AgainstDurableRewrite(benchmark::State& state, const char* file) {
  BM_File(state, file, kDurableRewrite);
}

void BM_AgainstDistinct(benchmark::State& state, const char* file) {
  const xmdtest::TempDir& dir = inputs().dir;
  const std::string src = dir / file, distinct = dir / "distinct.xmd", work = dir / "work.xmd";
  const std::string err = dir / "stderr";
  xmdbench::Pair pair;
  for (auto _ : state) {
    if (!pair.timeTool(state, xmdbench::toolArgv({freshCopy(src, work)}), err)) break;
    if (!pair.timeFloor(state, xmdbench::toolArgv({freshCopy(distinct, work)}), err)) break;
  }
  pair.report(state);
  state.SetLabel("floor: the tool on the distinct model");
}

// The foreign chunk's size in MB: $XMDOPT_BENCH_FOREIGN_MB, else 400; 0
// when the variable is not a whole number from 1 to 2000 (a chunk length is
// a signed 32-bit count).
int foreignMb() {
  const char* text = std::getenv("XMDOPT_BENCH_FOREIGN_MB");
  if (!text || !*text) return 400;
  char* end = nullptr;
  const long mb = std::strtol(text, &end, 10);
  return *end == '\0' && mb >= 1 && mb <= 2000 ? int(mb) : 0;
}

// Writes path: a file whose top-level chunk holds one foreign chunk
// "payload" of mb MB, then a crate model (which the tool welds, so it
// writes a result). The payload is written in 1 MB pieces, so this process
// never holds it (a child's peak resident set counts this one's from the
// fork). Throws when the file cannot be written.
void writeForeignFile(const std::string& path, int mb) {
  constexpr uint32_t kPiece = 1 << 20;
  const uint32_t payload = uint32_t(mb) * kPiece;
  xmdtest::ChunkBuilder model;
  xmdsamples::writeModel(model, xmdsamples::crateModel());
  xmdtest::ChunkBuilder inner;  // the top-level chunk's body up to the payload
  inner.integer(1).header("payload", int32_t(payload));
  xmdtest::ChunkBuilder top;
  top.header("xmd", int32_t(inner.size() + payload + model.size())).raw(inner.bytes());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  auto put = [&out](const std::vector<uint8_t>& bytes) {
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  };
  put(top.bytes());
  std::vector<uint8_t> piece(kPiece);
  for (uint32_t i = 0; i < kPiece; ++i) piece[i] = uint8_t(i * 2654435761u >> 24);
  for (int i = 0; i < mb; ++i) put(piece);
  put(model.bytes());
  if (!out.flush()) throw std::runtime_error("cannot write " + path);
}

// One run: the file is made in a temp dir of its own, removed at the end.
void BM_ForeignChunkMemory(benchmark::State& state) {
  const int mb = foreignMb();
  if (mb == 0) {
    state.SkipWithError("XMDOPT_BENCH_FOREIGN_MB: a whole number from 1 to 2000");
    return;
  }
  xmdtest::TempDir dir;
  // The source and the tool's result side by side, with room to spare.
  constexpr std::uintmax_t kNeeded = std::uintmax_t(2) << 30;
  if (stdfs::space(dir.path()).available < kNeeded) {
    state.SkipWithError(("under 2 GB free in " + dir.path()).c_str());
    return;
  }
  const std::string file = dir / "foreign.xmd", err = dir / "stderr";
  writeForeignFile(file, mb);
  xmdbench::settleDisk();
  struct rusage self {};
  getrusage(RUSAGE_SELF, &self);
  xmdbench::TimedRun run;
  for (auto _ : state) {
    run = xmdbench::runTimed(xmdbench::toolArgv({file}), err);
    state.SetIterationTime(run.seconds);
  }
  if (run.status != 0)
    state.SkipWithError(
        ("xmdopt exited " + std::to_string(run.status) + ": " + xmdbench::firstLine(err)).c_str());
  state.counters["foreign_MB"] = mb;
  state.counters["peak_rss_MB"] = run.peakRssMb;
  // This process's own peak: the child's figure counts from the fork, so
  // this is a floor under it.
  state.counters["bench_rss_MB"] = double(self.ru_maxrss) / 1024.0;
  state.SetLabel("goal: peak_rss_MB <= 64");
}

// Medians of 3 repetitions of 5 runs where a run takes tens of
// milliseconds, of 3 where a crowded input may take seconds (a build
// whose weld degrades on it).
void fiveRuns(benchmark::internal::Benchmark* b) {
  b->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5)->Repetitions(3);
  b->ReportAggregatesOnly();
}
void threeRuns(benchmark::internal::Benchmark* b) {
  b->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3)->Repetitions(3);
  b->ReportAggregatesOnly();
}

BENCHMARK_CAPTURE(BM_AgainstCp, distinct, "distinct.xmd")->Apply(fiveRuns);
BENCHMARK_CAPTURE(BM_AgainstDurableRewrite, distinct, "distinct.xmd")->Apply(fiveRuns);
BENCHMARK_CAPTURE(BM_AgainstDistinct, one_position, "one.xmd")->Apply(threeRuns);
BENCHMARK_CAPTURE(BM_AgainstDistinct, nan_positions, "nan.xmd")->Apply(threeRuns);
// One run: writing the input alone takes seconds.
BENCHMARK(BM_ForeignChunkMemory)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
