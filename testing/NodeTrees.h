// Test helpers for node trees: building small trees and comparing two trees
// field by field, links included.
#pragma once

#include <string>

#include "lang/Ptr.h"
#include "sg/Node.h"

namespace xmdtest {

// A node with id `id` and transforms and cells derived from it.
inline lang::Ptr<sg::Node> makeNode(int id) {
  lang::Ptr<sg::Node> n(new sg::Node);
  n->m_id = id;
  for (int i = 0; i < 16; ++i) {
    n->m_localTransform.data()[i] = static_cast<float>(id) + 0.125f * static_cast<float>(i);
    n->m_worldTransform.data()[i] = static_cast<float>(id) - 0.5f * static_cast<float>(i);
  }
  n->m_primaryCellID = id * 10;
  n->m_secondaryCellID = -id;
  n->m_flags = id ^ 0x55;
  return n;
}

// root 1 with children 2 and 3; 2 has the child 4.
inline lang::Ptr<sg::Node> makeTree() {
  lang::Ptr<sg::Node> root = makeNode(1);
  lang::Ptr<sg::Node> a = makeNode(2);
  root->addChild(a);
  root->addChild(makeNode(3));
  a->addChild(makeNode(4));
  return root;
}

// Empty when the trees under `a` and `b` hold the same archived fields and
// the same shape with consistent back links; else a description of the first
// difference.
inline std::string diffTrees(const sg::Node* a, const sg::Node* b) {
  if (!a || !b) return (a == b) ? "" : "null mismatch";
  std::string at = "node " + std::to_string(a->m_id) + ": ";
  if (a->m_id != b->m_id) return at + "id";
  if (a->m_localTransform != b->m_localTransform) return at + "local transform";
  if (a->m_worldTransform != b->m_worldTransform) return at + "world transform";
  if (a->m_primaryCellID != b->m_primaryCellID || a->m_secondaryCellID != b->m_secondaryCellID)
    return at + "cells";
  if (a->m_flags != b->m_flags) return at + "flags";
  if ((a->m_parent == nullptr) != (b->m_parent == nullptr)) return at + "parent";
  if (a->m_parent && a->m_parent->m_id != b->m_parent->m_id) return at + "parent id";
  if ((a->m_previous == nullptr) != (b->m_previous == nullptr)) return at + "previous";
  if (b->m_child && b->m_child->m_parent != b) return at + "child's parent link";
  if (b->m_next && b->m_next->m_previous != b) return at + "next's previous link";
  std::string d = diffTrees(a->m_child.get(), b->m_child.get());
  if (!d.empty()) return d;
  return diffTrees(a->m_next.get(), b->m_next.get());
}

}  // namespace xmdtest
