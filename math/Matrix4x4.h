// math::Matrix4x4: sixteen floats stored row by row; element (r, c) is float
// number 4r + c. Vectors are columns: the upper-left 3x3 block holds rotation
// and scale, the translation is (m[0][3], m[1][3], m[2][3]).
// A plain value; archived as "g00" ... "g33", the n-th element carrying the
// n-th float of the storage.
#pragma once

#include <boost/serialization/tracking.hpp>
#include <boost/serialization/version.hpp>

#include "math/FloatArchive.h"

namespace math {

struct Matrix4x4 {
  float m[4][4];

  // The identity.
  Matrix4x4() : m{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}} {}

  static Matrix4x4 identity() { return Matrix4x4(); }
  static Matrix4x4 zero() {
    Matrix4x4 z;
    for (auto& row : z.m)
      for (float& v : row) v = 0.0f;
    return z;
  }

  float* data() { return &m[0][0]; }
  const float* data() const { return &m[0][0]; }

  bool operator==(const Matrix4x4& o) const {
    for (int i = 0; i < 16; ++i)
      if (data()[i] != o.data()[i]) return false;
    return true;
  }
  bool operator!=(const Matrix4x4& o) const { return !(*this == o); }

  // Archive form, class version 0. Throws as math::archiveFloat.
  template <class Archive>
  void serialize(Archive& ar, const unsigned int /*version*/) {
    static const char* const kNames[16] = {"g00", "g01", "g02", "g03", "g10", "g11", "g12", "g13",
                                           "g20", "g21", "g22", "g23", "g30", "g31", "g32", "g33"};
    for (int i = 0; i < 16; ++i) archiveFloat(ar, kNames[i], data()[i]);
  }
};

}  // namespace math

BOOST_CLASS_VERSION(math::Matrix4x4, 0)
// Values are never archived through pointers; not tracking them keeps a
// temporary written from a reused address from turning into a reference.
BOOST_CLASS_TRACKING(math::Matrix4x4, boost::serialization::track_never)
