// Whole-process runs for the benchmarks that time xmdopt against a floor
// (cp of the same files, or the tool on an easier input): which executable,
// with which extra arguments, one timed run, and the pairing of the two
// sides in one iteration so that a single run of a benchmark program prints
// their ratio. Single-threaded, like the benchmarks; header-only.
//
// Environment:
//   XMDOPT_EXE         the tool to time (default: the one built beside the
//                      benchmark)
//   XMDOPT_BENCH_ARGS  extra arguments put before the paths, split at
//                      spaces, for example "-j 1" (default: none)
#pragma once

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "testing/Subprocess.h"

namespace xmdbench {

// The tool to run: $XMDOPT_EXE, else the build's own.
inline std::string toolPath() {
  const char* exe = std::getenv("XMDOPT_EXE");
  return exe && *exe ? exe : XMDOPT_EXE;
}

// The command line of the tool over paths, with $XMDOPT_BENCH_ARGS first.
inline std::vector<std::string> toolArgv(const std::vector<std::string>& paths) {
  std::vector<std::string> argv = {toolPath()};
  const char* extra = std::getenv("XMDOPT_BENCH_ARGS");
  std::istringstream words(extra ? extra : "");
  for (std::string w; words >> w;) argv.push_back(w);
  argv.insert(argv.end(), paths.begin(), paths.end());
  return argv;
}

struct TimedRun {
  int status = -1;       // exit status, -(signal), or -1 when it could not start
  double seconds = 0;    // wall time from start to reaped
  double peakRssMb = 0;  // the child's peak resident set
};

// Runs argv to its end, standard output discarded, standard error into the
// file errFile (read it when status is not 0). Never throws.
inline TimedRun runTimed(const std::vector<std::string>& argv, const std::string& errFile) {
  TimedRun run;
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = xmdtest::startProgram(argv, "", "/dev/null", errFile);
  if (pid < 0) return run;
  struct rusage usage {};
  run.status = xmdtest::waitProgram(pid, &usage);
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  run.peakRssMb = double(usage.ru_maxrss) / 1024.0;  // KB on Linux
  return run;
}

// The first line of a run's standard error, for a failure message.
inline std::string firstLine(const std::string& errFile) {
  std::ifstream in(errFile);
  std::string line;
  std::getline(in, line);
  return line;
}

// Flushes every file system's dirty pages (untimed), so that no timed run
// pays for writing back what an earlier step left in memory.
inline void settleDisk() { xmdtest::runProgram({"/bin/sync"}); }

// The two sides of a ratio, summed over a benchmark's iterations. The
// benchmark uses manual time: the tool side is its time; the floor's mean
// time and the ratio are counters.
class Pair {
 public:
  // Times one run of the tool side (argv); false, with the benchmark
  // skipped with an error, when it failed.
  bool timeTool(benchmark::State& state, const std::vector<std::string>& argv,
                const std::string& errFile) {
    const TimedRun run = timed(state, argv, errFile);
    m_tool += run.seconds;
    state.SetIterationTime(run.seconds);
    return run.status == 0;
  }
  // Times one run of the floor side (untimed for the benchmark itself); as
  // timeTool().
  bool timeFloor(benchmark::State& state, const std::vector<std::string>& argv,
                 const std::string& errFile) {
    const TimedRun run = timed(state, argv, errFile);
    m_floor += run.seconds;
    return run.status == 0;
  }
  // Sets the counters "floor_ms" (mean per iteration) and "ratio" (tool
  // time over floor time).
  void report(benchmark::State& state) const {
    const double n = state.iterations() ? double(state.iterations()) : 1.0;
    state.counters["floor_ms"] = 1000.0 * m_floor / n;
    state.counters["ratio"] = m_floor > 0 ? m_tool / m_floor : 0.0;
  }

 private:
  static TimedRun timed(benchmark::State& state, const std::vector<std::string>& argv,
                        const std::string& errFile) {
    const TimedRun run = runTimed(argv, errFile);
    if (run.status != 0)
      state.SkipWithError(
          (argv[0] + " exited " + std::to_string(run.status) + ": " + firstLine(errFile)).c_str());
    return run;
  }

  double m_tool = 0;
  double m_floor = 0;
};

}  // namespace xmdbench
