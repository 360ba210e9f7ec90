// io::fs::DirectoryListing: the entries of a directory as an ordered set,
// held in one contiguous array sorted ascending by name. Names compare
// byte-wise as unsigned bytes; when one name is a prefix of the other the
// shorter comes first ("B" < "a" < "a.b"). No two entries share a name: an
// entry whose name is already present is dropped, so the first one inserted
// stays.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "io/fs/DirectoryEntry.h"

namespace io {
namespace fs {

class DirectoryListing {
 public:
  using const_iterator = std::vector<DirectoryEntry>::const_iterator;

  // The byte-wise order of names.
  static bool nameLess(const std::string& a, const std::string& b);

  // Inserts entry at its place (binary search for the first entry not less
  // than it). Returns false, leaving the set unchanged, when its name is
  // already present.
  bool insert(const DirectoryEntry& entry);
  // Inserts every entry of batch as if one after the other in batch's order
  // (the first of equal names wins, entries already held win over the
  // batch's), in O(n log n) for the whole batch. batch is consumed.
  void insertAll(std::vector<DirectoryEntry>&& batch);

  std::size_t size() const { return m_entries.size(); }
  bool empty() const { return m_entries.empty(); }
  const DirectoryEntry& operator[](std::size_t i) const { return m_entries[i]; }
  const_iterator begin() const { return m_entries.begin(); }
  const_iterator end() const { return m_entries.end(); }
  void clear() { m_entries.clear(); }

 private:
  std::vector<DirectoryEntry> m_entries;
};

}  // namespace fs
}  // namespace io
