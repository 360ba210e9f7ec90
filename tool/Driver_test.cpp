// The driver over an in-memory file system: which files it picks, in which
// order, the console lines, the exit status and what happens to each file.
// The end-to-end runs of the built program over real trees are in
// Xmdopt_test.cpp and Replacement_test.cpp.
#include "tool/Driver.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <boost/make_shared.hpp>

#include "io/IOException.h"
#include "lang/Format.h"
#include "platform/PlatformName.h"
#include "testing/FakeFileSystem.h"

namespace tool {

namespace {

// Upper-cases every byte; throws for a file that holds "corrupt", rejects one
// that holds "reject".
bool fakeProcess(io::ChunkInputStream& in, io::ChunkOutputStream& out, std::ostream&) {
  std::string bytes;
  char c;
  while (in.read(&c, 1) == 1) bytes.push_back(c);
  if (bytes.find("corrupt") != std::string::npos)
    throw io::IOException(
        lang::Format("Invalid chunk {2} length at {0,#} while reading {1}", 3, in.toString(), "x"));
  for (char& b : bytes) b = static_cast<char>(std::toupper(static_cast<unsigned char>(b)));
  out.write(bytes.data(), static_cast<int>(bytes.size()));
  return bytes.find("REJECT") == std::string::npos;
}

struct Outcome {
  int status;
  std::string out;
  std::string err;      // without the closing summary line
  std::string summary;  // the closing summary line, if there was one
};

// The outcome of a run: its closing summary line apart from the rest.
Outcome outcomeOf(int status, const std::string& out, const std::string& err) {
  Outcome o{status, out, err, ""};
  const std::size_t start = err.rfind('\n', err.size() >= 2 ? err.size() - 2 : 0);
  const std::size_t from = start == std::string::npos ? 0 : start + 1;
  if (err.find(" replaced, ", from) != std::string::npos) {
    o.summary = err.substr(from);
    o.err = err.substr(0, from);
  }
  return o;
}

// A driver over one in-memory tree: the file system for the root r is the
// view of the tree rooted at r, and the current directory is cwd.
struct Driver : ::testing::Test {
  boost::shared_ptr<xmdtest::FakeFileSystem> tree = boost::make_shared<xmdtest::FakeFileSystem>();
  std::string cwd = "home/work";
  std::vector<std::string> roots;  // every root the driver asked for

  Outcome drive(std::vector<std::string> args) {
    args.insert(args.begin(), "xmdopt");
    std::vector<const char*> argv;
    for (const std::string& a : args) argv.push_back(a.c_str());
    DriverEnvironment env;
    env.fileSystemAt = [this](const std::string& root) {
      roots.push_back(root);
      return boost::shared_ptr<io::fs::BaseFileSystem>(tree->rootedAt(root));
    };
    env.currentDirectory = [this] { return cwd; };
    std::ostringstream out, err;
    const int status =
        runDriver(static_cast<int>(argv.size()), argv.data(), fakeProcess, out, err, env);
    return outcomeOf(status, out.str(), err.str());
  }
  // The operations of the log on path (from the top), in order, without the
  // writes.
  std::vector<std::string> opsOn(const std::string& path) const {
    std::vector<std::string> ops;
    for (const std::string& line : tree->log()) {
      const std::size_t space = line.find(' ');
      if (line.substr(space + 1) == path && line.compare(0, space, "write") != 0)
        ops.push_back(line.substr(0, space));
    }
    return ops;
  }
  // The index in the log of the last line that starts with prefix; -1 if none.
  int lastIndexOf(const std::string& prefix) const {
    int last = -1;
    for (std::size_t i = 0; i < tree->log().size(); ++i)
      if (tree->log()[i].compare(0, prefix.size(), prefix) == 0) last = static_cast<int>(i);
    return last;
  }
};

TEST_F(Driver, DirectoryModeWalksTheTreeInOrder) {
  tree->addFile("m/b.xmd", "b");
  tree->addFile("m/K.xmd", "k");
  tree->addFile("m/a/z.xmd", "z");
  tree->addFile("m/a/raw\xff.xmd", "raw");
  tree->addFile("m/a/UP.XMD", "upper-case extension: not a model file");
  tree->addFile("m/a/notes", "no dot");
  tree->addFile("m/d.xmd/in.xmd", "in");
  tree->addDirLink("m/a/loop", "m");
  const Outcome r = drive({"m"});
  EXPECT_EQ(0, r.status);
  EXPECT_EQ((std::vector<std::string>{"m"}), roots);
  EXPECT_EQ(
      "INFO : processingm/K.xmd\n"
      "INFO : processingm/a/raw\xff.xmd\n"
      "INFO : processingm/a/z.xmd\n"
      "INFO : processingm/b.xmd\n"
      "INFO : processingm/d.xmd/in.xmd\n",
      r.out);
  EXPECT_EQ("xmdopt: not entering m/a/loop: it leads back into a directory being walked\n", r.err);
  EXPECT_EQ("B", tree->node("m/b.xmd").bytes);
  EXPECT_EQ("RAW", tree->node("m/a/raw\xff.xmd").bytes);
  EXPECT_EQ("IN", tree->node("m/d.xmd/in.xmd").bytes);
  EXPECT_EQ("upper-case extension: not a model file", tree->node("m/a/UP.XMD").bytes);
  // Opened, written beside, put in place; each directory flushed once, at
  // the end.
  EXPECT_EQ((std::vector<std::string>{"openReplacement", "createResult", "setOwner", "commit"}),
            opsOn("m/b.xmd"));
  EXPECT_EQ(0u, r.summary.find("xmdopt: 5 replaced, 0 unchanged, 0 kept, 0 failed, 0 skipped;"))
      << r.summary;
  for (const char* dir : {"m", "m/a", "m/d.xmd"}) {
    EXPECT_EQ((std::vector<std::string>{"flushDirectory"}), opsOn(dir)) << dir;
    EXPECT_LT(lastIndexOf("commit"), lastIndexOf(std::string("flushDirectory ") + dir));
  }
}

TEST_F(Driver, NoArgumentMeansTheCurrentDirectory) {
  cwd = "/home\\work/";  // in the platform's own form: normalised
  tree->addFile("/home/work/s/x.xmd", "x");
  const Outcome r = drive({});
  EXPECT_EQ(0, r.status);
  EXPECT_EQ((std::vector<std::string>{"/home/work"}), roots);
  EXPECT_EQ("INFO : processing/home/work/s/x.xmd\n", r.out);
  EXPECT_EQ("X", tree->node("/home/work/s/x.xmd").bytes);
  tree->addFile("s/y.xmd", "y");
  const Outcome file = drive({"s/y.xmd"});
  EXPECT_EQ(0, file.status);
  EXPECT_EQ("s", roots.back());
  EXPECT_EQ("INFO : processings/y.xmd\n", file.out);
  EXPECT_EQ("Y", tree->node("s/y.xmd").bytes);
}

TEST_F(Driver, AnUnreadableCurrentDirectoryEndsTheRun) {
  std::vector<const char*> argv{"xmdopt"};
  DriverEnvironment env;
  env.fileSystemAt = [this](const std::string& root) {
    return boost::shared_ptr<io::fs::BaseFileSystem>(tree->rootedAt(root));
  };
  env.currentDirectory = []() -> std::string {
    throw std::runtime_error("Cannot read the current directory.");
  };
  std::ostringstream out, err;
  EXPECT_EQ(1, runDriver(1, argv.data(), fakeProcess, out, err, env));
  EXPECT_EQ("", out.str());
  EXPECT_EQ("xmdopt: Cannot read the current directory.\n", err.str());
}

TEST_F(Driver, ADotIsTheCurrentDirectoryAndItsLinksAreNotWalkedTwice) {
  tree->addFile("x.xmd", "x");
  tree->addDirLink("self", "");
  const Outcome r = drive({"."});
  EXPECT_EQ(0, r.status);
  EXPECT_EQ((std::vector<std::string>{""}), roots);
  EXPECT_EQ("INFO : processingx.xmd\n", r.out);
  EXPECT_EQ("xmdopt: not entering self: it leads back into a directory being walked\n", r.err);
  EXPECT_EQ("X", tree->node("x.xmd").bytes);
}

TEST_F(Driver, FileModeTakesAnyExtensionAndADotlessNameIsADirectory) {
  tree->addFile("d/notes.txt", "text");
  tree->addFile("d/plain", "a file without a dot");
  Outcome r = drive({"d\\notes.txt"});
  EXPECT_EQ(0, r.status);
  EXPECT_EQ("d", roots.back());
  EXPECT_EQ("INFO : processingd/notes.txt\n", r.out);
  EXPECT_EQ("TEXT", tree->node("d/notes.txt").bytes);
  r = drive({"d/plain"});
  EXPECT_EQ(0, r.status);
  EXPECT_EQ("d/plain", roots.back());
  EXPECT_EQ("", r.out);
  EXPECT_EQ(
      "xmdopt: d/plain is not processed: a name without an extension is taken as a directory\n",
      r.err);
  EXPECT_EQ("a file without a dot", tree->node("d/plain").bytes);
  // A directory that does not exist is a usage error: nothing is touched.
  r = drive({"d/missing-dir"});
  EXPECT_EQ(2, r.status);
  EXPECT_EQ("", r.out);
  EXPECT_EQ(0u, r.err.find("xmdopt: d/missing-dir: no such file or directory\n")) << r.err;
}

TEST_F(Driver, RootsAreNormalisedPathsAndTheTopIsSlash) {
  const struct {
    const char* arg;
    const char* root;
  } cases[] = {
      {"a\\b\\", "a/b"}, {"/", "/"}, {"\\", "/"}, {"a//b/", "a/b"}, {".", ""}, {"m.xmd", ""},
  };
  for (const auto& c : cases) {
    drive({c.arg});
    EXPECT_EQ(c.root, roots.back()) << c.arg;
  }
}

TEST_F(Driver, ARunEndingFailureIsOneLineAndExitOne) {
  tree->addFile("t/a.xmd", "good");
  tree->addFile("t/b.xmd", "corrupt");
  tree->addFile("t/c.xmd", "later");
  const Outcome r = drive({"t"});
  EXPECT_EQ(1, r.status);
  EXPECT_EQ("INFO : processingt/a.xmd\nINFO : processingt/b.xmd\n", r.out);
  EXPECT_EQ("xmdopt: t/b.xmd: Invalid chunk x length at 3 while reading b.xmd (byte 0)\n", r.err);
  EXPECT_EQ("GOOD", tree->node("t/a.xmd").bytes);
  EXPECT_EQ("corrupt", tree->node("t/b.xmd").bytes);
  EXPECT_EQ("later", tree->node("t/c.xmd").bytes);
  EXPECT_FALSE(tree->has("t/b.xmd.xmdopt-000002.result"));
  // What was replaced before the failure is flushed all the same.
  EXPECT_EQ((std::vector<std::string>{"flushDirectory"}), opsOn("t"));
  // A source that goes away between the walk and its turn.
  tree->failOn("openReplacement", "t/a.xmd");
  const Outcome gone = drive({"t"});
  EXPECT_EQ(1, gone.status);
  EXPECT_EQ("", gone.out);
  EXPECT_EQ(0u, gone.err.find("xmdopt: t/a.xmd: ")) << gone.err;
}

TEST_F(Driver, RejectedModelsAndReadOnlySources) {
  tree->addFile("home/work/a.xmd", "reject me");
  tree->addFile("home/work/b.xmd", "fine", /*readOnly=*/true);
  const Outcome r = drive({});
  EXPECT_EQ(0, r.status);
  EXPECT_EQ("xmdopt: home/work/a.xmd kept unchanged: a model in it failed a check\n", r.err);
  EXPECT_EQ("reject me", tree->node("home/work/a.xmd").bytes);
  EXPECT_FALSE(tree->has("home/work/a.xmd.xmdopt-000001.result"));
  EXPECT_EQ("FINE", tree->node("home/work/b.xmd").bytes);
  EXPECT_FALSE(tree->node("home/work/b.xmd").readOnly);
}

TEST_F(Driver, FailedReplacementsAndFlushesGoOnAndExitOne) {
  tree->addFile("t/a.xmd", "a");
  tree->addFile("t/b.xmd", "b");
  tree->addFile("t/s/c.xmd", "c");
  tree->failOn("commit", "t/a.xmd");
  tree->failOn("flushDirectory", "t/s");
  const Outcome r = drive({"t"});
  EXPECT_EQ(1, r.status);
  EXPECT_EQ(
      "xmdopt: cannot replace t/a.xmd with its result: Access is denied.\n"
      "xmdopt: cannot flush directory t/s to the disk: The system cannot write to the specified "
      "device.\n",
      r.err);
  EXPECT_EQ("a", tree->node("t/a.xmd").bytes);
  EXPECT_FALSE(tree->has("t/a.xmd.xmdopt-000001.result"));
  EXPECT_EQ("B", tree->node("t/b.xmd").bytes);
  EXPECT_EQ("C", tree->node("t/s/c.xmd").bytes);
}

TEST_F(Driver, ManyDirectoriesAreFlushedInGroups) {
  for (int i = 0; i < 40; ++i) tree->addFile("t/d" + std::to_string(100 + i) + "/m.xmd", "m");
  const Outcome r = drive({"t"});
  EXPECT_EQ(0, r.status);
  int flushes = 0;
  int firstFlush = -1;
  for (std::size_t i = 0; i < tree->log().size(); ++i) {
    if (tree->log()[i].compare(0, 15, "flushDirectory ") != 0) continue;
    ++flushes;
    if (firstFlush < 0) firstFlush = static_cast<int>(i);
  }
  EXPECT_EQ(40, flushes);                        // each directory once
  EXPECT_LT(firstFlush, lastIndexOf("commit"));  // not all kept for the end
}

// What the file system refuses: skipped files leave the status alone, files
// that could not be processed safely make it 1; the batch goes on.
TEST_F(Driver, RefusedFilesAndTheExitStatus) {
  tree->addSpecial("t/a.xmd");
  tree->addFile("t/b.xmd", "b");
  tree->addFile("out/c.xmd", "outside");
  tree->addFileLink("t/c.xmd", "/out/c.xmd");
  tree->addDirLink("t/d", "out");
  Outcome r = drive({"t"});
  EXPECT_EQ(0, r.status);
  EXPECT_EQ("INFO : processingt/b.xmd\n", r.out);
  EXPECT_EQ(
      "xmdopt: not entering t/d: it leads outside t\n"
      "xmdopt: skipping t/a.xmd: not a regular file\n"
      "xmdopt: skipping t/c.xmd: a link to a file outside t\n",
      r.err);
  EXPECT_EQ("outside", tree->node("out/c.xmd").bytes);
  tree->edit("t/b.xmd").busy = true;
  r = drive({"t"});
  EXPECT_EQ(1, r.status);
  EXPECT_EQ("", r.out);
  EXPECT_NE(std::string::npos,
            r.err.find("xmdopt: skipping t/b.xmd: another run is processing it\n"));
}

TEST_F(Driver, AStopSignalEndsTheRunCleanly) {
  for (const int signal : {2, 15}) {
    tree = boost::make_shared<xmdtest::FakeFileSystem>();
    tree->addFile("t/a.xmd", "a");
    tree->addFile("t/b.xmd", "stop here");
    tree->addFile("t/c.xmd", "c");
    int caught = 0;
    std::vector<const char*> argv{"xmdopt", "t"};
    DriverEnvironment env;
    env.fileSystemAt = [this](const std::string& root) {
      return boost::shared_ptr<io::fs::BaseFileSystem>(tree->rootedAt(root));
    };
    env.stopSignal = [&caught] { return caught; };
    auto process = [&caught, signal](io::ChunkInputStream& in, io::ChunkOutputStream& out,
                                     std::ostream& console) {
      const bool accepted = fakeProcess(in, out, console);
      caught = in.toString() == "b.xmd" ? signal : caught;  // arrives while b.xmd is in hand
      return accepted;
    };
    std::ostringstream out, err;
    EXPECT_EQ(128 + signal, runDriver(2, argv.data(), process, out, err, env));
    EXPECT_EQ("INFO : processingt/a.xmd\nINFO : processingt/b.xmd\n", out.str());
    // The file in hand is not counted: one file was replaced before the stop.
    EXPECT_EQ(0u, err.str().find(std::string("xmdopt: stopped by ") +
                                 (signal == 2 ? "SIGINT" : "SIGTERM") +
                                 "; t/b.xmd left as it was\nxmdopt: 1 replaced, 0 unchanged,"))
        << err.str();
    EXPECT_EQ("A", tree->node("t/a.xmd").bytes);
    EXPECT_EQ("stop here", tree->node("t/b.xmd").bytes);
    EXPECT_EQ("c", tree->node("t/c.xmd").bytes);
    EXPECT_FALSE(tree->has("t/b.xmd.xmdopt-000002.result"));
    EXPECT_EQ((std::vector<std::string>{"flushDirectory"}), opsOn("t"));  // a.xmd's name is kept
  }
}

TEST_F(Driver, NamesAreNamesAndCannotForgeLines) {
  tree->addFile("t/..\\outside\\v.xmd", "inside");
  tree->addFile("outside/v.xmd", "outside");
  tree->addFile("t/a:/m.xmd", "colon");
  tree->addFile("t/x\nINFO - optimization 1 -> 1\n.xmd", "forged");
  const Outcome r = drive({"t"});
  EXPECT_EQ(0, r.status);
  EXPECT_EQ(
      "INFO : processingt/..\\outside\\v.xmd\n"
      "INFO : processingt/a:/m.xmd\n"
      "INFO : processingt/x\\x0aINFO - optimization 1 -> 1\\x0a.xmd\n",
      r.out);
  EXPECT_EQ("INSIDE", tree->node("t/..\\outside\\v.xmd").bytes);
  EXPECT_EQ("outside", tree->node("outside/v.xmd").bytes);
  EXPECT_EQ("COLON", tree->node("t/a:/m.xmd").bytes);
}

TEST_F(Driver, HelpAndVersion) {
  for (const char* flag : {"--help", "-h"}) {
    const Outcome r = drive({flag, "ignored"});
    EXPECT_EQ(0, r.status);
    EXPECT_EQ(0u, r.out.find("usage: xmdopt [PATH]... [OPTION]...\n"));
  }
  const Outcome v = drive({"--version"});
  EXPECT_EQ(0, v.status);
  EXPECT_EQ(0u, v.out.find("xmdopt "));
  EXPECT_EQ(v.out.size() - platform::name().size() - 4,
            v.out.find(" (" + platform::name() + ")\n"));
  EXPECT_TRUE(roots.empty());
}

}  // namespace

}  // namespace tool
