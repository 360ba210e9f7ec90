#include "io/fs/FilesFileSystem.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

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
#include "testing/ReplacementSteps.h"
#include "testing/TempDir.h"

namespace io {
namespace fs {
namespace {

using xmdtest::inDirectory;
using xmdtest::list;
using xmdtest::openOrFail;
using xmdtest::readAll;
using xmdtest::resultsIn;
using xmdtest::writeResult;

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
  std::filesystem::rename(t / made, t / "moved away");
  t.write(made, "someone else's");
  r->abandon();
  EXPECT_EQ("someone else's", t.read(made));
  EXPECT_EQ("old", t.read("m.xmd"));
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
