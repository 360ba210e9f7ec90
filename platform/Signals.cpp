#include "platform/Signals.h"

#include <signal.h>

#include <atomic>

namespace platform {

namespace {

// Written by the handler, read by the run; lock-free, so safe in a handler.
std::atomic<int> g_caught{0};
static_assert(std::atomic<int>::is_always_lock_free, "the handler may only touch lock-free state");

void onStopSignal(int signal) {
  int none = 0;
  g_caught.compare_exchange_strong(none, signal);
  // The default actions come back (sigaction may be called in a handler):
  // a second stop signal, of either kind, ends the process.
  struct sigaction fallback = {};
  fallback.sa_handler = SIG_DFL;
  sigemptyset(&fallback.sa_mask);
  sigaction(SIGINT, &fallback, nullptr);
  sigaction(SIGTERM, &fallback, nullptr);
}

}  // namespace

bool catchStopSignals() {
  struct sigaction action = {};
  action.sa_handler = onStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  return sigaction(SIGINT, &action, nullptr) == 0 && sigaction(SIGTERM, &action, nullptr) == 0;
}

int caughtStopSignal() { return g_caught.load(); }

}  // namespace platform
