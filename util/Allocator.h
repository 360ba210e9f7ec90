// util::Allocator<T>: the allocator of util::Vector. Memory comes from the
// standard allocator; after each allocation and before each release the byte
// count is reported, with the allocator's memory context, to
// util::notifyAllocation. Every allocator the system makes has a null context
// and the notification does nothing: it is the seam where a memory budget
// would plug in. Stateless apart from the context pointer.
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

  Allocator() noexcept : m_context(nullptr) {}
  explicit Allocator(void* context) noexcept : m_context(context) {}
  template <typename U>
  Allocator(const Allocator<U>& other) noexcept : m_context(other.context()) {}

  // Returns storage for n elements; throws std::bad_alloc.
  T* allocate(std::size_t n) {
    T* p = std::allocator<T>().allocate(n);
    notifyAllocation(m_context, static_cast<std::ptrdiff_t>(n * sizeof(T)));
    return p;
  }

  void deallocate(T* p, std::size_t n) noexcept {
    notifyAllocation(m_context, -static_cast<std::ptrdiff_t>(n * sizeof(T)));
    std::allocator<T>().deallocate(p, n);
  }

  void* context() const noexcept { return m_context; }

 private:
  void* m_context;
};

template <typename T, typename U>
bool operator==(const Allocator<T>& a, const Allocator<U>& b) {
  return a.context() == b.context();
}
template <typename T, typename U>
bool operator!=(const Allocator<T>& a, const Allocator<U>& b) {
  return !(a == b);
}

}  // namespace util
