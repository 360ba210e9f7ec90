// io::fs::OpenFile: one file or directory the platform has open (a handle),
// with the path it was reached by, for messages. It is closed when its last
// holder lets go (or at close()); closing lets go of any lock taken through
// it. Shared through std::shared_ptr by a replacement and the streams over
// its files. One thread at a time.
#pragma once

#include <string>

#include <boost/noncopyable.hpp>

#include "platform/FileApi.h"

namespace io {
namespace fs {

class OpenFile : private boost::noncopyable {
 public:
  // Takes over handle (INVALID_HANDLE_VALUE makes a closed OpenFile); name
  // is the narrow path it was reached by.
  OpenFile(platform::HANDLE handle, std::string name);
  ~OpenFile();

  // The handle; INVALID_HANDLE_VALUE once closed.
  platform::HANDLE handle() const { return m_handle; }
  // The path it was reached by.
  const std::string& name() const { return m_name; }
  bool isOpen() const { return m_handle != platform::INVALID_HANDLE_VALUE; }
  // Closes the handle now; false when the platform reported a failure.
  bool close();

 private:
  platform::HANDLE m_handle;
  std::string m_name;
};

}  // namespace fs
}  // namespace io
