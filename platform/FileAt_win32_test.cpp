// The calls of FileAt.h on Windows: entries reached through the directory's
// own path in the system's "\\?\" form (so names the system would take for
// devices or split are plain names, and paths may pass MAX_PATH), sharing
// modes, the read-only attribute for the permission bits, the system's
// byte-range lock, and final paths in the "/" form of the layers above.
// Run under Wine on the build machine, where symbolic links cannot be made
// and a handle's path stops at MAX_PATH: those two tests are skipped there.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "platform/CodePage.h"
#include "platform/FileAt.h"
#include "platform/Win32.h"
#include "testing/TempDir.h"

// After the system's own declarations (platform/Win32.h).
#include <aclapi.h>
#include <sddl.h>

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

// An open handle, closed at the end of the scope.
struct Handle {
  explicit Handle(HANDLE h) : h(h) {}
  ~Handle() {
    if (ok()) CloseHandle(h);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  bool ok() const { return h != INVALID_HANDLE_VALUE; }
  HANDLE h;
};

HANDLE openPath(const std::u16string& path, DWORD access = GENERIC_READ,
                DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE) {
  return CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING,
                     FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}
HANDLE openPath(const std::string& path, DWORD access = GENERIC_READ,
                DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE) {
  return openPath(wide(path), access, share);
}

HANDLE openAt(HANDLE dir, const std::u16string& name, DWORD access = GENERIC_READ,
              DWORD disposition = OPEN_EXISTING, DWORD flags = 0) {
  return CreateFileAtW(dir, name.c_str(), access, disposition, flags);
}

bool readOnly(const std::string& path) {
  const DWORD a = GetFileAttributesW(wide(path).c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_READONLY) != 0;
}

std::string readAll(HANDLE h) {
  std::string out;
  char buffer[256];
  DWORD n = 0;
  while (ReadFile(h, buffer, sizeof buffer, &n, nullptr) && n > 0) out.append(buffer, n);
  return out;
}

TEST(FileAtWin32, NewFilesAreNeverOpenedTwice) {
  xmdtest::TempDir t;
  Handle dir(openPath(t.path()));
  ASSERT_TRUE(dir.ok());
  Handle created(openAt(dir.h, u"new", GENERIC_WRITE, CREATE_NEW));
  ASSERT_TRUE(created.ok());
  DWORD written = 0;
  EXPECT_TRUE(WriteFile(created.h, "abc", 3, &written, nullptr));
  EXPECT_EQ(3u, written);
  EXPECT_FALSE(readOnly(t / "new"));
  EXPECT_EQ(INVALID_HANDLE_VALUE, openAt(dir.h, u"new", GENERIC_WRITE, CREATE_NEW));
  EXPECT_EQ(ERROR_FILE_EXISTS, GetLastError());
  CloseHandle(created.h);
  created.h = INVALID_HANDLE_VALUE;
  EXPECT_EQ("abc", t.read("new"));  // not truncated
}

// The access list of an open file in the system's text form ("D:P(A;;FA;;;S-...)");
// "!error N" when it cannot be read.
std::string accessListOf(HANDLE h) {
  ::PSECURITY_DESCRIPTOR descriptor = nullptr;
  const ::DWORD error = ::GetSecurityInfo(h, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                          nullptr, nullptr, nullptr, &descriptor);
  if (error != 0) return "!error " + std::to_string(error);
  ::LPSTR text = nullptr;
  std::string out = "!error text";
  if (::ConvertSecurityDescriptorToStringSecurityDescriptorA(
          descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text, nullptr)) {
    out = text;
    ::LocalFree(text);
  }
  ::LocalFree(descriptor);
  return out;
}

TEST(FileAtWin32, NewFilesAreTheUsersAloneUntilGivenTheirSourcesRules) {
  xmdtest::TempDir t;
  t.write("source", "x");
  Handle dir(openPath(t.path()));
  Handle source(openAt(dir.h, u"source"));
  Handle created(openAt(dir.h, u"new", GENERIC_READ | GENERIC_WRITE, CREATE_NEW));
  ASSERT_TRUE(created.ok());
  // One user and nobody else (Wine reads an access list back from the
  // POSIX mode it keeps, which adds the system's own account, "SY").
  const std::string fresh = accessListOf(created.h);
  std::set<std::string> trustees;
  for (std::size_t at = fresh.find('('); at != std::string::npos; at = fresh.find('(', at + 1)) {
    const std::size_t end = fresh.find(')', at);
    const std::size_t last = fresh.rfind(';', end);
    trustees.insert(fresh.substr(last + 1, end - last - 1));
  }
  trustees.erase("SY");
  ASSERT_EQ(1u, trustees.size()) << fresh;
  EXPECT_EQ(0u, trustees.begin()->find("S-1-5-")) << fresh;  // a user's own
  const std::string rules = accessListOf(source.h);
  ASSERT_NE(rules, fresh);
  EXPECT_TRUE(CopyFileAccess(source.h, created.h));
  EXPECT_EQ(rules, accessListOf(created.h));
  EXPECT_FALSE(CopyFileAccess(source.h, INVALID_HANDLE_VALUE));
  EXPECT_EQ(ERROR_INVALID_HANDLE, GetLastError());
}

TEST(FileAtWin32, NamesAreOneComponentAndNeverADevice) {
  xmdtest::TempDir t;
  t.mkdirs("in");
  t.write("outside.xmd", "outside");
  Handle dir(openPath(t / "in"));
  ASSERT_TRUE(dir.ok());
  const struct {
    const char16_t* name;
    DWORD error;
  } refused[] = {{u"a/b", ERROR_INVALID_NAME},
                 {u"..\\outside.xmd", ERROR_INVALID_NAME},
                 {u"\\outside.xmd", ERROR_INVALID_NAME},
                 {u"a:", ERROR_INVALID_NAME},
                 {u"m.xmd:stream", ERROR_INVALID_NAME},
                 {u"c:\\x", ERROR_INVALID_NAME},
                 {u".", ERROR_INVALID_NAME},
                 {u"..", ERROR_INVALID_NAME},
                 {u"", ERROR_PATH_NOT_FOUND}};
  for (const auto& r : refused) {
    const std::string shown =
        std::string(r.name, r.name + std::char_traits<char16_t>::length(r.name));
    EXPECT_EQ(INVALID_HANDLE_VALUE, openAt(dir.h, r.name, GENERIC_WRITE, CREATE_NEW)) << shown;
    EXPECT_EQ(r.error, GetLastError()) << shown;
    FILE_STATUS st;
    EXPECT_FALSE(GetFileStatusAtW(dir.h, r.name, &st)) << shown;
    EXPECT_FALSE(DeleteFileAtW(dir.h, r.name)) << shown;
    EXPECT_FALSE(MoveFileAtW(dir.h, r.name, u"x")) << shown;
  }
  EXPECT_EQ("outside", t.read("outside.xmd"));
  // Names the system keeps for devices are plain names of the directory.
  for (const char16_t* name : {u"CON", u"nul.xmd", u"AUX"}) {
    Handle created(openAt(dir.h, name, GENERIC_READ | GENERIC_WRITE, CREATE_NEW));
    ASSERT_TRUE(created.ok());
    EXPECT_EQ(FILE_TYPE_DISK, GetFileType(created.h));
    FILE_STATUS st;
    EXPECT_TRUE(GetFileStatusAtW(dir.h, name, &st));
    EXPECT_EQ(FILE_KIND_REGULAR, st.kind);
    CloseHandle(created.h);
    created.h = INVALID_HANDLE_VALUE;
    EXPECT_TRUE(DeleteFileAtW(dir.h, name));
  }
}

TEST(FileAtWin32, NamesOutsideTheCodePage) {
  xmdtest::TempDir t;
  Handle dir(openPath(t.path()));
  const std::u16string name = u"\u043c\u043e\u0434\u0435\u043b\u044c \u6a21\u578b.xmd";
  {
    Handle created(openAt(dir.h, name, GENERIC_WRITE, CREATE_NEW));
    ASSERT_TRUE(created.ok());
  }
  FILE_STATUS st;
  EXPECT_TRUE(GetFileStatusAtW(dir.h, name.c_str(), &st));
  EXPECT_TRUE(MoveFileAtW(dir.h, name.c_str(), u"\u6a21\u578b.xmd"));
  EXPECT_TRUE(DeleteFileAtW(dir.h, u"\u6a21\u578b.xmd"));
  EXPECT_FALSE(GetFileStatusAtW(dir.h, name.c_str(), &st));
}

TEST(FileAtWin32, StatusOfOpenFilesAndOfEntries) {
  xmdtest::TempDir t;
  t.write("f", std::string(1000, 'x'));
  t.mkdirs("sub");
  ASSERT_TRUE(SetFileAttributesW(wide(t / "f").c_str(), FILE_ATTRIBUTE_READONLY));
  Handle dir(openPath(t.path()));
  Handle f(openAt(dir.h, u"f"));
  ASSERT_TRUE(f.ok());
  FILE_STATUS open{}, entry{}, sub{};
  ASSERT_TRUE(GetFileStatus(f.h, &open));
  ASSERT_TRUE(GetFileStatusAtW(dir.h, u"f", &entry));
  ASSERT_TRUE(GetFileStatusAtW(dir.h, u"sub", &sub));
  BY_HANDLE_FILE_INFORMATION info;
  ASSERT_TRUE(GetFileInformationByHandle(f.h, &info));
  EXPECT_EQ(FILE_KIND_REGULAR, open.kind);
  EXPECT_EQ(info.dwVolumeSerialNumber, open.device);
  EXPECT_EQ((std::uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow, open.inode);
  EXPECT_EQ(1000u, open.size);
  const std::int64_t written =
      (std::int64_t((std::uint64_t(info.ftLastWriteTime.dwHighDateTime) << 32) |
                    info.ftLastWriteTime.dwLowDateTime) -
       116444736000000000LL) *
      100;
  EXPECT_EQ(written, open.lastWriteNs);
  EXPECT_GE(open.changeNs, open.lastWriteNs);
  EXPECT_EQ(0444u, open.permissions);
  EXPECT_EQ(0u, open.owner);
  EXPECT_EQ(1u, open.links);
  EXPECT_EQ(open.inode, entry.inode);
  EXPECT_EQ(open.lastWriteNs, entry.lastWriteNs);
  EXPECT_EQ(FILE_KIND_DIRECTORY, sub.kind);
  EXPECT_EQ(0777u, sub.permissions);
  EXPECT_FALSE(GetFileStatusAtW(dir.h, u"missing", &entry));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, GetLastError());
  EXPECT_EQ(INVALID_HANDLE_VALUE, openAt(dir.h, u"sub"));  // a directory needs backup semantics
  EXPECT_EQ(ERROR_ACCESS_DENIED, GetLastError());
  Handle subOpen(openAt(dir.h, u"sub", GENERIC_READ, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS));
  EXPECT_TRUE(subOpen.ok());
  EXPECT_EQ(FILE_TYPE_UNKNOWN, GetFileType(INVALID_HANDLE_VALUE));
  EXPECT_EQ(ERROR_INVALID_HANDLE, GetLastError());
}

TEST(FileAtWin32, LinksAreFollowedOnlyWhenAsked) {
  xmdtest::TempDir t;
  t.write("target", "target bytes");
  const std::u16string link = wide(t / "link");
  if (!::CreateSymbolicLinkW(reinterpret_cast<const wchar_t*>(link.c_str()), L"target",
                             SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE) ||
      GetFileAttributesW(link.c_str()) == INVALID_FILE_ATTRIBUTES ||
      (GetFileAttributesW(link.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
    GTEST_SKIP() << "this system makes no symbolic links (Wine, or no right to)";
  Handle dir(openPath(t.path()));
  EXPECT_EQ(INVALID_HANDLE_VALUE, openAt(dir.h, u"link"));
  EXPECT_EQ(ERROR_CANT_ACCESS_FILE, GetLastError());
  FILE_STATUS st;
  ASSERT_TRUE(GetFileStatusAtW(dir.h, u"link", &st));
  EXPECT_EQ(FILE_KIND_LINK, st.kind);
  Handle followed(openAt(dir.h, u"link", GENERIC_READ, OPEN_EXISTING, FILE_FLAG_FOLLOW_LINK));
  ASSERT_TRUE(followed.ok());
  EXPECT_EQ("target bytes", readAll(followed.h));
  EXPECT_EQ(INVALID_HANDLE_VALUE, openAt(dir.h, u"link", GENERIC_WRITE, CREATE_NEW));
  EXPECT_EQ(ERROR_FILE_EXISTS, GetLastError());
  EXPECT_TRUE(DeleteFileAtW(dir.h, u"link"));
  EXPECT_EQ("target bytes", t.read("target"));
}

TEST(FileAtWin32, SharingKeepsOthersFromWriting) {
  xmdtest::TempDir t;
  t.write("f", "x");
  Handle dir(openPath(t.path()));
  {
    Handle held(openAt(dir.h, u"f"));
    ASSERT_TRUE(held.ok());
    const DWORD all = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    EXPECT_FALSE(Handle(openPath(t / "f", GENERIC_WRITE, all)).ok());
    EXPECT_EQ(ERROR_SHARING_VIOLATION, GetLastError());
    EXPECT_TRUE(Handle(openPath(t / "f", GENERIC_READ, all)).ok());
    EXPECT_TRUE(Handle(openAt(dir.h, u"f")).ok());  // another reader here too
  }
  // Held for writing elsewhere, or shared with nobody: not opened here.
  for (const DWORD share : {DWORD(FILE_SHARE_READ | FILE_SHARE_WRITE), DWORD(0)}) {
    Handle other(openPath(t / "f", GENERIC_READ | GENERIC_WRITE, share));
    ASSERT_TRUE(other.ok());
    EXPECT_EQ(INVALID_HANDLE_VALUE, openAt(dir.h, u"f"));
    EXPECT_EQ(ERROR_SHARING_VIOLATION, GetLastError());
    FILE_STATUS st;
    EXPECT_TRUE(GetFileStatusAtW(dir.h, u"f", &st));  // looking needs no sharing
  }
}

TEST(FileAtWin32, RenameReplacesReadOnlyFilesButNotOpenOnes) {
  xmdtest::TempDir t;
  t.write("a", "A");
  t.write("b", "B");
  t.mkdirs("d");
  Handle dir(openPath(t.path()));
  ASSERT_TRUE(SetFileAttributesW(wide(t / "b").c_str(), FILE_ATTRIBUTE_READONLY));
  {
    Handle held(openAt(dir.h, u"b"));
    EXPECT_FALSE(MoveFileAtW(dir.h, u"a", u"b"));
    EXPECT_EQ(ERROR_SHARING_VIOLATION, GetLastError());
  }
  EXPECT_EQ("B", t.read("b"));
  EXPECT_TRUE(readOnly(t / "b"));  // as it was
  EXPECT_TRUE(MoveFileAtW(dir.h, u"a", u"b"));
  EXPECT_FALSE(t.exists("a"));
  EXPECT_EQ("A", t.read("b"));
  EXPECT_FALSE(readOnly(t / "b"));
  EXPECT_FALSE(MoveFileAtW(dir.h, u"missing", u"b"));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, GetLastError());
  EXPECT_FALSE(MoveFileAtW(dir.h, u"b", u"d"));  // not onto a directory
  EXPECT_EQ("A", t.read("b"));
  EXPECT_TRUE(DeleteFileAtW(dir.h, u"b"));
  EXPECT_FALSE(t.exists("b"));
  EXPECT_FALSE(DeleteFileAtW(dir.h, u"d"));
  EXPECT_TRUE(t.exists("d"));
  EXPECT_FALSE(DeleteFileAtW(dir.h, u"b"));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, GetLastError());
}

TEST(FileAtWin32, ReadsFromWhereThePointerWasMoved) {
  xmdtest::TempDir t;
  t.write("f", "0123456789");
  Handle dir(openPath(t.path()));
  Handle f(openAt(dir.h, u"f"));
  std::int64_t at = -1;
  EXPECT_TRUE(SetFilePointerEx(f.h, 4, &at, FILE_BEGIN));
  EXPECT_EQ(4, at);
  char buffer[4];
  DWORD n = 0;
  EXPECT_TRUE(ReadFile(f.h, buffer, 3, &n, nullptr));
  EXPECT_EQ("456", std::string(buffer, n));
  EXPECT_TRUE(SetFilePointerEx(f.h, -2, &at, FILE_END));
  EXPECT_EQ(8, at);
  EXPECT_TRUE(ReadFile(f.h, buffer, 4, &n, nullptr));
  EXPECT_EQ("89", std::string(buffer, n));
  EXPECT_TRUE(ReadFile(f.h, buffer, 4, &n, nullptr));
  EXPECT_EQ(0u, n);  // the end
  EXPECT_TRUE(SetFilePointerEx(f.h, -1, &at, FILE_CURRENT));
  EXPECT_EQ(9, at);
  EXPECT_FALSE(SetFilePointerEx(f.h, -20, &at, FILE_CURRENT));
  EXPECT_EQ(ERROR_NEGATIVE_SEEK, GetLastError());
  EXPECT_FALSE(SetFilePointerEx(f.h, 0, nullptr, 7));
  EXPECT_EQ(ERROR_INVALID_PARAMETER, GetLastError());
  DWORD written = 0;
  EXPECT_FALSE(WriteFile(f.h, "x", 1, &written, nullptr));  // opened for reading only
  EXPECT_EQ(0u, written);
  EXPECT_FALSE(ReadFile(f.h, buffer, 1, &n, buffer));  // no overlapped reads
  EXPECT_EQ(ERROR_INVALID_PARAMETER, GetLastError());
}

TEST(FileAtWin32, AnExclusiveLockIsForOneHandleAtATime) {
  xmdtest::TempDir t;
  t.write("f", "x");
  Handle dir(openPath(t.path()));
  Handle first(openAt(dir.h, u"f"));
  Handle second(openAt(dir.h, u"f"));
  const DWORD now = LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY;
  EXPECT_TRUE(LockFileEx(first.h, now, 0, ~DWORD(0), ~DWORD(0), nullptr));
  EXPECT_FALSE(LockFileEx(second.h, now, 0, ~DWORD(0), ~DWORD(0), nullptr));
  EXPECT_EQ(ERROR_LOCK_VIOLATION, GetLastError());
  EXPECT_EQ("x", readAll(first.h));
  CloseHandle(first.h);  // closing lets go
  first.h = INVALID_HANDLE_VALUE;
  EXPECT_TRUE(LockFileEx(second.h, now, 0, ~DWORD(0), ~DWORD(0), nullptr));
}

TEST(FileAtWin32, FinalPathsInTheFormOfTheLayersAbove) {
  xmdtest::TempDir t;
  t.mkdirs("real/sub");
  t.write("real/sub/f", "x");
  Handle dir(openPath(t / "real/sub"));
  char16_t buffer[4096];
  const DWORD n = GetFinalPathNameByHandleW(dir.h, buffer, 4096, 0);
  ASSERT_GT(n, 0u);
  const std::u16string path(buffer, n);
  EXPECT_EQ(std::u16string::npos, path.find(u'\\')) << std::string(path.begin(), path.end());
  ASSERT_GT(path.size(), 3u);
  EXPECT_EQ(u":/", path.substr(1, 2));  // a drive's letter in front
  Handle top(openPath(t.path()));
  char16_t topBuffer[4096];
  const DWORD m = GetFinalPathNameByHandleW(top.h, topBuffer, 4096, 0);
  ASSERT_GT(m, 0u);
  EXPECT_EQ(std::u16string(topBuffer, m) + u"/real/sub", path);
  EXPECT_EQ(n + 1, GetFinalPathNameByHandleW(dir.h, buffer, n, 0));  // one short
  EXPECT_EQ(n + 1, GetFinalPathNameByHandleW(dir.h, nullptr, 0, 0));
  EXPECT_EQ(0u, GetFinalPathNameByHandleW(dir.h, buffer, 4096, 1));  // no flags
}

// Directories made one level at a time through the system's long form, each
// name of 100 letters, removed again at the end of the scope (the temp dir's
// own removal does not reach past MAX_PATH).
struct DeepDirectories {
  DeepDirectories(const std::string& top, int depth) : path(u"\\\\?\\" + wide(top)) {
    for (char16_t& c : path)
      if (c == u'/') c = u'\\';
    for (int i = 0; i < depth; ++i) {
      path += u"\\" + std::u16string(100, static_cast<char16_t>(u'a' + i));
      if (!CreateDirectoryW(path.c_str(), nullptr)) break;
      levels.push_back(path);
    }
  }
  ~DeepDirectories() {
    for (auto it = levels.rbegin(); it != levels.rend(); ++it) RemoveDirectoryW(it->c_str());
  }
  std::u16string path;
  std::vector<std::u16string> levels;
};

TEST(FileAtWin32, EntriesDeeperThanMaxPath) {
  xmdtest::TempDir t;
  DeepDirectories deep(t.path(), 3);
  ASSERT_EQ(3u, deep.levels.size());
  ASSERT_GT(deep.path.size(), static_cast<std::size_t>(MAX_PATH));
  Handle dir(openPath(deep.path));
  ASSERT_TRUE(dir.ok());
  char16_t probe[1024];
  if (GetFinalPathNameByHandleW(dir.h, probe, 1024, 0) == 0 && GetLastError() == ERROR_MORE_DATA)
    GTEST_SKIP() << "this system gives no path past MAX_PATH for a handle (Wine)";
  {
    Handle created(openAt(dir.h, u"m.xmd", GENERIC_WRITE, CREATE_NEW));
    EXPECT_TRUE(created.ok());
  }
  FILE_STATUS st;
  EXPECT_TRUE(GetFileStatusAtW(dir.h, u"m.xmd", &st));
  EXPECT_TRUE(MoveFileAtW(dir.h, u"m.xmd", u"n.xmd"));
  EXPECT_TRUE(DeleteFileAtW(dir.h, u"n.xmd"));
}

TEST(FileAtWin32, OwnerAndPermissionsThroughTheHandle) {
  xmdtest::TempDir t;
  t.write("f", "x");
  Handle dir(openPath(t.path()));
  Handle f(openAt(dir.h, u"f", GENERIC_WRITE));
  EXPECT_TRUE(SetFilePermissions(f.h, 0444));
  EXPECT_TRUE(readOnly(t / "f"));
  FILE_STATUS st;
  ASSERT_TRUE(GetFileStatus(f.h, &st));
  EXPECT_EQ(0444u, st.permissions);
  EXPECT_TRUE(SetFilePermissions(f.h, 0640));  // the owner may write: not read-only
  EXPECT_FALSE(readOnly(t / "f"));
  EXPECT_TRUE(SetFileOwner(f.h, 0, 0));  // the owner every file has here
  EXPECT_FALSE(SetFileOwner(f.h, 1000, 1000));
  EXPECT_EQ(ERROR_NOT_SUPPORTED, GetLastError());
  EXPECT_FALSE(SetFilePermissions(INVALID_HANDLE_VALUE, 0644));
  EXPECT_EQ(ERROR_INVALID_HANDLE, GetLastError());
}

}  // namespace
}  // namespace platform
