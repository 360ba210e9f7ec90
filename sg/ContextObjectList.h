// sg::ContextObjectList: the scene graph's list of per-context objects. A
// lang::Object made with its lock; nothing in the system fills it.
#pragma once

#include "lang/Object.h"

namespace sg {

class ContextObjectList : public lang::Object {
 public:
  // Throws std::bad_alloc when the lock cannot be made.
  ContextObjectList() : lang::Object(true) {}
};

}  // namespace sg
