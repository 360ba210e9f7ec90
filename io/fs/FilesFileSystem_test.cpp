#include "io/fs/FilesFileSystem.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "io/FileNotFoundException.h"
#include "io/fs/Path.h"
#include "io/fs/ResultName.h"
#include "io/unicode_ifstream.h"
#include "io/unicode_ofstream.h"
#include "lang/TextConversion.h"
#include "testing/TempDir.h"

namespace io {
namespace fs {
namespace {

std::vector<std::string> list(FilesFileSystem& fs, const std::string& pattern) {
  DirectoryListing listing;
  fs.listDirectory(pattern, listing);
  std::vector<std::string> out;
  for (const DirectoryEntry& e : listing) out.push_back(e.name + (e.isDirectory ? "/" : ""));
  return out;
}

std::string readAll(InputStream& in) {
  std::string out;
  char buf[64];
  for (int n; (n = in.read(buf, sizeof buf)) > 0;) out.append(buf, static_cast<std::size_t>(n));
  return out;
}

// Runs the body with the current directory set to dir, and sets it back.
template <typename F>
void inDirectory(const std::string& dir, F body) {
  char old[4096];
  ASSERT_NE(nullptr, getcwd(old, sizeof old));
  ASSERT_EQ(0, chdir(dir.c_str()));
  body();
  ASSERT_EQ(0, chdir(old));
}

TEST(FilesFileSystem, ListsByteWiseWithoutDotEntries) {
  xmdtest::TempDir t;
  for (const char* f : {"b", "a.x", "A", "a", "raw\xff", ".hidden", "d.xmd/f"}) t.write(f, "12345");
  FilesFileSystem fs(t.path());
  std::vector<std::string> expected{".hidden", "A", "a", "a.x", "b", "d.xmd/", "raw\xff"};
  // A file system that ignores letter case (Windows) made A and a one file,
  // which keeps the name it was created with.
  if (std::filesystem::equivalent(t / "A", t / "a")) expected.erase(expected.begin() + 2);
  EXPECT_EQ(expected, list(fs, "*.*"));
  EXPECT_EQ((std::vector<std::string>{"f"}), list(fs, Path("d.xmd", "*.*")));
  EXPECT_TRUE(list(fs, "missing/*.*").empty());
  DirectoryListing listing;
  fs.listDirectory("a.x", listing);
  ASSERT_EQ(1u, listing.size());
  EXPECT_EQ(5u, listing[0].size);
  EXPECT_EQ(0u, listing[0].isDirectory);
  FileInfo info;
  ASSERT_TRUE(fs.getFileInfo("a.x", info));
  EXPECT_EQ(info.lastWriteTime, listing[0].lastWriteTime);
}

TEST(FilesFileSystem, AbsolutePathsBypassTheRootOnlyWhereAllowed) {
  xmdtest::TempDir t;
  t.write("abs.xmd", "absolute");
  t.write("root/rel.xmd", "relative");
  FilesFileSystem fs(t / "root");
  const std::string abs = t / "abs.xmd";
  EXPECT_EQ("absolute", readAll(*fs.openInputStream(abs)));
  EXPECT_EQ("relative", readAll(*fs.openInputStream("rel.xmd")));
  EXPECT_TRUE(fs.isFile(abs));
  EXPECT_FALSE(fs.isDirectory(abs));
  EXPECT_TRUE(fs.isDirectory(t.path()));
  FileInfo info;
  EXPECT_TRUE(fs.getFileInfo(abs, info));
  EXPECT_EQ(8u, info.size);
  // The others resolve even an absolute path against the root.
  EXPECT_FALSE(fs.copyFile(abs, "copy.xmd"));
  EXPECT_FALSE(fs.deleteFile(abs));
  EXPECT_FALSE(fs.setReadOnly(abs, true));
  EXPECT_EQ("absolute", t.read("abs.xmd"));
  EXPECT_EQ(u"x/y", FilesFileSystem("").resolve("x/y").wide());
  EXPECT_EQ(t / "root/a\\b", lang::wideToAnsi(fs.resolve("a\\b").wide()));  // not normalised
}

TEST(FilesFileSystem, EmptyRootUsesTheCurrentDirectory) {
  xmdtest::TempDir t;
  t.write("here.xmd", "here");
  inDirectory(t.path(), [] {
    FilesFileSystem fs("");
    EXPECT_TRUE(fs.isFile("here.xmd"));
    EXPECT_EQ((std::vector<std::string>{"here.xmd"}), list(fs, "*.*"));
    EXPECT_EQ("here", readAll(*fs.openInputStream("here.xmd")));
  });
}

TEST(FilesFileSystem, StreamsOpenOrFail) {
  xmdtest::TempDir t;
  FilesFileSystem fs(t.path());
  {
    lang::Ptr<OutputStream> out = fs.openOutputStream("raw\xfe.result");
    out->write("bytes", 5);
  }
  EXPECT_EQ("bytes", t.read("raw\xfe.result"));
  EXPECT_THROW(fs.openInputStream("missing.xmd"), FileNotFoundException);
  EXPECT_THROW(fs.openOutputStream("missing/dir/x.result"), FileNotFoundException);
  EXPECT_FALSE(fs.openUnicodeInputStream("missing.xmd"));
  EXPECT_FALSE(fs.openUnicodeOutputStream("missing/x"));
  {
    boost::shared_ptr<unicode_ofstream> out = fs.openUnicodeOutputStream("u.bin");
    ASSERT_TRUE(out);
    *out << "wide";
  }
  boost::shared_ptr<unicode_ifstream> in = fs.openUnicodeInputStream("u.bin");
  ASSERT_TRUE(in);
  std::string word;
  *in >> word;
  EXPECT_EQ("wide", word);
}

TEST(FilesFileSystem, FileInfoAndTimes) {
  xmdtest::TempDir t;
  t.write("f", std::string(300, 'x'));
  FilesFileSystem fs(t.path());
  FileInfo info;
  info.size = 123;
  info.lastWriteTime = 456;
  EXPECT_FALSE(fs.getFileInfo("missing", info));
  EXPECT_EQ(1u, info.error);
  EXPECT_EQ(123u, info.size);
  EXPECT_EQ(456u, info.lastWriteTime);
  info.lastWriteTime = 116444736000000000ull + 5 * 10000000ull;  // 1970-01-01 00:00:05
  EXPECT_TRUE(fs.setFileTime("f", info));
  EXPECT_FALSE(fs.setFileTime("missing", info));
  FileInfo back;
  ASSERT_TRUE(fs.getFileInfo("f", back));
  EXPECT_EQ(0u, back.error);
  EXPECT_EQ(300u, back.size);
  EXPECT_EQ(info.lastWriteTime, back.lastWriteTime);
  ASSERT_TRUE(fs.getFileInfo("", back));  // the root directory opens too
}

TEST(FilesFileSystem, SetReadOnly) {
  xmdtest::TempDir t;
  t.write("f.xmd", "x");
  FilesFileSystem fs(t.path());
  struct stat st;
  EXPECT_TRUE(fs.setReadOnly("f.xmd", true));
  ASSERT_EQ(0, stat((t / "f.xmd").c_str(), &st));
  EXPECT_EQ(0u, st.st_mode & S_IWUSR);
  EXPECT_FALSE(fs.deleteFile("f.xmd"));  // read-only files are not deleted
  EXPECT_TRUE(fs.setReadOnly("f.xmd", false));
  ASSERT_EQ(0, stat((t / "f.xmd").c_str(), &st));
  EXPECT_NE(0u, st.st_mode & S_IWUSR);
  EXPECT_FALSE(fs.setReadOnly("missing", false));
  // A pattern exists, but its attributes cannot be written: still true.
  EXPECT_TRUE(fs.setReadOnly("*.xmd", true));
  EXPECT_TRUE(fs.deleteFile("f.xmd"));
}

TEST(FilesFileSystem, CopyMoveDeleteAndDirectories) {
  xmdtest::TempDir t;
  t.write("a", "A");
  t.write("b", "B");
  FilesFileSystem fs(t.path());
  EXPECT_TRUE(fs.copyFile("a", "b"));  // overwrites
  EXPECT_EQ("A", t.read("b"));
  EXPECT_FALSE(fs.moveFile("a", "b"));  // the target exists
  EXPECT_TRUE(fs.moveFile("a", "c"));
  EXPECT_FALSE(t.exists("a"));
  EXPECT_TRUE(fs.createDirectory("d"));
  EXPECT_FALSE(fs.createDirectory("d"));
  EXPECT_FALSE(fs.createDirectory("x/y"));  // one level only
  EXPECT_TRUE(fs.copyFile("c", "d/c"));
  EXPECT_FALSE(fs.removeDirectory("d"));
  EXPECT_TRUE(fs.deleteFile("d/c"));
  EXPECT_TRUE(fs.removeDirectory("d"));
  EXPECT_FALSE(fs.isDirectory("d"));
}

TEST(FilesFileSystem, ConversionLimitOf1023Units) {
  FilesFileSystem fs("");
  EXPECT_NO_THROW(fs.isFile(std::string(1023, 'a')));
  try {
    fs.isFile(std::string(1024, 'a'));
    FAIL() << "no exception";
  } catch (const std::exception& e) {
    EXPECT_STREQ("Error in conversion.", e.what());
  }
  EXPECT_THROW(FilesFileSystem(std::string(1024, 'r')), std::exception);
}

TEST(FilesFileSystem, FileIdsSeeThroughLinks) {
  xmdtest::TempDir t;
  t.mkdirs("d/e");
  if (!t.linkDirectory("..", "d/e/up")) GTEST_SKIP() << "no directory links on this system";
  FilesFileSystem fs(t.path());
  FileId a, b, c;
  ASSERT_TRUE(fs.getFileId("d", a));
  ASSERT_TRUE(fs.getFileId("d/e/up", b));
  ASSERT_TRUE(fs.getFileId("d/e", c));
  EXPECT_EQ(a, b);
  EXPECT_NE(a, c);
  EXPECT_FALSE(fs.getFileId("missing", a));
}

// Opens path for replacement; fails the test on a refusal.
std::unique_ptr<Replacement> openOrFail(FilesFileSystem& fs, const std::string& path) {
  Replacement::Refusal refusal = Replacement::kNone;
  std::unique_ptr<Replacement> r = fs.openReplacement(path, refusal);
  EXPECT_TRUE(r) << path << " refused: " << refusal;
  return r;
}

void writeResult(Replacement& r, const std::string& bytes) {
  lang::Ptr<OutputStream> out = r.createResult();
  out->write(bytes.data(), static_cast<int>(bytes.size()));
  out->close();
}

mode_t modeOf(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

// The names in the directory dir that hold ".xmdopt-".
std::vector<std::string> resultsIn(const std::string& dir) {
  std::vector<std::string> out;
  FilesFileSystem fs(dir);
  for (const std::string& name : list(fs, "*"))
    if (name.find(".xmdopt-") != std::string::npos) out.push_back(name);
  return out;
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

TEST(FilesFileSystem, AnAbandonedReplacementLeavesEverythingAsItWas) {
  xmdtest::TempDir t;
  t.write("m.xmd", "old");
  FilesFileSystem fs(t.path());
  {
    std::unique_ptr<Replacement> r = openOrFail(fs, "m.xmd");
    writeResult(*r, "half");
  }  // destroyed without commit
  EXPECT_EQ("old", t.read("m.xmd"));
  EXPECT_TRUE(resultsIn(t.path()).empty());
  // A result that another program put a file in the place of is not removed.
  std::unique_ptr<Replacement> r = openOrFail(fs, "m.xmd");
  writeResult(*r, "new");
  const std::string made = resultsIn(t.path()).at(0);
  ASSERT_EQ(0, unlink((t / made).c_str()));
  t.write(made, "someone else's");
  r->abandon();
  EXPECT_EQ("someone else's", t.read(made));
  EXPECT_EQ("old", t.read("m.xmd"));
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

TEST(FilesFileSystem, OneReplacementOfAFileAtATime) {
  xmdtest::TempDir t;
  t.write("m.xmd", "old");
  FilesFileSystem fs(t.path());
  FilesFileSystem other(t.path());
  std::unique_ptr<Replacement> first = openOrFail(fs, "m.xmd");
  Replacement::Refusal refusal = Replacement::kNone;
  EXPECT_FALSE(other.openReplacement("m.xmd", refusal));
  EXPECT_EQ(Replacement::kBusy, refusal);
  first->abandon();  // lets go
  EXPECT_TRUE(other.openReplacement("m.xmd", refusal));
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

TEST(FilesFileSystem, AnEmptyRootReplacesInTheCurrentDirectory) {
  xmdtest::TempDir t;
  t.write("m.xmd", "old");
  FilesFileSystem fs("");
  inDirectory(t.path(), [&] {
    std::unique_ptr<Replacement> r = openOrFail(fs, "m.xmd");
    ASSERT_TRUE(r);
    EXPECT_EQ("m.xmd", r->input()->toString());
    writeResult(*r, "new");
    std::string reason;
    EXPECT_EQ(Replacement::kReplaced, r->commit(reason)) << reason;
    EXPECT_TRUE(fs.isInsideRoot(""));
    EXPECT_TRUE(fs.flushDirectory("", reason)) << reason;
  });
  EXPECT_EQ("new", t.read("m.xmd"));
}

}  // namespace
}  // namespace fs
}  // namespace io
