// The scene-graph classes whose XML archive readers sg_fuzz exercises, in a
// fixed order shared by the fuzz target and the seed generator.
//
// An sg_fuzz input is one selector byte followed by the archive text; the
// class read is entry (byte - 'A') modulo the entry count. New classes are
// appended at the end so that existing seeds ('A' + index) keep their class.
#pragma once

#include <string>

#include "anim/CombinedInterpolator.h"
#include "math/Matrix4x4.h"
#include "math/Vector3.h"
#include "pix/Colorf.h"
#include "sg/Effect.h"
#include "sg/ViewFrustum.h"
#include "sgu/DownScalerMemoryFitItem.h"
#include "sgu/EffectManager.h"

namespace xmdfuzz {

// Calls visitor.template visit<T>(index, name) for every class, in order.
template <class Visitor>
void forEachSgClass(Visitor& visitor) {
  int i = 0;
  visitor.template visit<math::Matrix4x4>(i++, "Matrix4x4");
  visitor.template visit<math::Vector3>(i++, "Vector3");
  visitor.template visit<pix::Colorf>(i++, "Colorf");
  visitor.template visit<sg::ViewFrustum>(i++, "ViewFrustum");
  visitor.template visit<sg::Effect::ReflectanceFactors>(i++, "ReflectanceFactors");
  visitor.template visit<sgu::EffectManager::EffectManagerImpl::SCBEffectContainer>(
      i++, "SCBEffectContainer");
  visitor.template visit<sgu::DownScalerMemoryFitList>(i++, "DownScalerMemoryFitList");
  visitor.template visit<anim::CombinedInterpolator<float>>(i++, "InterpolatorFloat");
  visitor.template visit<anim::CombinedInterpolator<pix::Colorf>>(i++, "InterpolatorColorf");
}

struct SgClassCounter {
  int count = 0;
  template <class T>
  void visit(int, const char*) { ++count; }
};

inline int sgClassCount() {
  SgClassCounter c;
  forEachSgClass(c);
  return c.count;
}

// The element name every sg_fuzz archive uses for its one object.
constexpr const char* kSgElement = "object";

}  // namespace xmdfuzz
