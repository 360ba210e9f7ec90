// The built xmdopt run as root over trees that others can write to, tried as
// an attacker and as a careless user would: files of other users, planted
// links, names that look like paths, a second run at the same time, a save
// while a file is processed, links to models, FIFOs, names with control
// characters, stop signals. Each case checks what reached the disk and the
// console. Cases that need root or another user are skipped elsewhere.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "io/ByteArrayInputStream.h"
#include "io/fs/ResultName.h"
#include "samples/SampleModels.h"
#include "testing/Subprocess.h"
#include "testing/TempDir.h"

namespace {

namespace stdfs = std::filesystem;
using xmdtest::runProgram;

// What nobody would notice taking long: the guard of runs that must not
// hang, far above the milliseconds they take.
constexpr int kHangGuardSeconds = 120;
// The user and group "nobody", who owns the files of "another user".
constexpr unsigned kOther = 65534;

// The lines of a run's standard error without the summary line it ends with.
std::string notes(const std::string& err) {
  const std::size_t last = err.rfind("\nxmdopt: ", err.size() - 1);
  const std::size_t start = last == std::string::npos ? 0 : last + 1;
  if (err.find(" replaced, ", start) == std::string::npos) return err;
  return err.substr(0, start);
}

struct Status {
  mode_t mode = 0;
  uid_t owner = 0;
  gid_t group = 0;
  bool link = false;
  bool regular = false;
  nlink_t links = 0;
};

Status statusOf(const std::string& path) {
  struct stat st;
  Status s;
  if (lstat(path.c_str(), &st) != 0) return s;
  s.mode = st.st_mode & 07777;
  s.owner = st.st_uid;
  s.group = st.st_gid;
  s.link = S_ISLNK(st.st_mode);
  s.regular = S_ISREG(st.st_mode);
  s.links = st.st_nlink;
  return s;
}

// The result of the model file bytes, as a run on its own makes it.
std::string resultOf(const std::string& bytes) {
  xmdtest::TempDir t;
  t.write("m.xmd", bytes);
  runProgram({XMDOPT_EXE, t / "m.xmd"});
  return t.read("m.xmd");
}

// The names in dir that are results left behind (of any file).
std::vector<std::string> resultsIn(const std::string& dir) {
  std::vector<std::string> found;
  for (const auto& e : stdfs::recursive_directory_iterator(dir))
    if (e.path().filename().string().find(".xmdopt-") != std::string::npos)
      found.push_back(e.path().string());
  return found;
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::size_t from = 0;
  for (std::size_t nl; (nl = text.find('\n', from)) != std::string::npos; from = nl + 1)
    out.push_back(text.substr(from, nl - from));
  return out;
}

TEST(SafeRewrite, ResultsKeepTheirOwnerAndNeverGainRights) {
  if (geteuid() != 0) GTEST_SKIP() << "giving files to other users needs root";
  xmdtest::TempDir t;
  const struct {
    const char* name;
    unsigned owner, group;
    mode_t mode, expected;
  } cases[] = {
      {"setuid.xmd", kOther, kOther, 04755, 0755},  // a program of that user, run by root
      {"private.xmd", kOther, 0, 0640, 0640},      {"shared.xmd", kOther, kOther, 02775, 0775},
      {"sticky.xmd", 0, kOther, 01644, 0644},      {"readonly.xmd", 0, 0, 0444, 0644},
  };
  for (const auto& c : cases) {
    t.write(std::string("m/") + c.name, xmdsamples::crate());
    ASSERT_EQ(0, chown((t / "m/" + c.name).c_str(), c.owner, c.group));
    ASSERT_EQ(0, chmod((t / "m/" + c.name).c_str(), c.mode));
  }
  const xmdtest::ProgramRun r = runProgram({XMDOPT_EXE, t / "m"});
  EXPECT_EQ(0, r.status) << r.err;
  for (const auto& c : cases) {
    const Status s = statusOf(t / "m/" + c.name);
    EXPECT_EQ(c.owner, s.owner) << c.name;
    EXPECT_EQ(c.group, s.group) << c.name;
    EXPECT_EQ(c.expected, s.mode) << c.name << std::oct << " has " << s.mode;
    EXPECT_EQ(resultOf(xmdsamples::crate()), t.read(std::string("m/") + c.name)) << c.name;
  }
}

TEST(SafeRewrite, APlantedResultLinkIsNeverWrittenThrough) {
  const struct {
    const char* what;
    std::string bytes;
  } models[] = {
      {"good", xmdsamples::crate()},
      {"rejected", xmdsamples::badIndex()},
      {"malformed", xmdsamples::crate().substr(0, 60)},
  };
  for (const auto& m : models) {
    xmdtest::TempDir t;
    t.write("victim", "precious");
    ASSERT_EQ(0, chmod((t / "victim").c_str(), 0600));
    t.write("tree/m.xmd", m.bytes);
    ASSERT_EQ(0, symlink((t / "victim").c_str(), (t / "tree/m.xmd.result").c_str()));
    ASSERT_EQ(0, symlink((t / "created").c_str(), (t / "tree/n.xmd.result").c_str()));
    t.write("tree/n.xmd", m.bytes);
    runProgram({XMDOPT_EXE, t / "tree"});
    EXPECT_EQ("precious", t.read("victim")) << m.what;
    EXPECT_EQ(0600u, statusOf(t / "victim").mode) << m.what;
    EXPECT_FALSE(t.exists("created")) << m.what;
    EXPECT_TRUE(statusOf(t / "tree/m.xmd.result").link) << m.what;
    for (const char* f : {"tree/m.xmd", "tree/n.xmd"}) {
      EXPECT_TRUE(statusOf(t / f).regular) << m.what << " " << f;
      const std::string now = t.read(f);
      EXPECT_TRUE(now == m.bytes || now == resultOf(m.bytes)) << m.what << " " << f;
    }
  }
}

TEST(SafeRewrite, NamesNeverLeadOutOfTheTree) {
  xmdtest::TempDir t;
  const std::string model = xmdsamples::crate();
  // Decoys outside the tree that the names below would reach as paths.
  t.write("outside/v.xmd", model);
  t.write("abs/v.xmd", model);
  t.write("cwd/a:/m.xmd", model);
  std::string absolute = t / "abs/v.xmd";
  for (char& c : absolute) c = c == '/' ? '\\' : c;
  t.write("tree/..\\outside\\v.xmd", model);
  t.write("tree/" + absolute, model);
  t.write("tree/a:/m.xmd", model);
  t.write("tree/inner/..\\..\\outside\\v.xmd", model);
  t.mkdirs("elsewhere");
  t.write("elsewhere/far.xmd", model);
  ASSERT_EQ(0, symlink((t / "elsewhere").c_str(), (t / "tree/link").c_str()));
  ASSERT_EQ(0, symlink("../../outside", (t / "tree/inner/up").c_str()));
  const xmdtest::ProgramRun r = runProgram({XMDOPT_EXE, t / "tree"}, t / "cwd");
  EXPECT_EQ(0, r.status) << r.err;
  for (const char* decoy : {"outside/v.xmd", "abs/v.xmd", "cwd/a:/m.xmd", "elsewhere/far.xmd"})
    EXPECT_EQ(model, t.read(decoy)) << decoy;
  const std::string result = resultOf(model);
  for (const std::string& inside :
       {std::string("tree/..\\outside\\v.xmd"), "tree/" + absolute, std::string("tree/a:/m.xmd"),
        std::string("tree/inner/..\\..\\outside\\v.xmd")})
    EXPECT_EQ(result, t.read(inside)) << inside;
  EXPECT_NE(std::string::npos, r.err.find("xmdopt: not entering " + t.path() +
                                          "/tree/link: it leads outside " + t.path() + "/tree\n"))
      << r.err;
  EXPECT_NE(std::string::npos,
            r.err.find("xmdopt: not entering " + t.path() + "/tree/inner/up: it leads outside "))
      << r.err;
}

// Two runs over one tree, one of them killed at a random moment: every file
// holds its original or its complete result, never part of one.
TEST(SafeRewrite, TwoRunsAtOnceLoseNothing) {
  xmdtest::TempDir t;
  std::map<std::string, std::string> original;
  for (int i = 0; i < 12; ++i)
    original["d" + std::to_string(i % 3) + "/m" + std::to_string(i) + ".xmd"] =
        i % 4 == 3 ? xmdsamples::walker() : xmdsamples::crate();
  auto write = [&](const std::string& root) {
    for (const auto& kv : original) t.write(root + "/" + kv.first, kv.second);
  };
  write("ref");
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(0, runProgram({XMDOPT_EXE, t / "ref"}).status);
  const long fullUs = std::chrono::duration_cast<std::chrono::microseconds>(
                          std::chrono::steady_clock::now() - start)
                          .count() +
                      1;
  std::mt19937 rng(777);
  for (int round = 0; round < 20; ++round) {
    const std::string root = "run" + std::to_string(round);
    write(root);
    const pid_t a = xmdtest::startProgram({XMDOPT_EXE, t / root}, "", t / "a.out", t / "a.err");
    const pid_t b = xmdtest::startProgram({XMDOPT_EXE, t / root}, "", t / "b.out", t / "b.err");
    ASSERT_GT(a, 0);
    ASSERT_GT(b, 0);
    const long us = std::uniform_int_distribution<long>(0, fullUs)(rng);
    const struct timespec pause = {us / 1000000, (us % 1000000) * 1000};
    nanosleep(&pause, nullptr);
    kill(round % 2 ? a : b, SIGKILL);
    const int sa = xmdtest::waitProgram(a), sb = xmdtest::waitProgram(b);
    EXPECT_TRUE(sa == 0 || sa == 1 || sa == -SIGKILL) << sa;
    EXPECT_TRUE(sb == 0 || sb == 1 || sb == -SIGKILL) << sb;
    for (const auto& kv : original) {
      const std::string now = t.read(root + "/" + kv.first);
      EXPECT_TRUE(now == kv.second || now == t.read("ref/" + kv.first))
          << "round " << round << ": " << kv.first << " holds " << now.size() << " bytes";
    }
    // A later run finishes the work.
    EXPECT_EQ(0, runProgram({XMDOPT_EXE, t / root}).status);
    for (const auto& kv : original)
      EXPECT_EQ(t.read("ref/" + kv.first), t.read(root + "/" + kv.first)) << kv.first;
  }
}

// A second run meets a file the first holds: it skips it and says so.
TEST(SafeRewrite, ABusyFileIsSkippedWithANote) {
  if (!xmdtest::straceUsable()) GTEST_SKIP() << "strace is not installed or may not trace here";
  xmdtest::TempDir t;
  t.write("m/a.xmd", xmdsamples::crate());
  // The first run stops at its first flush, holding a.xmd. A stop seen once
  // the result exists is that one, or one of the tracer's own stops on the
  // way to it: either way the first run holds a.xmd and has not replaced it.
  const pid_t first = xmdtest::startProgram(
      xmdtest::straceCommand(
          "/dev/null",
          {"-e", "trace=syncfs", "-e", "inject=syncfs:signal=SIGSTOP:when=1", XMDOPT_EXE, t / "m"}),
      "", t / "first.out", t / "first.err");
  ASSERT_GT(first, 0);
  pid_t tool = 0;
  ASSERT_TRUE(
      xmdtest::waitForStoppedChild(first, &tool, [&] { return !resultsIn(t / "m").empty(); }));
  const xmdtest::ProgramRun second = runProgram({XMDOPT_EXE, t / "m"});
  EXPECT_EQ(1, second.status);
  EXPECT_EQ("", second.out);
  EXPECT_EQ("xmdopt: skipping " + t.path() + "/m/a.xmd: another run is processing it\n",
            notes(second.err));
  EXPECT_EQ(0, xmdtest::finishStopped(first, tool));
  EXPECT_EQ(resultOf(xmdsamples::crate()), t.read("m/a.xmd"));
}

// A user saves (or removes) a model while the tool is between reading it and
// putting its result in place: what the user did stands.
TEST(SafeRewrite, ASaveBetweenReadAndReplaceSurvives) {
  if (!xmdtest::straceUsable()) GTEST_SKIP() << "strace is not installed or may not trace here";
  const struct {
    const char* what;
    void (*act)(const xmdtest::TempDir&);
  } saves[] = {
      {"written in place", [](const xmdtest::TempDir& t) { t.write("m/a.xmd", "saved"); }},
      {"saved by rename",
       [](const xmdtest::TempDir& t) {
         t.write("m/a.xmd.tmp", "saved");
         stdfs::rename(t / "m/a.xmd.tmp", t / "m/a.xmd");
       }},
      {"removed", [](const xmdtest::TempDir& t) { stdfs::remove(t / "m/a.xmd"); }},
  };
  for (const auto& s : saves) {
    xmdtest::TempDir t;
    t.write("m/a.xmd", xmdsamples::crate());
    // The tool stops at its first flush, the result written, not yet in
    // place. A stop seen once the result exists is that one, or one of the
    // tracer's own stops on the way to it: either way the save comes before
    // the tool looks at the source again.
    const pid_t strace = xmdtest::startProgram(
        xmdtest::straceCommand("/dev/null",
                               {"-e", "trace=syncfs", "-e", "inject=syncfs:signal=SIGSTOP:when=1",
                                XMDOPT_EXE, t / "m"}),
        "", t / "out", t / "err");
    pid_t tool = 0;
    ASSERT_TRUE(xmdtest::waitForStoppedChild(strace, &tool, [&] {
      return !resultsIn(t / "m").empty();
    })) << s.what;
    s.act(t);
    EXPECT_EQ(1, xmdtest::finishStopped(strace, tool)) << s.what;
    EXPECT_EQ("xmdopt: " + t.path() +
                  "/m/a.xmd kept as it is now: it changed or went away while it was processed\n",
              notes(t.read("err")))
        << s.what;
    if (std::string(s.what) == "removed")
      EXPECT_FALSE(t.exists("m/a.xmd"));
    else
      EXPECT_EQ("saved", t.read("m/a.xmd")) << s.what;
    EXPECT_TRUE(resultsIn(t / "m").empty()) << s.what;
  }
}

TEST(SafeRewrite, AUsersOwnResultFilesAreKept) {
  xmdtest::TempDir t;
  t.write("m/a.xmd", xmdsamples::crate());
  t.write("m/a.xmd.result", "the user's a");
  t.write("m/b.xmd", xmdsamples::badIndex());
  t.write("m/b.xmd.result", "the user's b");
  const xmdtest::ProgramRun r = runProgram({XMDOPT_EXE, t / "m"});
  EXPECT_EQ(0, r.status);
  EXPECT_EQ("the user's a", t.read("m/a.xmd.result"));
  EXPECT_EQ("the user's b", t.read("m/b.xmd.result"));
  EXPECT_EQ(resultOf(xmdsamples::crate()), t.read("m/a.xmd"));
  EXPECT_EQ(xmdsamples::badIndex(), t.read("m/b.xmd"));
  EXPECT_TRUE(resultsIn(t / "m").empty());
}

TEST(SafeRewrite, LinksToModelsStayLinks) {
  xmdtest::TempDir t;
  const std::string model = xmdsamples::crate();
  t.write("tree/models/ship.xmd", model);
  t.write("outside/o.xmd", model);
  ASSERT_EQ(0, symlink("models/ship.xmd", (t / "tree/current.xmd").c_str()));
  ASSERT_EQ(0, symlink("../outside/o.xmd", (t / "tree/ext.xmd").c_str()));
  const xmdtest::ProgramRun r = runProgram({XMDOPT_EXE, t / "tree"});
  EXPECT_EQ(0, r.status) << r.err;
  EXPECT_TRUE(statusOf(t / "tree/current.xmd").link);
  EXPECT_TRUE(statusOf(t / "tree/ext.xmd").link);
  EXPECT_EQ(resultOf(model), t.read("tree/models/ship.xmd"));
  EXPECT_EQ(model, t.read("outside/o.xmd"));
  EXPECT_EQ("xmdopt: skipping " + t.path() + "/tree/ext.xmd: a link to a file outside " + t.path() +
                "/tree\n",
            notes(r.err));
  EXPECT_EQ("INFO : processing" + t.path() + "/tree/current.xmd", lines(r.out).at(0));
  // Named on its own: the link's directory is the tree.
  t.write("tree/models/ship.xmd", model);
  const xmdtest::ProgramRun file = runProgram({XMDOPT_EXE, t / "tree/current.xmd"});
  EXPECT_EQ(0, file.status);
  EXPECT_TRUE(statusOf(t / "tree/current.xmd").link);
  EXPECT_EQ(resultOf(model), t.read("tree/models/ship.xmd"));
  EXPECT_TRUE(resultsIn(t.path()).empty());
}

TEST(SafeRewrite, FifosAreSkippedWithoutWaiting) {
  xmdtest::TempDir t;
  ASSERT_EQ(0, mkfifo((t / "m.xmd").c_str(), 0644));
  t.write("n.xmd", xmdsamples::crate());
  ASSERT_EQ(0, mkfifo((t / "n.xmd.result").c_str(), 0644));
  const xmdtest::ProgramRun dir =
      xmdtest::runProgramWithin({XMDOPT_EXE, t.path()}, kHangGuardSeconds);
  EXPECT_FALSE(dir.hung);
  EXPECT_EQ(0, dir.status);
  EXPECT_EQ("xmdopt: skipping " + t.path() + "/m.xmd: not a regular file\n", notes(dir.err));
  EXPECT_EQ(resultOf(xmdsamples::crate()), t.read("n.xmd"));
  EXPECT_EQ(S_IFIFO, [&] {
    struct stat st;
    return lstat((t / "n.xmd.result").c_str(), &st) == 0 ? st.st_mode & S_IFMT : 0;
  }());
  const xmdtest::ProgramRun file =
      xmdtest::runProgramWithin({XMDOPT_EXE, t / "m.xmd"}, kHangGuardSeconds);
  EXPECT_FALSE(file.hung);
  EXPECT_EQ(0, file.status);
  EXPECT_EQ("xmdopt: skipping " + t.path() + "/m.xmd: not a regular file\n", notes(file.err));
}

TEST(SafeRewrite, NamesCannotForgeConsoleLines) {
  xmdtest::TempDir t;
  t.write("m/x\nINFO - optimization 1 -> 1\n.xmd", xmdsamples::crate());
  t.write("m/\x1b[2Jred\x7f.xmd", xmdsamples::badIndex());
  const xmdtest::ProgramRun r = runProgram({XMDOPT_EXE, t / "m"});
  EXPECT_EQ(0, r.status);
  const std::string p = "INFO : processing" + t.path() + "/m/";
  EXPECT_EQ((std::vector<std::string>{p + "\\x1b[2Jred\\x7f.xmd", "ERROR - invalid vertex index",
                                      p + "x\\x0aINFO - optimization 1 -> 1\\x0a.xmd",
                                      "INFO - optimization 36 -> 24", ""}),
            lines(r.out));
  EXPECT_EQ("xmdopt: " + t.path() +
                "/m/\\x1b[2Jred\\x7f.xmd kept unchanged: a model in it failed a check\n",
            notes(r.err));
}

TEST(SafeRewrite, HardLinksAreSeparatedWithANote) {
  xmdtest::TempDir t;
  t.write("m/a.xmd", xmdsamples::crate());
  ASSERT_EQ(0, link((t / "m/a.xmd").c_str(), (t / "other-name").c_str()));
  const xmdtest::ProgramRun r = runProgram({XMDOPT_EXE, t / "m"});
  EXPECT_EQ(0, r.status);
  EXPECT_EQ("xmdopt: " + t.path() +
                "/m/a.xmd had 2 hard links: only this name holds the result, the others keep the "
                "old contents\n",
            notes(r.err));
  EXPECT_EQ(resultOf(xmdsamples::crate()), t.read("m/a.xmd"));
  EXPECT_EQ(xmdsamples::crate(), t.read("other-name"));
}

// SIGINT and SIGTERM arriving while the second file is read: the first stays
// replaced, the second and third as they were, no result is left behind.
TEST(SafeRewrite, StopSignalsEndTheRunCleanly) {
  if (!xmdtest::straceUsable()) GTEST_SKIP() << "strace is not installed or may not trace here";
  for (const char* signal : {"SIGINT", "SIGTERM"}) {
    xmdtest::TempDir t;
    for (const char* f : {"m/a.xmd", "m/b.xmd", "m/c.xmd"}) t.write(f, xmdsamples::crate());
    // The first read of b.xmd: the number of reads before it, plus one.
    // One worker, so that the reads come in the same order in both runs.
    runProgram(xmdtest::straceCommand(t / "probe.log",
                                      {"-y", "-e", "trace=read", XMDOPT_EXE, "-j", "1", t / "m"}));
    int n = 0;
    for (const std::string& line : lines(t.read("probe.log"))) {
      ++n;
      if (line.find("/m/b.xmd>") != std::string::npos) break;
    }
    for (const char* f : {"m/a.xmd", "m/b.xmd", "m/c.xmd"}) t.write(f, xmdsamples::crate());
    const xmdtest::ProgramRun r = runProgram(xmdtest::straceCommand(
        "/dev/null", {"-e", "trace=read", "-e",
                      "inject=read:signal=" + std::string(signal) + ":when=" + std::to_string(n),
                      XMDOPT_EXE, "-j", "1", t / "m"}));
    EXPECT_EQ(std::string(signal) == "SIGINT" ? 130 : 143, r.status) << signal << r.err;
    EXPECT_EQ(
        "xmdopt: stopped by " + std::string(signal) + "; " + t.path() + "/m/b.xmd left as it was\n",
        notes(r.err));
    EXPECT_EQ(resultOf(xmdsamples::crate()), t.read("m/a.xmd")) << signal;
    EXPECT_EQ(xmdsamples::crate(), t.read("m/b.xmd")) << signal;
    EXPECT_EQ(xmdsamples::crate(), t.read("m/c.xmd")) << signal;
    EXPECT_TRUE(resultsIn(t / "m").empty()) << signal;
    ASSERT_FALSE(lines(r.out).empty()) << signal;
    EXPECT_EQ("INFO : processing" + t.path() + "/m/b.xmd", lines(r.out).back()) << r.out;
  }
}

// Stop signals at random moments: the run ends 0 (it was done) or 130 and
// never leaves a result behind.
TEST(SafeRewrite, StopSignalsAtAnyMomentLeaveNoResult) {
  xmdtest::TempDir t;
  std::map<std::string, std::string> original;
  for (int i = 0; i < 20; ++i)
    original["d" + std::to_string(i % 3) + "/m" + std::to_string(i) + ".xmd"] =
        xmdsamples::walker();
  for (const auto& kv : original) t.write("ref/" + kv.first, kv.second);
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(0, runProgram({XMDOPT_EXE, t / "ref"}).status);
  const long fullUs = std::chrono::duration_cast<std::chrono::microseconds>(
                          std::chrono::steady_clock::now() - start)
                          .count() +
                      1;
  std::mt19937 rng(99);
  int stopped = 0;
  // A run that ended before its signal makes the later signals come sooner.
  long boundUs = fullUs;
  for (int round = 0; round < 20; ++round) {
    const std::string root = "run" + std::to_string(round);
    for (const auto& kv : original) t.write(root + "/" + kv.first, kv.second);
    const pid_t pid = xmdtest::startProgram({XMDOPT_EXE, t / root}, "", t / "out", t / "err");
    const long us = std::uniform_int_distribution<long>(0, boundUs)(rng);
    const struct timespec pause = {us / 1000000, (us % 1000000) * 1000};
    nanosleep(&pause, nullptr);
    kill(pid, round % 2 ? SIGINT : SIGTERM);
    const int status = xmdtest::waitProgram(pid);
    const int expected = round % 2 ? 130 : 143;
    EXPECT_TRUE(status == 0 || status == expected || status == -(round % 2 ? SIGINT : SIGTERM))
        << status;
    stopped += status == expected;
    if (status == 0) boundUs = std::max(boundUs / 2, 1000L);
    EXPECT_TRUE(resultsIn(t / root).empty()) << "round " << round;
    for (const auto& kv : original) {
      const std::string now = t.read(root + "/" + kv.first);
      EXPECT_TRUE(now == kv.second || now == t.read("ref/" + kv.first)) << kv.first;
    }
  }
  EXPECT_GE(stopped, 5) << "too few runs were stopped to mean anything";
}

// Run by a user who may write the directory but may not give a file away:
// a file whose owner or group the result cannot take keeps its source.
TEST(SafeRewrite, AnOwnerTheResultCannotTakeKeepsTheSource) {
  if (!xmdtest::canRunAsOtherUsers()) GTEST_SKIP() << "needs root and setpriv to run as nobody";
  xmdtest::TempDir t;
  ASSERT_EQ(0, chmod(t.path().c_str(), 0755));
  t.mkdirs("m");
  ASSERT_EQ(0, chown((t / "m").c_str(), kOther, kOther));
  const struct {
    const char* name;
    unsigned owner, group;
    bool replaced;
  } cases[] = {
      {"mine.xmd", kOther, kOther, true},
      {"roots.xmd", 0, 0, false},
      {"root-group.xmd", kOther, 0, false},
  };
  for (const auto& c : cases) {
    t.write(std::string("m/") + c.name, xmdsamples::crate());
    ASSERT_EQ(0, chmod((t / "m/" + c.name).c_str(), 0644));
    ASSERT_EQ(0, chown((t / "m/" + c.name).c_str(), c.owner, c.group));
  }
  const xmdtest::ProgramRun r = runProgram(xmdtest::asUser(kOther, kOther, {XMDOPT_EXE, t / "m"}));
  EXPECT_EQ(1, r.status) << r.err;
  for (const auto& c : cases) {
    const Status s = statusOf(t / "m/" + c.name);
    EXPECT_EQ(c.owner, s.owner) << c.name;
    EXPECT_EQ(c.group, s.group) << c.name;
    EXPECT_EQ(c.replaced ? resultOf(xmdsamples::crate()) : xmdsamples::crate(),
              t.read(std::string("m/") + c.name))
        << c.name;
    if (!c.replaced) {
      EXPECT_NE(std::string::npos,
                r.err.find("xmdopt: " + t.path() + "/m/" + c.name +
                           " kept unchanged: its result cannot be given its owner and group: "))
          << r.err;
    }
  }
  EXPECT_TRUE(resultsIn(t / "m").empty());
}

}  // namespace
