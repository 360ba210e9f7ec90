// Critical sections: the operating system's mutual-exclusion object (on
// Windows the system's own, elsewhere a stand-in). A CRITICAL_SECTION is plain storage until
// InitializeCriticalSection builds the lock inside it; DeleteCriticalSection tears it down again.
// The caller owns the storage and must not move or copy it while initialised. Entering and leaving
// follow the usual rules: the owning thread may enter again (the section is recursive) and must
// leave as often as it entered.
#pragma once

#ifndef _WIN32
#include <mutex>
#endif

namespace platform {

struct CRITICAL_SECTION {
#ifdef _WIN32
  // Room for the system's own critical section (a pointer, two 32-bit counts
  // and three pointer-sized fields: 40 bytes on 64-bit Windows, 24 on 32-bit),
  // built by InitializeCriticalSection; checked where it is built.
  alignas(void*) unsigned char storage[sizeof(void*) == 8 ? 40 : 24];
#else
  // Room for the recursive mutex built by InitializeCriticalSection.
  alignas(std::recursive_mutex) unsigned char storage[sizeof(std::recursive_mutex)];
#endif
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
