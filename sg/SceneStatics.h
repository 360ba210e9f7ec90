// The static objects of the scene graph, made empty at program start (in the
// registrations object, see sg/Registrations.cpp). Nothing fills or archives
// them; they are reachable here so that they can be inspected.
#pragma once

#include "lang/Ptr.h"
#include "math/Matrix4x4.h"
#include "math/Vector3.h"
#include "sg/ContextObjectList.h"
#include "util/Vector.h"

namespace sg {
class Node;
class Light;

using NodeList = util::Vector<Node*>;

util::Vector<lang::Ptr<NodeList>>& staticNodeLists();
util::Vector<Light*>& staticLights();
util::Vector<math::Matrix4x4>& staticMatrices();
util::Vector<math::Vector3>& staticVectors();
ContextObjectList& staticContextObjects();

}  // namespace sg
