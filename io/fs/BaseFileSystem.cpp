#include "io/fs/BaseFileSystem.h"

namespace io {
namespace fs {

bool BaseFileSystem::getFileId(const std::string& /*path*/, FileId& /*id*/) { return false; }

bool BaseFileSystem::isInsideRoot(const std::string& /*directory*/) { return true; }

}  // namespace fs
}  // namespace io
