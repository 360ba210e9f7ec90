#include "util/Vector.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "lang/Ptr.h"

namespace {

TEST(VectorTest, PushBackGrowsByDoubling) {
  util::Vector<int> v;
  std::vector<size_t> capacities;
  for (int i = 1; i <= 5; ++i) {
    v.push_back(i);
    capacities.push_back(v.capacity());
  }
  EXPECT_EQ((std::vector<size_t>{1, 2, 4, 4, 8}), capacities);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(i + 1, v[i]);
}

TEST(VectorTest, BulkInsertIntoEmptyTakesExactlyWhatItNeeds) {
  util::Vector<int> v;
  v.insert(v.end(), 10, 7);
  EXPECT_EQ(10u, v.size());
  EXPECT_EQ(10u, v.capacity());
  // Growing by less than the size doubles; by more, takes size + k.
  v.insert(v.end(), 3, 1);
  EXPECT_EQ(20u, v.capacity());
  v.insert(v.end(), 30, 2);
  EXPECT_EQ(13u + 30u, v.capacity());
}

TEST(VectorTest, ShrinkingAndClearKeepTheCapacity) {
  util::Vector<std::string> v;
  v.resize(6, "x");
  size_t cap = v.capacity();
  v.resize(2);
  EXPECT_EQ(2u, v.size());
  EXPECT_EQ(cap, v.capacity());
  v.clear();
  EXPECT_EQ(0u, v.size());
  EXPECT_EQ(cap, v.capacity());
}

TEST(VectorTest, ResizeAppendsValueInitialisedElements) {
  util::Vector<int> v;
  v.push_back(9);
  v.resize(4);
  EXPECT_EQ((std::vector<int>{9, 0, 0, 0}), std::vector<int>(v.begin(), v.end()));
}

TEST(VectorTest, InsertInTheMiddleKeepsOrderWithAndWithoutReallocation) {
  util::Vector<std::string> v;
  for (const char* s : {"a", "b", "c", "d"}) v.push_back(s);
  v.insert(v.begin() + 1, 2, "x");  // reallocates: 4 -> 8
  v.insert(v.begin() + 5, 1, "y");  // fits in place
  std::vector<std::string> got(v.begin(), v.end());
  EXPECT_EQ((std::vector<std::string>{"a", "x", "x", "b", "c", "y", "d"}), got);
}

TEST(VectorTest, InsertingAnElementOfItselfCopiesTheValueFirst) {
  util::Vector<std::string> v;
  v.push_back("first");
  v.push_back("second");
  v.push_back("third");
  v.push_back("fourth");  // full: capacity 4
  v.insert(v.begin(), 1, v[3]);
  EXPECT_EQ("fourth", v[0]);
  v.resize(4);
  v.insert(v.begin(), 2, v[1]);  // in place: the shifted element is still read right
  std::vector<std::string> got(v.begin(), v.end());
  EXPECT_EQ((std::vector<std::string>{"first", "first", "fourth", "first", "second", "third"}),
            got);
}

TEST(VectorTest, RefusesToPassTheLargestElementCount) {
  util::Vector<int> v;
  v.push_back(1);
  static_assert(util::Vector<int>::kMaxSize == 0x3FFFFFFFu, "4-byte elements");
  static_assert(util::Vector<unsigned char>::kMaxSize == 0xFFFFFFFFu, "bytes");
  try {
    v.insert(v.end(), util::Vector<int>::kMaxSize, 0);
    FAIL() << "expected std::length_error";
  } catch (const std::length_error& e) {
    EXPECT_STREQ("vector", e.what());
  }
  EXPECT_EQ(1u, v.size());
}

TEST(VectorTest, IsASharedObjectAndCopiesAreIndependent) {
  lang::Ptr<util::Vector<int>> shared(new util::Vector<int>);
  shared->push_back(1);
  lang::Ptr<util::Vector<int>> other(shared);
  EXPECT_EQ(2u, shared->refCount());
  util::Vector<int> copy(*shared);
  EXPECT_EQ(0u, copy.refCount());
  copy.push_back(2);
  EXPECT_EQ(1u, shared->size());
  EXPECT_EQ(2u, copy.size());
}

}  // namespace
