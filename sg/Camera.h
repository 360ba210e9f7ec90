// sg::Camera: a viewpoint node with its view frustum. Registered with the
// archive library only as derived from sg::Node; it has no archive form.
#pragma once

#include "sg/Node.h"
#include "sg/ViewFrustum.h"

namespace sg {

class Camera : public Node {
 public:
  ViewFrustum m_frustum;
};

}  // namespace sg
