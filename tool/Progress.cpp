#include "tool/Progress.h"

#include <cstdio>
#include <utility>

namespace tool {

namespace {

// The name cut from the left, so that its end (the file's own name) stays.
std::string fitLeft(const std::string& text, std::size_t width) {
  if (text.size() <= width) return text;
  if (width <= 3) return text.substr(text.size() - width);
  return "..." + text.substr(text.size() - (width - 3));
}

}  // namespace

Progress::Progress(std::ostream& err, bool enabled, Clock clock, int width)
    : m_err(err), m_enabled(enabled), m_clock(std::move(clock)), m_width(width < 20 ? 20 : width) {}

void Progress::startFile(std::int64_t done, std::int64_t total, const std::string& shownPath,
                         std::int64_t size) {
  if (!m_enabled) return;
  m_done = done;
  m_total = total;
  m_path = shownPath;
  m_size = size;
  m_bytes = 0;
  m_fileStart = m_clock();
  draw(false);
}

void Progress::fileBytes(std::int64_t bytes, std::int64_t size) {
  if (!m_enabled) return;
  m_bytes = bytes;
  m_size = size;
  draw(false);
}

void Progress::erase() {
  if (!m_enabled || !m_shown) return;
  m_err << "\r\x1b[K" << std::flush;
  m_shown = false;
  m_lastDraw = -1;  // the next call draws at once
}

void Progress::finish() { erase(); }

void Progress::draw(bool force) {
  const double now = m_clock();
  if (!force && m_lastDraw >= 0 && now - m_lastDraw < kRedrawSeconds) return;
  m_lastDraw = now;
  char head[64];
  std::snprintf(head, sizeof head, "[%lld/%lld] ", static_cast<long long>(m_done + 1),
                static_cast<long long>(m_total));
  std::string tail;
  if (m_size >= kLargeFile && m_bytes > 0 && now > m_fileStart) {
    char rate[64];
    std::snprintf(rate, sizeof rate, "  %lld%% %.1f MB/s",
                  static_cast<long long>(m_bytes * 100 / m_size),
                  m_bytes / (now - m_fileStart) / 1e6);
    tail = rate;
  }
  const std::size_t used = std::string(head).size() + tail.size();
  const std::size_t width = static_cast<std::size_t>(m_width);
  const std::size_t room = used + 10 < width ? width - used : 10;
  m_err << "\r" << head << fitLeft(m_path, room) << tail << "\x1b[K" << std::flush;
  m_shown = true;
}

}  // namespace tool
