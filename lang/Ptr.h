// lang::Ptr<T>: the holder of a reference-counted lang::Object. One raw
// pointer, no virtual operations. Each Ptr that holds an object counts once;
// the Ptr whose release leaves the count at 0 deletes the object through its
// virtual destructor. Not thread-safe as a value (the count itself is atomic).
//
// A raw pointer becomes a Ptr only where the code says so,
// `lang::Ptr<T>(new T)`: the constructor is explicit, so handing the address
// of an object on the stack (or inside another object) to a function that
// takes a Ptr does not compile, instead of deleting that object when the last
// Ptr goes (lang/Ptr_compile_test.cpp proves it).
#pragma once

#include <cstddef>
#include <utility>

namespace lang {

template <typename T>
class Ptr {
 public:
  Ptr() : m_ptr(nullptr) {}
  Ptr(std::nullptr_t) : m_ptr(nullptr) {}

  // Takes a reference to `p` when it is not null. `p` must be null or an
  // object made with `new` that only Ptrs hold (its count says how many).
  explicit Ptr(T* p) : m_ptr(p) { acquire(); }

  Ptr(const Ptr& other) : m_ptr(other.m_ptr) { acquire(); }

  // From a Ptr to a derived class.
  template <typename U>
  Ptr(const Ptr<U>& other) : m_ptr(other.get()) {
    acquire();
  }

  Ptr(Ptr&& other) noexcept : m_ptr(other.m_ptr) { other.m_ptr = nullptr; }

  ~Ptr() { drop(); }

  Ptr& operator=(Ptr other) noexcept {
    swap(other);
    return *this;
  }

  void swap(Ptr& other) noexcept { std::swap(m_ptr, other.m_ptr); }

  // Drops the held object (deleting it when this was the last holder).
  void reset() { Ptr().swap(*this); }

  T* get() const { return m_ptr; }
  T* operator->() const { return m_ptr; }
  T& operator*() const { return *m_ptr; }
  explicit operator bool() const { return m_ptr != nullptr; }

 private:
  void acquire() {
    if (m_ptr) m_ptr->addRef();
  }
  void drop() {
    if (m_ptr && m_ptr->release() == 0) delete m_ptr;
    m_ptr = nullptr;
  }

  T* m_ptr;
};

template <typename T, typename U>
bool operator==(const Ptr<T>& a, const Ptr<U>& b) {
  return a.get() == b.get();
}
template <typename T, typename U>
bool operator!=(const Ptr<T>& a, const Ptr<U>& b) {
  return a.get() != b.get();
}
template <typename T>
bool operator==(const Ptr<T>& a, std::nullptr_t) {
  return a.get() == nullptr;
}
template <typename T>
bool operator!=(const Ptr<T>& a, std::nullptr_t) {
  return a.get() != nullptr;
}

}  // namespace lang
