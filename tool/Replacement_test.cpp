// The replacement of a model file by its result must never lose data: these
// runs kill the built xmdopt at random moments, and make each system call it
// makes on the tree's files fail in turn (strace's fault injection), and then
// check that every model file holds either its original bytes or its
// complete result, and that the result reaches the disk before it takes the
// name. Results left by a killed run bear names of io::fs::ResultName.
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

#include "io/fs/ResultName.h"
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

// Whether rel (a path in the tree) is a result of one of the model files of
// original, left by a run that was cut short.
bool isLeftover(const std::string& rel, const Tree& original) {
  const std::size_t slash = rel.rfind('/');
  const std::string dir = slash == std::string::npos ? "" : rel.substr(0, slash + 1);
  for (const auto& kv : original) {
    const std::size_t s = kv.first.rfind('/');
    if (kv.first.substr(0, s + 1) == dir &&
        io::fs::ResultName::isResultOf(rel.substr(dir.size()), kv.first.substr(s + 1)))
      return true;
  }
  return false;
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
    const bool known = original.count(rel) || isLeftover(rel, original);
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
  // Runs take as long as the machine lets them: a run that ended before its
  // kill makes the later kills come sooner.
  long boundUs = fullUs;
  for (int round = 0; round < 30; ++round) {
    const std::string root = "run" + std::to_string(round);
    writeTree(t, root, original);
    const pid_t pid =
        xmdtest::startProgram({XMDOPT_EXE, t / root}, "", t / (root + ".out"), t / (root + ".err"));
    ASSERT_GT(pid, 0);
    const long us = std::uniform_int_distribution<long>(0, boundUs)(rng);
    const struct timespec pause = {us / 1000000, (us % 1000000) * 1000};
    nanosleep(&pause, nullptr);
    kill(pid, SIGKILL);
    if (xmdtest::waitProgram(pid) == -SIGKILL)
      ++interrupted;
    else
      boundUs = std::max(boundUs / 2, 1000L);
    expectOriginalOrResult(t, root, original, result, "kill after " + std::to_string(us) + " us");
    // The next run finishes the work and removes what the killed one left.
    EXPECT_EQ(0, xmdtest::runProgram({XMDOPT_EXE, t / root}).status);
    EXPECT_EQ(result, readTree(t, root, original));
    for (const auto& e : stdfs::recursive_directory_iterator(t / root))
      EXPECT_FALSE(isLeftover(e.path().string().substr((t / root).size() + 1), original))
          << e.path();
  }
  EXPECT_GE(interrupted, 10) << "too few runs were cut short to mean anything";
}

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t from = 0;
  for (std::size_t nl; (nl = text.find('\n', from)) != std::string::npos; from = nl + 1)
    lines.push_back(text.substr(from, nl - from));
  return lines;
}

// The system call a line of "strace -f -o" names ("1234 openat(..." gives
// openat); empty for other lines.
std::string callOf(const std::string& line) {
  // The pid, then spaces (strace pads short pids).
  std::size_t start = line.find(' ');
  start = start == std::string::npos ? 0 : line.find_first_not_of(' ', start);
  if (start == std::string::npos) return std::string();
  const std::size_t paren = line.find('(', start);
  if (paren == std::string::npos) return std::string();
  const std::string name = line.substr(start, paren - start);
  return name.find_first_of(" <+-") == std::string::npos ? name : std::string();
}

// One call to make fail: the n-th call of its name, and what the probe
// run's trace said of it.
struct Call {
  std::string name;
  int n;
  std::string line;
};

// The calls of the program on the tree at root, with decoded descriptors and
// paths: only those of syscalls, and only those that name a file or a
// directory of the tree. Start-up (the sanitizer's own hundreds of calls)
// never names the tree, so it does not count.
std::vector<Call> callsOnTree(const xmdtest::TempDir& t, const std::string& root,
                              const std::vector<std::string>& syscalls,
                              const std::vector<std::string>& options = {}) {
  std::string set;
  for (const std::string& s : syscalls) set += (set.empty() ? "" : ",") + s;
  std::vector<std::string> argv =
      xmdtest::straceCommand(t / "probe.log", {"-y", "-e", "trace=" + set, XMDOPT_EXE});
  argv.insert(argv.end(), options.begin(), options.end());
  argv.push_back(t / root);
  xmdtest::runProgram(argv);
  std::map<std::string, int> seen;
  std::vector<Call> calls;
  for (const std::string& line : linesOf(t.read("probe.log"))) {
    const std::string name = callOf(line);
    if (name.empty()) continue;
    const int n = ++seen[name];
    if (line.find(t / root) != std::string::npos) calls.push_back(Call{name, n, line});
  }
  return calls;
}

// The tree of the fault injection: small, so that every call on it can fail
// in turn in a short time: two directories, two models to weld, one to
// reject.
Tree smallTree() {
  return Tree{{"d0/deep/m0.xmd", xmdsamples::file({grid(3)})},
              {"d1/m1.xmd", xmdsamples::file({grid(4)})},
              {"d1/m2.xmd", xmdsamples::badIndex()}};
}

TEST(Replacement, EachFailingSystemCallOnTheTreeLosesNothing) {
  if (!xmdtest::straceUsable()) GTEST_SKIP() << "strace is not installed or may not trace here";
  xmdtest::TempDir t;
  const Tree original = smallTree();
  writeTree(t, "ref", original);
  ASSERT_EQ(0, xmdtest::runProgram({XMDOPT_EXE, t / "ref"}).status);
  const Tree result = readTree(t, "ref", original);
  writeTree(t, "probe", original);
  // One worker makes the n-th call of a name the same call in every run, so
  // that each call on the tree fails in turn; the default workers then meet
  // the same failures at moments of their own.
  const std::vector<Call> calls = callsOnTree(
      t, "probe",
      {"openat", "read", "write", "lseek", "fsync", "syncfs", "sync_file_range", "fchmod", "fchown",
       "flock", "newfstatat", "renameat", "unlinkat", "close", "getdents64"},
      {"-j", "1"});
  for (const bool oneWorker : {true, false}) {
    int hits = 0;
    for (std::size_t i = 0; i < calls.size(); ++i) {
      const Call& c = calls[i];
      const std::string root = "f" + std::to_string(i);
      const std::string what = c.name + " #" + std::to_string(c.n) + ": " + c.line +
                               (oneWorker ? " (one worker)" : " (default workers)");
      writeTree(t, root, original);
      std::vector<std::string> argv = xmdtest::straceCommand(
          t / "inject.log",
          {"-y", "-e", "trace=" + c.name, "-e",
           "inject=" + c.name + ":error=EIO:when=" + std::to_string(c.n), XMDOPT_EXE, t / root});
      if (oneWorker) argv.insert(argv.end() - 1, {"-j", "1"});
      const xmdtest::ProgramRun r = xmdtest::runProgram(argv);
      EXPECT_GE(r.status, 0) << what << ": ended by a signal";
      // The failing call was the same call on the tree as in the probe run.
      for (const std::string& line : linesOf(t.read("inject.log")))
        if (line.find("(INJECTED)") != std::string::npos &&
            line.find(t / root) != std::string::npos)
          ++hits;
      if (oneWorker && c.name == "fsync" && c.line.find(".xmd") == std::string::npos) {
        // A directory's flush: reported, exit 1.
        EXPECT_EQ(1, r.status) << what;
        EXPECT_NE(std::string::npos, r.err.find("xmdopt: cannot flush directory ")) << r.err;
      }
      expectOriginalOrResult(t, root, original, result, what);
      stdfs::remove_all(t / root);
    }
    EXPECT_GT(calls.size(), 30u);
    if (oneWorker) {
      EXPECT_EQ(calls.size(), static_cast<std::size_t>(hits)) << "injections that missed the tree";
    }
  }
}

TEST(Replacement, ADirectoryTheFileSystemCannotFlushIsNoFailure) {
  if (!xmdtest::straceUsable()) GTEST_SKIP() << "strace is not installed or may not trace here";
  xmdtest::TempDir t;
  t.write("m/a.xmd", xmdsamples::crate());
  std::vector<Call> flushes;
  for (const Call& c : callsOnTree(t, "m", {"fsync"}))
    if (c.line.find(".xmd") == std::string::npos) flushes.push_back(c);
  ASSERT_EQ(1u, flushes.size()) << t.read("probe.log");
  for (const char* error : {"EINVAL", "EOPNOTSUPP", "EIO"}) {
    t.write("m/a.xmd", xmdsamples::crate());
    const xmdtest::ProgramRun r = xmdtest::runProgram(xmdtest::straceCommand(
        "/dev/null",
        {"-e", "trace=fsync", "-e",
         "inject=fsync:error=" + std::string(error) + ":when=" + std::to_string(flushes[0].n),
         XMDOPT_EXE, t / "m"}));
    const bool real = std::string(error) == "EIO";  // only a real failure counts
    EXPECT_EQ(real ? 1 : 0, r.status) << error << ": " << r.err;
    EXPECT_EQ(real, r.err.find("xmdopt: cannot flush directory ") != std::string::npos)
        << error << ": " << r.err;
    EXPECT_TRUE(xmdsamples::crate() != t.read("m/a.xmd")) << error;  // the replacement stands
  }
}

TEST(Replacement, ResultIsFlushedBeforeTheRenameAndTheDirectoryAfter) {
  if (!xmdtest::straceUsable()) GTEST_SKIP() << "strace is not installed or may not trace here";
  xmdtest::TempDir t;
  t.write("m/a.xmd", xmdsamples::crate());
  const xmdtest::ProgramRun r = xmdtest::runProgram(xmdtest::straceCommand(
      t / "trace.log",
      {"-y", "-e", "trace=openat,write,fsync,syncfs,renameat,close", XMDOPT_EXE, t / "m"}));
  ASSERT_EQ(0, r.status) << r.err;
  const std::vector<std::string> lines = linesOf(t.read("trace.log"));
  const std::string all = t.read("trace.log");
  auto has = [](const std::string& line, const std::string& a, const std::string& b) {
    return line.find(a) != std::string::npos && line.find(b) != std::string::npos;
  };
  auto find = [&](std::size_t from, const std::string& a, const std::string& b) {
    for (std::size_t i = from; i < lines.size(); ++i)
      if (has(lines[i], a, b)) return i;
    return lines.size();
  };
  // The result: created new, never through a link, under a name of its own.
  const std::size_t created = find(0, "O_CREAT|O_EXCL", "a.xmd.xmdopt-");
  ASSERT_LT(created, lines.size()) << all;
  EXPECT_NE(std::string::npos, lines[created].find("O_NOFOLLOW")) << lines[created];
  const std::size_t at = lines[created].find("a.xmd.xmdopt-");
  const std::string name = lines[created].substr(at, lines[created].find('"', at) - at);
  EXPECT_TRUE(io::fs::ResultName::isResultOf(name, "a.xmd")) << name;
  const std::string result = "<" + t.path() + "/m/" + name + ">";
  const std::string dir = "<" + t.path() + "/m>";
  std::size_t lastWrite = lines.size();
  for (std::size_t i = 0; i < lines.size(); ++i)
    if (has(lines[i], "write(", result)) lastWrite = i;
  // One flush of the result's volume covers the whole group of results.
  const std::size_t fsyncResult = find(lastWrite, "syncfs(", result);
  const std::size_t rename = find(0, "renameat(", "\"" + name + "\", ");
  const std::size_t fsyncDir = find(rename, "fsync(", dir);
  ASSERT_LT(lastWrite, lines.size()) << all;
  EXPECT_LT(created, lastWrite) << all;
  EXPECT_LT(lastWrite, fsyncResult) << all;
  EXPECT_LT(fsyncResult, rename) << all;
  EXPECT_NE(std::string::npos, lines[rename].find("\"a.xmd\") = 0")) << lines[rename];
  EXPECT_LT(rename, fsyncDir) << all;
  EXPECT_LT(fsyncDir, lines.size()) << all;
}

}  // namespace
