#include "tool/StopRequested.h"

#include <utility>

namespace tool {

namespace {

std::string nameOf(int signal) {
  // The two a run catches, by their usual names (their numbers are the same
  // on every system the tool builds for).
  if (signal == 2) return "SIGINT";
  if (signal == 15) return "SIGTERM";
  return "signal " + std::to_string(signal);
}

}  // namespace

StopRequested::StopRequested(int signal, std::string file)
    : m_signal(signal), m_file(std::move(file)) {
  m_text = "stopped by " + nameOf(signal);
  if (!m_file.empty()) m_text += "; " + m_file + " left as it was";
}

}  // namespace tool
