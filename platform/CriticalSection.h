// Critical sections: the stand-in for the operating system's mutual-exclusion
// object. A CRITICAL_SECTION is plain storage until InitializeCriticalSection
// builds the lock inside it; DeleteCriticalSection tears it down again. The
// caller owns the storage and must not move or copy it while initialised.
// Entering and leaving follow the usual rules: the owning thread may enter
// again (the section is recursive) and must leave as often as it entered.
#pragma once

#include <mutex>

namespace platform {

struct CRITICAL_SECTION {
  // Room for the recursive mutex built by InitializeCriticalSection.
  alignas(std::recursive_mutex) unsigned char storage[sizeof(std::recursive_mutex)];
};

// Builds the lock inside *section. Must be paired with DeleteCriticalSection.
void InitializeCriticalSection(CRITICAL_SECTION* section);
// Destroys the lock built by InitializeCriticalSection; the section must not
// be held by any thread.
void DeleteCriticalSection(CRITICAL_SECTION* section);
// Blocks until the calling thread holds the section.
void EnterCriticalSection(CRITICAL_SECTION* section);
// Gives up one level of the calling thread's hold on the section.
void LeaveCriticalSection(CRITICAL_SECTION* section);

}  // namespace platform
