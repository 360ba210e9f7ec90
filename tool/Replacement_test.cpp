// The replacement of a model file by its result must never lose data: these
// runs kill the built xmdopt at random moments, and make each system call of
// its file handling fail in turn (strace's fault injection), and then check
// that every model file holds either its original bytes or its complete
// result, and that the result reaches the disk before it takes the name.
#include <gtest/gtest.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "samples/SampleModels.h"
#include "testing/Subprocess.h"
#include "testing/TempDir.h"

namespace {

namespace stdfs = std::filesystem;
using Tree = std::map<std::string, std::string>;  // relative path -> bytes

// A grid of k by k quads as a triangle soup: 6k^2 corners welding to (k+1)^2.
xmdsamples::Model grid(int k) {
  std::vector<std::array<float, 3>> corners;
  for (int y = 0; y < k; ++y)
    for (int x = 0; x < k; ++x) {
      const float x0 = x, x1 = x + 1.0f, y0 = y, y1 = y + 1.0f;
      const std::array<float, 3> q[6] = {{x0, y0, 0}, {x1, y0, 0}, {x1, y1, 0},
                                         {x0, y0, 0}, {x1, y1, 0}, {x0, y1, 0}};
      corners.insert(corners.end(), q, q + 6);
    }
  return xmdsamples::soup(corners);
}

Tree makeTree(int files) {
  Tree tree;
  for (int i = 0; i < files; ++i) {
    const std::string dir = "d" + std::to_string(i % 4) + (i % 3 == 0 ? "/deep" : "");
    tree[dir + "/m" + std::to_string(i) + ".xmd"] =
        i % 5 == 4 ? xmdsamples::badIndex() : xmdsamples::file({grid(10 + (i * 7) % 40)});
  }
  return tree;
}

// The sources are readable by their group, not by others.
void writeTree(const xmdtest::TempDir& t, const std::string& root, const Tree& tree) {
  for (const auto& kv : tree) {
    t.write(root + "/" + kv.first, kv.second);
    stdfs::permissions(t / (root + "/" + kv.first), stdfs::perms(0640));
  }
}

// Every model file holds its original or its result, and nothing but model
// files and left-over results lie in the tree.
void expectOriginalOrResult(const xmdtest::TempDir& t, const std::string& root,
                            const Tree& original, const Tree& result, const std::string& context) {
  for (const auto& kv : original) {
    ASSERT_TRUE(t.exists(root + "/" + kv.first)) << context << ": " << kv.first << " is missing";
    const std::string bytes = t.read(root + "/" + kv.first);
    EXPECT_TRUE(bytes == kv.second || bytes == result.at(kv.first)) << context << ": " << kv.first;
  }
  for (const auto& e : stdfs::recursive_directory_iterator(t / root)) {
    if (!e.is_regular_file()) continue;
    const std::string rel = e.path().string().substr((t / root).size() + 1);
    const bool known =
        original.count(rel) || (rel.size() > 7 && rel.compare(rel.size() - 7, 7, ".result") == 0 &&
                                original.count(rel.substr(0, rel.size() - 7)));
    EXPECT_TRUE(known) << context << ": stray file " << rel;
    // Every file keeps the sources' permissions or fewer: a result is
    // private until it takes its source's permissions.
    const stdfs::perms mode = e.status().permissions();
    EXPECT_TRUE(mode == stdfs::perms(0640) || (!original.count(rel) && mode == stdfs::perms(0600)))
        << context << ": " << rel << " has mode " << std::oct << static_cast<unsigned>(mode);
  }
}

Tree readTree(const xmdtest::TempDir& t, const std::string& root, const Tree& like) {
  Tree out;
  for (const auto& kv : like) out[kv.first] = t.read(root + "/" + kv.first);
  return out;
}

TEST(Replacement, SurvivesSigkillAtAnyMoment) {
  xmdtest::TempDir t;
  const Tree original = makeTree(30);
  writeTree(t, "ref", original);
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(0, xmdtest::runProgram({XMDOPT_EXE, t / "ref"}).status);
  const auto full = std::chrono::steady_clock::now() - start;
  const Tree result = readTree(t, "ref", original);
  const long fullUs = std::chrono::duration_cast<std::chrono::microseconds>(full).count() + 1;

  std::mt19937 rng(12345);
  int interrupted = 0;
  for (int round = 0; round < 30; ++round) {
    const std::string root = "run" + std::to_string(round);
    writeTree(t, root, original);
    const pid_t pid =
        xmdtest::startProgram({XMDOPT_EXE, t / root}, "", t / (root + ".out"), t / (root + ".err"));
    ASSERT_GT(pid, 0);
    const long us = std::uniform_int_distribution<long>(0, fullUs)(rng);
    const struct timespec pause = {us / 1000000, (us % 1000000) * 1000};
    nanosleep(&pause, nullptr);
    kill(pid, SIGKILL);
    if (xmdtest::waitProgram(pid) == -SIGKILL) ++interrupted;
    expectOriginalOrResult(t, root, original, result, "kill after " + std::to_string(us) + " us");
  }
  EXPECT_GE(interrupted, 10) << "too few runs were cut short to mean anything";
}

// Whether strace can run the tool here. A sanitizer build's leak check cannot
// work under ptrace, so it is turned off for the traced runs.
bool haveStrace() {
  const char* asan = getenv("ASAN_OPTIONS");
  if (asan == nullptr || std::string(asan).find("detect_leaks=0") == std::string::npos)
    setenv("ASAN_OPTIONS",
           (asan != nullptr && *asan ? std::string(asan) + ":" : std::string())
               .append("detect_leaks=0")
               .c_str(),
           1);
  // Installed, and allowed to trace here (a container may forbid ptrace).
  return access("/usr/bin/strace", X_OK) == 0 &&
         xmdtest::runProgram({"/usr/bin/strace", "-f", "-qq", "-o", "/dev/null", "/bin/true"})
                 .status == 0;
}

// How often the program calls syscall on the tree at root.
int countCalls(const xmdtest::TempDir& t, const std::string& root, const std::string& syscall) {
  xmdtest::runProgram({"/usr/bin/strace", "-f", "-qq", "-o", t / "count.log", "-e",
                       "trace=" + syscall, XMDOPT_EXE, t / root});
  int n = 0;
  for (char c : t.read("count.log")) n += c == '\n';
  return n;
}

TEST(Replacement, EachFailingSystemCallLosesNothing) {
  if (!haveStrace()) GTEST_SKIP() << "strace is not installed or may not trace here";
  xmdtest::TempDir t;
  const Tree original = makeTree(5);
  writeTree(t, "ref", original);
  ASSERT_EQ(0, xmdtest::runProgram({XMDOPT_EXE, t / "ref"}).status);
  const Tree result = readTree(t, "ref", original);
  int runs = 0;
  for (const char* syscall :
       {"openat", "read", "write", "fsync", "fchmod", "close", "rename", "unlink"}) {
    writeTree(t, "probe", original);
    const int calls = countCalls(t, "probe", syscall);
    for (int k = 1; k <= calls; ++k) {
      const std::string root = std::string("f_") + syscall + std::to_string(k);
      writeTree(t, root, original);
      const xmdtest::ProgramRun r = xmdtest::runProgram(
          {"/usr/bin/strace", "-f", "-qq", "-o", "/dev/null", "-e", std::string("trace=") + syscall,
           "-e", std::string("inject=") + syscall + ":error=EIO:when=" + std::to_string(k),
           XMDOPT_EXE, t / root});
      EXPECT_GE(r.status, 0) << syscall << " #" << k << " ended the tool by a signal";
      if (std::string(syscall) == "fsync" && k == calls) {
        // The last flush is the one of the directories: reported, exit 1.
        EXPECT_EQ(1, r.status);
        EXPECT_NE(std::string::npos, r.err.find("xmdopt: cannot flush directory ")) << r.err;
      }
      expectOriginalOrResult(t, root, original, result,
                             std::string(syscall) + " #" + std::to_string(k));
      ++runs;
    }
  }
  EXPECT_GT(runs, 30);
}

TEST(Replacement, ResultIsFlushedBeforeTheRenameAndTheDirectoryAfter) {
  if (!haveStrace()) GTEST_SKIP() << "strace is not installed or may not trace here";
  xmdtest::TempDir t;
  t.write("m/a.xmd", xmdsamples::crate());
  const xmdtest::ProgramRun r =
      xmdtest::runProgram({"/usr/bin/strace", "-f", "-qq", "-y", "-o", t / "trace.log", "-e",
                           "trace=openat,write,fsync,rename,close", XMDOPT_EXE, t / "m"});
  ASSERT_EQ(0, r.status) << r.err;
  std::vector<std::string> lines;
  {
    const std::string log = t.read("trace.log");
    std::size_t from = 0;
    for (std::size_t nl; (nl = log.find('\n', from)) != std::string::npos; from = nl + 1)
      lines.push_back(log.substr(from, nl - from));
  }
  const std::string result = "<" + t.path() + "/m/a.xmd.result>";
  const std::string dir = "<" + t.path() + "/m>";
  auto has = [](const std::string& line, const std::string& a, const std::string& b) {
    return line.find(a) != std::string::npos && line.find(b) != std::string::npos;
  };
  auto find = [&](std::size_t from, const std::string& a, const std::string& b) {
    for (std::size_t i = from; i < lines.size(); ++i)
      if (has(lines[i], a, b)) return i;
    return lines.size();
  };
  std::size_t lastWrite = lines.size();
  for (std::size_t i = 0; i < lines.size(); ++i)
    if (has(lines[i], "write(", result)) lastWrite = i;
  const std::string renameCall =
      "rename(\"" + t.path() + "/m/a.xmd.result\", \"" + t.path() + "/m/a.xmd\") = 0";
  const std::size_t fsyncResult = find(lastWrite, "fsync(", result);
  const std::size_t rename = find(0, renameCall, "");
  const std::size_t fsyncDir = find(rename, "fsync(", dir);
  const std::string all = t.read("trace.log");
  ASSERT_LT(lastWrite, lines.size()) << all;
  EXPECT_LT(lastWrite, fsyncResult) << all;
  EXPECT_LT(fsyncResult, rename) << all;
  EXPECT_LT(rename, fsyncDir) << all;
  EXPECT_LT(fsyncDir, lines.size()) << all;
}

}  // namespace
