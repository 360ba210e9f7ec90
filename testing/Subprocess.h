// xmdtest::runProgram: runs a program to its end, for end-to-end tests of the
// built executables. Standard output and standard error are captured through
// files in a scoped temp dir (no pipe can fill up). Header-only.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "testing/TempDir.h"

namespace xmdtest {

struct ProgramRun {
  int status = -1;  // the exit status, or -(signal) when a signal ended it
  std::string out;
  std::string err;
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

}  // namespace xmdtest
