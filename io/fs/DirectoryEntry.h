// io::fs::DirectoryEntry: one entry of a directory listing. A plain record.
#pragma once

#include <cstdint>
#include <string>

namespace io {
namespace fs {

struct DirectoryEntry {
  // The entry's own name (narrow), without any directory part.
  std::string name;
  // 1 when the platform marks the entry as a directory, else 0.
  std::uint32_t isDirectory = 0;
  // The low 32 bits of the file's size; the high half is always 0.
  std::uint64_t size = 0;
  // Last-write time: 100-nanosecond intervals since 1601-01-01 UTC.
  std::uint64_t lastWriteTime = 0;
};

}  // namespace fs
}  // namespace io
