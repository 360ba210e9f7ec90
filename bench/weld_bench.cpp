// Vertex weld benchmark: the grid weld against the plain survivor scan, an
// exact-duplicate remap (meshoptimizer) as the speed anchor, and a memcpy of
// the vertex data as the floor, all on the same 65534-vertex inputs. Inputs 7
// to 10 are crowded (one position, NaN positions, NaN among numbers, NaN in
// other attributes, each vertex with its own normal), to be compared with
// the distinct model carrying normals (input 6) in the same run.
//
//   weld_bench --benchmark_filter='GridWeld/([6-9]|10)$'

#include <benchmark/benchmark.h>
#include <meshoptimizer.h>

#include <cstring>
#include <memory>

#include "tool/CrowdTestModels.h"
#include "tool/VertexWelder.h"
#include "tool/WeldTestModels.h"

namespace {

using namespace tool;
using tooltest::TestModel;

const TestModel& input(int which) {
  static const TestModel models[] = {
      tooltest::benchDistinct(),
      tooltest::benchJitteredCopies(false),
      tooltest::benchJitteredCopies(true),
      tooltest::benchGrid(),
      tooltest::benchTriangleSoup(),
      tooltest::adversarialModels().back(),
      tooltest::benchDistinct(true),
      tooltest::benchOnePosition(false),
      tooltest::benchOnePosition(true),
      tooltest::benchNanAmongNumbers(),
      tooltest::benchOnePositionNanAttributes(),
  };
  return models[which];
}
constexpr int kInputs = 11;

ModelStore& store() {
  static std::unique_ptr<ModelStore> s(new ModelStore());
  return *s;
}

void BM_GridWeld(benchmark::State& state) {
  const TestModel& m = input(int(state.range(0)));
  state.SetLabel(m.name);
  VertexWelder welder;
  int kept = 0;
  for (auto _ : state) {
    state.PauseTiming();
    tooltest::load(m, store());
    state.ResumeTiming();
    kept = welder.weldVertices(store(), m.size(), m.triangleCount());
    benchmark::DoNotOptimize(kept);
  }
  state.counters["kept"] = kept;
  state.counters["refinements"] = welder.refinements();
}

void BM_ScanWeld(benchmark::State& state) {
  const TestModel& m = input(int(state.range(0)));
  state.SetLabel(m.name);
  std::vector<int32_t> remap(m.size());
  int kept = 0;
  for (auto _ : state) {
    state.PauseTiming();
    tooltest::load(m, store());
    state.ResumeTiming();
    kept = weldVerticesByScan(store(), m.size(), m.triangleCount(), remap.data());
    benchmark::DoNotOptimize(kept);
  }
  state.counters["kept"] = kept;
}

void BM_MeshoptRemap(benchmark::State& state) {
  const TestModel& m = input(int(state.range(0)));
  state.SetLabel(m.name);
  size_t stride = 0;
  const std::vector<float> vertices = tooltest::interleaved(m, &stride);
  std::vector<unsigned int> remap(m.size());
  size_t kept = 0;
  for (auto _ : state) {
    kept = meshopt_generateVertexRemap(remap.data(), nullptr, m.size(), vertices.data(), m.size(),
                                       stride);
    benchmark::DoNotOptimize(kept);
  }
  state.counters["kept"] = double(kept);
}

void BM_Memcpy(benchmark::State& state) {
  const TestModel& m = input(int(state.range(0)));
  state.SetLabel(m.name);
  size_t stride = 0;
  const std::vector<float> vertices = tooltest::interleaved(m, &stride);
  std::vector<float> copy(vertices.size());
  for (auto _ : state) {
    std::memcpy(copy.data(), vertices.data(), vertices.size() * sizeof(float));
    benchmark::ClobberMemory();
  }
}

BENCHMARK(BM_GridWeld)->DenseRange(0, kInputs - 1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MeshoptRemap)->DenseRange(0, kInputs - 1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Memcpy)->DenseRange(0, kInputs - 1)->Unit(benchmark::kMicrosecond);
// The scan takes seconds on the distinct input: few iterations.
BENCHMARK(BM_ScanWeld)->DenseRange(0, kInputs - 1)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

BENCHMARK_MAIN();
