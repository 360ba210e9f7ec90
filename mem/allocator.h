// mem::allocator<T>: the standard-library allocator of the scene graph's
// standard vectors (animation keys, memory-fit lists).
//
// Memory comes from the standard allocator. The allocator carries a memory
// context (null in every allocator the system makes) and reports each
// allocation, after it succeeded, and each release, before it happens, with its
// byte count and context to mem::notifyAllocated / mem::notifyReleased, which
// do nothing in this system. Allocators compare equal when their contexts do.
#pragma once

#include <cstddef>
#include <memory>

namespace mem {

// Hooks for a memory accounting layer; they do nothing here.
inline void notifyAllocated(void* /*context*/, std::size_t /*bytes*/) {}
inline void notifyReleased(void* /*context*/, std::size_t /*bytes*/) {}

template <class T>
class allocator {
 public:
  using value_type = T;

  allocator() noexcept = default;
  explicit allocator(void* context) noexcept : m_context(context) {}
  template <class U>
  allocator(const allocator<U>& other) noexcept : m_context(other.context()) {}

  // Returns storage for n objects; throws std::bad_alloc (or std::length_error
  // for a count too large to represent) like the standard allocator.
  T* allocate(std::size_t n) {
    T* p = std::allocator<T>().allocate(n);
    notifyAllocated(m_context, n * sizeof(T));
    return p;
  }
  void deallocate(T* p, std::size_t n) noexcept {
    notifyReleased(m_context, n * sizeof(T));
    std::allocator<T>().deallocate(p, n);
  }

  void* context() const noexcept { return m_context; }

  template <class U>
  bool operator==(const allocator<U>& o) const noexcept {
    return m_context == o.context();
  }
  template <class U>
  bool operator!=(const allocator<U>& o) const noexcept {
    return m_context != o.context();
  }

 private:
  void* m_context = nullptr;
};

}  // namespace mem
