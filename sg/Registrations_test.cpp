// The registrations exist at program start in a program that archives
// nothing itself: this file instantiates no serializer of any scene-graph
// class; it only looks up the library's registries, which the registrations
// object filled during static initialisation.
#include <typeinfo>

#include <boost/archive/detail/archive_serializer_map.hpp>
#include <boost/archive/xml_iarchive.hpp>
#include <boost/archive/xml_oarchive.hpp>
#include <boost/serialization/extended_type_info_typeid.hpp>
#include <boost/serialization/singleton.hpp>
#include <boost/serialization/void_cast_fwd.hpp>
#include <gtest/gtest.h>

#include "sg/Camera.h"
#include "sg/Light.h"
#include "sg/Node.h"
#include "sg/Scene.h"
#include "sg/SceneStatics.h"
#include "sg/SpotLight.h"

namespace {

using boost::archive::xml_iarchive;
using boost::archive::xml_oarchive;
using boost::archive::detail::archive_serializer_map;

// The type record of T (a record is made on demand; finding a serializer or
// a base relation for it proves the registration, not the record).
template <class T>
const boost::serialization::extended_type_info& record() {
  return boost::serialization::singleton<
      boost::serialization::extended_type_info_typeid<T>>::get_const_instance();
}

TEST(Registrations, OnlyTheNodeHasPointerSerializers) {
  EXPECT_NE(archive_serializer_map<xml_oarchive>::find(record<sg::Node>()), nullptr);
  EXPECT_NE(archive_serializer_map<xml_iarchive>::find(record<sg::Node>()), nullptr);
  EXPECT_EQ(archive_serializer_map<xml_oarchive>::find(record<sg::Light>()), nullptr);
  EXPECT_EQ(archive_serializer_map<xml_iarchive>::find(record<sg::Camera>()), nullptr);
}

TEST(Registrations, BaseRelationsAreRegistered) {
  sg::SpotLight spot;
  const void* p = &spot;
  EXPECT_NE(boost::serialization::void_upcast(record<sg::Camera>(), record<sg::Node>(), p),
            nullptr);
  EXPECT_NE(boost::serialization::void_upcast(record<sg::Light>(), record<sg::Node>(), p), nullptr);
  EXPECT_NE(boost::serialization::void_upcast(record<sg::Scene>(), record<sg::Node>(), p), nullptr);
  EXPECT_NE(boost::serialization::void_upcast(record<sg::SpotLight>(), record<sg::Light>(), p),
            nullptr);
  // Relations are registered by type identity alone: no exported names.
  EXPECT_EQ(record<sg::Node>().get_key(), nullptr);
}

TEST(Registrations, StaticObjectsAreEmpty) {
  EXPECT_EQ(sg::staticNodeLists().size(), 0u);
  EXPECT_EQ(sg::staticLights().size(), 0u);
  EXPECT_EQ(sg::staticMatrices().size(), 0u);
  EXPECT_EQ(sg::staticVectors().size(), 0u);
  EXPECT_TRUE(sg::staticContextObjects().isSynchronized());
}

}  // namespace
