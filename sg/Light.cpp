#include "sg/Light.h"

#include <boost/archive/xml_iarchive.hpp>
#include <boost/archive/xml_oarchive.hpp>
#include <boost/serialization/base_object.hpp>
#include <boost/serialization/nvp.hpp>

#include "math/FloatArchive.h"
#include "sg/NodeLoadSession.h"

namespace sg {

lang::Ptr<Node> Light::cloneUnlinked() const { return lang::Ptr<Node>(new Light(*this)); }

bool Light::operator==(const Light& o) const {
  return m_diffuse == o.m_diffuse && m_specular == o.m_specular && m_ambient == o.m_ambient &&
         m_intensity == o.m_intensity && m_ambient_intensity == o.m_ambient_intensity &&
         m_rangefar == o.m_rangefar && m_rangenear == o.m_rangenear &&
         m_maxintensity == o.m_maxintensity && m_lightflags == o.m_lightflags &&
         m_dirty == o.m_dirty && m_shadowIndex == o.m_shadowIndex && m_scale == o.m_scale &&
         m_animate_intensity_only == o.m_animate_intensity_only &&
         m_max_range_far == o.m_max_range_far && m_shadow_intensity == o.m_shadow_intensity &&
         m_laplaceWeight == o.m_laplaceWeight && m_isMultiply == o.m_isMultiply;
}

namespace {

template <class Archive>
void archiveLightFields(Archive& ar, Light& l) {
  using boost::serialization::make_nvp;
  using math::archiveFloat;
  ar& make_nvp("Base", boost::serialization::base_object<Node>(l));
  ar& make_nvp("m_diffuse", l.m_diffuse);
  ar& make_nvp("m_specular", l.m_specular);
  ar& make_nvp("m_ambient", l.m_ambient);
  archiveFloat(ar, "m_intensity", l.m_intensity);
  archiveFloat(ar, "m_ambient_intensity", l.m_ambient_intensity);
  archiveFloat(ar, "m_rangefar", l.m_rangefar);
  archiveFloat(ar, "m_rangenear", l.m_rangenear);
  archiveFloat(ar, "m_maxintensity", l.m_maxintensity);
  ar& make_nvp("m_lightflags", l.m_lightflags);
  ar& make_nvp("m_dirty", l.m_dirty);
  ar& make_nvp("m_shadowIndex", l.m_shadowIndex);
  ar& make_nvp("m_scale", l.m_scale);
  ar& make_nvp("m_animate_intensity_only", l.m_animate_intensity_only);
  archiveFloat(ar, "m_max_range_far", l.m_max_range_far);
  archiveFloat(ar, "m_shadow_intensity", l.m_shadow_intensity);
  archiveFloat(ar, "m_laplaceWeight", l.m_laplaceWeight);
  ar& make_nvp("m_isMultiply", l.m_isMultiply);
}

}  // namespace

template <class Archive>
void Light::serialize(Archive& ar, const unsigned int /*version*/) {
  if constexpr (Archive::is_saving::value) {
    archiveLightFields(ar, *this);
  } else {
    // One read: a failure in the light fields also frees the nodes that the
    // node part made.
    detail::NodeReadScope scope(detail::NodeLoadSession::of(ar), nullptr);
    archiveLightFields(ar, *this);
    scope.done();
  }
}

template void Light::serialize(boost::archive::xml_oarchive&, const unsigned int);
template void Light::serialize(boost::archive::xml_iarchive&, const unsigned int);

}  // namespace sg
