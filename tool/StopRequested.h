// StopRequested: the exception that ends a run early because a stop signal
// (SIGINT, SIGTERM) was caught. It is thrown at the run's safe points: between
// files, at every read of a file in hand and before a result takes its
// source's place. Whoever holds a file abandons it on the way out (its result
// removed, its source as it was) and adds its path; the driver ends with
// status 128 + the signal's number.
#pragma once

#include <exception>
#include <string>

namespace tool {

class StopRequested : public std::exception {
 public:
  // signal: the signal's number; file: the path of the file abandoned, or
  // empty between files.
  StopRequested(int signal, std::string file);

  int signal() const { return m_signal; }
  const std::string& file() const { return m_file; }
  // "stopped by SIGINT", with "; <file> left as it was" when there is one.
  const char* what() const noexcept override { return m_text.c_str(); }

 private:
  int m_signal;
  std::string m_file;
  std::string m_text;
};

}  // namespace tool
