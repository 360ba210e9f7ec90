// The whole tool over generated trees against its floor: xmdopt as a process
// over a tree of model files, against copying the same tree with cp -r (a
// tool that reads and writes every byte can hardly beat that), both in every
// iteration, so that the ratio is a counter of one run. Each side works on a
// fresh copy of the tree (the copy, and a sync before each side, are not
// timed). Trees are generated on first use under $TMPDIR and removed at exit.
//
//   small    20,000 small models (24 to 600 corners) in 100 folders
//   sized    1,500 models of 2 to 400 KB (sizes uniform) in 30 folders
//   mixed    2,000 models, most small, a quarter medium, a few of up to
//            60,000 corners, in 70 folders of three levels
//
// The tool also forces each result to the disk before it takes the source's
// name; cp does not. Runs of the tool without those flushes are not offered:
// they are what keeps data safe. The rows AgainstDurableRewrite take as their
// floor the least any tool does that rewrites every file durably
// (bench/durable_rewrite.cpp): the ratio there is what xmdopt adds to the
// disk's own cost. Extra arguments for the tool come from XMDOPT_BENCH_ARGS
// (bench/ToolRuns.h).
//
// How to run each row and its goal: bench/README.md.
//
//   driver_bench --benchmark_filter=AgainstCp/small
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/ToolRuns.h"
#include "samples/SampleModels.h"
#include "testing/TempDir.h"

namespace {

namespace stdfs = std::filesystem;

// A grid of k by k quads as a triangle soup: 6k^2 corners welding to (k+1)^2.
xmdsamples::Model grid(int k, float z) {
  std::vector<std::array<float, 3>> corners;
  for (int y = 0; y < k; ++y)
    for (int x = 0; x < k; ++x) {
      const float x0 = x, x1 = x + 1.0f, y0 = y, y1 = y + 1.0f;
      const std::array<float, 3> q[6] = {{x0, y0, z}, {x1, y0, z}, {x1, y1, z},
                                         {x0, y0, z}, {x1, y1, z}, {x0, y1, z}};
      corners.insert(corners.end(), q, q + 6);
    }
  return xmdsamples::soup(corners);
}

enum TreeKind { kSmall, kSized, kMixed };
const char* const kTreeNames[] = {"20,000 small in 100 folders", "1,500 of 2-400 KB",
                                  "2,000 mixed"};

// The grid size of file i of a tree: the one place that says what each tree
// holds.
int gridSize(TreeKind kind, std::mt19937& rng) {
  switch (kind) {
    case kSmall:
      return 2 + int(rng() % 9);
    case kSized: {
      // A soup quad costs about 87 bytes (72 of positions, two triangles of
      // indices up to three bytes each): k^2 quads for a target size.
      const double kb = 2.0 + double(rng() % 399001) / 1000.0;
      return std::max(4, int(std::lround(std::sqrt(kb * 1024.0 / 87.0))));
    }
    case kMixed:
      break;
  }
  const int pick = int(rng() % 100);
  return pick < 70 ? 2 + int(rng() % 9) : pick < 97 ? 20 + int(rng() % 21) : 80 + int(rng() % 21);
}

// The source path of file i of a tree, under "src".
std::string filePath(TreeKind kind, int i) {
  const std::string name = "/m" + std::to_string(i) + ".xmd";
  switch (kind) {
    case kSmall:  // 10 by 10 folders, 200 models each
      return "src/g" + std::to_string(i % 10) + "/d" + std::to_string(i / 10 % 10) + name;
    case kSized:
      return "src/d" + std::to_string(i % 30) + name;
    case kMixed:
      break;
  }
  return "src/g" + std::to_string(i % 10) + "/s" + std::to_string(i % 7) + name;
}

struct Tree {
  xmdtest::TempDir dir;
  std::uintmax_t bytes = 0;
  int files = 0;
  explicit Tree(TreeKind kind) {
    std::mt19937 rng(kind == kMixed ? 2024 : 2025 + kind);  // mixed: the tree of earlier runs
    files = kind == kSmall ? 20000 : kind == kSized ? 1500 : 2000;
    for (int i = 0; i < files; ++i) {
      const int k = gridSize(kind, rng);
      const std::string model = xmdsamples::file({grid(k, float(i))});
      bytes += model.size();
      dir.write(filePath(kind, i), model);
    }
  }
};

// Generated on first use, kept for the repetitions, removed at exit.
const Tree& tree(TreeKind kind) {
  static std::unique_ptr<Tree> trees[3];
  if (!trees[kind]) trees[kind] = std::make_unique<Tree>(kind);
  return *trees[kind];
}

// The floors a tree run is measured against.
enum Floor {
  kCp,              // cp -r of the tree into a new folder
  kDurableRewrite,  // bench/durable_rewrite.cpp over a copy of the tree
};

void BM_Tree(benchmark::State& state, TreeKind kind, Floor floor) {
  const Tree& t = tree(kind);
  const std::string src = t.dir / "src", work = t.dir / "work", other = t.dir / "floor";
  const std::string err = t.dir / "stderr";
  xmdbench::Pair pair;
  for (auto _ : state) {
    stdfs::remove_all(work);
    stdfs::copy(src, work, stdfs::copy_options::recursive);
    xmdbench::settleDisk();
    if (!pair.timeTool(state, xmdbench::toolArgv({work}), err)) break;
    stdfs::remove_all(other);
    if (floor == kDurableRewrite) stdfs::copy(src, other, stdfs::copy_options::recursive);
    xmdbench::settleDisk();
    const std::vector<std::string> floorArgv =
        floor == kCp ? std::vector<std::string>{"/bin/cp", "-r", src, other}
                     : std::vector<std::string>{DURABLE_REWRITE_EXE, other};
    if (!pair.timeFloor(state, floorArgv, err)) break;
  }
  pair.report(state);
  state.counters["files"] = t.files;
  state.counters["MB"] = double(t.bytes) / (1024.0 * 1024.0);
  state.SetLabel(std::string(kTreeNames[kind]) +
                 (floor == kCp ? "; floor: cp -r" : "; floor: durable_rewrite"));
}

void BM_TreeAgainstCp(benchmark::State& state, TreeKind kind) { BM_Tree(state, kind, kCp); }
void BM_TreeAgainstDurableRewrite(benchmark::State& state, TreeKind kind) {
  BM_Tree(state, kind, kDurableRewrite);
}

// One iteration a repetition (the small tree takes seconds a side), medians
// of three.
void treeRuns(benchmark::internal::Benchmark* b) {
  b->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1)->Repetitions(3);
  b->ReportAggregatesOnly();
}

BENCHMARK_CAPTURE(BM_TreeAgainstCp, small, kSmall)->Apply(treeRuns);
BENCHMARK_CAPTURE(BM_TreeAgainstCp, sized, kSized)->Apply(treeRuns);
BENCHMARK_CAPTURE(BM_TreeAgainstCp, mixed, kMixed)->Apply(treeRuns);
BENCHMARK_CAPTURE(BM_TreeAgainstDurableRewrite, small, kSmall)->Apply(treeRuns);
BENCHMARK_CAPTURE(BM_TreeAgainstDurableRewrite, sized, kSized)->Apply(treeRuns);

}  // namespace

BENCHMARK_MAIN();
