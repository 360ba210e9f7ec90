// math::Vector3: three floats, a position, direction or scale.
// A plain value; archived as "g.x", "g.y", "g.z" (the element names hold a dot).
#pragma once

#include <boost/serialization/tracking.hpp>
#include <boost/serialization/version.hpp>

#include "math/FloatArchive.h"

namespace math {

struct Vector3 {
  float x = 0.0f;
  float y = 0.0f;
  float z = 0.0f;

  Vector3() = default;
  Vector3(float x_, float y_, float z_) : x(x_), y(y_), z(z_) {}

  bool operator==(const Vector3& o) const { return x == o.x && y == o.y && z == o.z; }
  bool operator!=(const Vector3& o) const { return !(*this == o); }

  // Archive form, class version 0. Throws as math::archiveFloat.
  template <class Archive>
  void serialize(Archive& ar, const unsigned int /*version*/) {
    archiveFloat(ar, "g.x", x);
    archiveFloat(ar, "g.y", y);
    archiveFloat(ar, "g.z", z);
  }
};

}  // namespace math

BOOST_CLASS_VERSION(math::Vector3, 0)
// Values are never archived through pointers; not tracking them keeps a
// temporary written from a reused address from turning into a reference.
BOOST_CLASS_TRACKING(math::Vector3, boost::serialization::track_never)
