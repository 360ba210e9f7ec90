// sg::diffNodeGraphs: equal graphs give "", and each kind of difference (a
// value bit, the shape, sharing, back pointers, class, counts, unarchived
// state) is found and named with where it lies.
#include "sg/NodeGraphDiff.h"

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "anim/LinearKeyTrack.h"
#include "sg/Light.h"
#include "sg/Node.h"
#include "testing/NodeTrees.h"

namespace {

using sg::diffNodeGraphs;

// 1 { 2 { 4 }, 3 } with a track, hints and a reference length on node 2;
// `b` is its clone, which the cases change.
struct Twins {
  lang::Ptr<sg::Node> a = xmdtest::makeTree();
  lang::Ptr<sg::Node> b;
  Twins() {
    sg::Node* two = a->m_child.get();
    two->translationTrack = lang::Ptr<anim::Track>(new anim::LinearKeyTrack);
    two->transformHints.resize(2);
    two->referenceLength = 3.5f;
    b = a->clone();
  }
  sg::Node& two() const { return *b->m_child; }
  sg::Node& three() const { return *b->m_child->m_next; }
  sg::Node& four() const { return *b->m_child->m_child; }
};

float floatOfBits(std::uint32_t bits) {
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

TEST(NodeGraphDiff, EqualGraphsGiveNothing) {
  Twins t;
  EXPECT_EQ(diffNodeGraphs(t.a.get(), t.b.get()), "");
  EXPECT_EQ(diffNodeGraphs(t.a.get(), t.b.get(), {true, true}), "");  // a clone keeps it all
  EXPECT_EQ(diffNodeGraphs(t.a.get(), t.a.get()), "");
  EXPECT_EQ(diffNodeGraphs(nullptr, nullptr), "");
  // A subtree against the same subtree of the copy: both parents lie outside.
  EXPECT_EQ(diffNodeGraphs(t.a->m_child.get(), &t.two()), "");
}

struct Change {
  const char* what;
  std::function<void(Twins&)> apply;  // to the copy
  const char* expected;               // the whole line
};

const Change kChanges[] = {
    {"an id deep down", [](Twins& t) { t.four().m_id = 5; },
     "root/child/child (ids 4 and 5): m_id: 4 vs 5"},
    {"one float of a local transform",
     [](Twins& t) { t.three().m_localTransform.data()[5] = 0.5f; },
     "root/child/next (ids 3 and 3): m_localTransform[5]: 3.625 (0x40680000) vs 0.5 (0x3f000000)"},
    {"zero against negative zero", [](Twins& t) { t.b->m_worldTransform.data()[2] = -0.0f; },
     "root (ids 1 and 1): m_worldTransform[2]: 0 (0x00000000) vs -0 (0x80000000)"},
    {"two NaNs of other bits",
     [](Twins& t) {
       t.a->m_worldTransform.data()[0] = floatOfBits(0x7fc00000);
       t.b->m_worldTransform.data()[0] = floatOfBits(0x7fc00001);
     },
     "root (ids 1 and 1): m_worldTransform[0]: nan (0x7fc00000) vs nan (0x7fc00001)"},
    {"the primary cell", [](Twins& t) { t.two().m_primaryCellID = 7; },
     "root/child (ids 2 and 2): m_primaryCellID: 20 vs 7"},
    {"the secondary cell", [](Twins& t) { t.two().m_secondaryCellID = 7; },
     "root/child (ids 2 and 2): m_secondaryCellID: -2 vs 7"},
    {"the flags", [](Twins& t) { t.four().m_flags ^= 4; },
     "root/child/child (ids 4 and 4): m_flags: 81 vs 85"},
    {"a child only in the copy", [](Twins& t) { t.three().addChild(xmdtest::makeNode(9)); },
     "root/child/next (ids 3 and 3): m_child: set in the second graph only"},
    {"a sibling only in the original", [](Twins& t) { t.two().m_next.reset(); },
     "root/child (ids 2 and 2): m_next: set in the first graph only"},
    {"a root only in the original", [](Twins& t) { t.b.reset(); },
     "root: set in the first graph only"},
    {"the parent pointing at another node", [](Twins& t) { t.four().m_parent = t.b.get(); },
     "root/child/child (ids 4 and 4): m_parent differs"},
    {"a previous sibling lost", [](Twins& t) { t.three().m_previous = nullptr; },
     "root/child/next (ids 3 and 3): m_previous differs"},
    {"a parent pointing outside the graph", [](Twins& t) { t.two().m_parent = t.a.get(); },
     "root/child (ids 2 and 2): m_parent differs"},
    {"a node of another class",
     [](Twins& t) {
       lang::Ptr<sg::Node> light(new sg::Light);
       light->m_id = 3;
       light->m_localTransform = t.three().m_localTransform;
       t.two().m_next = light;
     },
     "root/child/next (ids 3 and 3): the class differs"},
    {"one node linked twice where the original has two",
     [](Twins& t) { t.two().m_next = t.two().m_child; },
     "root/child (ids 2 and 2): m_next: reaches a node shared differently in the two graphs"},
};

TEST(NodeGraphDiff, EachDifferenceIsNamedWhereItLies) {
  for (const Change& c : kChanges) {
    Twins t;
    c.apply(t);
    EXPECT_EQ(diffNodeGraphs(t.a.get(), t.b.get()), c.expected) << c.what;
    EXPECT_NE(diffNodeGraphs(t.b.get(), t.a.get()), "") << c.what;
  }
}

TEST(NodeGraphDiff, OptionsAddCountsAndUnarchivedState) {
  struct Case {
    const char* what;
    std::function<void(Twins&)> apply;  // to the copy
    sg::NodeGraphDiffOptions options;
    const char* expected;  // with the options; without them the graphs are equal
  } cases[] = {
      {"another holder of a node",
       [](Twins& t) { t.two().addRef(); },
       {false, true},
       "root/child (ids 2 and 2): refCount: 1 vs 2"},
      {"the third transform",
       [](Twins& t) { t.four().m_auxTransform.data()[15] = 2.0f; },
       {true, false},
       "root/child/child (ids 4 and 4): m_auxTransform[15]: 1 (0x3f800000) vs 2 (0x40000000)"},
      {"the reference length",
       [](Twins& t) { t.two().referenceLength = -1.0f; },
       {true, false},
       "root/child (ids 2 and 2): referenceLength: 3.5 (0x40600000) vs -1 (0xbf800000)"},
      {"another track object",
       [](Twins& t) {
         t.two().translationTrack = lang::Ptr<anim::Track>(new anim::LinearKeyTrack);
       },
       {true, false},
       "root/child (ids 2 and 2): translationTrack: another track"},
      {"a rotation track only in the copy",
       [](Twins& t) { t.three().rotationTrack = t.two().translationTrack; },
       {true, false},
       "root/child/next (ids 3 and 3): rotationTrack: another track"},
      {"fewer hints",
       [](Twins& t) { t.two().transformHints.resize(1); },
       {true, false},
       "root/child (ids 2 and 2): transformHints: 2 vs 1 entries"},
      {"another hint",
       [](Twins& t) { t.two().transformHints[1].scale = 9; },
       {true, false},
       "root/child (ids 2 and 2): transformHints[1] differs"},
  };
  for (const Case& c : cases) {
    Twins t;
    c.apply(t);
    EXPECT_EQ(diffNodeGraphs(t.a.get(), t.b.get()), "") << c.what;
    EXPECT_EQ(diffNodeGraphs(t.a.get(), t.b.get(), c.options), c.expected) << c.what;
    if (std::string(c.what) == "another holder of a node") t.two().release();
  }
}

// Two nodes, `first` holding `second` as its child; `second` shares nodes as
// `shape` says.
lang::Ptr<sg::Node> sharingGraph(const std::string& shape) {
  lang::Ptr<sg::Node> first = xmdtest::makeNode(1);
  lang::Ptr<sg::Node> second = xmdtest::makeNode(2);
  first->addChild(second);
  if (shape == "shared") {
    first->m_next = second;  // one node reached from two links
  } else if (shape == "twin") {
    first->m_next = xmdtest::makeNode(2);  // an equal node of its own
    first->m_next->m_parent = first.get();
  } else if (shape == "ring") {
    second->m_next = first;  // first -> second -> first
  }
  return first;
}

// Holds a graph of sharingGraph; opens a ring when it goes, so that the ring
// is freed.
struct Graph {
  explicit Graph(const std::string& shape) : root(sharingGraph(shape)) {}
  ~Graph() { root->m_child->m_next.reset(); }
  lang::Ptr<sg::Node> root;
};

TEST(NodeGraphDiff, SharedNodesAndRingsArePairedOneToOne) {
  // Equal shapes compare equal, rings included (the walk ends).
  for (const char* shape : {"shared", "twin", "ring"}) {
    Graph a(shape), b(shape);
    EXPECT_EQ(diffNodeGraphs(a.root.get(), b.root.get()), "") << shape;
  }
  struct Case {
    const char* a;
    const char* b;
    const char* expected;
  } cases[] = {
      {"shared", "twin",
       "root (ids 1 and 1): m_next: reaches a node shared differently in the "
       "two graphs"},
      {"twin", "shared",
       "root (ids 1 and 1): m_next: reaches a node shared differently in the "
       "two graphs"},
      {"ring", "twin", "root/child (ids 2 and 2): m_next: set in the first graph only"},
  };
  for (const Case& c : cases) {
    Graph a(c.a), b(c.b);
    EXPECT_EQ(diffNodeGraphs(a.root.get(), b.root.get()), c.expected) << c.a << " vs " << c.b;
  }
}

TEST(NodeGraphDiff, ADeepDifferenceIsFoundWithoutRecursionAndItsPathShortened) {
  constexpr int kDepth = 200000;
  lang::Ptr<sg::Node> a = xmdtest::makeNode(0);
  sg::Node* last = a.get();
  for (int id = 1; id < kDepth; ++id) {
    lang::Ptr<sg::Node> n = xmdtest::makeNode(id);
    last->addChild(n);
    last = n.get();
  }
  lang::Ptr<sg::Node> b = a->clone();
  EXPECT_EQ(diffNodeGraphs(a.get(), b.get()), "");
  sg::Node* deepest = b.get();
  while (deepest->m_child) deepest = deepest->m_child.get();
  deepest->m_flags = 0;  // was 199999 ^ 0x55 (xmdtest::makeNode)
  const std::string d = diffNodeGraphs(a.get(), b.get());
  EXPECT_EQ(d,
            "root/...199987 links.../child/child/child/child/child/child/child/child/child/"
            "child/child/child (ids 199999 and 199999): m_flags: 200042 vs 0");
}

}  // namespace
