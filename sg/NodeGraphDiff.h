// sg::diffNodeGraphs: compares two node graphs, for tests and for programs
// that check a copy or an archive round trip.
//
// A graph is every node reached from its root through the owning links
// (m_child, m_next; the root's own next siblings included). The two graphs
// are walked side by side, child before next sibling, pairing their nodes;
// they are equal when
// - the pairing is one to one: the same shape, and a node reached twice (a
//   node shared by two links) on one side is reached twice, at the same
//   places, on the other;
// - paired nodes are of the same class and hold the same values, bit for bit
//   (so -0 differs from 0, and a NaN equals the same NaN): m_id, the local
//   and world transforms, the two cell ids and m_flags, which is what an
//   archive keeps; optionally also what it does not keep (Options);
// - their back pointers correspond: m_parent and m_previous are both null,
//   or point to paired nodes, or both point outside their graphs;
// - optionally, paired nodes have the same reference counts.
// Fields that derived classes add are not compared.
//
// Reads the graphs only; any depth, sibling count or sharing (rings of links
// included) is walked without recursion. Not thread-safe against writers of
// either graph.
#pragma once

#include <string>

namespace sg {

class Node;

// What diffNodeGraphs compares besides the values an archive keeps, the
// shape and the back pointers.
struct NodeGraphDiffOptions {
  // Also the state an archive does not keep: m_auxTransform and
  // referenceLength bit for bit, the same track objects, the same transform
  // hints (as clone copies them).
  bool unarchivedState = false;
  // Also the reference count of each pair (holders outside the graphs count
  // too: a root held by one Ptr differs from a root read as a plain pointer).
  bool refCounts = false;
};

// Returns "" when the graphs from `a` and from `b` are equal (two null roots
// are), else one line on the first difference met in the walk: where it lies,
// as the path of links from the root ("root/child/next"), the two nodes' ids,
// and what differs with both values. Throws std::bad_alloc only.
std::string diffNodeGraphs(const Node* a, const Node* b, const NodeGraphDiffOptions& options = {});

}  // namespace sg
