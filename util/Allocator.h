// util::Allocator<T>: the allocator of util::Vector. Memory comes from the
// standard allocator; after each allocation and before each release the byte
// count is reported, with the allocator's memory context, to
// util::notifyAllocation. Every allocator the system makes has a null context
// and the notification does nothing: it is the seam where a memory budget
// would plug in. Stateless apart from the context pointer. The scene graph's
// standard vectors use the same allocator under the name mem::allocator.
#pragma once

#include <cstddef>
#include <memory>

namespace util {

// Called with +bytes after an allocation and -bytes before a release.
inline void notifyAllocation(void* /*context*/, std::ptrdiff_t /*bytes*/) {}

template <typename T>
class Allocator {
 public:
  using value_type = T;

  // A null context.
  Allocator() noexcept : m_context(nullptr) {}
  // The given context.
  explicit Allocator(void* context) noexcept : m_context(context) {}
  // The context of `other`, for another element type.
  template <typename U>
  Allocator(const Allocator<U>& other) noexcept : m_context(other.context()) {}

  // Returns storage for n elements; throws std::bad_alloc as the standard
  // allocator does (also for a count too large to represent).
  T* allocate(std::size_t n) {
    T* p = std::allocator<T>().allocate(n);
    notifyAllocation(m_context, static_cast<std::ptrdiff_t>(n * sizeof(T)));
    return p;
  }

  // Releases storage that allocate(n) returned.
  void deallocate(T* p, std::size_t n) noexcept {
    notifyAllocation(m_context, -static_cast<std::ptrdiff_t>(n * sizeof(T)));
    std::allocator<T>().deallocate(p, n);
  }

  // The memory context given at construction.
  void* context() const noexcept { return m_context; }

 private:
  void* m_context;
};

// Equal when the contexts are: either may release what the other allocated.
template <typename T, typename U>
bool operator==(const Allocator<T>& a, const Allocator<U>& b) {
  return a.context() == b.context();
}
template <typename T, typename U>
bool operator!=(const Allocator<T>& a, const Allocator<U>& b) {
  return !(a == b);
}

}  // namespace util
