// The critical sections of CriticalSection.h are the system's own, built in
// the storage of our CRITICAL_SECTION record.
#include "platform/Win32.h"

namespace platform {

namespace {

static_assert(sizeof(CRITICAL_SECTION::storage) >= sizeof(::CRITICAL_SECTION),
              "the record holds the system's critical section");
static_assert(alignof(CRITICAL_SECTION) >= alignof(::CRITICAL_SECTION),
              "the record is aligned for the system's critical section");

::CRITICAL_SECTION* systemSection(CRITICAL_SECTION* section) {
  return reinterpret_cast<::CRITICAL_SECTION*>(section->storage);
}

}  // namespace

void InitializeCriticalSection(CRITICAL_SECTION* section) {
  ::InitializeCriticalSection(systemSection(section));
}

void DeleteCriticalSection(CRITICAL_SECTION* section) {
  ::DeleteCriticalSection(systemSection(section));
}

void EnterCriticalSection(CRITICAL_SECTION* section) {
  ::EnterCriticalSection(systemSection(section));
}

void LeaveCriticalSection(CRITICAL_SECTION* section) {
  ::LeaveCriticalSection(systemSection(section));
}

}  // namespace platform
