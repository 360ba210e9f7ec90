// The process calls on Windows: the current directory in the ANSI code page
// with the system's backslashes, the user that owns every file here (0), and
// the runtime's mask, which keeps only the owner's bits it knows.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "platform/FileAt.h"
#include "platform/Process.h"
#include "platform/Win32.h"
#include "testing/TempDir.h"

namespace platform {
namespace {

// Runs in the directory dir and comes back, even when an expectation fails.
struct InDirectory {
  explicit InDirectory(const std::string& dir) {
    EXPECT_NE(0u, ::GetCurrentDirectoryA(sizeof m_old, m_old));
    EXPECT_TRUE(::SetCurrentDirectoryA(dir.c_str()));
  }
  ~InDirectory() { EXPECT_TRUE(::SetCurrentDirectoryA(m_old)); }
  char m_old[4096];
};

std::string withBackslashes(std::string path) {
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

TEST(CurrentDirectoryWin32, FitsOrSaysWhatItNeeds) {
  xmdtest::TempDir t;
  t.mkdirs("caf\xe9 dir");  // an e with an acute accent, in code page 1252
  InDirectory in(t / "caf\xe9 dir");
  char probe[4096];
  ASSERT_NE(0u, ::GetCurrentDirectoryA(sizeof probe, probe));
  const std::string dir = probe;
  EXPECT_EQ(withBackslashes(t / "caf\xe9 dir").substr(2), dir.substr(2));  // past the drive
  const DWORD needed = static_cast<DWORD>(dir.size() + 1);
  EXPECT_EQ(needed, GetCurrentDirectoryA(0, nullptr));
  EXPECT_EQ(needed, GetCurrentDirectoryA(100, nullptr));  // no buffer: nothing written
  std::string small(dir.size(), '#');                     // one byte short of the terminator
  EXPECT_EQ(needed, GetCurrentDirectoryA(static_cast<DWORD>(small.size()), &small[0]));
  std::string buffer(needed, '#');
  EXPECT_EQ(needed - 1, GetCurrentDirectoryA(needed, &buffer[0]));
  EXPECT_EQ(dir + '\0', buffer);
}

TEST(CurrentUserWin32, OwnsWhatTheProcessCreates) {
  xmdtest::TempDir t;
  t.write("f", "x");
  const std::u16string path(t.path().begin(), t.path().end());  // ASCII
  const HANDLE dir = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, dir);
  FILE_STATUS st;
  EXPECT_TRUE(GetFileStatusAtW(dir, u"f", &st));
  EXPECT_EQ(GetCurrentUserId(), st.owner);
  EXPECT_EQ(0u, GetCurrentUserId());
  CloseHandle(dir);
}

TEST(UmaskWin32, ReturnsThePreviousMaskOfTheOwnersBits) {
  const int old = _umask(_S_IWRITE);
  EXPECT_EQ(_S_IWRITE, _umask(077));  // nothing the runtime knows of
  EXPECT_EQ(0, _umask(old));
}

}  // namespace
}  // namespace platform
