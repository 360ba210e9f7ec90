// The lock object of a synchronized lang::Object: one platform critical
// section, made with the lock and destroyed with it.
#include "lang/Object.h"

#include "platform/CriticalSection.h"

namespace lang {

class Object::Lock {
 public:
  Lock() : m_section(new platform::CRITICAL_SECTION) {
    platform::InitializeCriticalSection(m_section);
  }
  ~Lock() {
    platform::DeleteCriticalSection(m_section);
    delete m_section;
  }
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;

 private:
  platform::CRITICAL_SECTION* m_section;
};

Object::Object(bool synchronized) : m_refCount(0), m_lock(nullptr) {
  if (synchronized) m_lock = new Lock;
}

Object::Object(const Object&) : m_refCount(0), m_lock(nullptr) {}

Object::~Object() {
  delete m_lock;
  m_lock = nullptr;
}

}  // namespace lang
