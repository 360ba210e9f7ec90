#include "sg/TypeRegistry.h"

#include <map>
#include <mutex>
#include <string>

namespace sg {
namespace {

struct Registry {
  std::mutex lock;
  std::map<std::string, int> ids;
  int next = 0;
};

Registry& registry() {
  static Registry* r = new Registry;  // never destroyed: usable during exit
  return *r;
}

}  // namespace

int getTypeId(const char* typeName) {
  Registry& r = registry();
  std::lock_guard<std::mutex> hold(r.lock);
  auto inserted = r.ids.emplace(typeName ? typeName : "", r.next);
  if (inserted.second) ++r.next;
  return inserted.first->second;
}

}  // namespace sg
