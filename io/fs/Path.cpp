#include "io/fs/Path.h"

#include <boost/algorithm/string/predicate.hpp>
#include <boost/algorithm/string/replace.hpp>

namespace io {
namespace fs {

namespace {

// Backslashes to "/", then one non-rescanning pass of "//" to "/".
void normaliseSeparators(std::string& s) {
  boost::algorithm::replace_all(s, "\\", "/");
  boost::algorithm::replace_all(s, "//", "/");
}

void dropTrailingSeparator(std::string& s) {
  if (!s.empty() && s.back() == '/') s.pop_back();
}

}  // namespace

Path::Path(const std::string& p) : std::string(p) {
  normaliseSeparators(*this);
  dropTrailingSeparator(*this);
}

Path::Path(const std::string& parent, const std::string& child) : std::string(parent) {
  if (!empty()) {
    normaliseSeparators(*this);
    if (!boost::algorithm::ends_with(*this, "/")) push_back('/');
  }
  std::string tail = child;
  boost::algorithm::replace_all(tail, "\\", "/");
  append(tail);
  dropTrailingSeparator(*this);
}

Path Path::ofEntry(const std::string& directory, const std::string& name) {
  Path out;
  out.reserve(directory.size() + 1 + name.size());
  out.append(directory);
  if (!out.empty() && out.back() != '/') out.push_back('/');
  out.append(name);
  return out;
}

bool Path::isAbsolute(const std::string& path) {
  if (!path.empty() && path[0] == '/') return true;
  return path.size() >= 3 && path[1] == ':' && path[2] == '/';
}

}  // namespace fs
}  // namespace io
