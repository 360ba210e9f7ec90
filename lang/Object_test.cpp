#include "lang/Object.h"

#include <gtest/gtest.h>

#include "lang/Ptr.h"

namespace {

// Counts destructions so a test can see exactly when an object goes.
class Probe : public lang::Object {
 public:
  explicit Probe(int* deaths, bool synchronized = false)
      : lang::Object(synchronized), m_deaths(deaths) {}
  ~Probe() override { ++*m_deaths; }

 private:
  int* m_deaths;
};

class Derived : public Probe {
 public:
  using Probe::Probe;
};

TEST(ObjectTest, PtrCountsHoldersAndDeletesOnceWithTheLast) {
  int deaths = 0;
  Probe* raw = new Probe(&deaths);
  EXPECT_EQ(0u, raw->refCount());
  {
    lang::Ptr<Probe> first(raw);
    EXPECT_EQ(1u, raw->refCount());
    {
      lang::Ptr<Probe> second(first);
      EXPECT_EQ(2u, raw->refCount());
    }
    EXPECT_EQ(1u, raw->refCount());
    EXPECT_EQ(0, deaths);
  }
  EXPECT_EQ(1, deaths);
}

TEST(ObjectTest, NullPtrDoesNothing) {
  lang::Ptr<Probe> empty(static_cast<Probe*>(nullptr));
  lang::Ptr<Probe> copy(empty);
  EXPECT_EQ(nullptr, copy.get());
  EXPECT_FALSE(copy);
}

TEST(ObjectTest, AssignmentMovesTheCountsBetweenObjects) {
  int deathsA = 0, deathsB = 0;
  lang::Ptr<Probe> a(new Probe(&deathsA));
  lang::Ptr<Probe> b(new Probe(&deathsB));
  a = b;
  EXPECT_EQ(1, deathsA);
  EXPECT_EQ(2u, b->refCount());
  a = a;  // self-assignment keeps the object
  EXPECT_EQ(2u, b->refCount());
  b.reset();
  EXPECT_EQ(0, deathsB);
  a.reset();
  EXPECT_EQ(1, deathsB);
}

TEST(ObjectTest, PtrToDerivedConvertsToPtrToBase) {
  int deaths = 0;
  lang::Ptr<Derived> d(new Derived(&deaths));
  lang::Ptr<lang::Object> base(d);
  EXPECT_EQ(2u, d->refCount());
  d.reset();
  EXPECT_EQ(0, deaths);
  base.reset();  // deleted through the virtual destructor
  EXPECT_EQ(1, deaths);
}

TEST(ObjectTest, CopyIsAFreshObjectWithoutCountOrLock) {
  int deaths = 0;
  Probe original(&deaths, true);
  original.addRef();
  original.addRef();
  original.addRef();
  Probe copy(original);
  EXPECT_EQ(3u, original.refCount());
  EXPECT_EQ(0u, copy.refCount());
  EXPECT_TRUE(original.isSynchronized());
  EXPECT_FALSE(copy.isSynchronized());
  copy = original;  // assignment does not carry the count either
  EXPECT_EQ(0u, copy.refCount());
}

TEST(ObjectTest, OnlySynchronizedObjectsOwnALock) {
  int deaths = 0;
  Probe plain(&deaths);
  EXPECT_FALSE(plain.isSynchronized());
  // Made and destroyed with its critical section (LeakSanitizer checks the free).
  Probe* locked = new Probe(&deaths, true);
  EXPECT_TRUE(locked->isSynchronized());
  delete locked;
  EXPECT_EQ(1, deaths);
}

TEST(ObjectTest, ReleaseReturnsTheValueItsOwnDecrementMade) {
  int deaths = 0;
  Probe p(&deaths);
  EXPECT_EQ(1u, p.addRef());
  EXPECT_EQ(2u, p.addRef());
  EXPECT_EQ(1u, p.release());
  EXPECT_EQ(0u, p.release());
}

}  // namespace
