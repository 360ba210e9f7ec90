#include "io/fs/BaseFileSystem.h"

namespace io {
namespace fs {

bool BaseFileSystem::getFileId(const std::string& /*path*/, FileId& /*id*/) { return false; }

}  // namespace fs
}  // namespace io
