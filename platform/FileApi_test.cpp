#include "platform/FileApi.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <set>
#include <string>

#include "platform/CodePage.h"
#include "testing/AnsiText.h"
#include "testing/TempDir.h"

namespace platform {
namespace {

using xmdtest::wide;

std::string narrow(const char16_t* s) {
  std::string out(4 * MAX_PATH, '\0');
  const int n = WideCharToMultiByte(CP_ACP, 0, s, -1, &out[0], static_cast<int>(out.size()),
                                    nullptr, nullptr);
  out.resize(n > 0 ? n - 1 : 0);
  return out;
}

// Every name a search for pattern delivers; {"!error N"} when it fails.
std::set<std::string> find(const std::string& pattern) {
  WIN32_FIND_DATAW data;
  HANDLE h = FindFirstFileW(wide(pattern).c_str(), &data);
  if (h == INVALID_HANDLE_VALUE) return {"!error " + std::to_string(GetLastError())};
  std::set<std::string> names;
  do names.insert(narrow(data.cFileName));
  while (FindNextFileW(h, &data));
  EXPECT_EQ(ERROR_NO_MORE_FILES, GetLastError());
  EXPECT_TRUE(FindClose(h));
  return names;
}

mode_t modeOf(const std::string& path) {
  struct stat st;
  EXPECT_EQ(0, stat(path.c_str(), &st));
  return st.st_mode & 07777;
}

TEST(FindFile, WildcardsInTheLastComponent) {
  xmdtest::TempDir t;
  for (const char* f : {"a", "b.txt", ".hidden", "c.d.e", "B.TXT", "ab"}) t.write(f, "x");
  t.mkdirs("sub.dir");
  using S = std::set<std::string>;
  EXPECT_EQ((S{".", "..", "a", "b.txt", ".hidden", "c.d.e", "B.TXT", "ab", "sub.dir"}),
            find(t / "*.*"));
  EXPECT_EQ(find(t / "*.*"), find(t / "*"));
  EXPECT_EQ((S{"b.txt"}), find(t / "*.txt"));  // letter case counts
  EXPECT_EQ((S{"a"}), find(t / "a.*"));        // ".*" also matches no dot at all
  EXPECT_EQ((S{"a", "."}), find(t / "?"));
  EXPECT_EQ((S{"ab", ".."}), find(t / "??"));
  EXPECT_EQ((S{"c.d.e"}), find(t / "c*e"));
  EXPECT_EQ((S{"b.txt"}), find(t / "b.txt"));  // no wildcard: the entry itself
  EXPECT_EQ((S{"sub.dir"}), find(t / "sub.dir"));
  EXPECT_EQ((S{"!error 2"}), find(t / "*.zip"));
  EXPECT_EQ((S{"!error 2"}), find(t / "missing"));
  EXPECT_EQ((S{"!error 3"}), find(t / "missing/*.*"));
  EXPECT_EQ((S{"!error 2"}), find(t.path() + "/"));
}

TEST(FindFile, RecordsAttributesSizeTimeAndRawByteNames) {
  xmdtest::TempDir t;
  t.write("raw\xff\xfe.bin", std::string(1234, 'x'));
  t.mkdirs("d");
  ASSERT_EQ(0, symlink("d", (t / "link").c_str()));
  ASSERT_EQ(0, symlink("nowhere", (t / "dangling").c_str()));
  WIN32_FIND_DATAW data;
  HANDLE h = FindFirstFileW(wide(t / "raw*").c_str(), &data);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  EXPECT_EQ(std::u16string(u"raw\xDCFF\xDCFE.bin"), std::u16string(data.cFileName));
  EXPECT_EQ(1234u, data.nFileSizeLow);
  EXPECT_EQ(0u, data.nFileSizeHigh);
  EXPECT_EQ(FILE_ATTRIBUTE_ARCHIVE, data.dwFileAttributes);
  FindClose(h);
  EXPECT_EQ(FILE_ATTRIBUTE_DIRECTORY, GetFileAttributesW(wide(t / "d").c_str()));
  EXPECT_EQ(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT,
            GetFileAttributesW(wide(t / "link").c_str()));
  EXPECT_EQ(FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_REPARSE_POINT,
            GetFileAttributesW(wide(t / "dangling").c_str()));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(wide(t / "missing").c_str()));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, GetLastError());
}

TEST(FileAttributes, ReadOnlyIsTheOwnersWritePermission) {
  xmdtest::TempDir t;
  t.write("f", "x");
  ASSERT_EQ(0, chmod((t / "f").c_str(), 0664));
  const std::u16string f = wide(t / "f");
  EXPECT_TRUE(SetFileAttributesW(f.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
  EXPECT_EQ(0464u, modeOf(t / "f"));
  EXPECT_EQ(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE, GetFileAttributesW(f.c_str()));
  EXPECT_FALSE(DeleteFileW(f.c_str()));  // a read-only file cannot be deleted
  EXPECT_EQ(ERROR_ACCESS_DENIED, GetLastError());
  EXPECT_TRUE(SetFileAttributesW(f.c_str(), FILE_ATTRIBUTE_ARCHIVE));
  EXPECT_EQ(0664u, modeOf(t / "f"));
  EXPECT_FALSE(SetFileAttributesW(wide(t / "missing").c_str(), 0));
  EXPECT_TRUE(DeleteFileW(f.c_str()));
  EXPECT_FALSE(t.exists("f"));
}

TEST(FileHandle, TimesAreHundredNanosecondsSince1601) {
  xmdtest::TempDir t;
  t.write("f", std::string(77, 'x'));
  HANDLE h = CreateFileW(wide(t / "f").c_str(), FILE_WRITE_ATTRIBUTES, 3, nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  // 2001-09-09 01:46:40.1234567 UTC is 10^9 s after 1970.
  const std::uint64_t ticks = 116444736000000000ull + 1000000000ull * 10000000ull + 1234567;
  const FILETIME ft{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
  EXPECT_TRUE(SetFileTime(h, &ft, &ft, &ft));
  FILETIME back{};
  EXPECT_TRUE(GetFileTime(h, nullptr, nullptr, &back));
  EXPECT_EQ(ft.dwLowDateTime, back.dwLowDateTime);
  EXPECT_EQ(ft.dwHighDateTime, back.dwHighDateTime);
  DWORD high = 99;
  EXPECT_EQ(77u, GetFileSize(h, &high));
  EXPECT_EQ(0u, high);
  EXPECT_TRUE(CloseHandle(h));
  struct stat st;
  ASSERT_EQ(0, stat((t / "f").c_str(), &st));
  EXPECT_EQ(1000000000, st.st_mtim.tv_sec);
  EXPECT_EQ(123456700, st.st_mtim.tv_nsec);
}

TEST(FileHandle, DirectoriesOpenOnlyWithBackupSemantics) {
  xmdtest::TempDir t;
  const std::u16string d = wide(t.path());
  EXPECT_EQ(INVALID_HANDLE_VALUE,
            CreateFileW(d.c_str(), FILE_READ_ATTRIBUTES, 3, nullptr, OPEN_EXISTING, 0, nullptr));
  HANDLE h = CreateFileW(d.c_str(), FILE_READ_ATTRIBUTES, 3, nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  EXPECT_EQ(0u, GetFileSize(h, nullptr));
  CloseHandle(h);
  EXPECT_EQ(INVALID_HANDLE_VALUE,
            CreateFileW(wide(t / "missing").c_str(), FILE_READ_ATTRIBUTES, 3, nullptr,
                        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, GetLastError());
}

TEST(FileOps, MoveFailsWhenTheTargetExists) {
  xmdtest::TempDir t;
  t.write("a", "A");
  t.write("b", "B");
  EXPECT_FALSE(MoveFileW(wide(t / "a").c_str(), wide(t / "b").c_str()));
  EXPECT_EQ(ERROR_ALREADY_EXISTS, GetLastError());
  EXPECT_EQ("A", t.read("a"));
  EXPECT_EQ("B", t.read("b"));
  EXPECT_TRUE(MoveFileA((t / "a").c_str(), (t / "c").c_str()));
  EXPECT_FALSE(t.exists("a"));
  EXPECT_EQ("A", t.read("c"));
  EXPECT_FALSE(MoveFileA((t / "missing").c_str(), (t / "d").c_str()));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, GetLastError());
  EXPECT_TRUE(DeleteFileA((t / "c").c_str()));
  EXPECT_FALSE(DeleteFileA((t / "c").c_str()));
}

TEST(FileOps, CopyOverwritesOrRefuses) {
  xmdtest::TempDir t;
  t.write("a", "new");
  t.write("b", "old");
  ASSERT_EQ(0, chmod((t / "a").c_str(), 0640));
  EXPECT_FALSE(CopyFileW(wide(t / "a").c_str(), wide(t / "b").c_str(), TRUE));
  EXPECT_EQ(ERROR_FILE_EXISTS, GetLastError());
  EXPECT_EQ("old", t.read("b"));
  EXPECT_TRUE(CopyFileW(wide(t / "a").c_str(), wide(t / "b").c_str(), FALSE));
  EXPECT_EQ("new", t.read("b"));
  EXPECT_EQ(0640u, modeOf(t / "b"));
  EXPECT_FALSE(CopyFileW(wide(t / "a").c_str(), wide(t / "a").c_str(), FALSE));
  EXPECT_EQ("new", t.read("a"));  // not truncated by copying onto itself
  EXPECT_FALSE(CopyFileW(wide(t.path()).c_str(), wide(t / "c").c_str(), FALSE));
  EXPECT_EQ(ERROR_ACCESS_DENIED, GetLastError());
  EXPECT_FALSE(t.exists("c"));
  // A FIFO with no writer: refused at once instead of waiting for one.
  ASSERT_EQ(0, mkfifo((t / "fifo").c_str(), 0600));
  EXPECT_FALSE(CopyFileW(wide(t / "fifo").c_str(), wide(t / "c").c_str(), FALSE));
  EXPECT_EQ(ERROR_ACCESS_DENIED, GetLastError());
  EXPECT_FALSE(t.exists("c"));
}

TEST(FileAttributes, NarrowPathsToo) {
  xmdtest::TempDir t;
  t.write("raw\xff", "x");
  EXPECT_EQ(FILE_ATTRIBUTE_ARCHIVE, GetFileAttributesA((t / "raw\xff").c_str()));
  EXPECT_EQ(FILE_ATTRIBUTE_DIRECTORY, GetFileAttributesA(t.path().c_str()));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((t / "missing").c_str()));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, GetLastError());
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(""));
  EXPECT_EQ(ERROR_PATH_NOT_FOUND, GetLastError());
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(nullptr));
  EXPECT_EQ(ERROR_INVALID_PARAMETER, GetLastError());
}

TEST(FileOps, DirectoriesOneLevelAtATime) {
  xmdtest::TempDir t;
  EXPECT_FALSE(CreateDirectoryW(wide(t / "x/y").c_str(), nullptr));
  EXPECT_EQ(ERROR_PATH_NOT_FOUND, GetLastError());
  EXPECT_TRUE(CreateDirectoryW(wide(t / "x").c_str(), nullptr));
  EXPECT_FALSE(CreateDirectoryW(wide(t / "x").c_str(), nullptr));
  EXPECT_EQ(ERROR_ALREADY_EXISTS, GetLastError());
  t.write("x/f", "");
  EXPECT_FALSE(DeleteFileW(wide(t / "x").c_str()));
  EXPECT_FALSE(RemoveDirectoryW(wide(t / "x").c_str()));
  EXPECT_EQ(ERROR_DIR_NOT_EMPTY, GetLastError());
  EXPECT_TRUE(DeleteFileW(wide(t / "x/f").c_str()));
  EXPECT_TRUE(RemoveDirectoryW(wide(t / "x").c_str()));
  EXPECT_FALSE(t.exists("x"));
}

TEST(FileOps, ReplaceKeepsPermissionsButNotReadOnly) {
  xmdtest::TempDir t;
  t.write("m.xmd", "source");
  t.write("m.xmd.result", "result");
  ASSERT_EQ(0, chmod((t / "m.xmd").c_str(), 0440));
  EXPECT_TRUE(ReplaceFileW(wide(t / "m.xmd").c_str(), wide(t / "m.xmd.result").c_str(), nullptr,
                           REPLACEFILE_WRITE_THROUGH, nullptr, nullptr));
  EXPECT_EQ("result", t.read("m.xmd"));
  EXPECT_FALSE(t.exists("m.xmd.result"));
  EXPECT_EQ(0640u, modeOf(t / "m.xmd"));
  t.write("n.result", "r");
  EXPECT_FALSE(ReplaceFileW(wide(t / "n").c_str(), wide(t / "n.result").c_str(), nullptr, 0,
                            nullptr, nullptr));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, GetLastError());
  EXPECT_EQ("r", t.read("n.result"));
}

}  // namespace
}  // namespace platform
