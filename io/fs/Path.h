// io::fs::Path: the narrow path value the system passes around. It is a
// std::string (usable wherever one is expected) made in one of two ways:
//
//   Path(p)             the normalised form of p: every backslash becomes "/",
//                       one left-to-right pass turns each "//" into "/" (the
//                       pass does not rescan what it produced: a///b gives
//                       a//b), and one trailing "/" is removed. "." and ".."
//                       components, drive letters and letter case stay.
//   Path(parent, child) child joined under parent: parent as normalised
//                       above but keeping its trailing "/" (one is added when
//                       missing and parent is non-empty), then child with its
//                       backslashes turned into "/", then one trailing "/"
//                       removed. Path("", "sub") is "sub"; Path("a/", "b/")
//                       is "a/b".
//
// "/" is the separator, a backslash the platform separator both constructions
// turn into "/", and ":" the drive separator isAbsolute looks for.
#pragma once

#include <string>

namespace io {
namespace fs {

class Path : public std::string {
 public:
  Path() = default;
  // The normalised form of p.
  explicit Path(const std::string& p);
  // child joined under parent.
  Path(const std::string& parent, const std::string& child);

  // True when path starts with "/", or with a drive letter, ":" and "/"
  // ("D:/x"). Only the forward separator counts: "D:\x", "D:", "D:x" and the
  // empty path are relative.
  static bool isAbsolute(const std::string& path);

  // The path of the entry name inside directory: directory as it stands, "/"
  // unless directory is empty or already ends with "/", then name byte for
  // byte. A name from a directory listing is one component whatever bytes it
  // holds, where Path(parent, child) reads a backslash in child as a
  // separator. ofEntry("", "a") is "a"; ofEntry("/", "a") is "/a".
  static Path ofEntry(const std::string& directory, const std::string& name);
};

}  // namespace fs
}  // namespace io
