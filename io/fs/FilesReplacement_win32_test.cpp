// The replacements of FilesFileSystem in Windows' terms: the read-only
// attribute, sharing modes (a file another program holds open, a source
// nobody may write while it is held), names that the system would split at a
// backslash or a colon, and names in the ANSI code page and outside it.
// (FilesReplacement_posix_test.cpp holds the same rules with POSIX means.)
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "io/FileNotFoundException.h"
#include "io/fs/FilesFileSystem.h"
#include "io/fs/ResultName.h"
#include "lang/TextConversion.h"
#include "platform/FileApi.h"
#include "testing/ReplacementSteps.h"
#include "testing/TempDir.h"

namespace io {
namespace fs {
namespace {

using xmdtest::openOrFail;
using xmdtest::readAll;
using xmdtest::resultsIn;
using xmdtest::writeResult;

platform::DWORD attributesOf(const std::string& path) {
  return platform::GetFileAttributesW(lang::ansiToWide(path).c_str());
}

bool readOnly(const std::string& path) {
  const platform::DWORD a = attributesOf(path);
  return a != platform::INVALID_FILE_ATTRIBUTES && (a & platform::FILE_ATTRIBUTE_READONLY) != 0;
}

// A handle another program would hold, closed at the end of the scope.
struct Held {
  Held(const std::string& path, platform::DWORD access, platform::DWORD share)
      : h(platform::CreateFileW(lang::ansiToWide(path).c_str(), access, share, nullptr,
                                platform::OPEN_EXISTING, 0, nullptr)) {}
  ~Held() {
    if (ok()) platform::CloseHandle(h);
  }
  Held(const Held&) = delete;
  Held& operator=(const Held&) = delete;
  bool ok() const { return h != platform::INVALID_HANDLE_VALUE; }
  platform::HANDLE h;
};

TEST(FilesReplacementWin32, AReadOnlySourceGivesWayToAWritableResult) {
  xmdtest::TempDir t;
  t.write("d/m.xmd", "old bytes");
  t.write("d/m.xmd.result", "the user's own");
  ASSERT_TRUE(platform::SetFileAttributesW(lang::ansiToWide(t / "d/m.xmd").c_str(),
                                           platform::FILE_ATTRIBUTE_READONLY));
  FilesFileSystem fs(t.path());
  std::unique_ptr<Replacement> r = openOrFail(fs, "d/m.xmd");
  ASSERT_TRUE(r);
  EXPECT_EQ("old bytes", readAll(*r->input()));
  EXPECT_EQ(1u, r->sourceLinks());
  writeResult(*r, "new bytes");
  const std::vector<std::string> made = resultsIn(t / "d");
  ASSERT_EQ(1u, made.size());
  EXPECT_TRUE(ResultName::isResultOf(made[0], "m.xmd")) << made[0];
  FileId before;
  ASSERT_TRUE(fs.getFileId("d/m.xmd", before));
  EXPECT_EQ(before, r->sourceId());
  std::string reason;
  EXPECT_EQ(Replacement::kReplaced, r->commit(reason)) << reason;
  EXPECT_EQ("new bytes", t.read("d/m.xmd"));
  EXPECT_FALSE(readOnly(t / "d/m.xmd"));
  FileId after;
  ASSERT_TRUE(fs.getFileId("d/m.xmd", after));
  EXPECT_EQ(after, r->resultId());
  r.reset();
  EXPECT_TRUE(resultsIn(t / "d").empty());
  EXPECT_EQ("the user's own", t.read("d/m.xmd.result"));
  EXPECT_TRUE(fs.flushDirectory("d", reason)) << reason;
}

TEST(FilesReplacementWin32, AFileHeldOpenForWritingIsNotRead) {
  using platform::FILE_SHARE_READ;
  using platform::FILE_SHARE_WRITE;
  using platform::GENERIC_READ;
  using platform::GENERIC_WRITE;
  const struct {
    const char* what;
    platform::DWORD access, share;
  } holders[] = {
      {"reading, sharing nothing", GENERIC_READ, 0},
      {"writing, sharing reads and writes", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE},
      {"reading and writing, sharing everything", GENERIC_READ | GENERIC_WRITE,
       FILE_SHARE_READ | FILE_SHARE_WRITE | platform::FILE_SHARE_DELETE},
  };
  for (const auto& c : holders) {
    xmdtest::TempDir t;
    t.write("m.xmd", "old");
    FilesFileSystem fs(t.path());
    {
      Held other(t / "m.xmd", c.access, c.share);
      ASSERT_TRUE(other.ok()) << c.what;
      Replacement::Refusal refusal = Replacement::kNone;
      EXPECT_THROW(fs.openReplacement("m.xmd", refusal), FileNotFoundException) << c.what;
    }
    EXPECT_EQ("old", t.read("m.xmd")) << c.what;
    EXPECT_TRUE(resultsIn(t.path()).empty()) << c.what;
    // Let go, it opens.
    EXPECT_TRUE(openOrFail(fs, "m.xmd")) << c.what;
  }
}

TEST(FilesReplacementWin32, AHeldSourceCannotBeWrittenAndAReaderKeepsItsName) {
  xmdtest::TempDir t;
  t.write("m.xmd", "old");
  FilesFileSystem fs(t.path());
  std::unique_ptr<Replacement> r = openOrFail(fs, "m.xmd");
  ASSERT_TRUE(r);
  writeResult(*r, "new");
  // Nobody writes the source, nor the result, while they are held.
  EXPECT_FALSE(Held(t / "m.xmd", platform::GENERIC_WRITE,
                    platform::FILE_SHARE_READ | platform::FILE_SHARE_WRITE)
                   .ok());
  const std::string made = resultsIn(t.path()).at(0);
  EXPECT_FALSE(Held(t / made, platform::GENERIC_WRITE,
                    platform::FILE_SHARE_READ | platform::FILE_SHARE_WRITE)
                   .ok());
  // A reader that came in meanwhile keeps the source's name from being
  // given away: the result is dropped and the source stays.
  std::string reason;
  {
    Held reader(t / "m.xmd", platform::GENERIC_READ, platform::FILE_SHARE_READ);
    ASSERT_TRUE(reader.ok());
    EXPECT_EQ(Replacement::kFailed, r->commit(reason));
  }
  EXPECT_FALSE(reason.empty());
  EXPECT_EQ("old", t.read("m.xmd"));
  EXPECT_TRUE(resultsIn(t.path()).empty());
}

TEST(FilesReplacementWin32, ASourceRemovedOrMovedAwayIsKeptAsItIsNow) {
  const struct {
    const char* what;
    void (*change)(const xmdtest::TempDir&);
    const char* left;  // the source's name afterwards; null when gone
  } cases[] = {
      {"removed",
       [](const xmdtest::TempDir& t) {
         ASSERT_TRUE(platform::DeleteFileW(lang::ansiToWide(t / "m.xmd").c_str()));
       },
       nullptr},
      {"moved away, another saved in its name",
       [](const xmdtest::TempDir& t) {
         std::filesystem::rename(t / "m.xmd", t / "moved");
         t.write("m.xmd", "saved");
       },
       "saved"},
  };
  for (const auto& c : cases) {
    xmdtest::TempDir t;
    t.write("m.xmd", "old");
    FilesFileSystem fs(t.path());
    std::unique_ptr<Replacement> r = openOrFail(fs, "m.xmd");
    ASSERT_TRUE(r) << c.what;
    writeResult(*r, "result");
    c.change(t);
    std::string reason;
    EXPECT_EQ(Replacement::kSourceChanged, r->commit(reason)) << c.what;
    r.reset();
    if (c.left == nullptr)
      EXPECT_FALSE(t.exists("m.xmd")) << c.what;
    else
      EXPECT_EQ(c.left, t.read("m.xmd")) << c.what;
    EXPECT_TRUE(resultsIn(t.path()).empty()) << c.what;
  }
}

TEST(FilesReplacementWin32, ResultsLeftByKilledRunsGoWhileTheSourceIsHeld) {
  xmdtest::TempDir t;
  t.write("d/m.xmd", "m");
  t.write("d/m.xmd.xmdopt-Aa0Bb1.result", "left");
  t.write("d/n.xmd.xmdopt-Gg6Hh7.result", "another source's");
  t.write("d/m.xmd.xmdopt-short.result", "not of the form");
  FilesFileSystem fs(t.path());
  std::unique_ptr<Replacement> r = openOrFail(fs, "d/m.xmd");
  ASSERT_TRUE(r);
  EXPECT_EQ((std::vector<std::string>{"d/m.xmd.xmdopt-Aa0Bb1.result"}), r->removedLeftovers());
  EXPECT_FALSE(t.exists("d/m.xmd.xmdopt-Aa0Bb1.result"));
  writeResult(*r, "being written");
  const std::vector<std::string> live = resultsIn(t / "d");
  FilesFileSystem other(t.path());
  Replacement::Refusal refusal = Replacement::kNone;
  EXPECT_FALSE(other.openReplacement("d/m.xmd", refusal));
  EXPECT_EQ(Replacement::kBusy, refusal);
  EXPECT_EQ(live, resultsIn(t / "d"));
  EXPECT_TRUE(t.exists("d/n.xmd.xmdopt-Gg6Hh7.result"));
  EXPECT_TRUE(t.exists("d/m.xmd.xmdopt-short.result"));
}

TEST(FilesReplacementWin32, NamesThatTheSystemWouldSplitAreRefused) {
  xmdtest::TempDir t;
  t.write("outside/v.xmd", "outside");
  t.write("root/sub/m.xmd", "sub");
  t.write("root/m.xmd", "m");
  FilesFileSystem fs(t / "root");
  for (const char* path :
       {"..\\outside\\v.xmd", "sub\\m.xmd", "m.xmd:stream", "C:m.xmd", "sub/..\\m.xmd"}) {
    Replacement::Refusal refusal = Replacement::kNone;
    EXPECT_THROW(fs.openReplacement(path, refusal), FileNotFoundException) << path;
  }
  EXPECT_EQ("outside", t.read("outside/v.xmd"));
  EXPECT_EQ("sub", t.read("root/sub/m.xmd"));
  EXPECT_EQ("m", t.read("root/m.xmd"));
  EXPECT_TRUE(resultsIn(t / "root").empty());
  EXPECT_TRUE(resultsIn(t / "root/sub").empty());
}

TEST(FilesReplacementWin32, NamesInTheCodePageAndOutsideIt) {
  xmdtest::TempDir t;
  // "café.xmd", where the ANSI code page has an é (1252 puts it at 0xE9).
  const std::u16string cafe = u"caf\u00e9.xmd";
  const std::string narrow = lang::wideToAnsi(cafe);
  if (lang::ansiToWide(narrow) != cafe)
    GTEST_SKIP() << "the ANSI code page has no e with an acute accent";
  t.write(narrow, "old");
  FilesFileSystem fs(t.path());
  std::unique_ptr<Replacement> r = openOrFail(fs, narrow);
  ASSERT_TRUE(r);
  writeResult(*r, "new");
  std::string reason;
  EXPECT_EQ(Replacement::kReplaced, r->commit(reason)) << reason;
  EXPECT_EQ("new", t.read(narrow));
  // A name the code page cannot hold (Cyrillic here) has no narrow form: the
  // name listed is not the file's, which is left alone.
  const std::u16string model = u"\u043c\u043e\u0434\u0435\u043b\u044c.xmd";
  ASSERT_NE(model, lang::ansiToWide(lang::wideToAnsi(model)));
  const std::filesystem::path wide =
      std::filesystem::path(t.path()) / std::wstring(L"\u043c\u043e\u0434\u0435\u043b\u044c.xmd");
  { std::ofstream(wide, std::ios::binary) << "model"; }
  const std::string listed = lang::wideToAnsi(model);
  Replacement::Refusal refusal = Replacement::kNone;
  EXPECT_THROW(fs.openReplacement(listed, refusal), FileNotFoundException) << listed;
  std::ifstream in(wide, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ("model", bytes);
  EXPECT_TRUE(resultsIn(t.path()).empty());
}

TEST(FilesReplacementWin32, ADrivesRootHoldsEveryPathOnIt) {
  xmdtest::TempDir t;
  t.write("m.xmd", "old");
  const std::string& path = t.path();
  if (path.size() < 4 || path[1] != ':' || path[2] != '/')
    GTEST_SKIP() << "the temp dir lies on no drive letter: " << path;
  FilesFileSystem fs(path.substr(0, 3));  // "C:/"
  const std::string below = path.substr(3);
  EXPECT_TRUE(fs.isInsideRoot(""));
  EXPECT_TRUE(fs.isInsideRoot(below));
  std::unique_ptr<Replacement> r = openOrFail(fs, below + "/m.xmd");
  ASSERT_TRUE(r);
  EXPECT_EQ(below + "/m.xmd", r->replacedPath());
  writeResult(*r, "new");
  std::string reason;
  EXPECT_EQ(Replacement::kReplaced, r->commit(reason)) << reason;
  EXPECT_EQ("new", t.read("m.xmd"));
}

}  // namespace
}  // namespace fs
}  // namespace io
