// Progress: the line a person watching the terminal sees while a run goes
// on: files done of total, the current file, and bytes per second while a
// large file is read. It is drawn on the error stream, redrawn in place
// ("\r" and erase-to-end-of-line) at most every kRedrawSeconds, and erased by
// finish(). Disabled (draws nothing) when the error stream is not a terminal.
//
// The clock is injected so that tests can drive it. One thread.
#pragma once

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>

namespace tool {

class Progress {
 public:
  // Seconds since some fixed moment.
  using Clock = std::function<double()>;

  // Redraws closer together than this would only flicker.
  static constexpr double kRedrawSeconds = 0.1;
  // Files at least this large show their own byte rate.
  static constexpr std::int64_t kLargeFile = 16 << 20;

  // Draws on err when enabled; the line is cut to width columns.
  Progress(std::ostream& err, bool enabled, Clock clock, int width = 79);

  bool enabled() const { return m_enabled; }
  // Starts file number done + 1 of total (done files are finished).
  void startFile(std::int64_t done, std::int64_t total, const std::string& shownPath,
                 std::int64_t size);
  // bytes of the current file, of size bytes in all, have been read.
  void fileBytes(std::int64_t bytes, std::int64_t size);
  // Erases the line before other text goes to the terminal; the next
  // startFile or fileBytes draws it again.
  void erase();
  // Erases the line for good.
  void finish();

 private:
  void draw(bool force);

  std::ostream& m_err;
  bool m_enabled;
  Clock m_clock;
  int m_width;
  bool m_shown = false;
  double m_lastDraw = -1;
  std::int64_t m_done = 0, m_total = 0;
  std::string m_path;
  std::int64_t m_size = 0, m_bytes = 0;
  double m_fileStart = 0;
};

}  // namespace tool
