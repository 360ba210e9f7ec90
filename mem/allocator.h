// mem::allocator<T>: the standard-library allocator of the scene graph's
// standard vectors (animation keys, memory-fit lists).
//
// It is util::Allocator under the scene graph's name: the same memory (the
// standard allocator), the same memory context (null in every allocator the
// system makes) and the same notification (util/Allocator.h). A class of its
// own rather than an alias, so that a vector using it stays in namespace mem
// for argument-dependent lookup, which finds the vector's archive form in
// mem/VectorArchive.h. Allocators compare equal when their contexts do.
#pragma once

#include <memory>
#include <type_traits>

#include "util/Allocator.h"

namespace mem {

template <class T>
class allocator : public util::Allocator<T> {
 public:
  // A null context.
  allocator() noexcept = default;
  // The given context.
  explicit allocator(void* context) noexcept : util::Allocator<T>(context) {}
  // The context of `other`, for another element type.
  template <class U>
  allocator(const allocator<U>& other) noexcept : util::Allocator<T>(other.context()) {}
};

// A container that rebinds the allocator (a node-based one, or a vector's
// debug proxies) gets a mem::allocator again, not the base.
static_assert(
    std::is_same<std::allocator_traits<allocator<int>>::rebind_alloc<char>, allocator<char>>::value,
    "rebinding keeps the scene graph's allocator");

}  // namespace mem
