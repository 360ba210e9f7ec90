// sgu::DownScalerMemoryFitItem: one entry of the texture down-scaler's
// memory-fit list, a file name and its size in bytes. The list is a standard
// vector with mem::allocator (sgu::DownScalerMemoryFitList), archived in the
// collection form of mem/VectorArchive.h.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <boost/serialization/string.hpp>
#include <boost/serialization/tracking.hpp>
#include <boost/serialization/version.hpp>

#include "mem/VectorArchive.h"
#include "mem/allocator.h"

namespace sgu {

struct DownScalerMemoryFitItem {
  std::string file_name;
  std::uint32_t size = 0;

  bool operator==(const DownScalerMemoryFitItem& o) const {
    return file_name == o.file_name && size == o.size;
  }

  // A plain value, not tracked, class version 0. Throws the archive's
  // exceptions for malformed input.
  template <class Archive>
  void serialize(Archive& ar, const unsigned int /*version*/) {
    ar& boost::serialization::make_nvp("file_name", file_name);
    ar& boost::serialization::make_nvp("size", size);
  }
};

using DownScalerMemoryFitList =
    std::vector<DownScalerMemoryFitItem, mem::allocator<DownScalerMemoryFitItem>>;

}  // namespace sgu

BOOST_CLASS_VERSION(sgu::DownScalerMemoryFitItem, 0)
BOOST_CLASS_TRACKING(sgu::DownScalerMemoryFitItem, boost::serialization::track_never)
