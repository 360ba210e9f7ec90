#include "platform/Signals.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace platform {
namespace {

// In a child process (the handlers are process-wide): the first stop signal
// is recorded and the process goes on; the second ends it.
TEST(StopSignals, TheFirstIsRecordedTheSecondEndsTheProcess) {
  for (const int first : {SIGINT, SIGTERM}) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      if (caughtStopSignal() != 0 || !catchStopSignals()) _exit(10);
      raise(first);
      if (caughtStopSignal() != first) _exit(11);
      raise(first);  // not caught again: ends here
      _exit(12);
    }
    int status = 0;
    ASSERT_EQ(pid, waitpid(pid, &status, 0));
    ASSERT_TRUE(WIFSIGNALED(status)) << "exit " << WEXITSTATUS(status);
    EXPECT_EQ(first, WTERMSIG(status));
  }
}

TEST(StopSignals, EitherKindEndsItAfterTheFirst) {
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    catchStopSignals();
    raise(SIGINT);
    raise(SIGTERM);
    _exit(caughtStopSignal() == SIGINT ? 13 : 14);
  }
  int status = 0;
  ASSERT_EQ(pid, waitpid(pid, &status, 0));
  ASSERT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(SIGTERM, WTERMSIG(status));
}

}  // namespace
}  // namespace platform
