// lang::Object: the base of every heap object that is shared between owners
// by intrusive reference counting (streams, util::Vector, scene-graph nodes).
//
// The count is changed only by lang::Ptr (addRef / release); an object that
// no Ptr ever holds belongs to whoever made it. Counts are atomic although the
// system runs on one thread. An object made with the `synchronized` flag owns
// a platform critical section; nothing in the system enters it.
#pragma once

#include <atomic>
#include <cstdint>

namespace lang {

class Object {
 public:
  // A new object has count 0. With `synchronized` set it owns a lock.
  // Throws std::bad_alloc when the lock cannot be made.
  explicit Object(bool synchronized = false);

  // A copy is a fresh object: count 0 and no lock, whatever `other` holds.
  Object(const Object& other);

  // Assignment leaves this object's count and lock as they are.
  Object& operator=(const Object&) { return *this; }

  // Destroys the lock, if any.
  virtual ~Object();

  // Increments the count atomically; returns the new value.
  uint32_t addRef() { return m_refCount.fetch_add(1, std::memory_order_relaxed) + 1; }

  // Decrements the count atomically; returns the value this decrement made.
  // Never deletes the object: the holder that sees 0 does (lang::Ptr).
  uint32_t release() { return m_refCount.fetch_sub(1, std::memory_order_acq_rel) - 1; }

  // The current count.
  uint32_t refCount() const { return m_refCount.load(std::memory_order_relaxed); }

  // True when the object was made with the `synchronized` flag.
  bool isSynchronized() const { return m_lock != nullptr; }

 private:
  class Lock;

  std::atomic<uint32_t> m_refCount;
  Lock* m_lock;  // owned; null unless synchronized
};

}  // namespace lang
