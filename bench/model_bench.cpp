// One large model through the whole tool, as a process, against copying the
// same file with cp: the floor for a tool that reads and writes every byte.
// Each iteration starts one process on a fresh copy of the model (making the
// copy is not timed); the medians of several repetitions are reported.
//
//   distinct       65534 distinct vertices with normals (about 1.7 MB)
//   one position   65534 vertices at one position, each with its own normal
//                  and texture coordinates
//   NaN positions  the same with every position component NaN
//
// The tool is the one built beside this benchmark, or the one named by the
// environment variable XMDOPT_EXE (to time another build in the same way).
//
//   model_bench --benchmark_filter=distinct
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "samples/SampleModels.h"
#include "testing/Subprocess.h"
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

const char* const kNames[] = {"distinct", "one position", "NaN positions"};
const char* const kFiles[] = {"distinct.xmd", "one.xmd", "nan.xmd"};

Inputs& inputs() {
  static Inputs i;
  return i;
}

std::string tool() {
  const char* exe = std::getenv("XMDOPT_EXE");
  return exe && *exe ? exe : XMDOPT_EXE;
}

// Runs argv to its end with its output discarded; its exit status.
int run(const std::vector<std::string>& argv) {
  const pid_t pid = xmdtest::startProgram(argv, "", "/dev/null", "/dev/null");
  return pid < 0 ? -1 : xmdtest::waitProgram(pid);
}

void BM_CpModel(benchmark::State& state) {
  const int which = int(state.range(0));
  state.SetLabel(kNames[which]);
  const std::string src = inputs().dir / kFiles[which];
  const std::string dst = inputs().dir / "cp.xmd";
  for (auto _ : state) {
    state.PauseTiming();
    stdfs::remove(dst);
    state.ResumeTiming();
    if (run({"/bin/cp", src, dst}) != 0) state.SkipWithError("cp failed");
  }
  state.SetBytesProcessed(int64_t(state.iterations() * stdfs::file_size(src)));
}

void BM_XmdoptModel(benchmark::State& state) {
  const int which = int(state.range(0));
  state.SetLabel(kNames[which]);
  const std::string src = inputs().dir / kFiles[which];
  const std::string work = inputs().dir / "work.xmd";
  for (auto _ : state) {
    state.PauseTiming();
    stdfs::copy_file(src, work, stdfs::copy_options::overwrite_existing);
    state.ResumeTiming();
    if (run({tool(), work}) != 0) state.SkipWithError("xmdopt failed");
  }
  state.SetBytesProcessed(int64_t(state.iterations() * stdfs::file_size(src)));
}

// Medians of 7 repetitions of 5 runs each; the crowded inputs take longer
// before the weld handles them, so they get fewer.
BENCHMARK(BM_CpModel)
    ->DenseRange(0, 2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5)
    ->Repetitions(7)
    ->ReportAggregatesOnly();
BENCHMARK(BM_XmdoptModel)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5)
    ->Repetitions(7)
    ->ReportAggregatesOnly();
BENCHMARK(BM_XmdoptModel)
    ->DenseRange(1, 2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(3)
    ->ReportAggregatesOnly();

}  // namespace

BENCHMARK_MAIN();
