#include "io/fs/DirectoryListing.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace io {
namespace fs {

namespace {

bool entryLess(const DirectoryEntry& a, const DirectoryEntry& b) {
  return DirectoryListing::nameLess(a.name, b.name);
}

}  // namespace

bool DirectoryListing::nameLess(const std::string& a, const std::string& b) {
  const std::size_t n = std::min(a.size(), b.size());
  const int c = n == 0 ? 0 : std::memcmp(a.data(), b.data(), n);  // memcmp compares unsigned bytes
  return c != 0 ? c < 0 : a.size() < b.size();
}

bool DirectoryListing::insert(const DirectoryEntry& entry) {
  auto at = std::lower_bound(m_entries.begin(), m_entries.end(), entry, entryLess);
  if (at != m_entries.end() && at->name == entry.name) return false;
  m_entries.insert(at, entry);
  return true;
}

void DirectoryListing::insertAll(std::vector<DirectoryEntry>&& batch) {
  // A stable sort keeps equal names in delivery order, so unique keeps the
  // first delivered.
  std::stable_sort(batch.begin(), batch.end(), entryLess);
  auto sameName = [](const DirectoryEntry& a, const DirectoryEntry& b) { return a.name == b.name; };
  batch.erase(std::unique(batch.begin(), batch.end(), sameName), batch.end());
  if (m_entries.empty()) {
    m_entries = std::move(batch);
    return;
  }
  std::vector<DirectoryEntry> merged;
  merged.reserve(m_entries.size() + batch.size());
  auto a = m_entries.begin();
  auto b = batch.begin();
  while (a != m_entries.end() || b != batch.end()) {
    if (b == batch.end() || (a != m_entries.end() && !entryLess(*b, *a))) {
      if (b != batch.end() && b->name == a->name) ++b;  // the held entry wins
      merged.push_back(std::move(*a++));
    } else {
      merged.push_back(std::move(*b++));
    }
  }
  m_entries = std::move(merged);
}

}  // namespace fs
}  // namespace io
