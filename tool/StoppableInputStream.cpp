#include "tool/StoppableInputStream.h"

#include <utility>

#include "tool/StopRequested.h"

namespace tool {

StoppableInputStream::StoppableInputStream(io::InputStream* in, std::function<int()> stopSignal)
    : io::FilterInputStream(in), m_stopSignal(std::move(stopSignal)) {}

void StoppableInputStream::check() const {
  if (!m_stopSignal) return;
  if (const int signal = m_stopSignal()) throw StopRequested(signal, std::string());
}

int StoppableInputStream::read(void* dest, int size) {
  check();
  return m_in->read(dest, size);
}

int StoppableInputStream::skip(int count) {
  check();
  return m_in->skip(count);
}

}  // namespace tool
