// anim::Track: an animation track, a curve over time of 3 (translation,
// scale) or 4 (rotation quaternion x, y, z, w) float components.
// Reference counted; nodes share their tracks through lang::Ptr.
//
// The hint is opaque to callers: a track returns one from each evaluation and
// is handed it back at the next evaluation from the same place, so it can
// resume its key search where it stopped. A new caller hands in 0.
#pragma once

#include <cstdint>

#include "lang/Object.h"

namespace anim {

class Track : public lang::Object {
 public:
  ~Track() override = default;

  // Writes `components` floats of the curve at `time` into `out` and returns
  // the hint for the next evaluation. Must not throw.
  virtual std::uint32_t evaluate(float time, float* out, int components,
                                 std::uint32_t hint) const = 0;
};

}  // namespace anim
