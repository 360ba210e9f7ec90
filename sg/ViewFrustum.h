// sg::ViewFrustum: the viewing volume of a camera, its front (near) and back
// (far) clipping planes and its horizontal field of view.
// A plain value; archived in full at each occurrence (not tracked), version 0.
#pragma once

#include <boost/serialization/tracking.hpp>
#include <boost/serialization/version.hpp>

#include "math/FloatArchive.h"

namespace sg {

class ViewFrustum {
 public:
  float m_front = 1.0f;
  float m_back = 1000.0f;
  float m_horzFov = 1.0f;

  ViewFrustum() = default;
  ViewFrustum(float front, float back, float horzFov)
      : m_front(front), m_back(back), m_horzFov(horzFov) {}

  bool operator==(const ViewFrustum& o) const {
    return m_front == o.m_front && m_back == o.m_back && m_horzFov == o.m_horzFov;
  }

  // Throws as math::archiveFloat and the archive's own exceptions.
  template <class Archive>
  void serialize(Archive& ar, const unsigned int /*version*/) {
    math::archiveFloat(ar, "m_front", m_front);
    math::archiveFloat(ar, "m_back", m_back);
    math::archiveFloat(ar, "m_horzFov", m_horzFov);
  }
};

}  // namespace sg

BOOST_CLASS_VERSION(sg::ViewFrustum, 0)
BOOST_CLASS_TRACKING(sg::ViewFrustum, boost::serialization::track_never)
