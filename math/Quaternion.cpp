#include "math/Quaternion.h"

#include <cmath>

namespace math {
namespace {

struct Vec {
  float v[3];
};

Vec column(const Matrix4x4& m, int c) { return Vec{{m.m[0][c], m.m[1][c], m.m[2][c]}}; }

float dot(const Vec& a, const Vec& b) {
  return a.v[0] * b.v[0] + a.v[1] * b.v[1] + a.v[2] * b.v[2];
}

// a - s * b
Vec minusScaled(const Vec& a, float s, const Vec& b) {
  return Vec{{a.v[0] - s * b.v[0], a.v[1] - s * b.v[1], a.v[2] - s * b.v[2]}};
}

Vec normalise(const Vec& a) {
  float d = dot(a, a);
  float f = d <= kSmallestNormal ? kLargestFloat : 1.0f / std::sqrt(d);
  return Vec{{a.v[0] * f, a.v[1] * f, a.v[2] * f}};
}

}  // namespace

Quaternion quaternionOfBlock(const Matrix4x4& mat) {
  const float(*m)[4] = mat.m;
  Quaternion q;
  float trace = m[0][0] + m[1][1] + m[2][2];
  if (trace > 0.0f) {
    float r = std::sqrt(trace + 1.0f);
    q.w = r / 2.0f;
    float f = 0.5f / r;
    q.x = (m[2][1] - m[1][2]) * f;
    q.y = (m[0][2] - m[2][0]) * f;
    q.z = (m[1][0] - m[0][1]) * f;
    return q;
  }
  int i = 0;
  if (m[1][1] > m[0][0]) i = 1;
  if (m[2][2] > m[i][i]) i = 2;
  int j = (i + 1) % 3;
  int k = (j + 1) % 3;
  float r = std::sqrt(m[i][i] - m[j][j] - m[k][k] + 1.0f);
  float f = 0.5f / r;
  float c[3];
  c[i] = r / 2.0f;
  c[j] = (m[j][i] + m[i][j]) * f;
  c[k] = (m[k][i] + m[i][k]) * f;
  q.x = c[0];
  q.y = c[1];
  q.z = c[2];
  q.w = (m[k][j] - m[j][k]) * f;
  return q;
}

void setRotationBlock(Matrix4x4& mat, const Quaternion& q) {
  float s = 2.0f / (q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w);
  float(*m)[4] = mat.m;
  m[0][0] = 1.0f - s * (q.y * q.y + q.z * q.z);
  m[0][1] = s * (q.x * q.y - q.z * q.w);
  m[0][2] = s * (q.x * q.z + q.y * q.w);
  m[1][0] = s * (q.x * q.y + q.z * q.w);
  m[1][1] = 1.0f - s * (q.x * q.x + q.z * q.z);
  m[1][2] = s * (q.y * q.z - q.x * q.w);
  m[2][0] = s * (q.x * q.z - q.y * q.w);
  m[2][1] = s * (q.y * q.z + q.x * q.w);
  m[2][2] = 1.0f - s * (q.x * q.x + q.y * q.y);
}

void orthonormaliseBlock(Matrix4x4& m) {
  Vec c0 = column(m, 0), c1 = column(m, 1), c2 = column(m, 2);
  Vec u0 = normalise(c0);
  Vec u1 = normalise(minusScaled(c1, dot(c1, u0), u0));
  Vec u2 = normalise(minusScaled(minusScaled(c2, dot(c2, u0), u0), dot(c2, u1), u1));
  const Vec* u[3] = {&u0, &u1, &u2};
  for (int c = 0; c < 3; ++c)
    for (int r = 0; r < 3; ++r) m.m[r][c] = u[c]->v[r];
}

Quaternion slerp(const Quaternion& q0, const Quaternion& q1, float t) {
  float d = q0.dot(q1);
  float sign = 1.0f;
  if (d < 0.0f) {
    d = -d;
    sign = -1.0f;
  }
  float theta = std::acos(d > 1.0f ? 1.0f : d);
  float s = std::sin(theta);
  if (!(s >= kSmallestNormal)) return q0;
  float a = std::sin((1.0f - t) * theta) / s;
  float b = sign * (std::sin(t * theta) / s);
  return Quaternion{a * q0.x + b * q1.x, a * q0.y + b * q1.y, a * q0.z + b * q1.z,
                    a * q0.w + b * q1.w};
}

}  // namespace math
