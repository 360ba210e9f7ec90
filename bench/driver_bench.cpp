// The whole tool against its floor: xmdopt over a generated tree of 2,000
// model files of mixed sizes in nested folders, against copying the same tree
// with cp -r (a tool that reads and writes every byte can hardly beat that).
// Both work on a fresh copy in every iteration; making the copy is not timed.
//
// The tool also forces each result to the disk (fsync of the file and of its
// directory) before it takes the source's name; cp does not. Runs of the
// tool without those flushes are not offered: they are what keeps data safe.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <random>
#include <string>

#include "samples/SampleModels.h"
#include "testing/Subprocess.h"
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

// 2,000 files: most small, a quarter medium, a few large (up to 60,000
// vertices), spread over three levels of folders.
struct Tree {
  xmdtest::TempDir dir;
  std::uintmax_t bytes = 0;
  Tree() {
    std::mt19937 rng(2024);
    for (int i = 0; i < 2000; ++i) {
      const int pick = static_cast<int>(rng() % 100);
      const int k = pick < 70   ? 2 + static_cast<int>(rng() % 9)
                    : pick < 97 ? 20 + static_cast<int>(rng() % 21)
                                : 80 + static_cast<int>(rng() % 21);
      const std::string path = "src/g" + std::to_string(i % 10) + "/s" + std::to_string(i % 7) +
                               "/m" + std::to_string(i) + ".xmd";
      const std::string bytes = xmdsamples::file({grid(k, static_cast<float>(i))});
      this->bytes += bytes.size();
      dir.write(path, bytes);
    }
  }
};

Tree& tree() {
  static Tree t;
  return t;
}

void freshCopy(const std::string& to) {
  stdfs::remove_all(to);
  stdfs::copy(tree().dir / "src", to, stdfs::copy_options::recursive);
}

void BM_CopyTreeWithCp(benchmark::State& state) {
  const std::string dst = tree().dir / "cp";
  for (auto _ : state) {
    state.PauseTiming();
    stdfs::remove_all(dst);
    state.ResumeTiming();
    if (xmdtest::runProgram({"/bin/cp", "-r", tree().dir / "src", dst}).status != 0)
      state.SkipWithError("cp failed");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * tree().bytes));
}

void BM_XmdoptOverTree(benchmark::State& state) {
  const std::string dst = tree().dir / "work";
  for (auto _ : state) {
    state.PauseTiming();
    freshCopy(dst);
    state.ResumeTiming();
    if (xmdtest::runProgram({XMDOPT_EXE, dst}).status != 0) state.SkipWithError("xmdopt failed");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * tree().bytes));
}

BENCHMARK(BM_CopyTreeWithCp)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_XmdoptOverTree)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
