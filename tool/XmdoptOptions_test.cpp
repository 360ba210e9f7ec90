// End-to-end runs of the built xmdopt with the options a pipeline uses:
// usage errors, several paths, --check, --keep-going, --quiet, --report,
// --files-from, the summary and progress lines, bytes after the top-level
// chunk, and a split of the work by GNU parallel.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "samples/SampleModels.h"
#include "testing/Subprocess.h"
#include "testing/TempDir.h"

namespace {

using xmdtest::runProgram;
using Lines = std::vector<std::string>;
using Json = nlohmann::json;

Lines split(const std::string& text) {
  Lines out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

// stderr without its closing summary line (checked on its own).
Lines errWithoutSummary(const std::string& err) {
  Lines lines = split(err);
  if (!lines.empty() && lines.back().find(" replaced, ") != std::string::npos) lines.pop_back();
  return lines;
}

std::string corrupt() { return xmdsamples::crate().substr(0, 60); }

std::string rejected() {
  xmdsamples::Model bad = xmdsamples::soup({{{0, 0, 0}}, {{1, 0, 0}}, {{0, 1, 0}}});
  bad.faces[0][1] = -1;
  return xmdsamples::file({xmdsamples::crateModel(), bad});
}

// Every file under the root with its bytes and modification time.
std::map<std::string, std::string> snapshot(const xmdtest::TempDir& t, const Lines& names) {
  std::map<std::string, std::string> s;
  for (const std::string& n : names) {
    struct stat st;
    if (lstat((t / n).c_str(), &st) != 0) continue;
    s[n] = t.read(n) + "@" + std::to_string(st.st_mtim.tv_sec) + "." +
           std::to_string(st.st_mtim.tv_nsec) + "#" + std::to_string(st.st_ino);
  }
  return s;
}

// A tree of three good files, one rejected and (optionally) one corrupt.
Lines makeTree(const xmdtest::TempDir& t, bool withCorrupt) {
  t.write("m/a.xmd", xmdsamples::crate());
  t.write("m/b.xmd", withCorrupt ? corrupt() : xmdsamples::walker());
  t.write("m/c.xmd", xmdsamples::scene());
  t.write("m/sub/r.xmd", rejected());
  return {"m/a.xmd", "m/b.xmd", "m/c.xmd", "m/sub/r.xmd"};
}

// The result of processing bytes, as the tool itself gives it.
std::string processed(const std::string& bytes) {
  xmdtest::TempDir t;
  t.write("f.xmd", bytes);
  const xmdtest::ProgramRun r = runProgram({XMDOPT_EXE, "-q", t / "f.xmd"});
  EXPECT_EQ(0, r.status) << r.err;
  return t.read("f.xmd");
}

TEST(XmdoptOptions, UsageErrorsTouchNothing) {
  xmdtest::TempDir t;
  const Lines names = makeTree(t, false);
  const auto before = snapshot(t, names);
  const struct {
    Lines args;
    const char* named;
  } cases[] = {
      {{t / "m", "--dry-run"}, "--dry-run"},
      {{"-x", t / "m"}, "-x"},
      {{""}, "empty path"},
      {{t / "m/a.xmd", ""}, "empty path"},
      {{t / "m/a.xmd", t / "missing-dir"}, "missing-dir"},
      {{t / "m", t / "missing.xmd"}, "missing.xmd"},
      {{"--report", t / "r.jsonl", t / "nowhere/x.xmd"}, "nowhere/x.xmd"},
      {{"--jobs", "0", t / "m"}, "--jobs"},
      {{"--files-from", t / "no-list"}, "no-list"},
  };
  for (const auto& c : cases) {
    Lines argv{XMDOPT_EXE};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    const xmdtest::ProgramRun r = runProgram(argv);
    const std::string context = c.args.empty() ? "" : c.args.front();
    EXPECT_EQ(2, r.status) << context << r.err;
    EXPECT_EQ("", r.out) << context;
    EXPECT_NE(std::string::npos, r.err.find(c.named)) << context << ": " << r.err;
    EXPECT_NE(std::string::npos, r.err.find("usage: xmdopt")) << context << ": " << r.err;
    EXPECT_EQ(before, snapshot(t, names)) << context;
    EXPECT_FALSE(t.exists("r.jsonl")) << context;
  }
}

TEST(XmdoptOptions, SeveralPathsInOrderEachFileOnce) {
  xmdtest::TempDir t;
  makeTree(t, false);
  t.write("models.v2/x.xmd", xmdsamples::crate());
  const xmdtest::ProgramRun r =
      runProgram({XMDOPT_EXE, "-q", "m/c.xmd", "models.v2", "m", "./m/c.xmd"}, t.path());
  EXPECT_EQ(0, r.status) << r.err;
  EXPECT_EQ(processed(xmdsamples::crate()), t.read("models.v2/x.xmd"));
  const xmdtest::ProgramRun v =
      runProgram({XMDOPT_EXE, "m/c.xmd", "models.v2", "m", "./m/c.xmd", "m/a.xmd"}, t.path());
  EXPECT_EQ(0, v.status) << v.err;
  Lines processing;
  for (const std::string& line : split(v.out))
    if (line.rfind("INFO : processing", 0) == 0) processing.push_back(line.substr(17));
  EXPECT_EQ((Lines{"m/c.xmd", "models.v2/x.xmd", "m/a.xmd", "m/b.xmd", "m/sub/r.xmd"}), processing);
}

TEST(XmdoptOptions, ParentDirectoryIsADirectory) {
  xmdtest::TempDir t;
  t.write("top.xmd", xmdsamples::crate());
  t.mkdirs("sub");
  const xmdtest::ProgramRun r = runProgram({XMDOPT_EXE, ".."}, t / "sub");
  EXPECT_EQ(0, r.status) << r.err;
  EXPECT_NE(std::string::npos, r.out.find("top.xmd")) << r.out;
  EXPECT_EQ(processed(xmdsamples::crate()), t.read("top.xmd"));
}

TEST(XmdoptOptions, CheckWritesNothingAndSaysWhetherAModelWouldBeRejected) {
  xmdtest::TempDir t, copy;
  const Lines names = makeTree(t, false);
  makeTree(copy, false);
  const auto before = snapshot(t, names);
  const xmdtest::ProgramRun check = runProgram({XMDOPT_EXE, "--check", "m"}, t.path());
  const xmdtest::ProgramRun run = runProgram({XMDOPT_EXE, "m"}, copy.path());
  EXPECT_EQ(3, check.status) << check.err;
  EXPECT_EQ(0, run.status) << run.err;
  EXPECT_EQ(run.out, check.out);
  EXPECT_EQ(before, snapshot(t, names));
  EXPECT_NE(xmdsamples::crate(), copy.read("m/a.xmd"));

  const xmdtest::ProgramRun clean = runProgram({XMDOPT_EXE, "-n", "m/a.xmd", "m/c.xmd"}, t.path());
  EXPECT_EQ(0, clean.status) << clean.err;
  EXPECT_EQ(before, snapshot(t, names));
}

TEST(XmdoptOptions, KeepGoingPastAMalformedFile) {
  for (bool keepGoing : {false, true}) {
    xmdtest::TempDir t;
    const Lines names = makeTree(t, true);
    Lines argv{XMDOPT_EXE, t / "m"};
    if (keepGoing) argv.push_back("-k");
    const xmdtest::ProgramRun r = runProgram(argv);
    EXPECT_EQ(1, r.status) << r.err;
    EXPECT_EQ(processed(xmdsamples::crate()), t.read("m/a.xmd"));
    EXPECT_EQ(corrupt(), t.read("m/b.xmd"));
    EXPECT_FALSE(t.exists("m/b.xmd.result"));
    const Lines err = errWithoutSummary(r.err);
    ASSERT_FALSE(err.empty());
    EXPECT_NE(std::string::npos, err.front().find(t / "m/b.xmd")) << err.front();
    EXPECT_NE(std::string::npos, err.front().find("byte")) << err.front();
    if (keepGoing) {
      EXPECT_EQ(processed(xmdsamples::scene()), t.read("m/c.xmd"));
      EXPECT_EQ(rejected(), t.read("m/sub/r.xmd"));
    } else {
      EXPECT_EQ(xmdsamples::scene(), t.read("m/c.xmd"));
    }
  }
}

// Workers read ahead, results still take their sources' names in order:
// the console and the tree after a run are those of one worker, also where
// a malformed file ends the run and the files after it must stay untouched.
TEST(XmdoptOptions, ManyWorkersGiveTheOneWorkerRun) {
  for (const bool withCorrupt : {false, true})
    for (const bool keepGoing : {false, true}) {
      const std::string what =
          std::string(withCorrupt ? "corrupt" : "clean") + (keepGoing ? ", -k" : "");
      std::map<std::string, std::string> after[2];
      std::string out[2], err[2];
      int status[2];
      for (const int one : {0, 1}) {
        xmdtest::TempDir t;
        const Lines names = makeTree(t, withCorrupt);
        for (int i = 0; i < 40; ++i)
          t.write("m/more/" + std::to_string(100 + i) + ".xmd",
                  i % 7 == 3 ? rejected() : xmdsamples::walker());
        Lines argv{XMDOPT_EXE, "-j", one ? "1" : "4", t / "m"};
        if (keepGoing) argv.push_back("-k");
        const xmdtest::ProgramRun r = runProgram(argv);
        // Each run has a tree of its own: its path is left out.
        auto untied = [&t](std::string text) {
          for (std::size_t at; (at = text.find(t.path())) != std::string::npos;)
            text.replace(at, t.path().size(), "T");
          return text;
        };
        status[one] = r.status;
        out[one] = untied(r.out);
        for (const std::string& line : errWithoutSummary(r.err)) err[one] += untied(line) + "\n";
        for (const auto& entry : std::filesystem::recursive_directory_iterator(t / "m"))
          if (entry.is_regular_file())
            after[one][entry.path().string().substr(t.path().size())] =
                t.read(entry.path().string().substr(t.path().size() + 1));
      }
      EXPECT_EQ(status[1], status[0]) << what;
      EXPECT_EQ(out[1], out[0]) << what;
      EXPECT_EQ(err[1], err[0]) << what;
      EXPECT_TRUE(after[1] == after[0]) << what;
      EXPECT_EQ(withCorrupt ? 1 : 0, status[0]) << what;
    }
}

TEST(XmdoptOptions, ReportAgreesWithTheConsole) {
  xmdtest::TempDir t;
  makeTree(t, true);
  const xmdtest::ProgramRun r = runProgram({XMDOPT_EXE, "-k", "--report", t / "r.jsonl", t / "m"});
  EXPECT_EQ(1, r.status) << r.err;
  std::vector<Json> lines;
  for (const std::string& line : split(t.read("r.jsonl"))) lines.push_back(Json::parse(line));
  ASSERT_EQ(5u, lines.size()) << t.read("r.jsonl");
  // Each file record matches its "INFO : processing" line and the
  // "INFO - optimization" lines that follow it.
  std::vector<std::pair<std::string, Lines>> console;
  for (const std::string& line : split(r.out)) {
    if (line.rfind("INFO : processing", 0) == 0)
      console.push_back({line.substr(17), {}});
    else if (!line.empty())
      console.back().second.push_back(line);
  }
  ASSERT_EQ(4u, console.size()) << r.out;
  const char* outcomes[] = {"replaced", "failed", "replaced", "kept"};
  for (std::size_t i = 0; i < 4; ++i) {
    const Json& f = lines[i];
    EXPECT_EQ("file", f["type"]);
    EXPECT_EQ(console[i].first, f["path"]);
    EXPECT_EQ(outcomes[i], f["outcome"]) << f;
    Lines fromReport;
    for (const Json& m : f["models"])
      fromReport.push_back(m["verdict"] == "accepted"
                               ? "INFO - optimization " + m["vertices_before"].dump() + " -> " +
                                     m["vertices_after"].dump()
                               : "ERROR - " + m["error"].get<std::string>());
    EXPECT_EQ(console[i].second, fromReport) << f;
  }
  EXPECT_EQ(60, lines[1]["bytes_before"]);
  EXPECT_TRUE(lines[1]["failure"]["position"].is_number()) << lines[1];
  EXPECT_EQ(static_cast<std::int64_t>(t.read("m/a.xmd").size()), lines[0]["bytes_after"]);
  const Json& s = lines[4];
  EXPECT_EQ("summary", s["type"]);
  EXPECT_EQ(4, s["files"]);
  EXPECT_EQ(2, s["replaced"]);
  EXPECT_EQ(1, s["failed"]);
  EXPECT_EQ(1, s["kept"]);
  EXPECT_EQ(1, s["exit_status"]);
}

TEST(XmdoptOptions, FilesFromLinesAndNuls) {
  for (bool nul : {false, true}) {
    xmdtest::TempDir t;
    makeTree(t, false);
    t.write("m/odd\nname.xmd", xmdsamples::crate());
    const std::string sep = nul ? std::string(1, '\0') : "\n";
    std::string list = t / "m/a.xmd" + sep + t / "m/c.xmd" + sep;
    if (nul) list += t / "m/odd\nname.xmd" + sep;
    t.write("list", list);
    const std::string cmd = std::string("exec '") + XMDOPT_EXE + "' -q --files-from - " +
                            (nul ? "-0" : "") + " < '" + (t / "list") + "'";
    const xmdtest::ProgramRun r = runProgram({"/bin/sh", "-c", cmd});
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_EQ(processed(xmdsamples::crate()), t.read("m/a.xmd"));
    EXPECT_EQ(processed(xmdsamples::scene()), t.read("m/c.xmd"));
    EXPECT_EQ(xmdsamples::walker(), t.read("m/b.xmd"));
    EXPECT_EQ(nul ? processed(xmdsamples::crate()) : xmdsamples::crate(),
              t.read("m/odd\nname.xmd"));
  }
}

TEST(XmdoptOptions, QuietAndTheSummaryLine) {
  xmdtest::TempDir t;
  makeTree(t, false);
  const xmdtest::ProgramRun loud = runProgram({XMDOPT_EXE, "-n", t / "m"});
  const Lines err = split(loud.err);
  ASSERT_FALSE(err.empty());
  EXPECT_EQ(0u, err.back().find("xmdopt: (check, nothing written) 3 replaced, 0 unchanged, 1 kept, "
                                "0 failed, 0 skipped; vertices "))
      << loud.err;
  const xmdtest::ProgramRun quiet = runProgram({XMDOPT_EXE, "-q", t / "m"});
  EXPECT_EQ(0, quiet.status);
  for (const std::string& line : split(quiet.out)) EXPECT_EQ(0u, line.find("ERROR - ")) << line;
  EXPECT_EQ(1u, split(quiet.out).size()) << quiet.out;
  EXPECT_EQ(std::string::npos, quiet.err.find(" replaced, ")) << quiet.err;
}

TEST(XmdoptOptions, BytesAfterTheTopLevelChunkAreKept) {
  xmdtest::TempDir t;
  const std::string tail("trailing\0bytes", 14);
  t.write("a.xmd", xmdsamples::crate() + tail);
  const xmdtest::ProgramRun r = runProgram({XMDOPT_EXE, t / "a.xmd"});
  EXPECT_EQ(0, r.status) << r.err;
  EXPECT_EQ(processed(xmdsamples::crate()) + tail, t.read("a.xmd"));
  EXPECT_NE(std::string::npos, r.err.find("14 bytes after the top-level chunk")) << r.err;
}

TEST(XmdoptOptions, APathTooLongToConvertIsNamed) {
  xmdtest::TempDir t;
  std::string deep = "m";
  while (deep.size() < 1100) deep += "/" + std::string(100, 'd');
  t.write(deep + "/long.xmd", xmdsamples::crate());
  t.write("m/z.xmd", xmdsamples::crate());
  const xmdtest::ProgramRun r = runProgram({XMDOPT_EXE, "-k", t / "m"});
  EXPECT_EQ(1, r.status) << r.err;
  // The walk names the directory whose path it could not take, and goes on.
  EXPECT_NE(std::string::npos, r.err.find((t / deep).substr(0, 1000))) << r.err;
  EXPECT_NE(std::string::npos, r.err.find("Error in conversion.")) << r.err;
  EXPECT_EQ(processed(xmdsamples::crate()), t.read("m/z.xmd"));
}

TEST(XmdoptOptions, ProgressOnATerminalOnly) {
  if (access("/usr/bin/script", X_OK) != 0) GTEST_SKIP() << "script(1) is not installed";
  xmdtest::TempDir t;
  makeTree(t, false);
  const std::string cmd = std::string("'") + XMDOPT_EXE + "' -n '" + (t / "m") + "' >/dev/null";
  const xmdtest::ProgramRun tty = runProgram({"/usr/bin/script", "-qec", cmd, "/dev/null"});
  EXPECT_EQ(3, tty.status) << tty.err;
  EXPECT_NE(std::string::npos, tty.out.find("\r[1/4] ")) << tty.out;
  EXPECT_NE(std::string::npos, tty.out.find("\r\x1b[K")) << tty.out;
  const xmdtest::ProgramRun pipe = runProgram({XMDOPT_EXE, "-n", t / "m"});
  EXPECT_EQ(std::string::npos, pipe.err.find('\r')) << pipe.err;
}

TEST(XmdoptOptions, GnuParallelSplitsTheWork) {
  if (access("/usr/bin/parallel", X_OK) != 0) GTEST_SKIP() << "GNU parallel is not installed";
  xmdtest::TempDir t;
  for (int i = 0; i < 12; ++i)
    t.write("m/d" + std::to_string(i % 3) + "/f" + std::to_string(i) + ".xmd", xmdsamples::crate());
  const std::string cmd = "find '" + (t / "m") +
                          "' -name '*.xmd' -print0 | /usr/bin/parallel -0 -X -j2 '" + XMDOPT_EXE +
                          "' -q -k --";
  const xmdtest::ProgramRun r = runProgram({"/bin/sh", "-c", cmd}, t.path());
  EXPECT_EQ(0, r.status) << r.err;
  const std::string expected = processed(xmdsamples::crate());
  for (int i = 0; i < 12; ++i)
    EXPECT_EQ(expected, t.read("m/d" + std::to_string(i % 3) + "/f" + std::to_string(i) + ".xmd"))
        << i;
}

}  // namespace
