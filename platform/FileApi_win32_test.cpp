// The file and directory calls of FileApi.h on Windows: the contract of the
// header in the system's terms (letter case does not count in names, the
// read-only attribute is the system's own, files are shared by sharing
// modes). Run under Wine on the build machine.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "platform/CodePage.h"
#include "platform/FileApi.h"
#include "testing/TempDir.h"

namespace platform {
namespace {

// The wide form of s from the code page; empty when the conversion fails.
// (Local: past windows.h the shared helper's names are the system's macros.)
std::u16string wide(const std::string& s) {
  std::u16string out(s.size() + 1, u'\0');
  const int n =
      MultiByteToWideChar(CP_ACP, 0, s.c_str(), -1, &out[0], static_cast<int>(out.size()));
  out.resize(n > 0 ? n - 1 : 0);
  return out;
}

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

HANDLE open(const std::string& path, DWORD access, DWORD share, DWORD disposition) {
  return CreateFileW(wide(path).c_str(), access, share, nullptr, disposition, 0, nullptr);
}

TEST(FindFileWin32, WildcardsInTheLastComponentIgnoreLetterCase) {
  xmdtest::TempDir t;
  for (const char* f : {"a", "b.txt", "c.d.e", "ab"}) t.write(f, "x");
  t.mkdirs("sub.dir");
  using S = std::set<std::string>;
  EXPECT_EQ((S{".", "..", "a", "b.txt", "c.d.e", "ab", "sub.dir"}), find(t / "*.*"));
  EXPECT_EQ(find(t / "*.*"), find(t / "*"));
  EXPECT_EQ((S{"b.txt"}), find(t / "*.TXT"));
  EXPECT_EQ((S{"a"}), find(t / "a.*"));  // ".*" also matches no dot at all
  EXPECT_EQ((S{"ab"}), find(t / "a?"));
  EXPECT_EQ((S{"c.d.e"}), find(t / "c*e"));
  EXPECT_EQ((S{"b.txt"}), find(t / "B.Txt"));  // no wildcard: the entry itself
  EXPECT_EQ((S{"sub.dir"}), find(t / "sub.dir"));
  EXPECT_EQ((S{"!error 2"}), find(t / "*.zip"));
  EXPECT_EQ((S{"!error 2"}), find(t / "missing"));
  EXPECT_EQ((S{"!error 3"}), find(t / "missing/*.*"));
}

TEST(FindFileWin32, RecordsAttributesSizeAndTime) {
  xmdtest::TempDir t;
  t.write("f.bin", std::string(1234, 'x'));
  t.mkdirs("d");
  WIN32_FIND_DATAW data;
  HANDLE h = FindFirstFileW(wide(t / "f*").c_str(), &data);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  EXPECT_EQ(std::u16string(u"f.bin"), std::u16string(data.cFileName));
  EXPECT_EQ(1234u, data.nFileSizeLow);
  EXPECT_EQ(0u, data.nFileSizeHigh);
  EXPECT_EQ(0u, data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_NE(0u, data.ftLastWriteTime.dwHighDateTime);
  FindClose(h);
  EXPECT_NE(0u, GetFileAttributesW(wide(t / "d").c_str()) & FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(wide(t / "missing").c_str()));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, GetLastError());
}

TEST(FileAttributesWin32, ReadOnlyFilesCannotBeDeleted) {
  xmdtest::TempDir t;
  t.write("f", "x");
  const std::u16string f = wide(t / "f");
  EXPECT_TRUE(SetFileAttributesW(f.c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_NE(0u, GetFileAttributesW(f.c_str()) & FILE_ATTRIBUTE_READONLY);
  EXPECT_FALSE(DeleteFileW(f.c_str()));
  EXPECT_EQ(ERROR_ACCESS_DENIED, GetLastError());
  EXPECT_TRUE(SetFileAttributesW(f.c_str(), FILE_ATTRIBUTE_ARCHIVE));
  EXPECT_EQ(0u, GetFileAttributesW(f.c_str()) & FILE_ATTRIBUTE_READONLY);
  EXPECT_FALSE(SetFileAttributesW(wide(t / "missing").c_str(), 0));
  EXPECT_TRUE(DeleteFileW(f.c_str()));
  EXPECT_FALSE(t.exists("f"));
}

TEST(FileHandleWin32, TimesAreHundredNanosecondsSince1601) {
  xmdtest::TempDir t;
  t.write("f", std::string(77, 'x'));
  HANDLE h = CreateFileW(wide(t / "f").c_str(), FILE_WRITE_ATTRIBUTES | FILE_READ_ATTRIBUTES, 3,
                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  // 2001-09-09 01:46:40.1234567 UTC is 10^9 s after 1970.
  const std::uint64_t ticks = 116444736000000000ull + 1000000000ull * 10000000ull + 1234567;
  const FILETIME ft{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
  EXPECT_TRUE(SetFileTime(h, nullptr, &ft, &ft));
  FILETIME back{};
  EXPECT_TRUE(GetFileTime(h, nullptr, nullptr, &back));
  EXPECT_EQ(ft.dwLowDateTime, back.dwLowDateTime);
  EXPECT_EQ(ft.dwHighDateTime, back.dwHighDateTime);
  DWORD high = 99;
  EXPECT_EQ(77u, GetFileSize(h, &high));
  EXPECT_EQ(0u, high);
  BY_HANDLE_FILE_INFORMATION info{};
  EXPECT_TRUE(GetFileInformationByHandle(h, &info));
  EXPECT_EQ(77u, info.nFileSizeLow);
  EXPECT_EQ(ft.dwLowDateTime, info.ftLastWriteTime.dwLowDateTime);
  EXPECT_EQ(1u, info.nNumberOfLinks);
  EXPECT_TRUE(CloseHandle(h));
}

TEST(FileHandleWin32, DirectoriesOpenOnlyWithBackupSemantics) {
  xmdtest::TempDir t;
  const std::u16string d = wide(t.path());
  EXPECT_EQ(INVALID_HANDLE_VALUE,
            CreateFileW(d.c_str(), FILE_READ_ATTRIBUTES, 3, nullptr, OPEN_EXISTING, 0, nullptr));
  HANDLE h = CreateFileW(d.c_str(), FILE_READ_ATTRIBUTES, 3, nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  BY_HANDLE_FILE_INFORMATION info{};
  EXPECT_TRUE(GetFileInformationByHandle(h, &info));
  EXPECT_NE(0u, info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
  CloseHandle(h);
  EXPECT_EQ(INVALID_HANDLE_VALUE,
            CreateFileW(wide(t / "missing").c_str(), FILE_READ_ATTRIBUTES, 3, nullptr,
                        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, GetLastError());
}

TEST(FileHandleWin32, SharingModesKeepOthersOut) {
  xmdtest::TempDir t;
  t.write("f", "source");
  HANDLE reader = open(t / "f", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  ASSERT_NE(INVALID_HANDLE_VALUE, reader);
  EXPECT_EQ(INVALID_HANDLE_VALUE, open(t / "f", GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING));
  EXPECT_EQ(ERROR_SHARING_VIOLATION, GetLastError());
  EXPECT_FALSE(DeleteFileW(wide(t / "f").c_str()));
  HANDLE second = open(t / "f", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  EXPECT_NE(INVALID_HANDLE_VALUE, second);
  CloseHandle(second);
  CloseHandle(reader);
  EXPECT_EQ("source", t.read("f"));
  HANDLE created = open(t / "new", GENERIC_WRITE, 0, CREATE_NEW);
  ASSERT_NE(INVALID_HANDLE_VALUE, created);
  EXPECT_TRUE(FlushFileBuffers(created));
  CloseHandle(created);
  EXPECT_EQ(INVALID_HANDLE_VALUE, open(t / "new", GENERIC_WRITE, 0, CREATE_NEW));
  EXPECT_EQ(ERROR_FILE_EXISTS, GetLastError());
}

TEST(FileOpsWin32, MoveFailsWhenTheTargetExists) {
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
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, GetLastError());
}

TEST(FileOpsWin32, CopyOverwritesOrRefuses) {
  xmdtest::TempDir t;
  t.write("a", "new");
  t.write("b", "old");
  EXPECT_FALSE(CopyFileW(wide(t / "a").c_str(), wide(t / "b").c_str(), TRUE));
  EXPECT_EQ(ERROR_FILE_EXISTS, GetLastError());
  EXPECT_EQ("old", t.read("b"));
  EXPECT_TRUE(CopyFileW(wide(t / "a").c_str(), wide(t / "b").c_str(), FALSE));
  EXPECT_EQ("new", t.read("b"));
  EXPECT_FALSE(CopyFileW(wide(t / "a").c_str(), wide(t / "a").c_str(), FALSE));
  EXPECT_EQ("new", t.read("a"));  // not truncated by copying onto itself
  EXPECT_FALSE(CopyFileW(wide(t.path()).c_str(), wide(t / "c").c_str(), FALSE));
  EXPECT_FALSE(t.exists("c"));
}

TEST(FileOpsWin32, DirectoriesOneLevelAtATime) {
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

TEST(FileOpsWin32, ReplaceKeepsAttributesButNotReadOnly) {
  xmdtest::TempDir t;
  t.write("m.xmd", "source");
  t.write("m.xmd.result", "result");
  const std::u16string source = wide(t / "m.xmd");
  ASSERT_TRUE(SetFileAttributesW(source.c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_TRUE(ReplaceFileW(source.c_str(), wide(t / "m.xmd.result").c_str(), nullptr,
                           REPLACEFILE_WRITE_THROUGH, nullptr, nullptr));
  EXPECT_EQ("result", t.read("m.xmd"));
  EXPECT_FALSE(t.exists("m.xmd.result"));
  EXPECT_EQ(0u, GetFileAttributesW(source.c_str()) & FILE_ATTRIBUTE_READONLY);

  t.write("m.xmd.result", "second");
  EXPECT_TRUE(ReplaceFileW(source.c_str(), wide(t / "m.xmd.result").c_str(), nullptr,
                           REPLACEFILE_FLUSH_REPLACEMENT, nullptr, nullptr));
  EXPECT_EQ("second", t.read("m.xmd"));

  t.write("n.result", "r");
  EXPECT_FALSE(ReplaceFileW(wide(t / "n").c_str(), wide(t / "n.result").c_str(), nullptr, 0,
                            nullptr, nullptr));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, GetLastError());
  EXPECT_EQ("r", t.read("n.result"));
  t.mkdirs("dir");
  EXPECT_FALSE(ReplaceFileW(wide(t / "dir").c_str(), wide(t / "n.result").c_str(), nullptr, 0,
                            nullptr, nullptr));
  EXPECT_EQ("r", t.read("n.result"));
}

TEST(FileOpsWin32, ReplaceFailsWhileTheSourceIsHeldAndChangesNothing) {
  xmdtest::TempDir t;
  t.write("m.xmd", "source");
  t.write("m.xmd.result", "result");
  HANDLE holder = open(t / "m.xmd", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  ASSERT_NE(INVALID_HANDLE_VALUE, holder);
  EXPECT_FALSE(ReplaceFileW(wide(t / "m.xmd").c_str(), wide(t / "m.xmd.result").c_str(), nullptr,
                            REPLACEFILE_WRITE_THROUGH, nullptr, nullptr));
  CloseHandle(holder);
  EXPECT_EQ("source", t.read("m.xmd"));
  EXPECT_EQ("result", t.read("m.xmd.result"));
}

}  // namespace
}  // namespace platform
