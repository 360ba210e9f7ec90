// Looks up archive registrations of the scene-graph classes without archiving
// anything: the base relations of sg::Camera and sg::Scene to sg::Node are
// registered by the registrations objects alone (no other code of the
// library makes them). Prints what it found; exits 0 when both are there,
// 1 otherwise.
#include <iostream>

#include <boost/serialization/extended_type_info_typeid.hpp>
#include <boost/serialization/singleton.hpp>
#include <boost/serialization/void_cast.hpp>
#include <xmdopt/sg/Camera.h>
#include <xmdopt/sg/Node.h>
#include <xmdopt/sg/Scene.h>

// The targets carry the definitions the library was built with: every
// translation unit that instantiates the archive templates must agree.
#ifndef BOOST_DISABLE_ASSERTS
#error "xmdopt::sg did not bring BOOST_DISABLE_ASSERTS"
#endif

namespace {

template <class T>
const boost::serialization::extended_type_info& record() {
  return boost::serialization::singleton<
      boost::serialization::extended_type_info_typeid<T>>::get_const_instance();
}

// True when the library can cast a T to its base sg::Node.
template <class T>
bool relatedToNode(const T& object) {
  return boost::serialization::void_upcast(record<T>(), record<sg::Node>(), &object) != nullptr;
}

}  // namespace

int main() {
  const sg::Camera camera;
  const sg::Scene scene;
  const bool cameraKnown = relatedToNode(camera);
  const bool sceneKnown = relatedToNode(scene);
  std::cout << "camera " << (cameraKnown ? "registered" : "missing") << ", scene "
            << (sceneKnown ? "registered" : "missing") << '\n';
  return cameraKnown && sceneKnown ? 0 : 1;
}
