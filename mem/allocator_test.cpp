// mem::allocator: the scene graph's name for util::Allocator. Its vectors
// keep their context, compare as the base does, and keep namespace mem.
#include "mem/allocator.h"

#include <gtest/gtest.h>

#include <list>
#include <vector>

namespace {

TEST(MemAllocator, VectorsKeepTheContextAndTheSceneGraphsAllocator) {
  int budget = 0;
  std::vector<float, mem::allocator<float>> v{mem::allocator<float>(&budget)};
  v.assign(50, 1.5f);
  EXPECT_EQ(v.get_allocator().context(), &budget);
  EXPECT_EQ(v.back(), 1.5f);
  std::list<int, mem::allocator<int>> l{mem::allocator<int>(&budget)};
  l.push_back(3);
  EXPECT_EQ(l.get_allocator().context(), &budget);

  const mem::allocator<char> rebound(v.get_allocator());
  EXPECT_EQ(rebound.context(), &budget);
  EXPECT_TRUE(rebound == v.get_allocator());
  EXPECT_TRUE(rebound != mem::allocator<char>());
}

}  // namespace
