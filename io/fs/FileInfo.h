// io::fs::FileInfo: what getFileInfo reports of one file, and what
// setFileTime reads. A plain record.
#pragma once

#include <cstdint>

namespace io {
namespace fs {

struct FileInfo {
  // 0 when the query succeeded, 1 when the file could not be opened.
  std::uint32_t error = 0;
  // The file's size in bytes (its low 32 bits).
  std::uint32_t size = 0;
  // Last-write time: 100-nanosecond intervals since 1601-01-01 UTC.
  std::uint64_t lastWriteTime = 0;
};

}  // namespace fs
}  // namespace io
