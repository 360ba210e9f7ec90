// StandardErrorIsConsole on Windows: a file or no handle at all is not a
// console. (Under Wine the suite runs without a console to compare with.)
#include <gtest/gtest.h>

#include "platform/Console.h"
#include "platform/Win32.h"
#include "testing/TempDir.h"

namespace platform {
namespace {

// Sets the standard error handle for the scope.
struct StandardError {
  explicit StandardError(::HANDLE h) : m_old(::GetStdHandle(STD_ERROR_HANDLE)) {
    ::SetStdHandle(STD_ERROR_HANDLE, h);
  }
  ~StandardError() { ::SetStdHandle(STD_ERROR_HANDLE, m_old); }
  ::HANDLE m_old;
};

TEST(ConsoleWin32, AFileOrNoHandleIsNoConsole) {
  xmdtest::TempDir t;
  const std::wstring path(t.path().begin(), t.path().end());
  const ::HANDLE file = ::CreateFileW((path + L"/err.txt").c_str(), GENERIC_WRITE, 0, nullptr,
                                      CREATE_NEW, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  {
    StandardError redirected(file);
    EXPECT_FALSE(StandardErrorIsConsole());
  }
  {
    StandardError closed(nullptr);
    EXPECT_FALSE(StandardErrorIsConsole());
  }
  ::CloseHandle(file);
}

}  // namespace
}  // namespace platform
