// sg::Node links: addChild appends only an unlinked node and refuses every
// other (changing nothing), and freeing a tree leaves the nodes that others
// still hold unlinked from the freed nodes, never pointing at them (the
// sanitizer build follows their back pointers).
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "sg/Node.h"
#include "sg/NodeGraphDiff.h"
#include "testing/NodeTrees.h"

namespace {

// Every back pointer under `root` matches the owning links: each child's
// parent is the node whose child run holds it, each next sibling's previous is
// the node before it. Empty when so, else the first node that differs.
std::string checkBackLinks(const sg::Node* root) {
  std::vector<const sg::Node*> pending{root};
  while (!pending.empty()) {
    const sg::Node* n = pending.back();
    pending.pop_back();
    for (const sg::Node* c = n->m_child.get(); c; c = c->m_next.get()) {
      if (c->m_parent != n) return "parent of node " + std::to_string(c->m_id);
      const sg::Node* expectedPrevious = (c == n->m_child.get()) ? nullptr : c->m_previous;
      if (c->m_previous != expectedPrevious || (c->m_next && c->m_next->m_previous != c))
        return "siblings of node " + std::to_string(c->m_id);
      pending.push_back(c);
    }
  }
  return "";
}

TEST(NodeAddChild, AppendsInOrderAndSetsTheBackLinks) {
  lang::Ptr<sg::Node> root = xmdtest::makeNode(1);
  lang::Ptr<sg::Node> kids[3] = {xmdtest::makeNode(2), xmdtest::makeNode(3), xmdtest::makeNode(4)};
  for (const auto& k : kids) root->addChild(k);
  kids[1]->addChild(xmdtest::makeNode(5));
  EXPECT_EQ(root->m_child, kids[0]);
  EXPECT_EQ(kids[0]->m_next, kids[1]);
  EXPECT_EQ(kids[1]->m_next, kids[2]);
  EXPECT_FALSE(kids[2]->m_next);
  EXPECT_EQ(kids[0]->m_previous, nullptr);
  EXPECT_EQ(kids[2]->m_previous, kids[1].get());
  EXPECT_EQ(kids[1]->m_child->m_parent, kids[1].get());
  EXPECT_EQ(checkBackLinks(root.get()), "");
  EXPECT_EQ(kids[1]->refCount(), 2u);  // ours and the link of node 2
}

TEST(NodeAddChild, ASubtreeWithChildrenComesWhole) {
  lang::Ptr<sg::Node> root = xmdtest::makeNode(10);
  lang::Ptr<sg::Node> subtree = xmdtest::makeTree();  // 1 { 2 { 4 }, 3 }
  root->addChild(xmdtest::makeNode(11));
  root->addChild(subtree);
  EXPECT_EQ(subtree->m_previous, root->m_child.get());
  EXPECT_EQ(subtree->m_child->m_next->m_id, 3);
  EXPECT_EQ(checkBackLinks(root.get()), "");
}

TEST(NodeAddChild, RefusesAChildLinkedElsewhereOrHoldingThisNode) {
  // Nodes by id: the tree 1 { 2 { 4 }, 3 }, a lone node 9 with the child 8,
  // and a run of two siblings 6, 7 without a parent.
  struct Case {
    const char* what;
    int child;  // id, or 0 for a null child
    int target;
    const char* message;  // part of the exception's text
  } cases[] = {
      {"a null child", 0, 3, "null"},
      {"a first child with a next sibling", 2, 9, "has a parent"},
      {"a last child", 3, 9, "has a parent"},
      {"an only child", 4, 8, "has a parent"},
      {"a parentless node with a next sibling", 6, 3, "has siblings"},
      {"a parentless node with a previous sibling", 7, 3, "has siblings"},
      {"a lone node to itself", 9, 9, "holds this node"},
      {"a lone node to its own child", 9, 8, "holds this node"},
      {"a root to its grandchild", 1, 4, "holds this node"},
      {"a root to itself", 1, 1, "holds this node"},
  };
  for (const Case& c : cases) {
    lang::Ptr<sg::Node> tree = xmdtest::makeTree();
    lang::Ptr<sg::Node> lone = xmdtest::makeNode(9);
    lone->addChild(xmdtest::makeNode(8));
    lang::Ptr<sg::Node> run = xmdtest::makeNode(6);
    run->m_next = xmdtest::makeNode(7);
    run->m_next->m_previous = run.get();
    const lang::Ptr<sg::Node> treeBefore = tree->clone();
    const lang::Ptr<sg::Node> loneBefore = lone->clone();
    std::vector<sg::Node*> byId(10, nullptr);
    for (sg::Node* n : {tree.get(), tree->m_child.get(), tree->m_child->m_child.get(),
                        tree->m_child->m_next.get(), lone.get(), lone->m_child.get(), run.get(),
                        run->m_next.get()})
      byId[static_cast<std::size_t>(n->m_id)] = n;
    lang::Ptr<sg::Node> child(byId[static_cast<std::size_t>(c.child)]);
    try {
      byId[static_cast<std::size_t>(c.target)]->addChild(child);
      ADD_FAILURE() << c.what << ": added";
    } catch (const std::invalid_argument& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos)
          << c.what << ": " << e.what();
    }
    EXPECT_EQ(sg::diffNodeGraphs(treeBefore.get(), tree.get()), "") << c.what;
    EXPECT_EQ(sg::diffNodeGraphs(loneBefore.get(), lone.get()), "") << c.what;
    EXPECT_EQ(checkBackLinks(tree.get()), "") << c.what;
    EXPECT_EQ(checkBackLinks(lone.get()), "") << c.what;
    EXPECT_EQ(run->m_next->m_previous, run.get()) << c.what;
    EXPECT_FALSE(run->m_next->m_next) << c.what;
  }
}

TEST(NodeAddChild, ARootAboveTheTargetIsRefusedAtAnyDepth) {
  // A chain 0 { 1 { 2 { ... } } }: adding the root, or the root of a subtree
  // above the target, would make the tree hold itself.
  lang::Ptr<sg::Node> root = xmdtest::makeNode(0);
  std::vector<sg::Node*> chain{root.get()};
  for (int id = 1; id < 50; ++id) {
    lang::Ptr<sg::Node> n = xmdtest::makeNode(id);
    chain.back()->addChild(n);
    chain.push_back(n.get());
  }
  for (std::size_t target :
       {std::size_t{0}, std::size_t{1}, std::size_t{2}, std::size_t{48}, std::size_t{49}})
    EXPECT_THROW(chain[target]->addChild(root), std::invalid_argument) << target;
  EXPECT_EQ(checkBackLinks(root.get()), "");
  EXPECT_EQ(chain[49]->m_child, nullptr);
}

TEST(NodeAddChild, ParentPointersThatLoopEndTheCheck) {
  // A malformed pair whose parent pointers point at each other (no owning
  // links): adding a fresh subtree below one of them terminates and works.
  lang::Ptr<sg::Node> a = xmdtest::makeNode(1);
  lang::Ptr<sg::Node> b = xmdtest::makeNode(2);
  a->m_parent = b.get();
  b->m_parent = a.get();
  lang::Ptr<sg::Node> subtree = xmdtest::makeTree();
  a->addChild(subtree);
  EXPECT_EQ(subtree->m_parent, a.get());
  EXPECT_EQ(a->m_child, subtree);
}

// The tree 0 { 1 { 2 { 3 } }, 4, 5 { 6 }, 7 }; returns the nodes by id.
std::vector<sg::Node*> buildTree(lang::Ptr<sg::Node>& root) {
  std::vector<lang::Ptr<sg::Node>> n;
  for (int id = 0; id < 8; ++id) n.push_back(xmdtest::makeNode(id));
  for (int child : {1, 4, 5, 7}) n[0]->addChild(n[static_cast<std::size_t>(child)]);
  n[1]->addChild(n[2]);
  n[2]->addChild(n[3]);
  n[5]->addChild(n[6]);
  root = n[0];
  std::vector<sg::Node*> byId;
  for (const auto& p : n) byId.push_back(p.get());
  return byId;
}

TEST(NodeFreeing, NodesHeldElsewhereSurviveWithoutPointersToFreedNodes) {
  // Which nodes of the tree something else holds when the root goes; every
  // other node is freed. For each survivor: the id its parent and previous
  // sibling must then have (-1: none).
  struct Survivor {
    int id, parent, previous;
  };
  struct Case {
    const char* what;
    std::vector<Survivor> held;
  } cases[] = {
      {"a first child", {{1, -1, -1}}},
      {"a middle child (holding the siblings after it)", {{4, -1, -1}}},
      {"the last child", {{7, -1, -1}}},
      {"a grandchild under a freed child", {{2, -1, -1}}},
      {"a leaf deep down", {{3, -1, -1}}},
      {"a leaf and its parent", {{3, 2, -1}, {2, -1, -1}}},
      {"two siblings, the second still held by the first", {{4, -1, -1}, {7, -1, 5}}},
      {"a held node and its child", {{5, -1, -1}, {6, 5, -1}}},
      {"a child whose parent is freed, held alone", {{6, -1, -1}}},
  };
  for (const Case& c : cases) {
    lang::Ptr<sg::Node> root;
    std::vector<sg::Node*> byId = buildTree(root);
    std::vector<lang::Ptr<sg::Node>> held;
    for (const Survivor& s : c.held)
      held.push_back(lang::Ptr<sg::Node>(byId[static_cast<std::size_t>(s.id)]));
    root.reset();
    for (std::size_t i = 0; i < held.size(); ++i) {
      const Survivor& s = c.held[i];
      const sg::Node* n = held[i].get();
      // Following the pointers is what the sanitizer build checks.
      EXPECT_EQ(n->m_parent ? n->m_parent->m_id : -1, s.parent) << c.what << ": node " << s.id;
      EXPECT_EQ(n->m_previous ? n->m_previous->m_id : -1, s.previous)
          << c.what << ": node " << s.id;
      // The siblings a survivor holds keep it as their previous sibling and
      // lose the freed parent.
      for (const sg::Node* x = n->m_next.get(); x; x = x->m_next.get()) {
        EXPECT_EQ(x->m_parent, n->m_parent) << c.what << ": node " << x->m_id;
        EXPECT_NE(x->m_previous, nullptr) << c.what << ": node " << x->m_id;
        EXPECT_EQ(x->m_previous->m_next.get(), x) << c.what;
      }
      EXPECT_EQ(checkBackLinks(n), "") << c.what;
    }
  }
}

TEST(NodeFreeing, ANodeDroppedFromItsRunLosesItsParentAndPreviousSibling) {
  // Replacing the first child of 0 frees node 1; node 4, held elsewhere,
  // survives with the siblings it holds (5 and 7). Node 0 no longer reaches
  // them, so they keep no pointer to it (which would dangle once 0 goes).
  lang::Ptr<sg::Node> root;
  std::vector<sg::Node*> byId = buildTree(root);
  lang::Ptr<sg::Node> four(byId[4]);
  root->m_child = xmdtest::makeNode(20);
  root->m_child->m_parent = root.get();
  EXPECT_EQ(four->m_previous, nullptr);
  std::vector<int> run;
  for (const sg::Node* x = four.get(); x; x = x->m_next.get()) {
    EXPECT_EQ(x->m_parent, nullptr) << x->m_id;
    run.push_back(x->m_id);
  }
  EXPECT_EQ(run, (std::vector<int>{4, 5, 7}));
  EXPECT_EQ(checkBackLinks(four.get()), "");
  root.reset();
  EXPECT_EQ(four->m_next->m_child->m_parent, four->m_next.get());  // 6 under 5, untouched
}

}  // namespace
