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

// The sources of one blend: `count` entries of each array.
struct BlendSources {
  const Node* const* nodes;
  const float* times;
  const float* weights;
  int count;
};

// The weighted sum of the sources' translations, each scaled by its
// reference-length ratio to `ownReferenceLength`; updates translation hints.
void sumTranslations(const BlendSources& in, float ownReferenceLength,
                     Node::TransformHintVector& hints, float out[3]) {
  float sum[3] = {0.0f, 0.0f, 0.0f};  // local: no store can alias it
  for (int i = 0; i < in.count; ++i) {
    const Node* s = in.nodes[i];
    if (!s) continue;
    float w = in.weights[i];
    float ratio = translationRatio(ownReferenceLength, s->referenceLength);
    float st[3];
    if (s->translationTrack) {
      Node::TransformHint& h = hints[static_cast<std::size_t>(i)];
      h.translation = s->translationTrack->evaluate(in.times[i], st, 3, h.translation);
    } else {
      for (int c = 0; c < 3; ++c) st[c] = s->m_localTransform.m[c][3];
    }
    for (int c = 0; c < 3; ++c) sum[c] = sum[c] + st[c] * w * ratio;
  }
  for (int c = 0; c < 3; ++c) out[c] = sum[c];
}

// The weighted sum of the sources' scales (a source without a scale track
// adds its weight); updates scale hints. Returns whether any source had a
// scale track: only then does the sum apply.
bool sumScales(const BlendSources& in, Node::TransformHintVector& hints, float out[3]) {
  float sum[3] = {0.0f, 0.0f, 0.0f};
  bool scaled = false;
  for (int i = 0; i < in.count; ++i) {
    const Node* s = in.nodes[i];
    if (!s) continue;
    float w = in.weights[i];
    if (s->scaleTrack) {
      float sc[3];
      Node::TransformHint& h = hints[static_cast<std::size_t>(i)];
      h.scale = s->scaleTrack->evaluate(in.times[i], sc, 3, h.scale);
      for (int c = 0; c < 3; ++c) sum[c] = sum[c] + sc[c] * w;
      scaled = true;
    } else {
      for (int c = 0; c < 3; ++c) sum[c] = sum[c] + w;
    }
  }
  for (int c = 0; c < 3; ++c) out[c] = sum[c];
  return scaled;
}

// The sources' rotations accumulated by slerp, each taking the share
// w / (weight so far); the identity when no weight accumulates. Updates
// rotation hints.
math::Quaternion accumulateRotations(const BlendSources& in, Node::TransformHintVector& hints) {
  math::Quaternion q;  // identity
  float accumulated = 0.0f;
  for (int i = 0; i < in.count; ++i) {
    const Node* s = in.nodes[i];
    if (!s) continue;
    math::Quaternion qi =
        sourceRotation(*s, in.times[i], hints[static_cast<std::size_t>(i)].rotation);
    float w = in.weights[i];
    if (accumulated >= math::kSmallestNormal) {
      if (q.dot(qi) < 0.0f) qi = math::Quaternion{-qi.x, -qi.y, -qi.z, -qi.w};
      accumulated = accumulated + w;
      q = math::slerp(q, qi, w / accumulated);
    } else {
      q = qi;
      accumulated = w;
    }
  }
  return q;
}

}  // namespace

void Node::animate(float time) {
  const Node* self = this;
  const float one = 1.0f;
  blend(&self, &time, &one, 1);
}

void Node::blend(const Node* const* sources, const float* times, const float* weights, int count) {
  const BlendSources in{sources, times, weights, count < 0 ? 0 : count};
  transformHints.resize(static_cast<std::size_t>(in.count));

  // Pass 1, translation. It is written before the rotation pass reads the
  // sources, which may include this node: that pass reads 3x3 blocks only.
  float t[3];
  sumTranslations(in, referenceLength, transformHints, t);
  for (int c = 0; c < 3; ++c) m_localTransform.m[c][3] = t[c];
  m_localTransform.m[3][3] = 1.0f;

  // Pass 2, scale; pass 3, rotation; the block is the rotation with each
  // column scaled when a source had a scale track.
  float scale[3];
  bool scaled = sumScales(in, transformHints, scale);
  math::setRotationBlock(m_localTransform, accumulateRotations(in, transformHints));
  if (scaled) {
    for (int r = 0; r < 3; ++r)
      for (int c = 0; c < 3; ++c) m_localTransform.m[r][c] *= scale[c];
  }
  m_flags |= kTransformAnimatedFlag;
}

}  // namespace sg
