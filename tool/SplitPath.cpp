#include "tool/SplitPath.h"

namespace tool {

void splitPath(const std::string& path, std::string& dir, std::string& name, std::string& ext) {
  const std::size_t slash = path.rfind('/');
  const std::size_t backslash = path.rfind('\\');
  std::size_t p = std::string::npos;
  if (slash != std::string::npos) p = slash;
  if (backslash != std::string::npos && (p == std::string::npos || backslash > p)) p = backslash;
  if (p != std::string::npos) {
    // A separator in front stays: "/models" is the directory /models, not
    // the relative directory models.
    dir = path.substr(0, p == 0 ? 1 : p);
    name = path.substr(p + 1);
  } else {
    name = path;
  }
  const std::size_t dot = name.rfind('.');
  if (dot != std::string::npos) {
    ext = name.substr(dot + 1);
    name.erase(dot);
  } else {
    dir = dir.empty() ? name : dir + "/" + name;
    name.clear();
  }
}

}  // namespace tool
