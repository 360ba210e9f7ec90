// xmdtest::runProgram: runs a program to its end, for end-to-end tests of the
// built executables. Standard output and standard error are captured through
// files in a scoped temp dir (no pipe can fill up). runProgramWithin adds a
// guard against a program that hangs; asUser runs one as another user.
// Header-only.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <time.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <cstdlib>
#include <string>
#include <vector>

#include "testing/TempDir.h"

namespace xmdtest {

struct ProgramRun {
  int status = -1;  // the exit status, or -(signal) when a signal ended it
  std::string out;
  std::string err;
  bool hung = false;  // runProgramWithin: killed at its limit
};

// Starts argv[0] with argv in directory cwd (empty: the current one), its
// output going to the files out and err. Returns the child's pid, or -1.
inline pid_t startProgram(const std::vector<std::string>& argv, const std::string& cwd,
                          const std::string& out, const std::string& err) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  const pid_t pid = fork();
  if (pid != 0) return pid;
  if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(126);
  const int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  const int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (o < 0 || e < 0 || dup2(o, 1) < 0 || dup2(e, 2) < 0) _exit(126);
  execv(args[0], args.data());
  _exit(127);
}

// Waits for pid; its exit status, or -(signal). When usage is given it
// receives the child's resource use (ru_maxrss: its peak resident set in KB,
// which on Linux counts from the fork, so the caller's own resident set at
// the fork is a floor under it).
inline int waitProgram(pid_t pid, struct rusage* usage = nullptr) {
  int status = 0;
  while (wait4(pid, &status, 0, usage) < 0) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

// The environment entry that strace's -E gives a traced program: a
// sanitizer build's leak check stops the program with ptrace at its exit,
// which a traced program cannot do, so traced runs go without it (the same
// runs untraced keep it). Other sanitizer options are kept.
inline std::string tracedSanitizerOptions() {
  const char* options = std::getenv("ASAN_OPTIONS");
  std::string value = options != nullptr ? options : "";
  if (!value.empty()) value += ":";
  return "ASAN_OPTIONS=" + value + "detect_leaks=0";
}

// The command line that runs a program under strace, following its children
// (-f), with nothing of strace's own on stderr (-qq) and its record in log;
// rest holds the further options, the program and its arguments.
inline std::vector<std::string> straceCommand(const std::string& log,
                                              const std::vector<std::string>& rest) {
  std::vector<std::string> argv{
      "/usr/bin/strace", "-E", tracedSanitizerOptions(), "-f", "-qq", "-o", log};
  argv.insert(argv.end(), rest.begin(), rest.end());
  return argv;
}

inline ProgramRun runProgram(const std::vector<std::string>& argv, const std::string& cwd = "") {
  TempDir io;
  ProgramRun run;
  const pid_t pid = startProgram(argv, cwd, io / "out", io / "err");
  if (pid < 0) return run;
  run.status = waitProgram(pid);
  run.out = io.read("out");
  run.err = io.read("err");
  return run;
}

// Whether strace is installed and may trace here (a container may forbid
// ptrace).
inline bool straceUsable() {
  return access("/usr/bin/strace", X_OK) == 0 &&
         runProgram(straceCommand("/dev/null", {"/bin/true"})).status == 0;
}

// runProgram, but a program still running after limitSeconds is killed and
// reported as hung. The limit guards against a hang: make it far larger
// than any run takes, so that a busy machine cannot reach it.
inline ProgramRun runProgramWithin(const std::vector<std::string>& argv, int limitSeconds,
                                   const std::string& cwd = "") {
  TempDir io;
  ProgramRun run;
  const pid_t pid = startProgram(argv, cwd, io / "out", io / "err");
  if (pid < 0) return run;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(limitSeconds);
  int status = 0;
  for (;;) {
    const pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) break;
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      run.hung = true;
      break;
    }
    const struct timespec pause = {0, 5 * 1000 * 1000};
    nanosleep(&pause, nullptr);
  }
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
  run.out = io.read("out");
  run.err = io.read("err");
  return run;
}

// argv run as the user uid and group gid, with no other groups (through
// setpriv, which needs root).
inline std::vector<std::string> asUser(unsigned uid, unsigned gid, std::vector<std::string> argv) {
  const std::vector<std::string> prefix = {"/usr/bin/setpriv", "--reuid=" + std::to_string(uid),
                                           "--regid=" + std::to_string(gid), "--clear-groups",
                                           "--"};
  argv.insert(argv.begin(), prefix.begin(), prefix.end());
  return argv;
}

// Whether programs can be run as another user here: as root, with setpriv.
inline bool canRunAsOtherUsers() {
  return geteuid() == 0 && access("/usr/bin/setpriv", X_OK) == 0 &&
         runProgram(asUser(65534, 65534, {"/bin/true"})).status == 0;
}

// Waits until the first child of parent (a tracer such as strace running a
// program) is stopped while ready() holds, and gives its pid in *child.
// ready tells the stop that is waited for from the tracer's other stops (at
// the start, at traced calls). false when that has not happened within a
// limit far above what it takes, or parent ended first.
inline bool waitForStoppedChild(pid_t parent, pid_t* child, const std::function<bool()>& ready) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  const std::string children =
      "/proc/" + std::to_string(parent) + "/task/" + std::to_string(parent) + "/children";
  while (std::chrono::steady_clock::now() < deadline) {
    siginfo_t info = {};
    // Ended? Asked without reaping it: its status stays for waitProgram.
    if (waitid(P_PID, static_cast<id_t>(parent), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
        info.si_pid == parent)
      return false;
    std::ifstream list(children);
    pid_t pid = 0;
    if (list >> pid && pid > 0) {
      std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
      std::string line;
      std::getline(stat, line);
      // The state follows the command's closing parenthesis.
      const std::size_t paren = line.rfind(')');
      if (paren != std::string::npos && paren + 2 < line.size() &&
          (line[paren + 2] == 't' || line[paren + 2] == 'T') && ready()) {
        *child = pid;
        return true;
      }
    }
    const struct timespec pause = {0, 2 * 1000 * 1000};
    nanosleep(&pause, nullptr);
  }
  return false;
}

// Lets the stopped child of parent (see waitForStoppedChild) go on to its
// end and returns parent's exit status, as waitProgram does. SIGCONT is sent
// whenever the child is found stopped: a stop that the tracer is still
// delivering when one SIGCONT comes takes hold after it. -1 when parent is
// still running after a limit far above what it takes.
inline int finishStopped(pid_t parent, pid_t child) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  const std::string statPath = "/proc/" + std::to_string(child) + "/stat";
  while (std::chrono::steady_clock::now() < deadline) {
    siginfo_t info = {};
    if (waitid(P_PID, static_cast<id_t>(parent), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
        info.si_pid == parent)
      return waitProgram(parent);
    std::ifstream stat(statPath);
    std::string line;
    const std::size_t paren = std::getline(stat, line) ? line.rfind(')') : std::string::npos;
    if (paren != std::string::npos && paren + 2 < line.size() &&
        (line[paren + 2] == 't' || line[paren + 2] == 'T'))
      kill(child, SIGCONT);
    const struct timespec pause = {0, 2 * 1000 * 1000};
    nanosleep(&pause, nullptr);
  }
  return -1;
}

}  // namespace xmdtest
