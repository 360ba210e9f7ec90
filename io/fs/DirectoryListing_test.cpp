#include "io/fs/DirectoryListing.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace io {
namespace fs {
namespace {

DirectoryEntry entry(const std::string& name, std::uint64_t size = 0) {
  DirectoryEntry e;
  e.name = name;
  e.size = size;
  return e;
}

std::vector<std::string> names(const DirectoryListing& l) {
  std::vector<std::string> out;
  for (const DirectoryEntry& e : l) out.push_back(e.name);
  return out;
}

TEST(DirectoryListing, OrdersNamesByteWiseShorterFirst) {
  DirectoryListing l;
  for (const char* n : {"b", "a.x", "A", "a", "\xc3\xa9", "z", "a.b", "_"})
    EXPECT_TRUE(l.insert(entry(n)));
  EXPECT_EQ((std::vector<std::string>{"A", "_", "a", "a.b", "a.x", "b", "z", "\xc3\xa9"}),
            names(l));
}

TEST(DirectoryListing, KeepsTheFirstEntryOfAName) {
  DirectoryListing l;
  EXPECT_TRUE(l.insert(entry("a", 1)));
  EXPECT_FALSE(l.insert(entry("a", 2)));
  ASSERT_EQ(1u, l.size());
  EXPECT_EQ(1u, l[0].size);
  l.insertAll({entry("b", 3), entry("a", 4), entry("b", 5)});
  ASSERT_EQ(2u, l.size());
  EXPECT_EQ(1u, l[0].size);
  EXPECT_EQ(3u, l[1].size);
}

// The batch insert must give exactly what inserting one by one gives.
TEST(DirectoryListing, BatchInsertMatchesOneByOne) {
  std::mt19937 rng(7);
  for (int round = 0; round < 50; ++round) {
    std::vector<DirectoryEntry> held;
    std::vector<DirectoryEntry> batch;
    for (int i = rng() % 40; i > 0; --i) {
      std::string name;
      for (int k = rng() % 4; k >= 0; --k) name.push_back(static_cast<char>("aAb.\xff"[rng() % 5]));
      (rng() % 3 == 0 ? held : batch).push_back(entry(name, rng()));
    }
    DirectoryListing oneByOne;
    DirectoryListing batched;
    for (const auto& e : held) {
      oneByOne.insert(e);
      batched.insert(e);
    }
    for (const auto& e : batch) oneByOne.insert(e);
    batched.insertAll(std::vector<DirectoryEntry>(batch));
    ASSERT_EQ(oneByOne.size(), batched.size());
    for (std::size_t i = 0; i < batched.size(); ++i) {
      EXPECT_EQ(oneByOne[i].name, batched[i].name);
      EXPECT_EQ(oneByOne[i].size, batched[i].size);
    }
  }
}

}  // namespace
}  // namespace fs
}  // namespace io
