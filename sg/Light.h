// sg::Light: a light source node. Archived as "Base" (its sg::Node part, in
// the node's own form) followed by seventeen light fields; class version 0,
// not tracked (each occurrence is written in full). Has no pointer form:
// archiving a node pointer to a light fails with "unregistered class".
#pragma once

#include <boost/serialization/tracking.hpp>
#include <boost/serialization/version.hpp>

#include "math/Vector3.h"
#include "pix/Colorf.h"
#include "sg/Node.h"

namespace sg {

class Light : public Node {
 public:
  Light() = default;
  // A fresh, unlinked light with this light's state (see sg::Node).
  Light(const Light& other) = default;
  ~Light() override = default;

  bool operator==(const Light& o) const;  // the light fields only

  pix::Colorf m_diffuse;
  pix::Colorf m_specular;
  pix::Colorf m_ambient;
  math::Vector3 m_scale{1.0f, 1.0f, 1.0f};
  float m_intensity = 1.0f;
  float m_ambient_intensity = 0.0f;
  float m_rangefar = 0.0f;
  float m_rangenear = 0.0f;
  float m_maxintensity = 1.0f;
  float m_max_range_far = 0.0f;
  float m_shadow_intensity = 0.0f;
  float m_laplaceWeight = 0.0f;
  int m_lightflags = 0;
  int m_shadowIndex = 0;
  bool m_dirty = false;
  bool m_animate_intensity_only = false;
  bool m_isMultiply = false;

  // Archive form; defined in sg/Light.cpp for the XML archives. Throws the
  // archive's exceptions and as math::archiveFloat. A failed read frees the
  // nodes it made (see sg/NodeLoadSession.h).
  template <class Archive>
  void serialize(Archive& ar, const unsigned int version);

 protected:
  // A fresh, unlinked light with this light's state: clone copies a light in
  // a tree as a light. Throws std::bad_alloc.
  lang::Ptr<Node> cloneUnlinked() const override;
};

}  // namespace sg

BOOST_CLASS_VERSION(sg::Light, 0)
BOOST_CLASS_TRACKING(sg::Light, boost::serialization::track_never)
