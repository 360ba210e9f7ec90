// Node animation: blend and animate, the rotation arithmetic under them and
// the linear key track.
#include <cmath>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "anim/LinearKeyTrack.h"
#include "math/Quaternion.h"
#include "sg/Node.h"

namespace {

constexpr float kPi = 3.14159265358979f;
constexpr float kTol = 2e-6f;

math::Quaternion axisAngle(float x, float y, float z, float degrees) {
  float len = std::sqrt(x * x + y * y + z * z);
  float h = degrees * kPi / 360.0f;
  float s = std::sin(h) / len;
  return math::Quaternion{x * s, y * s, z * s, std::cos(h)};
}

math::Matrix4x4 transform(const math::Quaternion& q, float tx, float ty, float tz) {
  math::Matrix4x4 m;
  math::setRotationBlock(m, q);
  m.m[0][3] = tx;
  m.m[1][3] = ty;
  m.m[2][3] = tz;
  return m;
}

lang::Ptr<sg::Node> source(const math::Matrix4x4& local) {
  lang::Ptr<sg::Node> n(new sg::Node);
  n->m_localTransform = local;
  return n;
}

void expectNear(const math::Matrix4x4& a, const math::Matrix4x4& b, float tol = kTol) {
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) EXPECT_NEAR(a.m[r][c], b.m[r][c], tol) << r << "," << c;
}

// Blends `sources` (entries may be null) at time 0 into a fresh node.
lang::Ptr<sg::Node> blendInto(std::vector<const sg::Node*> sources, std::vector<float> weights,
                              float ownReferenceLength = -1.0f) {
  lang::Ptr<sg::Node> target(new sg::Node);
  target->referenceLength = ownReferenceLength;
  target->m_localTransform.m[3][3] = 7.0f;
  std::vector<float> times(sources.size(), 0.0f);
  target->blend(sources.data(), times.data(), weights.data(), static_cast<int>(sources.size()));
  return target;
}

// A track that gives a fixed value, records the (time, hint) of each call
// and returns hint + step.
class RecordingTrack : public anim::Track {
 public:
  RecordingTrack(std::vector<float> value, std::uint32_t step)
      : m_value(std::move(value)), m_step(step) {}
  std::uint32_t evaluate(float time, float* out, int components,
                         std::uint32_t hint) const override {
    calls.emplace_back(time, hint);
    for (int c = 0; c < components; ++c) out[c] = m_value[static_cast<size_t>(c)];
    return hint + m_step;
  }
  mutable std::vector<std::pair<float, std::uint32_t>> calls;

 private:
  std::vector<float> m_value;
  std::uint32_t m_step;
};

TEST(QuaternionMath, BlockAndQuaternionAreInverse) {
  const math::Quaternion cases[] = {axisAngle(0, 0, 1, 90),  axisAngle(1, 2, 3, 30),
                                    axisAngle(1, 0, 0, 180), axisAngle(0, 1, 0, 179),
                                    axisAngle(1, 1, 0, 250), axisAngle(0, 0, 1, 0)};
  for (const math::Quaternion& q : cases) {
    math::Matrix4x4 m;
    math::setRotationBlock(m, q);
    math::Quaternion back = math::quaternionOfBlock(m);
    float d = std::fabs(back.dot(q));  // q and -q are one rotation
    EXPECT_NEAR(d, 1.0f, 1e-6f);
  }
}

TEST(QuaternionMath, OrthonormalisingKeepsRotationDropsScale) {
  math::Matrix4x4 m = transform(axisAngle(0, 0, 1, 90), 0, 0, 0);
  for (int r = 0; r < 3; ++r) m.m[r][0] *= 2.0f;
  math::orthonormaliseBlock(m);
  expectNear(m, transform(axisAngle(0, 0, 1, 90), 0, 0, 0));
  math::Matrix4x4 zero = math::Matrix4x4::zero();
  math::orthonormaliseBlock(zero);
  EXPECT_EQ(zero, math::Matrix4x4::zero());  // a zero column stays zero
}

TEST(NodeBlend, AnimateWithoutTracksKeepsAPureRotation) {
  math::Matrix4x4 local = transform(axisAngle(1, 2, 3, 40), 1.5f, -2, 3);
  local.m[3][3] = 0.5f;
  lang::Ptr<sg::Node> n = source(local);
  n->animate(2.0f);
  local.m[3][3] = 1.0f;
  expectNear(n->m_localTransform, local);
  EXPECT_EQ(n->m_localTransform.m[3][3], 1.0f);
  EXPECT_NE(n->m_flags & sg::Node::kTransformAnimatedFlag, 0);
  EXPECT_EQ(n->transformHints.size(), 1u);
}

TEST(NodeBlend, HalfAndHalfGiveTheMidRotationAndMeanTranslation) {
  lang::Ptr<sg::Node> a = source(transform(math::Quaternion(), 2, 0, 0));
  lang::Ptr<sg::Node> b = source(transform(axisAngle(0, 0, 1, 90), 0, 4, 6));
  lang::Ptr<sg::Node> t = blendInto({a.get(), b.get()}, {0.5f, 0.5f});
  expectNear(t->m_localTransform, transform(axisAngle(0, 0, 1, 45), 1, 2, 3));
}

TEST(NodeBlend, ReadOnlySourcesBlendAsTheirWritableSelves) {
  // Sources that the caller may only read: a const node on the stack and a
  // shared node seen through a const reference. An array of writable nodes
  // blends the same.
  const sg::Node a = *source(transform(math::Quaternion(), 2, 0, 0));
  const lang::Ptr<sg::Node> shared = source(transform(axisAngle(0, 0, 1, 90), 0, 4, 6));
  const sg::Node& b = *shared;
  const math::Matrix4x4 aBefore = a.m_localTransform;
  const math::Matrix4x4 bBefore = b.m_localTransform;
  const sg::Node* readOnly[] = {&a, &b};
  const float times[] = {0, 0};
  const float weights[] = {0.5f, 0.5f};
  sg::Node fromReadOnly;
  fromReadOnly.blend(readOnly, times, weights, 2);
  expectNear(fromReadOnly.m_localTransform, transform(axisAngle(0, 0, 1, 45), 1, 2, 3));
  EXPECT_EQ(a.m_localTransform, aBefore);
  EXPECT_EQ(b.m_localTransform, bBefore);

  lang::Ptr<sg::Node> writableA(new sg::Node(a));
  sg::Node* writable[] = {writableA.get(), shared.get()};
  sg::Node fromWritable;
  fromWritable.blend(writable, times, weights, 2);
  EXPECT_EQ(fromWritable.m_localTransform, fromReadOnly.m_localTransform);
}

TEST(NodeBlend, WeightsOneAndOneSumTranslations) {
  lang::Ptr<sg::Node> a = source(transform(math::Quaternion(), 2, 0, 0));
  lang::Ptr<sg::Node> b = source(transform(axisAngle(0, 0, 1, 90), 0, 4, 6));
  lang::Ptr<sg::Node> t = blendInto({a.get(), b.get()}, {1, 1});
  expectNear(t->m_localTransform, transform(axisAngle(0, 0, 1, 45), 2, 4, 6));
}

TEST(NodeBlend, ReferenceLengthRatio) {
  struct Case {
    float own, src, expectedX;
  } cases[] = {
      {1, 2, 5},    // half
      {4, 2, 20},   // double
      {1, -1, 10},  // source without reference: unscaled
      {1, 0, 10},   //
      {-1, 2, 10},  // this node without reference: unscaled, not mirrored
      {0, 2, 10},   //
  };
  for (const Case& c : cases) {
    lang::Ptr<sg::Node> s = source(transform(math::Quaternion(), 10, 0, 0));
    s->referenceLength = c.src;
    lang::Ptr<sg::Node> t = blendInto({s.get()}, {1}, c.own);
    EXPECT_FLOAT_EQ(t->m_localTransform.m[0][3], c.expectedX) << c.own << " / " << c.src;
  }
}

TEST(NodeBlend, FirstSourceOfWeightZeroDoesNotStartTheAccumulation) {
  lang::Ptr<sg::Node> a = source(transform(axisAngle(0, 0, 1, 90), 0, 0, 0));
  lang::Ptr<sg::Node> b = source(transform(axisAngle(1, 0, 0, 90), 0, 0, 0));
  lang::Ptr<sg::Node> t = blendInto({a.get(), b.get()}, {0, 0.25f});
  expectNear(t->m_localTransform, transform(axisAngle(1, 0, 0, 90), 0, 0, 0));
}

TEST(NodeBlend, NullSourcesContributeNothing) {
  lang::Ptr<sg::Node> a = source(transform(axisAngle(0, 1, 0, 60), 3, 2, 1));
  lang::Ptr<sg::Node> t = blendInto({nullptr, a.get(), nullptr}, {5, 1, 7});
  expectNear(t->m_localTransform, transform(axisAngle(0, 1, 0, 60), 3, 2, 1));
  EXPECT_EQ(t->transformHints.size(), 3u);
}

TEST(NodeBlend, CountZeroGivesTheIdentity) {
  lang::Ptr<sg::Node> t = blendInto({}, {});
  expectNear(t->m_localTransform, math::Matrix4x4::identity(), 0.0f);
  EXPECT_NE(t->m_flags & sg::Node::kTransformAnimatedFlag, 0);
}

TEST(NodeBlend, OppositeQuaternionsBlendAsOneRotation) {
  math::Quaternion q = axisAngle(1, 1, 0, 70);
  lang::Ptr<sg::Node> a(new sg::Node), b(new sg::Node);
  a->rotationTrack = lang::Ptr<anim::Track>(new RecordingTrack({q.x, q.y, q.z, q.w}, 0));
  b->rotationTrack = lang::Ptr<anim::Track>(new RecordingTrack({-q.x, -q.y, -q.z, -q.w}, 0));
  lang::Ptr<sg::Node> t = blendInto({a.get(), b.get()}, {0.5f, 0.5f});
  expectNear(t->m_localTransform, transform(q, 0, 0, 0));
}

TEST(NodeBlend, WithoutScaleTrackTheBlockIsAPureRotation) {
  // A block scaled by 2 and turned 90 degrees about z gives exactly that turn.
  math::Matrix4x4 scaled = transform(axisAngle(0, 0, 1, 90), 0, 0, 0);
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) scaled.m[r][c] *= 2.0f;
  lang::Ptr<sg::Node> s = source(scaled);
  lang::Ptr<sg::Node> t = blendInto({s.get()}, {1});
  expectNear(t->m_localTransform, transform(axisAngle(0, 0, 1, 90), 0, 0, 0));

  // With a scale track the rotation's columns take the blended scale.
  s->scaleTrack = lang::Ptr<anim::Track>(new RecordingTrack({2, 3, 4}, 0));
  t = blendInto({s.get()}, {1});
  math::Matrix4x4 expected = transform(axisAngle(0, 0, 1, 90), 0, 0, 0);
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) expected.m[r][c] *= static_cast<float>(c + 2);
  expectNear(t->m_localTransform, expected, 1e-5f);
}

TEST(NodeBlend, ScalesOfSourcesWithoutTrackCountTheirWeight) {
  lang::Ptr<sg::Node> a(new sg::Node), b(new sg::Node);
  a->scaleTrack = lang::Ptr<anim::Track>(new RecordingTrack({4, 4, 4}, 0));
  lang::Ptr<sg::Node> t = blendInto({a.get(), b.get()}, {0.5f, 0.5f});
  // 4 * 0.5 + 0.5 (the source without a scale track adds its weight)
  EXPECT_NEAR(t->m_localTransform.m[0][0], 2.5f, kTol);
  EXPECT_NEAR(t->m_localTransform.m[2][2], 2.5f, kTol);
}

TEST(NodeBlend, HintsAreHandedBackPerSourceAndTrack) {
  lang::Ptr<sg::Node> a(new sg::Node), b(new sg::Node);
  auto* ta = new RecordingTrack({1, 2, 3}, 10);
  auto* ra = new RecordingTrack({0, 0, 0, 1}, 100);
  auto* sb = new RecordingTrack({1, 1, 1}, 1000);
  a->translationTrack = lang::Ptr<anim::Track>(ta);
  a->rotationTrack = lang::Ptr<anim::Track>(ra);
  b->scaleTrack = lang::Ptr<anim::Track>(sb);
  lang::Ptr<sg::Node> t(new sg::Node);
  sg::Node* sources[] = {b.get(), a.get()};
  float times[] = {0.5f, 1.5f};
  float weights[] = {1, 1};
  t->blend(sources, times, weights, 2);
  t->blend(sources, times, weights, 2);
  ASSERT_EQ(ta->calls.size(), 2u);
  EXPECT_EQ(ta->calls[0], std::make_pair(1.5f, 0u));
  EXPECT_EQ(ta->calls[1], std::make_pair(1.5f, 10u));
  EXPECT_EQ(ra->calls[1].second, 100u);
  EXPECT_EQ(sb->calls[1], std::make_pair(0.5f, 1000u));
  EXPECT_EQ(t->transformHints[1].translation, 20u);
  EXPECT_EQ(t->transformHints[1].rotation, 200u);
  EXPECT_EQ(t->transformHints[0].scale, 2000u);
  EXPECT_EQ(t->transformHints[0].translation, 0u);

  // Fewer sources drop the hints beyond; more add zero hints.
  t->blend(sources, times, weights, 1);
  ASSERT_EQ(t->transformHints.size(), 1u);
  EXPECT_EQ(t->transformHints[0].scale, 3000u);
  t->blend(sources, times, weights, 2);
  EXPECT_EQ(ta->calls.back().second, 0u);
}

TEST(LinearKeyTrack, InterpolatesAndResumesFromTheHint) {
  anim::LinearKeyTrack track;
  ASSERT_TRUE(track.addKey(0, 0, 0, 0));
  ASSERT_TRUE(track.addKey(1, 10, 20, 30));
  ASSERT_TRUE(track.addKey(3, 10, 0, 30));
  EXPECT_FALSE(track.addKey(2, 0, 0, 0));  // out of order
  struct Case {
    float time;
    float y;
    std::uint32_t hint;
  } cases[] = {{-1, 0, 0}, {0.5f, 10, 0}, {1, 20, 1}, {2, 10, 1}, {3, 0, 2}, {9, 0, 2}};
  std::uint32_t hint = 0;
  for (const Case& c : cases) {
    float out[3];
    hint = track.evaluate(c.time, out, 3, hint);
    EXPECT_FLOAT_EQ(out[1], c.y) << c.time;
    EXPECT_EQ(hint, c.hint) << c.time;
    // Any hint gives the same value.
    for (std::uint32_t other : {0u, 1u, 2u, 77u, 0xFFFFFFFFu}) {
      float again[3];
      EXPECT_EQ(track.evaluate(c.time, again, 3, other), c.hint);
      EXPECT_FLOAT_EQ(again[1], c.y);
    }
  }
}

TEST(LinearKeyTrack, QuaternionKeysStayUnitAlongTheShorterArc) {
  anim::LinearKeyTrack track;
  math::Quaternion a = axisAngle(0, 0, 1, 0), b = axisAngle(0, 0, 1, 90);
  track.addKey(0, a.x, a.y, a.z, a.w);
  track.addKey(1, -b.x, -b.y, -b.z, -b.w);  // the same turn, stored negated
  float q[4];
  track.evaluate(0.5f, q, 4, 0);
  math::Quaternion mid{q[0], q[1], q[2], q[3]};
  EXPECT_NEAR(mid.dot(mid), 1.0f, 1e-6f);
  EXPECT_NEAR(std::fabs(mid.dot(axisAngle(0, 0, 1, 45))), 1.0f, 1e-6f);

  anim::LinearKeyTrack empty;
  empty.evaluate(0, q, 4, 5);
  EXPECT_EQ(q[3], 1.0f);
}

}  // namespace
