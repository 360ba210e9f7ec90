#include "platform/CriticalSection.h"

#include <gtest/gtest.h>

#include <thread>

namespace platform {
namespace {

TEST(CriticalSection, ExcludesOtherThreadsAndIsRecursive) {
  CRITICAL_SECTION section;
  InitializeCriticalSection(&section);
  EnterCriticalSection(&section);
  EnterCriticalSection(&section);  // the owner may enter again
  LeaveCriticalSection(&section);
  int counter = 0;
  std::thread other([&] {
    for (int i = 0; i < 10000; ++i) {
      EnterCriticalSection(&section);
      ++counter;
      LeaveCriticalSection(&section);
    }
  });
  for (int i = 0; i < 10000; ++i) ++counter;  // still held: the other thread waits
  LeaveCriticalSection(&section);
  other.join();
  EXPECT_EQ(counter, 20000);
  DeleteCriticalSection(&section);
}

TEST(CriticalSection, CanBeReinitialisedAfterDelete) {
  auto* section = new CRITICAL_SECTION;
  for (int round = 0; round < 3; ++round) {
    InitializeCriticalSection(section);
    EnterCriticalSection(section);
    LeaveCriticalSection(section);
    DeleteCriticalSection(section);
  }
  delete section;
}

}  // namespace
}  // namespace platform
