// anim::LinearKeyTrack: a track of keys (time, up to four components)
// interpolated linearly between neighbouring keys; with four components the
// keys are quaternions, interpolated by normalised linear interpolation along
// the shorter arc. Before the first key the first key's value holds, after the
// last key the last key's. Without keys it gives zeros (with four components
// the identity rotation (0, 0, 0, 1)).
//
// The hint is the index of the key at or before the previous evaluation's
// time; the key search resumes there, so evaluating at steadily increasing
// (or decreasing) times costs constant time per step. Any hint is safe.
// Keys are set before the track is shared; evaluation never changes it.
#pragma once

#include <cstdint>
#include <vector>

#include "anim/Track.h"

namespace anim {

class LinearKeyTrack : public Track {
 public:
  struct Key {
    float time;
    float value[4];
  };

  // Keys must be added in increasing time order; a key whose time is below
  // the last key's is refused (returns false).
  bool addKey(float time, float x, float y, float z, float w = 0.0f);
  std::size_t keyCount() const { return m_keys.size(); }

  std::uint32_t evaluate(float time, float* out, int components, std::uint32_t hint) const override;

 private:
  std::vector<Key> m_keys;
};

}  // namespace anim
