// util::Vector<T, A>: the in-house growable array. It is itself a
// lang::Object, so one array can be shared through a lang::Ptr.
//
// Elements are contiguous. Growth follows one fixed rule: an insertion of k
// elements that does not fit makes the capacity s + max(s, k) (s the current
// size), capped at the largest element count M = 0xFFFFFFFF / sizeof(T); an
// insertion beyond M throws std::length_error("vector"). So pushing one at a
// time gives capacities 1, 2, 4, 4, 8, ... and inserting 10 into an empty
// array gives exactly 10. Index access is unchecked. Not thread-safe.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>

#include "lang/Object.h"
#include "util/Allocator.h"

namespace util {

template <typename T, typename A = Allocator<T>>
class Vector : public lang::Object {
 public:
  using value_type = T;
  using size_type = std::size_t;
  using iterator = T*;
  using const_iterator = const T*;

  // The largest element count: the element count of a 32-bit address space.
  static constexpr size_type kMaxSize = 0xFFFFFFFFu / sizeof(T);

  Vector() : m_begin(nullptr), m_end(nullptr), m_alloc(), m_capEnd(nullptr) {}

  // An independent copy (a fresh lang::Object) holding copies of the elements.
  Vector(const Vector& other) : Vector() { insert(end(), other.begin(), other.end()); }

  Vector& operator=(const Vector& other) {
    if (this != &other) {
      clear();
      insert(end(), other.begin(), other.end());
    }
    return *this;
  }

  ~Vector() override {
    destroy(m_begin, m_end);
    if (m_begin) m_alloc.deallocate(m_begin, capacity());
  }

  size_type size() const { return static_cast<size_type>(m_end - m_begin); }
  size_type capacity() const { return static_cast<size_type>(m_capEnd - m_begin); }
  bool empty() const { return m_begin == m_end; }
  size_type max_size() const { return kMaxSize; }

  T& operator[](size_type i) { return m_begin[i]; }
  const T& operator[](size_type i) const { return m_begin[i]; }
  T* data() { return m_begin; }
  const T* data() const { return m_begin; }
  iterator begin() { return m_begin; }
  iterator end() { return m_end; }
  const_iterator begin() const { return m_begin; }
  const_iterator end() const { return m_end; }
  T& back() { return m_end[-1]; }
  const T& back() const { return m_end[-1]; }

  void push_back(const T& value) { insert(end(), 1, value); }

  // Shrinking destroys the elements from n on and keeps the capacity;
  // growing appends value-initialised elements (or copies of `value`).
  void resize(size_type n) { resize(n, T()); }
  void resize(size_type n, const T& value) {
    if (n < size()) {
      destroy(m_begin + n, m_end);
      m_end = m_begin + n;
    } else if (n > size()) {
      insert(end(), n - size(), value);
    }
  }

  // Destroys all elements; the storage stays.
  void clear() {
    destroy(m_begin, m_end);
    m_end = m_begin;
  }

  // Inserts k copies of `value` before `pos`; returns the first inserted.
  // Throws std::length_error("vector") when the array would pass kMaxSize.
  iterator insert(const_iterator pos, size_type k, const T& value) {
    size_type at = static_cast<size_type>(pos - m_begin);
    if (k == 0) return m_begin + at;
    T copy(value);  // `value` may be an element that the move below shifts
    if (k > static_cast<size_type>(m_capEnd - m_end)) {
      reallocateInsert(at, k, [&](T* dst) { std::uninitialized_fill_n(dst, k, copy); });
    } else {
      openGap(at, k);
      std::uninitialized_fill_n(m_begin + at, k, copy);
      m_end += k;
    }
    return m_begin + at;
  }

  // Inserts copies of [first, last) before `pos` (first, last must not point
  // into this array).
  iterator insert(const_iterator pos, const T* first, const T* last) {
    size_type at = static_cast<size_type>(pos - m_begin);
    size_type k = static_cast<size_type>(last - first);
    if (k == 0) return m_begin + at;
    if (k > static_cast<size_type>(m_capEnd - m_end)) {
      reallocateInsert(at, k, [&](T* dst) { std::uninitialized_copy(first, last, dst); });
    } else {
      openGap(at, k);
      std::uninitialized_copy(first, last, m_begin + at);
      m_end += k;
    }
    return m_begin + at;
  }

 private:
  static void destroy(T* first, T* last) {
    for (; first != last; ++first) first->~T();
  }

  // Moves the elements from `at` on back by k into raw storage past m_end,
  // leaving [at, at + k) as raw storage to construct into.
  void openGap(size_type at, size_type k) {
    T* pos = m_begin + at;
    for (T* src = m_end; src != pos;) {
      --src;
      ::new (static_cast<void*>(src + k)) T(std::move(*src));
      src->~T();
    }
  }

  template <typename Fill>
  void reallocateInsert(size_type at, size_type k, Fill fill) {
    size_type s = size();
    if (k > kMaxSize - s) throw std::length_error("vector");
    size_type grown = s + std::max(s, k);
    if (grown < s || grown > kMaxSize) grown = kMaxSize;
    T* fresh = m_alloc.allocate(grown);
    try {
      fill(fresh + at);
    } catch (...) {
      m_alloc.deallocate(fresh, grown);
      throw;
    }
    T* dst = fresh;
    for (T* src = m_begin; src != m_begin + at; ++src, ++dst)
      ::new (static_cast<void*>(dst)) T(std::move(*src));
    dst += k;
    for (T* src = m_begin + at; src != m_end; ++src, ++dst)
      ::new (static_cast<void*>(dst)) T(std::move(*src));
    destroy(m_begin, m_end);
    if (m_begin) m_alloc.deallocate(m_begin, capacity());
    m_begin = fresh;
    m_end = dst;
    m_capEnd = fresh + grown;
  }

  T* m_begin;
  T* m_end;
  A m_alloc;
  T* m_capEnd;
};

}  // namespace util
