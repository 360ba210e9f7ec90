#include "io/ByteArrayOutputStream.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <stdexcept>

#include "io/Raise.h"

namespace io {

ByteArrayOutputStream::ByteArrayOutputStream(int initialSize)
    : m_data(m_local), m_size(0), m_capacity(kLocalSize) {
  grow(initialSize);
}

ByteArrayOutputStream::~ByteArrayOutputStream() {
  if (m_data != m_local) delete[] m_data;
}

void ByteArrayOutputStream::grow(int required) {
  if (required <= m_capacity) return;
  // Round up to a multiple of 256 (at least 256) without passing INT_MAX.
  long long rounded = (static_cast<long long>(required) + kRound - 1) / kRound * kRound;
  int capacity =
      static_cast<int>(std::min<long long>(std::max<long long>(rounded, kRound), INT_MAX));
  unsigned char* data = new unsigned char[capacity];
  std::memcpy(data, m_data, m_size);
  if (m_data != m_local) delete[] m_data;
  m_data = data;
  m_capacity = capacity;
}

int ByteArrayOutputStream::write(const void* src, int count) {
  if (count <= 0) return 0;
  if (count > INT_MAX - m_size) throw std::length_error("ByteArrayOutputStream");
  int needed = m_size + count;
  if (needed > m_capacity) {
    int step = m_capacity > INT_MAX - kGrowStep ? INT_MAX : m_capacity + kGrowStep;
    grow(std::max(needed, step));
  }
  std::memcpy(m_data + m_size, src, count);
  m_size = needed;
  return count;
}

void ByteArrayOutputStream::close() {}

void ByteArrayOutputStream::flush() {}

std::string ByteArrayOutputStream::toString() const { return "ByteArrayOutputStream"; }

std::int64_t ByteArrayOutputStream::getPosition() { return m_size; }

void ByteArrayOutputStream::patch(std::int64_t position, const void* src, int size) {
  if (position < 0 || size < 0 || position > m_size - size)
    detail::raise<IOException>("Failed to seek file position: {0}", toString());
  if (size > 0) std::memcpy(m_data + position, src, size);
}

void ByteArrayOutputStream::copyTo(void* dest, int count) const {
  if (count <= 0) return;
  std::memcpy(dest, m_data, std::min(m_size, count));
}

}  // namespace io
