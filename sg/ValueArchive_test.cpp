// Archive forms of the plain values: matrices, vectors, colours, frustums,
// effect settings, memory-fit lists and interpolators.
#include <cmath>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "anim/CombinedInterpolator.h"
#include "math/Matrix4x4.h"
#include "math/Vector3.h"
#include "pix/Colorf.h"
#include "sg/Effect.h"
#include "sg/ViewFrustum.h"
#include "testing/ArchiveIo.h"
#include "sgu/DownScalerMemoryFitItem.h"
#include "sgu/EffectManager.h"

using xmdtest::elementOf;
using xmdtest::loadXml;
using xmdtest::saveXml;
using Names = std::vector<std::string>;

namespace {

template <class T>
T roundTrip(const T& in, const char* name = "v") {
  T out;
  loadXml(saveXml(name, in), name, out);
  return out;
}

TEST(ValueArchive, MatrixWritesSixteenElementsInStorageOrder) {
  math::Matrix4x4 m;
  for (int i = 0; i < 16; ++i) m.data()[i] = 0.1f * static_cast<float>(i) - 0.7f;
  xmdtest::XmlElement e = elementOf(saveXml("m", m), "m");
  EXPECT_EQ(e.childNames(), (Names{"g00", "g01", "g02", "g03", "g10", "g11", "g12", "g13", "g20",
                                   "g21", "g22", "g23", "g30", "g31", "g32", "g33"}));
  EXPECT_EQ(e.attr("version"), "0");
  EXPECT_EQ(std::stof(e["g12"].text), m.m[1][2]);
  EXPECT_EQ(roundTrip(m), m);
}

TEST(ValueArchive, VectorNamesHoldADot) {
  math::Vector3 v(1.5f, -2.25f, 1e-30f);
  xmdtest::XmlElement e = elementOf(saveXml("v", v), "v");
  EXPECT_EQ(e.childNames(), (Names{"g.x", "g.y", "g.z"}));
  EXPECT_EQ(roundTrip(v), v);
}

TEST(ValueArchive, FloatsRoundTripBitForBit) {
  const float cases[] = {0.1f,
                         -0.0f,
                         std::numeric_limits<float>::denorm_min(),
                         std::numeric_limits<float>::max(),
                         1.0f / 3.0f,
                         std::numeric_limits<float>::min()};
  for (float f : cases) {
    pix::Colorf c(f, -f, f * 0.5f, 1.0f);
    pix::Colorf back = roundTrip(c);
    EXPECT_EQ(std::signbit(back.r), std::signbit(f));
    EXPECT_EQ(back, c) << f;
  }
}

TEST(ValueArchive, NonFiniteFloatIsRefusedWhenSaving) {
  const float bad[] = {std::numeric_limits<float>::quiet_NaN(),
                       std::numeric_limits<float>::infinity(),
                       -std::numeric_limits<float>::infinity()};
  for (float f : bad) {
    pix::Colorf c(0, 0, f, 0);
    try {
      saveXml("c", c);
      ADD_FAILURE() << "saved " << f;
    } catch (const boost::archive::archive_exception& e) {
      EXPECT_EQ(e.code, boost::archive::archive_exception::output_stream_error);
      EXPECT_NE(std::string(e.what()).find("blue"), std::string::npos) << e.what();
    }
  }
}

TEST(ValueArchive, ColourElements) {
  pix::Colorf c(0.25f, 0.5f, 0.75f, 1.0f);
  xmdtest::XmlElement e = elementOf(saveXml("c", c), "c");
  EXPECT_EQ(e.childNames(), (Names{"red", "green", "blue", "alpha"}));
  EXPECT_EQ(std::stof(e["blue"].text), 0.75f);
}

TEST(ValueArchive, FrustumIsUntrackedWithThreeElements) {
  sg::ViewFrustum f(0.5f, 900.0f, 1.25f);
  xmdtest::XmlElement e = elementOf(saveXml("f", f), "f");
  EXPECT_EQ(e.childNames(), (Names{"m_front", "m_back", "m_horzFov"}));
  EXPECT_EQ(e.attr("tracking_level"), "0");
  EXPECT_EQ(roundTrip(f), f);
}

TEST(ValueArchive, ReflectanceFactors) {
  sg::Effect::ReflectanceFactors r;
  r.diffuseColor = pix::Colorf(1, 0.5f, 0.25f, 1);
  r.specularColor = pix::Colorf(0.1f, 0.2f, 0.3f, 0.4f);
  r.specularPower = 32;
  r.specularLevel = 0.75f;
  xmdtest::XmlElement e = elementOf(saveXml("r", r), "r");
  EXPECT_EQ(e.childNames(),
            (Names{"diffuseColor", "specularColor", "specularPower", "specularLevel"}));
  EXPECT_EQ(e["specularColor"].childNames(), (Names{"red", "green", "blue", "alpha"}));
  EXPECT_EQ(roundTrip(r), r);
}

TEST(ValueArchive, EffectContainer) {
  sgu::EffectManager::EffectManagerImpl::SCBEffectContainer c;
  c.m_saturation = 1.1f;
  c.m_contrast = 1.2f;
  c.m_contrastLevel = 0.3f;
  c.m_colorBalance = pix::Colorf(1, 1, 0.9f, 1);
  c.m_brightness = pix::Colorf(0.1f, 0.1f, 0.1f, 0);
  c.m_fogOffset = 10;
  c.m_fogDensity = 0.01f;
  c.m_fogColor = pix::Colorf(0.5f, 0.6f, 0.7f, 1);
  c.m_laplaceWeight = 0.2f;
  c.m_laplaceColor = pix::Colorf(0, 0, 0, 1);
  xmdtest::XmlElement e = elementOf(saveXml("c", c), "c");
  EXPECT_EQ(e.childNames(), (Names{"m_saturation", "m_contrast", "m_contrastLevel",
                                   "m_colorBalance", "m_brightness", "m_fogOffset", "m_fogDensity",
                                   "m_fogColor", "m_laplaceWeight", "m_laplaceColor"}));
  EXPECT_EQ(e.attr("tracking_level"), "0");
  EXPECT_EQ(roundTrip(c), c);
}

TEST(ValueArchive, MemoryFitListIsACollection) {
  sgu::DownScalerMemoryFitList list;
  list.push_back({"textures/a b.dds", 4096});
  list.push_back({"<&>\"'", 0xFFFFFFFFu});
  xmdtest::XmlElement e = elementOf(saveXml("list", list), "list");
  EXPECT_EQ(e.childNames(), (Names{"count", "item_version", "item", "item"}));
  EXPECT_EQ(e["count"].text, "2");
  EXPECT_EQ(e["item_version"].text, "0");
  EXPECT_EQ(e.children[2].childNames(), (Names{"file_name", "size"}));
  EXPECT_EQ(roundTrip(list), list);
}

TEST(ValueArchive, ReadingAListReplacesItsContents) {
  sgu::DownScalerMemoryFitList list{{"a", 1}};
  sgu::DownScalerMemoryFitList target{{"x", 9}, {"y", 8}, {"z", 7}};
  loadXml(saveXml("l", list), "l", target);
  EXPECT_EQ(target, list);
}

TEST(ValueArchive, InterpolatorWithoutKeys) {
  anim::CombinedInterpolator<float> curve;
  curve.m_frontRepeatType = anim::REPEAT_LOOP;
  curve.m_backRepeatType = anim::REPEAT_MIRROR;
  xmdtest::XmlElement e = elementOf(saveXml("curve", curve), "curve");
  EXPECT_EQ(e.childNames(), (Names{"m_keys", "m_frontRepeatType", "m_backRepeatType"}));
  EXPECT_EQ(e["m_keys"].childNames(), (Names{"count", "item_version"}));
  EXPECT_EQ(e["m_keys"]["count"].text, "0");
  EXPECT_EQ(e["m_keys"]["item_version"].text, "0");
  EXPECT_EQ(e["m_backRepeatType"].text, "2");
  EXPECT_EQ(roundTrip(curve), curve);
}

TEST(ValueArchive, FloatKeysAreOneNumberColourKeysAnElement) {
  anim::CombinedInterpolator<float> f;
  f.m_keys.push_back({0.5f, 3.0f, 7.0f, 8.0f, anim::KEY_STEP});
  xmdtest::XmlElement fk = elementOf(saveXml("f", f), "f")["m_keys"]["item"];
  EXPECT_EQ(fk.childNames(), (Names{"m_time", "m_value", "m_keyType"}));
  EXPECT_TRUE(fk["m_value"].children.empty());
  EXPECT_EQ(std::stof(fk["m_value"].text), 3.0f);

  anim::CombinedInterpolator<pix::Colorf> c;
  c.m_keys.push_back({0.0f, pix::Colorf(1, 0, 0, 1), {}, {}, anim::KEY_LINEAR});
  c.m_keys.push_back({2.0f, pix::Colorf(0, 0, 1, 0.5f), {}, {}, anim::KEY_SMOOTH});
  c.m_keys[1].m_inTangent = pix::Colorf(9, 9, 9, 9);
  xmdtest::XmlElement ck = elementOf(saveXml("c", c), "c")["m_keys"];
  EXPECT_EQ(ck.childNames(), (Names{"count", "item_version", "item", "item"}));
  EXPECT_EQ(ck.children[3]["m_value"].childNames(), (Names{"red", "green", "blue", "alpha"}));

  anim::CombinedInterpolator<pix::Colorf> back = roundTrip(c);
  EXPECT_EQ(back, c);
  EXPECT_EQ(back.m_keys[1].m_inTangent, pix::Colorf());  // not archived
}

}  // namespace
