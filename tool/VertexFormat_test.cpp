#include "tool/VertexFormat.h"

#include <gtest/gtest.h>

namespace {

using tool::VertexFormat;

TEST(VertexFormat, ResetHoldsPositionsOnly) {
  VertexFormat f;
  f.enableNormals();
  f.enableColors();
  f.addLayer(2);
  f.setWeightCount(2);
  f.reset();
  EXPECT_FALSE(f.hasNormals());
  EXPECT_FALSE(f.hasColors());
  EXPECT_EQ(0, f.getLayerCount());
  EXPECT_EQ(0, f.getWeightCount());
}

TEST(VertexFormat, WeightCountAboveThreeIsThree) {
  VertexFormat f;
  const int cases[][2] = {{0, 0}, {1, 1}, {3, 3}, {4, 3}, {100, 3}};
  for (const auto& c : cases) {
    f.setWeightCount(c[0]);
    EXPECT_EQ(c[1], f.getWeightCount()) << c[0];
  }
}

TEST(VertexFormat, HoldsAtMostSixteenLayers) {
  VertexFormat f;
  for (int i = 0; i < 20; ++i) f.addLayer(1 + i % 4);
  EXPECT_EQ(16, f.getLayerCount());
  EXPECT_EQ(1, f.getLayerDimension(0));
  EXPECT_EQ(4, f.getLayerDimension(15));
  EXPECT_EQ(0, f.getLayerDimension(16));
  f.enableNormals();
  EXPECT_TRUE(f.hasNormals());
  EXPECT_FALSE(f.hasColors());
}

}  // namespace
