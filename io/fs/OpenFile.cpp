#include "io/fs/OpenFile.h"

#include <utility>

namespace io {
namespace fs {

OpenFile::OpenFile(platform::HANDLE handle, std::string name)
    : m_handle(handle), m_name(std::move(name)) {}

OpenFile::~OpenFile() { close(); }

bool OpenFile::close() {
  if (!isOpen()) return true;
  const bool ok = platform::CloseHandle(m_handle) == platform::TRUE;
  m_handle = platform::INVALID_HANDLE_VALUE;
  return ok;
}

}  // namespace fs
}  // namespace io
