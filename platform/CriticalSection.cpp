#include "platform/CriticalSection.h"

#include <new>

namespace platform {

namespace {
std::recursive_mutex* lockOf(CRITICAL_SECTION* section) {
  return std::launder(reinterpret_cast<std::recursive_mutex*>(section->storage));
}
}  // namespace

void InitializeCriticalSection(CRITICAL_SECTION* section) {
  new (section->storage) std::recursive_mutex();
}

void DeleteCriticalSection(CRITICAL_SECTION* section) { lockOf(section)->~recursive_mutex(); }

void EnterCriticalSection(CRITICAL_SECTION* section) { lockOf(section)->lock(); }

void LeaveCriticalSection(CRITICAL_SECTION* section) { lockOf(section)->unlock(); }

}  // namespace platform
