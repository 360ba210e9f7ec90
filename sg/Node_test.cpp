// sg::Node lifetime and copies: freeing and cloning trees of any shape and
// depth, the class each copy keeps, a copy that fails half-way, and the base
// node's behaviour slots. Trees are checked link by link.
#include <cstdint>
#include <new>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "anim/LinearKeyTrack.h"
#include "sg/Light.h"
#include "sg/Node.h"
#include "sg/NodeGraphDiff.h"
#include "testing/NodeTrees.h"

namespace {

// A node that counts its destruction in a counter the test owns; its copies
// count into the same counter. With `copiesLeft` set, cloneUnlinked throws
// std::bad_alloc once that many copies have been made.
class CountedNode : public sg::Node {
 public:
  explicit CountedNode(int* freed, int* copiesLeft = nullptr)
      : m_freed(freed), m_copiesLeft(copiesLeft) {}
  CountedNode(const CountedNode&) = default;
  ~CountedNode() override { ++*m_freed; }

 protected:
  lang::Ptr<sg::Node> cloneUnlinked() const override {
    if (m_copiesLeft != nullptr && (*m_copiesLeft)-- == 0) throw std::bad_alloc();
    return lang::Ptr<sg::Node>(new CountedNode(*this));
  }

 private:
  int* m_freed;
  int* m_copiesLeft;
};

// A chain of `depth` counted nodes, each the only child of the one before;
// ids count from 0 at the root.
lang::Ptr<sg::Node> countedChain(int depth, int* freed) {
  lang::Ptr<sg::Node> root(new CountedNode(freed));
  sg::Node* last = root.get();
  for (int id = 1; id < depth; ++id) {
    lang::Ptr<sg::Node> n(new CountedNode(freed));
    n->m_id = id;
    last->addChild(n);
    last = n.get();
  }
  return root;
}

// A tree of makeNode(i + 1) for every entry i of `parents`, node i appended
// as the last child of node parents[i] (entry 0, the root, is ignored).
lang::Ptr<sg::Node> treeOf(const std::vector<int>& parents, std::vector<sg::Node*>* nodes) {
  std::vector<lang::Ptr<sg::Node>> made;
  for (std::size_t i = 0; i < parents.size(); ++i) {
    made.push_back(xmdtest::makeNode(static_cast<int>(i) + 1));
    if (i > 0) made[static_cast<std::size_t>(parents[i])]->addChild(made.back());
    if (nodes) nodes->push_back(made.back().get());
  }
  return made.front();
}

// Every node under `root` (itself included), following child and next links.
std::vector<const sg::Node*> nodesUnder(const sg::Node* root) {
  std::vector<const sg::Node*> out, pending{root};
  while (!pending.empty()) {
    const sg::Node* n = pending.back();
    pending.pop_back();
    out.push_back(n);
    if (n->m_next && n != root) pending.push_back(n->m_next.get());
    if (n->m_child) pending.push_back(n->m_child.get());
  }
  return out;
}

TEST(NodeClone, CopiesTheTreeSharingTracks) {
  lang::Ptr<sg::Node> root(new sg::Node), a(new sg::Node), b(new sg::Node), c(new sg::Node);
  root->m_id = 1;
  a->m_id = 2;
  b->m_id = 3;
  c->m_id = 4;
  root->addChild(a);
  root->addChild(b);
  a->addChild(c);
  lang::Ptr<anim::Track> track(new anim::LinearKeyTrack);
  a->translationTrack = track;
  a->referenceLength = 2.5f;
  a->m_localTransform.m[0][3] = 9;

  lang::Ptr<sg::Node> copy = root->clone();
  EXPECT_EQ(copy->refCount(), 1u);
  EXPECT_EQ(copy->m_parent, nullptr);
  sg::Node* ca = copy->m_child.get();
  ASSERT_NE(ca, nullptr);
  EXPECT_NE(ca, a.get());
  EXPECT_EQ(ca->m_id, 2);
  EXPECT_EQ(ca->m_parent, copy.get());
  EXPECT_EQ(ca->translationTrack.get(), track.get());
  EXPECT_EQ(ca->referenceLength, 2.5f);
  EXPECT_EQ(ca->m_localTransform.m[0][3], 9.0f);
  sg::Node* cb = ca->m_next.get();
  ASSERT_NE(cb, nullptr);
  EXPECT_EQ(cb->m_id, 3);
  EXPECT_EQ(cb->m_previous, ca);
  EXPECT_EQ(cb->m_parent, copy.get());
  EXPECT_EQ(cb->m_next.get(), nullptr);
  ASSERT_NE(ca->m_child.get(), nullptr);
  EXPECT_EQ(ca->m_child->m_id, 4);
  EXPECT_EQ(ca->m_child->m_parent, ca);
  // The original is untouched.
  EXPECT_EQ(a->m_parent, root.get());
  EXPECT_EQ(root->m_child.get(), a.get());
  EXPECT_EQ(a->refCount(), 2u);  // `a` and the root's link
}

TEST(NodeClone, ALightClonesAsALight) {
  lang::Ptr<sg::Light> light(new sg::Light);
  light->m_intensity = 3;
  light->addChild(lang::Ptr<sg::Node>(new sg::Node));
  lang::Ptr<sg::Node> copy = light->clone();
  const auto* l = dynamic_cast<const sg::Light*>(copy.get());
  ASSERT_NE(l, nullptr);
  EXPECT_EQ(l->m_intensity, 3.0f);
  ASSERT_TRUE(l->m_child);
  EXPECT_EQ(l->m_child->m_parent, copy.get());
}

TEST(NodeClone, EveryShapeCopiesInOrderWithConsistentLinks) {
  struct Case {
    const char* shape;
    std::vector<int> parents;  // see treeOf
  } cases[] = {
      {"a lone node", {-1}},
      {"one level of five", {-1, 0, 0, 0, 0, 0}},
      {"a chain of six", {-1, 0, 1, 2, 3, 4}},
      {"two full levels", {-1, 0, 0, 1, 1, 2, 2}},
      {"a chain under the last of siblings", {-1, 0, 0, 0, 3, 4, 5}},
      {"a chain under the first of siblings", {-1, 0, 1, 2, 0, 0}},
      {"a comb: a chain with a leaf beside each link", {-1, 0, 0, 1, 1, 3, 3, 5, 5}},
      {"children added after grandchildren", {-1, 0, 1, 1, 0, 4, 2, 0}},
  };
  for (const Case& c : cases) {
    std::vector<sg::Node*> originals;
    lang::Ptr<sg::Node> root = treeOf(c.parents, &originals);
    lang::Ptr<sg::Node> copy = root->clone();
    EXPECT_EQ(sg::diffNodeGraphs(root.get(), copy.get()), "") << c.shape;
    std::vector<const sg::Node*> copies = nodesUnder(copy.get());
    EXPECT_EQ(copies.size(), originals.size()) << c.shape;
    std::set<const sg::Node*> originalSet(originals.begin(), originals.end());
    for (const sg::Node* n : copies) {
      EXPECT_EQ(originalSet.count(n), 0u) << c.shape << ": the copy shares node " << n->m_id;
      EXPECT_EQ(n->refCount(), 1u) << c.shape << ": node " << n->m_id;
    }
    // The original keeps its links and counts.
    for (std::size_t i = 1; i < originals.size(); ++i)
      EXPECT_EQ(originals[i]->m_parent, originals[static_cast<std::size_t>(c.parents[i])])
          << c.shape;
  }
}

TEST(NodeClone, ANodeInsideATreeCopiesAsAnUnlinkedRoot) {
  lang::Ptr<sg::Node> root = xmdtest::makeTree();  // 1 { 2 { 4 }, 3 }
  sg::Node* two = root->m_child.get();
  ASSERT_TRUE(two->m_next);  // has a parent and a next sibling
  lang::Ptr<sg::Node> copy = two->clone();
  EXPECT_EQ(copy->m_id, 2);
  EXPECT_EQ(copy->m_parent, nullptr);
  EXPECT_EQ(copy->m_previous, nullptr);
  EXPECT_FALSE(copy->m_next);  // siblings are not copied
  ASSERT_TRUE(copy->m_child);
  EXPECT_EQ(copy->m_child->m_id, 4);
  EXPECT_EQ(copy->m_child->m_parent, copy.get());
  EXPECT_FALSE(copy->m_child->m_next);

  // The last child of a node: no previous in the copy either.
  lang::Ptr<sg::Node> three = two->m_next->clone();
  EXPECT_EQ(three->m_id, 3);
  EXPECT_EQ(three->m_previous, nullptr);
  EXPECT_EQ(three->m_parent, nullptr);
}

TEST(NodeClone, DescendantsKeepTheirClass) {
  int freed = 0;
  lang::Ptr<sg::Node> root(new sg::Node);
  lang::Ptr<sg::Light> light(new sg::Light);
  light->m_intensity = 3;
  light->m_shadowIndex = 7;
  lang::Ptr<sg::Light> deeper(new sg::Light);
  deeper->m_rangefar = 40;
  root->addChild(light);
  root->addChild(lang::Ptr<sg::Node>(new CountedNode(&freed)));
  light->addChild(deeper);
  {
    lang::Ptr<sg::Node> copy = root->clone();
    const auto* l = dynamic_cast<const sg::Light*>(copy->m_child.get());
    ASSERT_NE(l, nullptr);
    EXPECT_TRUE(*l == *light);
    const auto* d = dynamic_cast<const sg::Light*>(l->m_child.get());
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->m_rangefar, 40.0f);
    ASSERT_TRUE(l->m_next);
    EXPECT_NE(dynamic_cast<const CountedNode*>(l->m_next.get()), nullptr);
  }
  EXPECT_EQ(freed, 1);  // the counted copy went with the copied tree
}

TEST(NodeClone, ACopyFailingHalfWayFreesWhatItMadeAndLeavesTheOriginal) {
  // 1 { 2 { 4, 5 { 7 } }, 3 { 6 } }: seven counted nodes sharing one budget
  // of copies (negative: no limit while the tree is built).
  int freed = 0;
  int copiesLeft = -1;
  const std::vector<int> parents = {-1, 0, 0, 1, 1, 2, 4};
  std::vector<lang::Ptr<sg::Node>> made;
  for (std::size_t i = 0; i < parents.size(); ++i) {
    made.emplace_back(new CountedNode(&freed, &copiesLeft));
    made.back()->m_id = static_cast<int>(i) + 1;
    if (i > 0) made[static_cast<std::size_t>(parents[i])]->addChild(made.back());
  }
  lang::Ptr<sg::Node> root = made.front();
  made.clear();  // the tree holds its nodes; the test holds the root
  const std::vector<const sg::Node*> before = nodesUnder(root.get());

  // The copy fails at every node in turn: the root, the middle, the last.
  for (int allowed = 0; allowed <= static_cast<int>(parents.size()); ++allowed) {
    freed = 0;
    copiesLeft = allowed;
    if (allowed < static_cast<int>(parents.size())) {
      EXPECT_THROW(root->clone(), std::bad_alloc) << "after " << allowed << " copies";
    } else {
      EXPECT_EQ(sg::diffNodeGraphs(root.get(), root->clone().get()), "");
    }
    EXPECT_EQ(freed, allowed) << "every copy made is freed";
    EXPECT_EQ(nodesUnder(root.get()), before) << "after " << allowed << " copies";
  }
  copiesLeft = -1;
}

TEST(NodeClone, AMillionDeepChainClonesAndBothAreFreed) {
  // One level of the copy per node: this depth overflows a stack that
  // recursion would use.
  constexpr int kDepth = 1000000;
  int freed = 0;
  lang::Ptr<sg::Node> root = countedChain(kDepth, &freed);
  lang::Ptr<sg::Node> copy = root->clone();
  EXPECT_NE(copy.get(), root.get());

  int depth = 0;
  const sg::Node* parent = nullptr;
  bool linksHold = true;
  for (const sg::Node* n = copy.get(); n; n = n->m_child.get()) {
    linksHold = linksHold && n->m_id == depth && n->m_parent == parent && !n->m_next &&
                n->m_previous == nullptr && n->refCount() == 1;
    parent = n;
    ++depth;
  }
  EXPECT_TRUE(linksHold);
  EXPECT_EQ(depth, kDepth);
  EXPECT_NE(dynamic_cast<const CountedNode*>(parent), nullptr);  // the deepest copy

  root.reset();
  EXPECT_EQ(freed, kDepth);
  copy.reset();
  EXPECT_EQ(freed, 2 * kDepth);
}

TEST(NodeSlots, BaseNodeDefaults) {
  sg::Node n;
  EXPECT_FALSE(n.hasRenderData());
  EXPECT_FALSE(n.hasCollisionData());
  n.update();
  EXPECT_EQ(n.getBoundingRadius(), 0.0f);
  EXPECT_EQ(n.getObjectCount(), 0);
  std::uint32_t range[2] = {7, 8};
  n.getCellRange(range);
  EXPECT_EQ(range[0], 0u);
  EXPECT_EQ(range[1], 0u);
  EXPECT_EQ(n.referenceLength, -1.0f);
  EXPECT_TRUE(n.transformHints.empty());
}

TEST(NodeLifetime, LongSiblingListIsFreedWithoutDeepRecursion) {
  lang::Ptr<sg::Node> root(new sg::Node);
  sg::Node* last = root.get();
  for (int i = 0; i < 300000; ++i) {
    lang::Ptr<sg::Node> n(new sg::Node);
    n->m_previous = last;
    last->m_next = n;
    last = n.get();
  }
  root.reset();  // would overflow the stack if each node freed the next
  SUCCEED();
}

TEST(NodeLifetime, AMillionDeepChainIsFreedWhole) {
  constexpr int kDepth = 1000000;
  int freed = 0;
  lang::Ptr<sg::Node> root = countedChain(kDepth, &freed);
  root.reset();  // would overflow the stack if each node freed its child
  EXPECT_EQ(freed, kDepth);
}

TEST(NodeLifetime, ANodeHeldElsewhereOutlivesItsTreeWithItsSubtree) {
  // 0 { 1 { 2 { 3 } } } and a sibling run 1, 10, 11 under 0.
  int freed = 0;
  lang::Ptr<sg::Node> root = countedChain(4, &freed);
  sg::Node* one = root->m_child.get();
  for (int id : {10, 11}) {
    lang::Ptr<sg::Node> n(new CountedNode(&freed));
    n->m_id = id;
    root->addChild(n);
  }
  lang::Ptr<sg::Node> two = one->m_child;  // held in the middle of the chain
  lang::Ptr<sg::Node> ten = one->m_next;   // held in the middle of the siblings
  root.reset();
  EXPECT_EQ(freed, 2);  // 0 and 1; 10 holds 11, 2 holds 3
  ASSERT_TRUE(two->m_child);
  EXPECT_EQ(two->m_child->m_id, 3);
  ASSERT_TRUE(ten->m_next);
  EXPECT_EQ(ten->m_next->m_id, 11);
  two.reset();
  ten.reset();
  EXPECT_EQ(freed, 6);
}

}  // namespace
