// Registrations of the scene-graph classes with the archive library, made at
// program start (static initialisation of this file's objects).
//
// Every class is registered by its type identity alone (no exported name), so
// archives carry no class names. For each class the XML output and input
// serializers and its type record are created; sg::Node alone also gets the
// pointer serializers; the base relations of the camera, light, scene and
// spot light are registered with the library's caster registry.
//
// This file is compiled into an OBJECT library that every executable linking
// xmd_sg links whole, so nothing here can be dropped by the linker.
#include <boost/archive/xml_iarchive.hpp>
#include <boost/archive/xml_oarchive.hpp>
#include <boost/serialization/singleton.hpp>
#include <boost/serialization/void_cast.hpp>

#include "anim/CombinedInterpolator.h"
#include "math/Matrix4x4.h"
#include "math/Vector3.h"
#include "pix/Colorf.h"
#include "sg/Camera.h"
#include "sg/Effect.h"
#include "sg/Light.h"
#include "sg/Node.h"
#include "sg/Scene.h"
#include "sg/SceneStatics.h"
#include "sg/SpotLight.h"
#include "sg/ViewFrustum.h"
#include "sgu/DownScalerMemoryFitItem.h"
#include "sgu/EffectManager.h"

namespace sg {
namespace {

using boost::archive::xml_iarchive;
using boost::archive::xml_oarchive;
using boost::serialization::singleton;

// Creates the output and input serializers of T (and with them T's type record).
template <class T>
void registerValue() {
  singleton<boost::archive::detail::oserializer<xml_oarchive, T>>::get_const_instance();
  singleton<boost::archive::detail::iserializer<xml_iarchive, T>>::get_const_instance();
}

struct Registrations {
  Registrations() {
    registerValue<sg::Node>();
    registerValue<lang::Ptr<sg::Node>>();
    singleton<
        boost::archive::detail::pointer_oserializer<xml_oarchive, sg::Node>>::get_const_instance();
    singleton<
        boost::archive::detail::pointer_iserializer<xml_iarchive, sg::Node>>::get_const_instance();
    registerValue<sg::Light>();
    boost::serialization::void_cast_register<sg::Camera, sg::Node>();
    boost::serialization::void_cast_register<sg::Light, sg::Node>();
    boost::serialization::void_cast_register<sg::Scene, sg::Node>();
    boost::serialization::void_cast_register<sg::SpotLight, sg::Light>();

    registerValue<math::Matrix4x4>();
    registerValue<math::Vector3>();
    registerValue<pix::Colorf>();
    registerValue<sg::ViewFrustum>();
    registerValue<sg::Effect::ReflectanceFactors>();
    registerValue<sgu::EffectManager::EffectManagerImpl::SCBEffectContainer>();
    registerValue<sgu::DownScalerMemoryFitItem>();
    registerValue<sgu::DownScalerMemoryFitList>();
    registerValue<anim::CombinedInterpolator<float>>();
    registerValue<anim::CombinedInterpolator<float>::Key>();
    registerValue<anim::CombinedInterpolator<pix::Colorf>>();
    registerValue<anim::CombinedInterpolator<pix::Colorf>::Key>();
  }
};

const Registrations registrations;

}  // namespace

util::Vector<lang::Ptr<NodeList>>& staticNodeLists() {
  static util::Vector<lang::Ptr<NodeList>> v;
  return v;
}
util::Vector<Light*>& staticLights() {
  static util::Vector<Light*> v;
  return v;
}
util::Vector<math::Matrix4x4>& staticMatrices() {
  static util::Vector<math::Matrix4x4> v;
  return v;
}
util::Vector<math::Vector3>& staticVectors() {
  static util::Vector<math::Vector3> v;
  return v;
}
ContextObjectList& staticContextObjects() {
  static ContextObjectList list;
  return list;
}

namespace {
// The static objects are made at program start, like the registrations.
struct MakeStatics {
  MakeStatics() {
    staticNodeLists();
    staticLights();
    staticMatrices();
    staticVectors();
    staticContextObjects();
  }
};
const MakeStatics makeStatics;
}  // namespace
}  // namespace sg
