// Node animation: blending weighted sources into a node's local transform.
//
// Each source gives a translation, a rotation and a scale: from its tracks
// when it has them, else from its own local transform. Translations are
// summed with their weights (scaled by this node's reference length over the
// source's when both are positive); scales are summed with their weights;
// rotations are accumulated by slerp, each new rotation taking the share
// w / (accumulated weight). All arithmetic is single precision.
#include <algorithm>

#include "math/Quaternion.h"
#include "sg/Node.h"

namespace sg {
namespace {

// This node's translation ratio for source `s`: applies only when both
// reference lengths are positive (the default -1 means "no reference").
float translationRatio(float own, float source) {
  return (own > 0.0f && source > 0.0f) ? own / source : 1.0f;
}

math::Quaternion sourceRotation(const Node& s, float time, std::uint32_t& hint) {
  if (s.rotationTrack) {
    float q[4];
    hint = s.rotationTrack->evaluate(time, q, 4, hint);
    return math::Quaternion{q[0], q[1], q[2], q[3]};
  }
  // The rotation of the orthonormalised block, so that a scaled block gives
  // its pure rotation whether or not the source has a scale track.
  math::Matrix4x4 block = s.m_localTransform;
  math::orthonormaliseBlock(block);
  return math::quaternionOfBlock(block);
}

}  // namespace

void Node::animate(float time) {
  Node* self = this;
  const float one = 1.0f;
  blend(&self, &time, &one, 1);
}

void Node::blend(Node* const* sources, const float* times, const float* weights, int count) {
  if (count < 0) count = 0;
  transformHints.resize(static_cast<std::size_t>(count));

  float t[3] = {0.0f, 0.0f, 0.0f};
  for (int i = 0; i < count; ++i) {
    const Node* s = sources[i];
    if (!s) continue;
    float w = weights[i];
    float ratio = translationRatio(referenceLength, s->referenceLength);
    float st[3];
    if (s->translationTrack) {
      TransformHint& h = transformHints[i];
      h.translation = s->translationTrack->evaluate(times[i], st, 3, h.translation);
    } else {
      for (int c = 0; c < 3; ++c) st[c] = s->m_localTransform.m[c][3];
    }
    for (int c = 0; c < 3; ++c) t[c] = t[c] + st[c] * w * ratio;
  }
  for (int c = 0; c < 3; ++c) m_localTransform.m[c][3] = t[c];
  m_localTransform.m[3][3] = 1.0f;
  m_flags |= kTransformAnimatedFlag;

  float scale[3] = {0.0f, 0.0f, 0.0f};
  bool scaled = false;
  for (int i = 0; i < count; ++i) {
    const Node* s = sources[i];
    if (!s) continue;
    float w = weights[i];
    if (s->scaleTrack) {
      float sc[3];
      TransformHint& h = transformHints[i];
      h.scale = s->scaleTrack->evaluate(times[i], sc, 3, h.scale);
      for (int c = 0; c < 3; ++c) scale[c] = scale[c] + sc[c] * w;
      scaled = true;
    } else {
      for (int c = 0; c < 3; ++c) scale[c] = scale[c] + w;
    }
  }

  math::Quaternion q;  // identity
  float accumulated = 0.0f;
  for (int i = 0; i < count; ++i) {
    const Node* s = sources[i];
    if (!s) continue;
    math::Quaternion qi = sourceRotation(*s, times[i], transformHints[i].rotation);
    float w = weights[i];
    if (accumulated >= math::kSmallestNormal) {
      if (q.dot(qi) < 0.0f) qi = math::Quaternion{-qi.x, -qi.y, -qi.z, -qi.w};
      accumulated = accumulated + w;
      q = math::slerp(q, qi, w / accumulated);
    } else {
      q = qi;
      accumulated = w;
    }
  }

  math::setRotationBlock(m_localTransform, q);
  if (scaled) {
    for (int r = 0; r < 3; ++r)
      for (int c = 0; c < 3; ++c) m_localTransform.m[r][c] *= scale[c];
  }
  m_flags |= kTransformAnimatedFlag;
}

}  // namespace sg
