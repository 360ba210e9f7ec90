// math::Quaternion and the single-precision rotation arithmetic of node
// blending: the quaternion of a 3x3 block, the rotation matrix of a
// quaternion, Gram-Schmidt orthonormalisation of a block, and slerp.
// A 3x3 block is the upper-left block of a math::Matrix4x4 (vectors are
// columns). All functions are pure and never throw.
#pragma once

#include "math/Matrix4x4.h"

namespace math {

struct Quaternion {
  float x = 0.0f;
  float y = 0.0f;
  float z = 0.0f;
  float w = 1.0f;  // (0, 0, 0, 1) is the identity rotation

  float dot(const Quaternion& o) const { return x * o.x + y * o.y + z * o.z + w * o.w; }
};

// The smallest normal single-precision value, the threshold below which a
// length or a weight counts as zero.
constexpr float kSmallestNormal = 1.1754944e-38f;
// What normalise() scales a vector of (near) zero length by: a zero vector
// stays zero.
constexpr float kLargestFloat = 3.4028235e38f;

// The quaternion of the upper-left 3x3 block of `m` (the standard conversion
// for column vectors; the block should be a rotation).
Quaternion quaternionOfBlock(const Matrix4x4& m);

// Writes the rotation of `q` (any length, not zero) into the upper-left 3x3
// block of `m`; the rest of `m` is left as it is.
void setRotationBlock(Matrix4x4& m, const Quaternion& q);

// Replaces the columns of the upper-left 3x3 block of `m` by their classical
// Gram-Schmidt orthonormalisation; the rest of `m` is left as it is.
void orthonormaliseBlock(Matrix4x4& m);

// Spherical interpolation from q0 (t = 0) to q1 (t = 1) along the shorter
// arc; q0 when the two are (nearly) equal.
Quaternion slerp(const Quaternion& q0, const Quaternion& q1, float t);

}  // namespace math
