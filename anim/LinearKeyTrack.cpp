#include "anim/LinearKeyTrack.h"

#include <algorithm>
#include <cmath>

namespace anim {

bool LinearKeyTrack::addKey(float time, float x, float y, float z, float w) {
  if (!m_keys.empty() && !(time >= m_keys.back().time)) return false;
  m_keys.push_back(Key{time, {x, y, z, w}});
  return true;
}

std::uint32_t LinearKeyTrack::evaluate(float time, float* out, int components,
                                       std::uint32_t hint) const {
  const int n = std::max(0, std::min(components, 4));
  if (m_keys.empty()) {
    for (int c = 0; c < n; ++c) out[c] = (c == 3) ? 1.0f : 0.0f;
    return 0;
  }
  const std::size_t last = m_keys.size() - 1;
  std::size_t i = std::min<std::size_t>(hint, last);
  // Resume the search at the hinted key: i becomes the last key with
  // time <= `time` (0 when `time` is before every key).
  while (i > 0 && time < m_keys[i].time) --i;
  while (i < last && m_keys[i + 1].time <= time) ++i;

  const Key& a = m_keys[i];
  if (i == last || time <= a.time) {
    for (int c = 0; c < n; ++c) out[c] = a.value[c];
    return static_cast<std::uint32_t>(i);
  }
  const Key& b = m_keys[i + 1];
  float t = (time - a.time) / (b.time - a.time);
  float sign = 1.0f;
  if (n == 4) {
    float d = 0.0f;
    for (int c = 0; c < 4; ++c) d += a.value[c] * b.value[c];
    if (d < 0.0f) sign = -1.0f;
  }
  float len2 = 0.0f;
  for (int c = 0; c < n; ++c) {
    out[c] = a.value[c] + (sign * b.value[c] - a.value[c]) * t;
    len2 += out[c] * out[c];
  }
  if (n == 4 && len2 > 0.0f) {
    float f = 1.0f / std::sqrt(len2);
    for (int c = 0; c < 4; ++c) out[c] *= f;
  }
  return static_cast<std::uint32_t>(i);
}

}  // namespace anim
