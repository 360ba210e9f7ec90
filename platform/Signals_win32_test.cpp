// The stop requests on Windows: the console control handler as the system
// calls it. (A console event cannot be sent under Wine without a console, so
// the handler is called directly; the record is the process's, so the first
// request is made once, in one test.)
#include <gtest/gtest.h>

#include "platform/Signals.h"
#include "platform/Win32.h"

namespace platform {
namespace {

TEST(StopRequestsWin32, EachConsoleEventIsAStopSignal) {
  const struct {
    ::DWORD event;
    int signal;
  } cases[] = {{CTRL_C_EVENT, 2},       {CTRL_BREAK_EVENT, 15},    {CTRL_CLOSE_EVENT, 15},
               {CTRL_LOGOFF_EVENT, 15}, {CTRL_SHUTDOWN_EVENT, 15}, {7, 0}};
  for (const auto& c : cases) EXPECT_EQ(c.signal, win32::stopSignalOf(c.event)) << c.event;
}

TEST(StopRequestsWin32, TheFirstIsRecordedTheSecondIsPassedOn) {
  EXPECT_EQ(0, caughtStopSignal());
  ASSERT_TRUE(catchStopSignals());
  EXPECT_FALSE(win32::onConsoleControl(7));  // not a stop request: not taken
  EXPECT_EQ(0, caughtStopSignal());
  EXPECT_TRUE(win32::onConsoleControl(CTRL_C_EVENT));  // taken: the process goes on
  EXPECT_EQ(2, caughtStopSignal());
  // Any second one goes on to the system's handling, which ends the process
  // (and closing the console does not wait for the run a second time).
  EXPECT_FALSE(win32::onConsoleControl(CTRL_C_EVENT));
  EXPECT_FALSE(win32::onConsoleControl(CTRL_BREAK_EVENT));
  EXPECT_FALSE(win32::onConsoleControl(CTRL_CLOSE_EVENT));
  EXPECT_EQ(2, caughtStopSignal());
  EXPECT_TRUE(::SetConsoleCtrlHandler(win32::onConsoleControl, FALSE));  // installed, removable
}

}  // namespace
}  // namespace platform
