// The stop requests of Signals.h on the system's console control handler
// (SetConsoleCtrlHandler), which the system calls on a thread of its own.
// Ctrl-C is recorded as SIGINT (2); Ctrl-Break, closing the console, logging
// off and shutting down as SIGTERM (15), the request to end that a service
// manager or kill sends elsewhere. A second request, of any kind, is passed
// on to the system's default handling, which ends the process at once.
//
// The system ends the process as soon as the handler returns from closing
// the console, logging off or shutting down: for those the handler waits
// instead, so that the run reaches its next safe point and ends itself (its
// end takes this thread with it). Should it take longer than the system
// allows, the process ends mid-file: the source is as it was, and its
// result is a leftover the next run removes.
#include <atomic>

#include "platform/Signals.h"
#include "platform/Win32.h"

namespace platform {

namespace {

// The numbers Signals.h reports, as the runtime library numbers them too.
constexpr int kInterrupt = 2;   // SIGINT
constexpr int kTerminate = 15;  // SIGTERM

// Written by the handler's thread, read by the run.
std::atomic<int> g_caught{0};
static_assert(std::atomic<int>::is_always_lock_free, "the handler may only touch lock-free state");

}  // namespace

namespace win32 {

int stopSignalOf(::DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
      return kInterrupt;
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      return kTerminate;
    default:
      return 0;
  }
}

::BOOL WINAPI onConsoleControl(::DWORD event) {
  const int signal = stopSignalOf(event);
  if (signal == 0) return FALSE;  // not a stop request: the next handler's
  int none = 0;
  if (!g_caught.compare_exchange_strong(none, signal)) return FALSE;  // the second: ends it
  if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) return TRUE;
  ::Sleep(INFINITE);  // the run ends the process
  return TRUE;
}

}  // namespace win32

bool catchStopSignals() { return ::SetConsoleCtrlHandler(win32::onConsoleControl, TRUE) != 0; }

int caughtStopSignal() { return g_caught.load(); }

}  // namespace platform
