// Archive form of std::vector<T, mem::allocator<T>>: the archive library's
// collection form, "count", "item_version" (read only from archives of library
// version 4 or more), then one "item" per element in vector order.
//
// Reading trusts nothing in "count": the vector is cleared and the items are
// appended one by one as they are actually read, with at most kMaxUpfrontItems
// reserved ahead. A malformed archive claiming billions of items therefore
// costs no more memory than the items it really holds, and fails at the first
// missing "item" with the archive's own exception.
//
// The element types must not be tracked (they are read into a temporary and
// copied in, so a tracked element would be registered at the wrong address).
#pragma once

#include <algorithm>
#include <cstddef>
#include <utility>
#include <vector>

#include <boost/serialization/collection_size_type.hpp>
#include <boost/serialization/item_version_type.hpp>
#include <boost/serialization/library_version_type.hpp>
#include <boost/serialization/nvp.hpp>
#include <boost/serialization/tracking.hpp>
#include <boost/serialization/version.hpp>

#include "mem/allocator.h"

namespace mem {

// Elements reserved before any item has been read.
constexpr std::size_t kMaxUpfrontItems = 256;

template <class Archive, class T>
void saveVector(Archive& ar, const std::vector<T, allocator<T>>& v,
                const unsigned int /*version*/) {
  const boost::serialization::collection_size_type count(v.size());
  ar << boost::serialization::make_nvp("count", count);
  const boost::serialization::item_version_type itemVersion(
      boost::serialization::version<T>::value);
  ar << boost::serialization::make_nvp("item_version", itemVersion);
  for (const T& item : v) ar << boost::serialization::make_nvp("item", item);
}

// Throws the archive's exceptions for malformed input; `v` then holds the
// items read before the failure.
template <class Archive, class T>
void loadVector(Archive& ar, std::vector<T, allocator<T>>& v, const unsigned int /*version*/) {
  static_assert(boost::serialization::tracking_level<T>::value == boost::serialization::track_never,
                "collection items are read into a temporary");
  boost::serialization::collection_size_type count;
  ar >> boost::serialization::make_nvp("count", count);
  if (boost::serialization::library_version_type(3) < ar.get_library_version()) {
    boost::serialization::item_version_type itemVersion(0);
    ar >> boost::serialization::make_nvp("item_version", itemVersion);
  }
  v.clear();
  v.reserve(std::min<std::size_t>(count, kMaxUpfrontItems));
  for (std::size_t i = 0; i < count; ++i) {
    T item;
    ar >> boost::serialization::make_nvp("item", item);
    v.push_back(std::move(item));
  }
}

template <class Archive, class T>
void serialize(Archive& ar, std::vector<T, allocator<T>>& v, const unsigned int version) {
  if constexpr (Archive::is_saving::value)
    saveVector(ar, v, version);
  else
    loadVector(ar, v, version);
}

}  // namespace mem
