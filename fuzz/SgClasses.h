// The scene-graph classes whose XML archive readers sg_fuzz exercises, in a
// fixed order shared by the fuzz target and the seed generator, and how one
// object of each is read from and written to an archive.
//
// An sg_fuzz input is one selector byte followed by the archive text; the
// class read is entry (byte - 'A') modulo the entry count. New classes are
// appended at the end so that existing seeds ('A' + index) keep their class.
#pragma once

#include <string>

#include <boost/archive/xml_iarchive.hpp>
#include <boost/archive/xml_oarchive.hpp>
#include <boost/serialization/nvp.hpp>

#include "anim/CombinedInterpolator.h"
#include "math/Matrix4x4.h"
#include "math/Vector3.h"
#include "pix/Colorf.h"
#include "lang/Ptr.h"
#include "sg/Effect.h"
#include "sg/Light.h"
#include "sg/Node.h"
#include "sg/ViewFrustum.h"
#include "sgu/DownScalerMemoryFitItem.h"
#include "sgu/EffectManager.h"

namespace xmdfuzz {

// The element name every sg_fuzz archive uses for its one object.
constexpr const char* kSgElement = "object";

// A node in the form of its own save and load (version element first, no
// enclosing element), in place of the form the library writes.
struct NodeOwnForm {
  sg::Node node;
};

template <class T>
void readObject(boost::archive::xml_iarchive& ar, T& obj) {
  ar >> boost::serialization::make_nvp(kSgElement, obj);
}
inline void readObject(boost::archive::xml_iarchive& ar, NodeOwnForm& obj) { obj.node.load(ar); }

template <class T>
void writeObject(boost::archive::xml_oarchive& ar, const T& obj) {
  ar << boost::serialization::make_nvp(kSgElement, obj);
}
inline void writeObject(boost::archive::xml_oarchive& ar, const NodeOwnForm& obj) {
  obj.node.save(ar);
}

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
  visitor.template visit<lang::Ptr<sg::Node>>(i++, "NodeLink");
  visitor.template visit<sg::Node>(i++, "Node");
  visitor.template visit<sg::Light>(i++, "Light");
  visitor.template visit<NodeOwnForm>(i++, "NodeOwnForm");
}

struct SgClassCounter {
  int count = 0;
  template <class T>
  void visit(int, const char*) {
    ++count;
  }
};

inline int sgClassCount() {
  SgClassCounter c;
  forEachSgClass(c);
  return c.count;
}

}  // namespace xmdfuzz
