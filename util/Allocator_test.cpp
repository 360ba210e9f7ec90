// util::Allocator: storage from the standard allocator, the memory context
// carried through copies, rebinding and containers, equality by context.
#include "util/Allocator.h"

#include <gtest/gtest.h>

#include <list>
#include <new>
#include <vector>

namespace {

TEST(Allocator, ContextTravelsThroughCopiesRebindingAndContainers) {
  int budget = 0;  // any address serves as a context
  const util::Allocator<int> withContext(&budget);
  const util::Allocator<double> rebound(withContext);
  EXPECT_EQ(rebound.context(), &budget);
  EXPECT_EQ(util::Allocator<int>().context(), nullptr);

  std::vector<int, util::Allocator<int>> v(withContext);
  for (int i = 0; i < 100; ++i) v.push_back(i);
  EXPECT_EQ(v.get_allocator().context(), &budget);
  EXPECT_EQ(v[99], 99);
  // A node container allocates its nodes through a rebound copy.
  std::list<int, util::Allocator<int>> l(withContext);
  l.assign(5, 7);
  EXPECT_EQ(l.get_allocator().context(), &budget);
  EXPECT_EQ(l.size(), 5u);
}

TEST(Allocator, EqualWhenTheContextsAre) {
  int a = 0, b = 0;
  EXPECT_TRUE(util::Allocator<int>(&a) == util::Allocator<char>(&a));
  EXPECT_FALSE(util::Allocator<int>(&a) != util::Allocator<char>(&a));
  EXPECT_TRUE(util::Allocator<int>(&a) != util::Allocator<int>(&b));
  EXPECT_TRUE(util::Allocator<int>() != util::Allocator<int>(&b));
  EXPECT_TRUE(util::Allocator<int>() == util::Allocator<long>());
}

TEST(Allocator, StorageIsUsableAndRefusesImpossibleCounts) {
  util::Allocator<long> alloc;
  long* p = alloc.allocate(1000);
  for (int i = 0; i < 1000; ++i) p[i] = i;
  EXPECT_EQ(p[999], 999);
  alloc.deallocate(p, 1000);
  const std::size_t tooMany = static_cast<std::size_t>(-1) / sizeof(long) + 1;
  EXPECT_THROW(alloc.allocate(tooMany), std::bad_alloc);
}

}  // namespace
