// pix::Colorf: a colour of four floats, red, green, blue and alpha.
// A plain value; archived as "red", "green", "blue", "alpha".
#pragma once

#include <boost/serialization/tracking.hpp>
#include <boost/serialization/version.hpp>

#include "math/FloatArchive.h"

namespace pix {

struct Colorf {
  float r = 0.0f;
  float g = 0.0f;
  float b = 0.0f;
  float a = 0.0f;

  Colorf() = default;
  Colorf(float r_, float g_, float b_, float a_) : r(r_), g(g_), b(b_), a(a_) {}

  bool operator==(const Colorf& o) const { return r == o.r && g == o.g && b == o.b && a == o.a; }
  bool operator!=(const Colorf& o) const { return !(*this == o); }

  // Archive form, class version 0. Throws as math::archiveFloat.
  template <class Archive>
  void serialize(Archive& ar, const unsigned int /*version*/) {
    math::archiveFloat(ar, "red", r);
    math::archiveFloat(ar, "green", g);
    math::archiveFloat(ar, "blue", b);
    math::archiveFloat(ar, "alpha", a);
  }
};

}  // namespace pix

BOOST_CLASS_VERSION(pix::Colorf, 0)
// Values are never archived through pointers; not tracking them keeps a
// temporary written from a reused address from turning into a reference.
BOOST_CLASS_TRACKING(pix::Colorf, boost::serialization::track_never)
