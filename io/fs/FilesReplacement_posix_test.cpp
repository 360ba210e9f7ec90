// The replacements of FilesFileSystem with the means of POSIX: permission
// bits, hard and symbolic links, FIFOs, and names that hold a backslash or a
// colon as ordinary characters. (FilesReplacement_win32_test.cpp holds the
// same rules in Windows' terms.)
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "io/FileNotFoundException.h"
#include "io/fs/FilesFileSystem.h"
#include "io/fs/ResultName.h"
#include "testing/ReplacementSteps.h"
#include "testing/TempDir.h"

namespace io {
namespace fs {
namespace {

using xmdtest::inDirectory;
using xmdtest::openOrFail;
using xmdtest::readAll;
using xmdtest::resultsIn;
using xmdtest::writeResult;

mode_t modeOf(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

TEST(FilesFileSystem, AReplacementPutsItsResultInPlaceInOneStep) {
  xmdtest::TempDir t;
  t.write("d/m.xmd", "old bytes");
  t.write("d/m.xmd.result", "the user's own");
  ASSERT_EQ(0, chmod((t / "d/m.xmd").c_str(), 04550));
  FilesFileSystem fs(t.path());
  std::unique_ptr<Replacement> r = openOrFail(fs, "d/m.xmd");
  ASSERT_TRUE(r);
  EXPECT_EQ("old bytes", readAll(*r->input()));
  EXPECT_EQ(t.path() + "/d/m.xmd", r->input()->toString());
  EXPECT_EQ(1u, r->sourceLinks());
  EXPECT_EQ("d/m.xmd", r->replacedPath());
  writeResult(*r, "new bytes");
  // Beside the source, under a name of its own, private until it is put in place.
  const std::vector<std::string> made = resultsIn(t / "d");
  ASSERT_EQ(1u, made.size());
  EXPECT_TRUE(ResultName::isResultOf(made[0], "m.xmd")) << made[0];
  EXPECT_EQ(0600u, modeOf(t / "d/" + made[0]));
  FileId before;
  ASSERT_TRUE(fs.getFileId("d/m.xmd", before));
  EXPECT_EQ(before, r->sourceId());
  std::string reason;
  EXPECT_EQ(Replacement::kReplaced, r->commit(reason)) << reason;
  EXPECT_EQ("new bytes", t.read("d/m.xmd"));
  EXPECT_EQ(0750u, modeOf(t / "d/m.xmd"));  // no setuid; writable by its owner
  FileId after;
  ASSERT_TRUE(fs.getFileId("d/m.xmd", after));
  EXPECT_EQ(after, r->resultId());
  r.reset();
  EXPECT_TRUE(resultsIn(t / "d").empty());
  EXPECT_EQ("the user's own", t.read("d/m.xmd.result"));
  EXPECT_TRUE(fs.flushDirectory("d", reason)) << reason;
  EXPECT_FALSE(fs.flushDirectory("missing", reason));
  EXPECT_EQ("The system cannot find the file specified.", reason);
}

TEST(FilesFileSystem, ASourceChangedSinceItWasOpenedIsKept) {
  const struct {
    const char* what;
    void (*change)(const xmdtest::TempDir&);
    const char* left;  // the source afterwards; null when gone
  } cases[] = {
      {"written in place", [](const xmdtest::TempDir& t) { t.write("m.xmd", "saved"); }, "saved"},
      {"grown", [](const xmdtest::TempDir& t) { std::ofstream(t / "m.xmd", std::ios::app) << "+"; },
       "old+"},
      {"saved by rename",
       [](const xmdtest::TempDir& t) {
         t.write("tmp", "saved");
         ASSERT_EQ(0, rename((t / "tmp").c_str(), (t / "m.xmd").c_str()));
       },
       "saved"},
      {"removed", [](const xmdtest::TempDir& t) { ASSERT_EQ(0, unlink((t / "m.xmd").c_str())); },
       nullptr},
      {"made a link",
       [](const xmdtest::TempDir& t) {
         t.write("other", "old");
         ASSERT_EQ(0, unlink((t / "m.xmd").c_str()));
         ASSERT_EQ(0, symlink("other", (t / "m.xmd").c_str()));
       },
       "old"},
  };
  for (const auto& c : cases) {
    xmdtest::TempDir t;
    t.write("m.xmd", "old");
    FilesFileSystem fs(t.path());
    std::unique_ptr<Replacement> r = openOrFail(fs, "m.xmd");
    writeResult(*r, "result");
    c.change(t);
    std::string reason;
    EXPECT_EQ(Replacement::kSourceChanged, r->commit(reason)) << c.what;
    if (c.left == nullptr)
      EXPECT_FALSE(t.exists("m.xmd")) << c.what;
    else
      EXPECT_EQ(c.left, t.read("m.xmd")) << c.what;
    EXPECT_TRUE(resultsIn(t.path()).empty()) << c.what;
  }
}

TEST(FilesFileSystem, ResultsLeftByKilledRunsGoWhileTheSourceIsHeld) {
  xmdtest::TempDir t;
  t.write("d/m.xmd", "m");
  t.write("d/m.xmd.result", "the user's own");
  t.write("d/m.xmd.xmdopt-Aa0Bb1.result", "left");
  t.write("d/m.xmd.xmdopt-Cc2Dd3.result", "left, with a second name");
  ASSERT_EQ(0, link((t / "d/m.xmd.xmdopt-Cc2Dd3.result").c_str(), (t / "second").c_str()));
  ASSERT_EQ(0, symlink("../second", (t / "d/m.xmd.xmdopt-Ee4Ff5.result").c_str()));
  t.write("d/n.xmd.xmdopt-Gg6Hh7.result", "another source's");
  t.write("d/m.xmd.xmdopt-short.result", "not of the form");
  FilesFileSystem fs(t.path());
  std::unique_ptr<Replacement> r = openOrFail(fs, "d/m.xmd");
  ASSERT_TRUE(r);
  EXPECT_EQ((std::vector<std::string>{"d/m.xmd.xmdopt-Aa0Bb1.result"}), r->removedLeftovers());
  EXPECT_FALSE(t.exists("d/m.xmd.xmdopt-Aa0Bb1.result"));
  // Another run meets the file busy: the result the first is writing stays.
  writeResult(*r, "being written");
  const std::vector<std::string> live = resultsIn(t / "d");
  FilesFileSystem other(t.path());
  Replacement::Refusal refusal = Replacement::kNone;
  EXPECT_FALSE(other.openReplacement("d/m.xmd", refusal));
  EXPECT_EQ(Replacement::kBusy, refusal);
  EXPECT_EQ(live, resultsIn(t / "d"));
  for (const char* kept :
       {"d/m.xmd.result", "d/m.xmd.xmdopt-Cc2Dd3.result", "d/m.xmd.xmdopt-Ee4Ff5.result",
        "d/n.xmd.xmdopt-Gg6Hh7.result", "d/m.xmd.xmdopt-short.result"})
    EXPECT_TRUE(t.exists(kept)) << kept;
}

TEST(FilesFileSystem, OnlyRegularFilesInsideTheRootAreReplaced) {
  xmdtest::TempDir t;
  t.write("root/models/ship.xmd", "ship");
  t.write("outside/far.xmd", "far");
  t.mkdirs("root/d.xmd");
  ASSERT_EQ(0, mkfifo((t / "root/fifo.xmd").c_str(), 0600));
  ASSERT_EQ(0, symlink("models/ship.xmd", (t / "root/current.xmd").c_str()));
  ASSERT_EQ(0, symlink("../outside/far.xmd", (t / "root/far.xmd").c_str()));
  ASSERT_EQ(0, symlink("fifo.xmd", (t / "root/to-fifo.xmd").c_str()));
  ASSERT_EQ(0, symlink((t / "outside").c_str(), (t / "root/out").c_str()));
  ASSERT_EQ(0, symlink("nowhere", (t / "root/dangling.xmd").c_str()));
  FilesFileSystem fs(t / "root");
  const struct {
    const char* path;
    Replacement::Refusal refusal;
  } refused[] = {
      {"fifo.xmd", Replacement::kNotRegularFile},
      {"to-fifo.xmd", Replacement::kNotRegularFile},
      {"far.xmd", Replacement::kLinkLeavesRoot},
      {"out/far.xmd", Replacement::kOutsideRoot},
  };
  for (const auto& c : refused) {
    Replacement::Refusal refusal = Replacement::kNone;
    EXPECT_FALSE(fs.openReplacement(c.path, refusal)) << c.path;
    EXPECT_EQ(c.refusal, refusal) << c.path;
  }
  for (const char* missing : {"none.xmd", "d.xmd", "dangling.xmd", "no/dir.xmd"}) {
    Replacement::Refusal refusal = Replacement::kNone;
    EXPECT_THROW(fs.openReplacement(missing, refusal), FileNotFoundException) << missing;
  }
  // A link inside the root: its target is replaced, the link stays.
  std::unique_ptr<Replacement> r = openOrFail(fs, "current.xmd");
  EXPECT_EQ("models/ship.xmd", r->replacedPath());
  writeResult(*r, "SHIP");
  std::string reason;
  EXPECT_EQ(Replacement::kReplaced, r->commit(reason)) << reason;
  EXPECT_EQ("SHIP", t.read("root/models/ship.xmd"));
  struct stat st;
  ASSERT_EQ(0, lstat((t / "root/current.xmd").c_str(), &st));
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ("far", t.read("outside/far.xmd"));
  EXPECT_TRUE(fs.isInsideRoot("models"));
  EXPECT_TRUE(fs.isInsideRoot(""));
  EXPECT_FALSE(fs.isInsideRoot("out"));
  EXPECT_FALSE(fs.isInsideRoot("missing"));
}

TEST(FilesFileSystem, NamesAreNamesInReplacements) {
  xmdtest::TempDir t;
  t.write("outside/v.xmd", "outside");
  t.write("root/..\\outside\\v.xmd", "inside");
  t.write("root/a:/m.xmd", "colon");
  t.write("cwd/a:/m.xmd", "decoy");
  FilesFileSystem fs(t / "root");
  inDirectory(t / "cwd", [&] {
    for (const char* path : {"..\\outside\\v.xmd", "a:/m.xmd"}) {
      std::unique_ptr<Replacement> r = openOrFail(fs, path);
      ASSERT_TRUE(r) << path;
      writeResult(*r, "done");
      std::string reason;
      EXPECT_EQ(Replacement::kReplaced, r->commit(reason)) << path;
    }
  });
  EXPECT_EQ("outside", t.read("outside/v.xmd"));
  EXPECT_EQ("decoy", t.read("cwd/a:/m.xmd"));
  EXPECT_EQ("done", t.read("root/..\\outside\\v.xmd"));
  EXPECT_EQ("done", t.read("root/a:/m.xmd"));
}

}  // namespace
}  // namespace fs
}  // namespace io
