#include "sg/ArchiveText.h"

#include <cctype>

namespace sg {

bool isArchiveTrailer(const std::string& rest) {
  static const std::string kClose = "</boost_serialization";
  size_t i = 0;
  auto skipSpace = [&] {
    while (i < rest.size() && std::isspace(static_cast<unsigned char>(rest[i]))) ++i;
  };
  skipSpace();
  if (rest.compare(i, kClose.size(), kClose) != 0) return false;
  i += kClose.size();
  skipSpace();
  return i < rest.size() && rest[i] == '>';
}

}  // namespace sg
