// ProgressInputStream: a filter over a file's input stream that tells how far
// reading has come, for the progress line of a large file. It reports the
// read position (as the source's tell() gives it) each time the bytes read
// through it pass another multiple of kStep; everything else passes straight to the source.
//
// The source is not owned and must outlive the filter. One thread.
#pragma once

#include <cstdint>
#include <functional>

#include "io/FilterInputStream.h"

namespace tool {

class ProgressInputStream : public io::FilterInputStream {
 public:
  // Reporting more often would only cost time: the line redraws at most ten
  // times a second anyway.
  static constexpr std::int64_t kStep = 1 << 20;

  using Report = std::function<void(std::int64_t position)>;
  ProgressInputStream(io::InputStream* in, Report report)
      : io::FilterInputStream(in), m_report(std::move(report)) {}

  // As the source's read; then reports when another step was passed.
  int read(void* dest, int size) override {
    const int n = m_in->read(dest, size);
    m_read += n > 0 ? n : 0;
    if (m_read >= m_next) {
      m_next = (m_read / kStep + 1) * kStep;
      m_report(m_in->tell());
    }
    return n;
  }

 private:
  Report m_report;
  std::int64_t m_read = 0;      // bytes read through this filter
  std::int64_t m_next = kStep;  // the count at which to report next
};

}  // namespace tool
