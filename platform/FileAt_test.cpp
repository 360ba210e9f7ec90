#include "platform/FileAt.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/CodePage.h"
#include "testing/AnsiText.h"
#include "testing/TempDir.h"

namespace platform {
namespace {

using xmdtest::wide;

// An open handle, closed at the end of the scope.
struct Handle {
  explicit Handle(HANDLE h) : h(h) {}
  ~Handle() {
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  bool ok() const { return h != INVALID_HANDLE_VALUE; }
  HANDLE h;
};

HANDLE openDirectory(const std::string& path) {
  return CreateFileW(wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                     OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

HANDLE openAt(HANDLE dir, const std::string& name, DWORD access = GENERIC_READ,
              DWORD disposition = OPEN_EXISTING, DWORD flags = 0) {
  return CreateFileAtW(dir, wide(name).c_str(), access, disposition, flags);
}

mode_t modeOf(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

TEST(FileAt, LinksAreFollowedOnlyWhenAsked) {
  xmdtest::TempDir t;
  t.write("target", "target bytes");
  ASSERT_EQ(0, symlink("target", (t / "link").c_str()));
  ASSERT_EQ(0, symlink("nowhere", (t / "dangling").c_str()));
  Handle dir(openDirectory(t.path()));
  ASSERT_TRUE(dir.ok());
  EXPECT_EQ(INVALID_HANDLE_VALUE, openAt(dir.h, "link"));
  EXPECT_EQ(ERROR_CANT_ACCESS_FILE, GetLastError());
  Handle followed(openAt(dir.h, "link", GENERIC_READ, OPEN_EXISTING, FILE_FLAG_FOLLOW_LINK));
  ASSERT_TRUE(followed.ok());
  char buffer[64];
  DWORD n = 0;
  EXPECT_TRUE(ReadFile(followed.h, buffer, sizeof buffer, &n, nullptr));
  EXPECT_EQ("target bytes", std::string(buffer, n));
  // Creating never goes through a link, dangling or not.
  for (const char* name : {"link", "dangling"}) {
    EXPECT_EQ(INVALID_HANDLE_VALUE, openAt(dir.h, name, GENERIC_WRITE, CREATE_NEW)) << name;
    EXPECT_EQ(ERROR_FILE_EXISTS, GetLastError()) << name;
  }
  EXPECT_FALSE(t.exists("nowhere"));
  EXPECT_EQ("target bytes", t.read("target"));
}

TEST(FileAt, NewFilesAreTheOwnersAlone) {
  xmdtest::TempDir t;
  Handle dir(openDirectory(t.path()));
  const mode_t old = umask(0);
  Handle created(openAt(dir.h, "new", GENERIC_WRITE, CREATE_NEW));
  umask(old);
  ASSERT_TRUE(created.ok());
  EXPECT_EQ(0600u, modeOf(t / "new"));
  DWORD written = 0;
  EXPECT_TRUE(WriteFile(created.h, "abc", 3, &written, nullptr));
  EXPECT_EQ(3u, written);
  EXPECT_EQ("abc", t.read("new"));
  EXPECT_EQ(INVALID_HANDLE_VALUE, openAt(dir.h, "new", GENERIC_WRITE, CREATE_NEW));
  EXPECT_EQ(ERROR_FILE_EXISTS, GetLastError());
  EXPECT_EQ("abc", t.read("new"));  // not truncated
}

TEST(FileAt, NamesAreOneComponentWhateverBytesTheyHold) {
  xmdtest::TempDir t;
  t.mkdirs("in");
  Handle dir(openDirectory(t / "in"));
  for (const char* name : {"..\\outside\\v.xmd", "\\tmp\\v.xmd", "a:", "c:\\x", "new\nline"}) {
    Handle created(openAt(dir.h, name, GENERIC_WRITE, CREATE_NEW));
    EXPECT_TRUE(created.ok()) << name;
    EXPECT_TRUE(t.exists(std::string("in/") + name)) << name;
  }
  const struct {
    const char* name;
    DWORD error;
  } refused[] = {{"a/b", ERROR_INVALID_NAME},
                 {".", ERROR_INVALID_NAME},
                 {"..", ERROR_INVALID_NAME},
                 {"", ERROR_PATH_NOT_FOUND}};
  for (const auto& r : refused) {
    EXPECT_EQ(INVALID_HANDLE_VALUE, openAt(dir.h, r.name, GENERIC_WRITE, CREATE_NEW)) << r.name;
    EXPECT_EQ(r.error, GetLastError()) << r.name;
    FILE_STATUS st;
    EXPECT_FALSE(GetFileStatusAtW(dir.h, wide(r.name).c_str(), &st)) << r.name;
    EXPECT_FALSE(DeleteFileAtW(dir.h, wide(r.name).c_str())) << r.name;
    EXPECT_FALSE(MoveFileAtW(dir.h, wide(r.name).c_str(), u"x")) << r.name;
    EXPECT_FALSE(MoveFileAtW(dir.h, u"a:", wide(r.name).c_str())) << r.name;
  }
  EXPECT_TRUE(t.exists("in/a:"));
}

TEST(FileAt, NoOpenWaitsAndTheKindIsTold) {
  xmdtest::TempDir t;
  t.write("file", "x");
  t.mkdirs("sub");
  ASSERT_EQ(0, mkfifo((t / "fifo").c_str(), 0600));
  Handle dir(openDirectory(t.path()));
  Handle fifo(openAt(dir.h, "fifo"));  // no writer: would wait without care
  ASSERT_TRUE(fifo.ok());
  EXPECT_EQ(FILE_TYPE_PIPE, GetFileType(fifo.h));
  Handle file(openAt(dir.h, "file"));
  EXPECT_EQ(FILE_TYPE_DISK, GetFileType(file.h));
  EXPECT_EQ(INVALID_HANDLE_VALUE, openAt(dir.h, "sub"));  // a directory needs backup semantics
  EXPECT_EQ(ERROR_ACCESS_DENIED, GetLastError());
  Handle sub(openAt(dir.h, "sub", GENERIC_READ, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS));
  EXPECT_EQ(FILE_TYPE_DISK, GetFileType(sub.h));
  Handle dev(openDirectory("/dev"));
  Handle null(openAt(dev.h, "null"));
  ASSERT_TRUE(null.ok());
  EXPECT_EQ(FILE_TYPE_CHAR, GetFileType(null.h));
  EXPECT_EQ(FILE_TYPE_UNKNOWN, GetFileType(INVALID_HANDLE_VALUE));
  EXPECT_EQ(ERROR_INVALID_HANDLE, GetLastError());
}

TEST(FileAt, StatusOfOpenFilesAndOfEntries) {
  xmdtest::TempDir t;
  t.write("f", std::string(1000, 'x'));
  ASSERT_EQ(0, chmod((t / "f").c_str(), 04751));
  ASSERT_EQ(0, link((t / "f").c_str(), (t / "g").c_str()));
  ASSERT_EQ(0, symlink("f", (t / "l").c_str()));
  Handle dir(openDirectory(t.path()));
  Handle f(openAt(dir.h, "f"));
  FILE_STATUS open{}, entry{}, other{}, link{};
  ASSERT_TRUE(GetFileStatus(f.h, &open));
  ASSERT_TRUE(GetFileStatusAtW(dir.h, u"g", &entry));
  ASSERT_TRUE(GetFileStatusAtW(dir.h, u"l", &link));
  struct stat st;
  ASSERT_EQ(0, stat((t / "f").c_str(), &st));
  EXPECT_EQ(FILE_KIND_REGULAR, open.kind);
  EXPECT_EQ(static_cast<std::uint64_t>(st.st_dev), open.device);
  EXPECT_EQ(static_cast<std::uint64_t>(st.st_ino), open.inode);
  EXPECT_EQ(1000u, open.size);
  EXPECT_EQ(st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec, open.lastWriteNs);
  EXPECT_EQ(st.st_ctim.tv_sec * 1000000000LL + st.st_ctim.tv_nsec, open.changeNs);
  EXPECT_EQ(04751u, open.permissions);
  EXPECT_EQ(st.st_uid, open.owner);
  EXPECT_EQ(st.st_gid, open.group);
  EXPECT_EQ(2u, open.links);
  EXPECT_EQ(open.inode, entry.inode);  // the same file under its other name
  EXPECT_EQ(FILE_KIND_LINK, link.kind);
  EXPECT_NE(open.inode, link.inode);
  EXPECT_FALSE(GetFileStatusAtW(dir.h, u"missing", &other));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, GetLastError());
  Handle sub(openDirectory(t.path()));
  ASSERT_TRUE(GetFileStatus(sub.h, &other));
  EXPECT_EQ(FILE_KIND_DIRECTORY, other.kind);
}

TEST(FileAt, RenameReplacesAndDeleteTakesTheLinkNotItsTarget) {
  xmdtest::TempDir t;
  t.write("a", "A");
  t.write("b", "B");
  t.mkdirs("d");
  ASSERT_EQ(0, symlink("a", (t / "l").c_str()));
  Handle dir(openDirectory(t.path()));
  EXPECT_TRUE(MoveFileAtW(dir.h, u"a", u"b"));
  EXPECT_FALSE(t.exists("a"));
  EXPECT_EQ("A", t.read("b"));
  EXPECT_FALSE(MoveFileAtW(dir.h, u"missing", u"b"));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, GetLastError());
  EXPECT_FALSE(MoveFileAtW(dir.h, u"b", u"d"));  // not onto a directory
  EXPECT_EQ("A", t.read("b"));
  EXPECT_TRUE(MoveFileAtW(dir.h, u"b", u"a"));
  EXPECT_TRUE(DeleteFileAtW(dir.h, u"l"));
  EXPECT_FALSE(t.exists("l"));
  EXPECT_EQ("A", t.read("a"));
  EXPECT_FALSE(DeleteFileAtW(dir.h, u"d"));
  EXPECT_TRUE(t.exists("d"));
  EXPECT_FALSE(DeleteFileAtW(dir.h, u"l"));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, GetLastError());
}

TEST(FileAt, ReadsFromWhereThePointerWasMoved) {
  xmdtest::TempDir t;
  t.write("f", "0123456789");
  Handle dir(openDirectory(t.path()));
  Handle f(openAt(dir.h, "f"));
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
  EXPECT_EQ(9, at);
  EXPECT_FALSE(SetFilePointerEx(f.h, 0, nullptr, 7));
  EXPECT_EQ(ERROR_INVALID_PARAMETER, GetLastError());
  DWORD written = 0;
  EXPECT_FALSE(WriteFile(f.h, "x", 1, &written, nullptr));  // opened for reading only
  EXPECT_EQ(0u, written);
}

TEST(FileAt, AnExclusiveLockIsForOneHandleAtATime) {
  xmdtest::TempDir t;
  t.write("f", "x");
  Handle dir(openDirectory(t.path()));
  Handle first(openAt(dir.h, "f"));
  Handle second(openAt(dir.h, "f"));
  const DWORD now = LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY;
  EXPECT_TRUE(LockFileEx(first.h, now, 0, ~DWORD(0), ~DWORD(0), nullptr));
  EXPECT_FALSE(LockFileEx(second.h, now, 0, ~DWORD(0), ~DWORD(0), nullptr));
  EXPECT_EQ(ERROR_LOCK_VIOLATION, GetLastError());
  CloseHandle(first.h);  // closing lets go
  first.h = INVALID_HANDLE_VALUE;
  EXPECT_TRUE(LockFileEx(second.h, now, 0, ~DWORD(0), ~DWORD(0), nullptr));
}

TEST(FileAt, FinalPathsHaveNoLinks) {
  xmdtest::TempDir t;
  t.mkdirs("real/sub");
  t.write("real/sub/f", "x");
  ASSERT_EQ(0, symlink("real", (t / "via").c_str()));
  Handle dir(openDirectory(t / "via/sub"));
  char16_t buffer[4096];
  const DWORD n = GetFinalPathNameByHandleW(dir.h, buffer, 4096, 0);
  ASSERT_GT(n, 0u);
  // The temp dir itself may lie under a link: compare with its own final path.
  Handle top(openDirectory(t.path()));
  char16_t topBuffer[4096];
  const DWORD m = GetFinalPathNameByHandleW(top.h, topBuffer, 4096, 0);
  ASSERT_GT(m, 0u);
  EXPECT_EQ(std::u16string(topBuffer, m) + u"/real/sub", std::u16string(buffer, n));
  EXPECT_EQ(n + 1, GetFinalPathNameByHandleW(dir.h, buffer, n, 0));  // one short
  EXPECT_EQ(n + 1, GetFinalPathNameByHandleW(dir.h, nullptr, 0, 0));
  Handle file(openAt(dir.h, "f"));
  ASSERT_EQ(0, unlink((t / "real/sub/f").c_str()));
  EXPECT_EQ(0u, GetFinalPathNameByHandleW(file.h, buffer, 4096, 0));  // gone: no path
}

TEST(FileAt, OwnerAndPermissionsThroughTheHandle) {
  xmdtest::TempDir t;
  t.write("f", "x");
  Handle dir(openDirectory(t.path()));
  Handle f(openAt(dir.h, "f", GENERIC_WRITE));
  EXPECT_TRUE(SetFilePermissions(f.h, 02640));
  EXPECT_EQ(02640u, modeOf(t / "f"));
  // The bits are all the access rules there are: copying them changes nothing.
  t.write("g", "y");
  ASSERT_EQ(0, chmod((t / "g").c_str(), 0604));
  Handle g(openAt(dir.h, "g"));
  EXPECT_TRUE(CopyFileAccess(g.h, f.h));
  EXPECT_EQ(02640u, modeOf(t / "f"));
  EXPECT_FALSE(CopyFileAccess(g.h, INVALID_HANDLE_VALUE));
  EXPECT_EQ(ERROR_INVALID_HANDLE, GetLastError());
  if (geteuid() != 0) GTEST_SKIP() << "giving a file away needs root";
  EXPECT_TRUE(SetFileOwner(f.h, 65534, 65534));
  FILE_STATUS st;
  ASSERT_TRUE(GetFileStatus(f.h, &st));
  EXPECT_EQ(65534u, st.owner);
  EXPECT_EQ(65534u, st.group);
}

}  // namespace
}  // namespace platform
