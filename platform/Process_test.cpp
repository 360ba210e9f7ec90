#include "platform/Process.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "testing/TempDir.h"

namespace platform {
namespace {

// Runs in the directory dir and comes back, even when an expectation fails.
struct InDirectory {
  explicit InDirectory(const std::string& dir) {
    EXPECT_NE(nullptr, getcwd(m_old, sizeof m_old));
    EXPECT_EQ(0, chdir(dir.c_str()));
  }
  ~InDirectory() { EXPECT_EQ(0, chdir(m_old)); }
  char m_old[4096];
};

TEST(CurrentDirectory, FitsOrSaysWhatItNeeds) {
  xmdtest::TempDir t;
  t.mkdirs("raw\xff dir");
  const std::string dir = t / "raw\xff dir";
  InDirectory in(dir);
  const DWORD needed = static_cast<DWORD>(dir.size() + 1);
  EXPECT_EQ(needed, GetCurrentDirectoryA(0, nullptr));
  std::string small(dir.size(), '#');  // one byte short of the terminator
  EXPECT_EQ(needed, GetCurrentDirectoryA(static_cast<DWORD>(small.size()), &small[0]));
  EXPECT_EQ(std::string(dir.size(), '#'), small);  // nothing written
  std::string buffer(needed, '#');
  EXPECT_EQ(needed - 1, GetCurrentDirectoryA(needed, &buffer[0]));
  EXPECT_EQ(dir + '\0', buffer);
}

TEST(CurrentDirectory, LongerThanAPage) {
  xmdtest::TempDir t;
  InDirectory in(t.path());
  // Longer than the platform's longest path: made one level at a time.
  std::string dir = t.path();
  for (int i = 0; i < 24; ++i) {
    const std::string level(200, static_cast<char>('a' + i));
    ASSERT_EQ(0, mkdir(level.c_str(), 0700));
    ASSERT_EQ(0, chdir(level.c_str()));
    dir += "/" + level;
  }
  ASSERT_GT(dir.size(), 4096u);
  std::string buffer(dir.size() + 1, '\0');
  EXPECT_EQ(dir.size(), GetCurrentDirectoryA(static_cast<DWORD>(buffer.size()), &buffer[0]));
  EXPECT_EQ(dir, buffer.c_str());
}

TEST(CurrentDirectory, GoneIsAFailure) {
  xmdtest::TempDir t;
  t.mkdirs("gone");
  InDirectory in(t / "gone");
  ASSERT_EQ(0, rmdir((t / "gone").c_str()));
  char buffer[64];
  EXPECT_EQ(0u, GetCurrentDirectoryA(sizeof buffer, buffer));
  EXPECT_NE(ERROR_SUCCESS, GetLastError());
}

TEST(CurrentUser, OwnsWhatTheProcessCreates) {
  xmdtest::TempDir t;
  t.write("f", "x");
  struct stat st;
  ASSERT_EQ(0, stat((t / "f").c_str(), &st));
  EXPECT_EQ(st.st_uid, GetCurrentUserId());
}

TEST(Umask, NewFilesLackTheMaskedBits) {
  xmdtest::TempDir t;
  const int old = _umask(027);
  EXPECT_EQ(027, _umask(077));
  ASSERT_EQ(0, mkdir((t / "d").c_str(), 0777));
  struct stat st;
  ASSERT_EQ(0, stat((t / "d").c_str(), &st));
  EXPECT_EQ(0700u, st.st_mode & 07777);
  EXPECT_EQ(077, _umask(old));
}

}  // namespace
}  // namespace platform
