// anim::Animatable: the base of scene-graph objects that animation can drive
// (sg::Node). Reference counted through lang::Object; shared via lang::Ptr.
// It holds no state of its own and has no archive form.
#pragma once

#include "lang/Object.h"

namespace anim {

class Animatable : public lang::Object {
 public:
  Animatable() = default;
  Animatable(const Animatable&) = default;  // a fresh object, count 0
  Animatable& operator=(const Animatable&) = delete;
  ~Animatable() override = default;
};

}  // namespace anim
