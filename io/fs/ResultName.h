// io::fs::ResultName: the names of the results the file system creates
// beside the files it replaces: the source's name, ".xmdopt-", a tag of six
// letters and digits chosen at random for each result, and ".result"; for
// ship.xmd say ship.xmd.xmdopt-k3Xq9Z.result. A name of this form is never a
// user's own NAME.result, so a result left behind by a run that was killed
// can be told by its name alone. Where the source's name is so long that the
// result's would pass the longest name a directory takes (255 bytes), the
// source's part is cut to fit.
#pragma once

#include <cstddef>
#include <string>

namespace io {
namespace fs {

class ResultName {
 public:
  static constexpr std::size_t kTagLength = 6;
  // The longest name of a directory entry, in bytes.
  static constexpr std::size_t kMaxName = 255;

  // The result's name for the source named source with the given tag
  // (kTagLength letters and digits).
  static std::string make(const std::string& source, const std::string& tag);
  // Whether name is the name of a result of the source named source, with
  // any tag.
  static bool isResultOf(const std::string& name, const std::string& source);
  // The wildcard pattern ("?" for each letter of the tag) that matches the
  // results of source in a directory listing.
  static std::string patternFor(const std::string& source);

 private:
  // The part of the source's name a result's name keeps.
  static std::string stemOf(const std::string& source);
};

}  // namespace fs
}  // namespace io
