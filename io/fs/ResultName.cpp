#include "io/fs/ResultName.h"

namespace io {
namespace fs {

namespace {

const char kMiddle[] = ".xmdopt-";
const char kEnd[] = ".result";
// The characters the name adds to the source's.
constexpr std::size_t kAdded = sizeof kMiddle - 1 + ResultName::kTagLength + sizeof kEnd - 1;
static_assert(kAdded == 21, "\".xmdopt-\", six letters or digits, \".result\"");

bool isTagChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

}  // namespace

std::string ResultName::stemOf(const std::string& source) {
  return source.size() + kAdded <= kMaxName ? source : source.substr(0, kMaxName - kAdded);
}

std::string ResultName::make(const std::string& source, const std::string& tag) {
  return stemOf(source) + kMiddle + tag + kEnd;
}

bool ResultName::isResultOf(const std::string& name, const std::string& source) {
  const std::string stem = stemOf(source);
  if (name.size() != stem.size() + kAdded || name.compare(0, stem.size(), stem) != 0) return false;
  std::size_t at = stem.size();
  if (name.compare(at, sizeof kMiddle - 1, kMiddle) != 0) return false;
  at += sizeof kMiddle - 1;
  for (std::size_t i = 0; i < kTagLength; ++i)
    if (!isTagChar(name[at + i])) return false;
  return name.compare(at + kTagLength, std::string::npos, kEnd) == 0;
}

std::string ResultName::patternFor(const std::string& source) {
  return stemOf(source) + kMiddle + std::string(kTagLength, '?') + kEnd;
}

}  // namespace fs
}  // namespace io
