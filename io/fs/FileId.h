// io::fs::FileId: the identity of a file or directory, the same whatever path
// (or link) reaches it. The directory traversal compares them to notice a
// link that leads back to a directory it is already inside.
#pragma once

#include <cstdint>

namespace io {
namespace fs {

struct FileId {
  std::uint32_t volume = 0;
  std::uint64_t index = 0;

  bool operator==(const FileId& o) const { return volume == o.volume && index == o.index; }
  bool operator!=(const FileId& o) const { return !(*this == o); }
};

}  // namespace fs
}  // namespace io
