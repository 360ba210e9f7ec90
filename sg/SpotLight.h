// sg::SpotLight: a light with a cone. Registered with the archive library
// only as derived from sg::Light; it has no archive form of its own.
#pragma once

#include "sg/Light.h"

namespace sg {

class SpotLight : public Light {};

}  // namespace sg
