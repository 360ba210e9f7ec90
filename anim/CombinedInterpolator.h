// anim::CombinedInterpolator<T>: a key-framed curve of T (float or
// pix::Colorf) with the repeat behaviour before its first and after its last
// key. Only its archive form is part of this library: the keys (time, value,
// key type) and the two repeat types. Instantiated for float and pix::Colorf.
#pragma once

#include <vector>

#include <boost/serialization/tracking.hpp>
#include <boost/serialization/version.hpp>

#include "math/FloatArchive.h"
#include "mem/VectorArchive.h"
#include "mem/allocator.h"
#include "pix/Colorf.h"

namespace anim {

// Values are archived as ints; an int read from an archive is kept as it is
// (the underlying type is int, so every value is representable).
enum KeyType : int { KEY_LINEAR = 0, KEY_STEP = 1, KEY_SMOOTH = 2 };
enum RepeatType : int { REPEAT_CONSTANT = 0, REPEAT_LOOP = 1, REPEAT_MIRROR = 2 };

namespace detail {
// Archives one key value: a float is one number, a colour its own element.
template <class Archive>
void archiveKeyValue(Archive& ar, float& v) {
  math::archiveFloat(ar, "m_value", v);
}
template <class Archive>
void archiveKeyValue(Archive& ar, pix::Colorf& v) {
  ar& boost::serialization::make_nvp("m_value", v);
}
}  // namespace detail

template <class T>
class CombinedInterpolator {
 public:
  struct Key {
    float m_time = 0.0f;
    T m_value{};
    // Tangents of the curve at the key; not archived. A key read from an
    // archive gets T{} in both.
    T m_inTangent{};
    T m_outTangent{};
    KeyType m_keyType = KEY_LINEAR;

    bool operator==(const Key& o) const {
      return m_time == o.m_time && m_value == o.m_value && m_keyType == o.m_keyType;
    }

    template <class Archive>
    void serialize(Archive& ar, const unsigned int /*version*/) {
      math::archiveFloat(ar, "m_time", m_time);
      detail::archiveKeyValue(ar, m_value);
      ar& boost::serialization::make_nvp("m_keyType", m_keyType);
      if constexpr (!Archive::is_saving::value) {
        m_inTangent = T{};
        m_outTangent = T{};
      }
    }
  };
  using KeyVector = std::vector<Key, mem::allocator<Key>>;

  KeyVector m_keys;
  RepeatType m_frontRepeatType = REPEAT_CONSTANT;
  RepeatType m_backRepeatType = REPEAT_CONSTANT;

  bool operator==(const CombinedInterpolator& o) const {
    return m_keys == o.m_keys && m_frontRepeatType == o.m_frontRepeatType &&
           m_backRepeatType == o.m_backRepeatType;
  }

  // Class version 0, not tracked. Throws as math::archiveFloat and the
  // archive's own exceptions; "count" is guarded as in mem/VectorArchive.h.
  template <class Archive>
  void serialize(Archive& ar, const unsigned int /*version*/) {
    ar& boost::serialization::make_nvp("m_keys", m_keys);
    ar& boost::serialization::make_nvp("m_frontRepeatType", m_frontRepeatType);
    ar& boost::serialization::make_nvp("m_backRepeatType", m_backRepeatType);
  }
};

}  // namespace anim

// Class version 0 (the default) and no tracking for both interpolators and
// their keys.
BOOST_CLASS_TRACKING(anim::CombinedInterpolator<float>, boost::serialization::track_never)
BOOST_CLASS_TRACKING(anim::CombinedInterpolator<pix::Colorf>, boost::serialization::track_never)
BOOST_CLASS_TRACKING(anim::CombinedInterpolator<float>::Key, boost::serialization::track_never)
BOOST_CLASS_TRACKING(anim::CombinedInterpolator<pix::Colorf>::Key,
                     boost::serialization::track_never)
