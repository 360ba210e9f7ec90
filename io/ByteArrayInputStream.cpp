#include "io/ByteArrayInputStream.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace io {

ByteArrayInputStream::ByteArrayInputStream(std::vector<unsigned char> bytes, std::string name,
                                           int maxRead)
    : m_bytes(std::move(bytes)), m_name(std::move(name)), m_maxRead(maxRead) {
  // Positions are ints: bytes past 2^31 - 1 cannot be reached.
  if (m_bytes.size() > static_cast<size_t>(INT_MAX)) m_bytes.resize(INT_MAX);
}

ByteArrayInputStream::ByteArrayInputStream(const void* bytes, int size, std::string name)
    : ByteArrayInputStream(
          std::vector<unsigned char>(static_cast<const unsigned char*>(bytes),
                                     static_cast<const unsigned char*>(bytes) + std::max(size, 0)),
          std::move(name)) {}

lang::Ptr<InputStream> ByteArrayInputStream::clone() {
  return lang::Ptr<InputStream>(new ByteArrayInputStream(m_bytes, m_name, m_maxRead));
}

void ByteArrayInputStream::close() { m_closed = true; }

bool ByteArrayInputStream::seek(int offset, int origin) {
  if (m_closed) return false;
  long long base = origin == 0 ? 0 : origin == 1 ? m_pos : static_cast<long long>(m_bytes.size());
  long long target = base + offset;
  if (target < 0 || target > static_cast<long long>(m_bytes.size())) return false;
  m_pos = static_cast<int>(target);
  return true;
}

int ByteArrayInputStream::tell() { return m_closed ? -1 : m_pos; }

int ByteArrayInputStream::read(void* dest, int size) {
  if (m_closed || size <= 0) return 0;
  int n = std::min(size, static_cast<int>(m_bytes.size()) - m_pos);
  if (m_maxRead > 0) n = std::min(n, m_maxRead);
  if (n <= 0) return 0;
  std::memcpy(dest, m_bytes.data() + m_pos, n);
  m_pos += n;
  return n;
}

int ByteArrayInputStream::available() {
  return m_closed ? 0 : static_cast<int>(m_bytes.size()) - m_pos;
}

std::string ByteArrayInputStream::toString() const { return m_name; }

}  // namespace io
