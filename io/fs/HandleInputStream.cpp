#include "io/fs/HandleInputStream.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "io/Raise.h"
#include "platform/FileAt.h"

namespace io {
namespace fs {

HandleInputStream::HandleInputStream(std::shared_ptr<OpenFile> file)
    : m_file(std::move(file)), m_name(m_file ? m_file->name() : std::string()) {}

lang::Ptr<InputStream> HandleInputStream::clone() { return lang::Ptr<InputStream>(); }

void HandleInputStream::close() {
  m_file.reset();
  m_buffer.clear();
  m_begin = m_end = 0;
}

std::int64_t HandleInputStream::position() const {
  return m_filePos - static_cast<std::int64_t>(m_end - m_begin);
}

bool HandleInputStream::knowPosition() {
  if (m_positionKnown) return true;
  m_positionKnown = platform::SetFilePointerEx(m_file->handle(), 0, &m_filePos,
                                               platform::FILE_CURRENT) == platform::TRUE;
  return m_positionKnown;
}

bool HandleInputStream::fill() {
  if (m_buffer.size() != kBufferSize) m_buffer.resize(kBufferSize);
  if (!knowPosition()) detail::raise<IOException>("Failed to seek file position: {0}", m_name);
  platform::DWORD n = 0;
  if (!platform::ReadFile(m_file->handle(), m_buffer.data(),
                          static_cast<platform::DWORD>(m_buffer.size()), &n, nullptr))
    detail::raise<IOException>("Failed to read from file: {0}", m_name);
  m_begin = 0;
  m_end = n;
  m_filePos += n;
  return n > 0;
}

int HandleInputStream::read(void* dest, int size) {
  if (!m_file || size <= 0) return 0;
  unsigned char* out = static_cast<unsigned char*>(dest);
  int done = 0;
  while (done < size) {
    if (m_begin == m_end && !fill()) break;
    const std::size_t n =
        std::min<std::size_t>(m_end - m_begin, static_cast<std::size_t>(size - done));
    std::memcpy(out + done, m_buffer.data() + m_begin, n);
    m_begin += n;
    done += static_cast<int>(n);
  }
  return done;
}

bool HandleInputStream::seek(int offset, int origin) {
  if (!m_file || !knowPosition()) return false;
  std::int64_t target = offset;
  if (origin == 1) {
    target += position();
  } else if (origin != 0) {
    if (!knowSize()) return false;
    target += m_size;
  }
  if (target < 0) return false;
  // Within the bytes already read: no call to the platform.
  const std::int64_t bufferStart = m_filePos - static_cast<std::int64_t>(m_end);
  if (target >= bufferStart && target <= m_filePos) {
    m_begin = static_cast<std::size_t>(target - bufferStart);
    return true;
  }
  std::int64_t at = 0;
  if (!platform::SetFilePointerEx(m_file->handle(), target, &at, platform::FILE_BEGIN))
    return false;
  m_begin = m_end = 0;
  m_filePos = at;
  return true;
}

int HandleInputStream::tell() {
  if (!m_file || !knowPosition()) return -1;
  return static_cast<int>(position());
}

int HandleInputStream::skip(int count) {
  if (!m_file || count <= 0) return 0;
  const int n = std::min(count, available());
  return n > 0 && seek(n, 1) ? n : 0;
}

int HandleInputStream::available() {
  if (!m_file) return 0;
  if (!knowPosition() || !knowSize())
    detail::raise<IOException>("Failed to seek file position: {0}", m_name);
  return static_cast<int>(m_size - position());
}

bool HandleInputStream::knowSize() {
  if (m_size >= 0) return true;
  platform::FILE_STATUS status;
  if (!platform::GetFileStatus(m_file->handle(), &status)) return false;
  m_size = static_cast<std::int64_t>(status.size);
  return true;
}

std::string HandleInputStream::toString() const { return m_name; }

}  // namespace fs
}  // namespace io
