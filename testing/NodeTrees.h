// Test helpers for node trees: building small trees. (Trees are compared with
// sg::diffNodeGraphs.)
#pragma once

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

}  // namespace xmdtest
