// sg::Effect: surface effect settings of the scene graph. Only the
// reflectance factors have an archive form here.
#pragma once

#include <boost/serialization/tracking.hpp>
#include <boost/serialization/version.hpp>

#include "math/FloatArchive.h"
#include "pix/Colorf.h"

namespace sg {

class Effect {
 public:
  // How a surface reflects light. A plain value, archived in full at each
  // occurrence (not tracked), class version 0.
  struct ReflectanceFactors {
    pix::Colorf diffuseColor;
    pix::Colorf specularColor;
    float specularPower = 0.0f;
    float specularLevel = 0.0f;

    bool operator==(const ReflectanceFactors& o) const {
      return diffuseColor == o.diffuseColor && specularColor == o.specularColor &&
             specularPower == o.specularPower && specularLevel == o.specularLevel;
    }

    // Throws as math::archiveFloat and the archive's own exceptions.
    template <class Archive>
    void serialize(Archive& ar, const unsigned int /*version*/) {
      ar& boost::serialization::make_nvp("diffuseColor", diffuseColor);
      ar& boost::serialization::make_nvp("specularColor", specularColor);
      math::archiveFloat(ar, "specularPower", specularPower);
      math::archiveFloat(ar, "specularLevel", specularLevel);
    }
  };
};

}  // namespace sg

BOOST_CLASS_VERSION(sg::Effect::ReflectanceFactors, 0)
BOOST_CLASS_TRACKING(sg::Effect::ReflectanceFactors, boost::serialization::track_never)
