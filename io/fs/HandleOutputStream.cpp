#include "io/fs/HandleOutputStream.h"

#include <algorithm>
#include <utility>

#include "io/Raise.h"
#include "platform/FileAt.h"

namespace io {
namespace fs {

HandleOutputStream::HandleOutputStream(std::shared_ptr<OpenFile> file)
    : m_file(std::move(file)), m_name(m_file ? m_file->name() : std::string()) {}

void HandleOutputStream::writeThrough(const unsigned char* src, std::size_t size) {
  while (size > 0) {
    // One call takes at most 1 GiB, so that its count fits a DWORD with room.
    const platform::DWORD part =
        static_cast<platform::DWORD>(std::min<std::size_t>(size, 1u << 30));
    platform::DWORD written = 0;
    if (!platform::WriteFile(m_file->handle(), src, part, &written, nullptr) || written != part)
      detail::raise<IOException>("Failed to write to file: {0}", m_name);
    src += part;
    size -= part;
    m_written += part;
  }
}

std::int64_t HandleOutputStream::getPosition() {
  return m_written + static_cast<std::int64_t>(m_buffer.size());
}

void HandleOutputStream::patch(std::int64_t position, const void* src, int size) {
  if (!m_file || position < 0 || size < 0 || position > getPosition() - size)
    detail::raise<IOException>("Failed to seek file position: {0}", m_name);
  const unsigned char* bytes = static_cast<const unsigned char*>(src);
  std::int64_t end = position + size;
  // The part still in the buffer.
  if (end > m_written) {
    const std::int64_t from = std::max(position, m_written);
    std::copy(bytes + (from - position), bytes + size, m_buffer.begin() + (from - m_written));
    end = from;
  }
  if (end <= position) return;
  // The part already in the file: written there, then back to the end.
  const std::int64_t written = m_written;
  if (!platform::SetFilePointerEx(m_file->handle(), position, nullptr, platform::FILE_BEGIN))
    detail::raise<IOException>("Failed to seek file position: {0}", m_name);
  m_written = position;
  writeThrough(bytes, static_cast<std::size_t>(end - position));
  m_written = written;
  if (!platform::SetFilePointerEx(m_file->handle(), written, nullptr, platform::FILE_BEGIN))
    detail::raise<IOException>("Failed to seek file position: {0}", m_name);
}

int HandleOutputStream::write(const void* src, int size) {
  if (!m_file) detail::raise<IOException>("Failed to write to file: {0}", m_name);
  if (size <= 0) return 0;
  const unsigned char* bytes = static_cast<const unsigned char*>(src);
  const std::size_t n = static_cast<std::size_t>(size);
  if (m_buffer.size() + n > kBufferSize) {
    flush();
    if (n >= kBufferSize) {  // a large block goes straight to the file
      writeThrough(bytes, n);
      return size;
    }
  }
  m_buffer.insert(m_buffer.end(), bytes, bytes + n);
  return size;
}

void HandleOutputStream::flush() {
  if (!m_file || m_buffer.empty()) return;
  // Emptied first: bytes that failed are not written twice by a later call.
  std::vector<unsigned char> pending;
  pending.swap(m_buffer);
  writeThrough(pending.data(), pending.size());
}

void HandleOutputStream::close() {
  if (!m_file) return;
  flush();
  m_file.reset();
}

std::string HandleOutputStream::toString() const { return m_name; }

}  // namespace fs
}  // namespace io
