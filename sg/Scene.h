// sg::Scene: the root node of a scene. Registered with the archive library
// only as derived from sg::Node; it has no archive form.
#pragma once

#include "sg/Node.h"

namespace sg {

class Scene : public Node {};

}  // namespace sg
