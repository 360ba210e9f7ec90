#include "sg/Node.h"

#include <typeinfo>
#include <utility>
#include <vector>

#include "sg/NodeLoadSession.h"
#include "sg/TypeRegistry.h"

namespace sg {

const Node::TypeIdMarker Node::typeIdInstance{};

namespace {
// Taken once, at program start; the node is the only class that asks, so it
// receives 0.
const int s_nodeTypeId = getTypeId(typeid(Node::typeIdInstance).name());
}  // namespace

Node::Node() = default;

Node::Node(const Node& other)
    : anim::Animatable(other),
      m_id(other.m_id),
      m_localTransform(other.m_localTransform),
      m_worldTransform(other.m_worldTransform),
      m_auxTransform(other.m_auxTransform),
      m_flags(other.m_flags),
      m_primaryCellID(other.m_primaryCellID),
      m_secondaryCellID(other.m_secondaryCellID),
      translationTrack(other.translationTrack),
      rotationTrack(other.rotationTrack),
      scaleTrack(other.scaleTrack),
      transformHints(other.transformHints),
      referenceLength(other.referenceLength) {}

Node::~Node() {
  detail::NodeLoadSession::forgetNode(this);
  if (!m_child && !m_next) return;
  // Nodes that this one holds last are taken apart here, one at a time, so
  // that a long sibling list or a deep tree does not recurse once per node.
  std::vector<lang::Ptr<Node>> pending;
  pending.push_back(std::move(m_child));
  pending.push_back(std::move(m_next));
  while (!pending.empty()) {
    lang::Ptr<Node> n = std::move(pending.back());
    pending.pop_back();
    if (n && n->refCount() == 1) {
      if (n->m_child) pending.push_back(std::move(n->m_child));
      if (n->m_next) pending.push_back(std::move(n->m_next));
    }
  }
}

void Node::addChild(const lang::Ptr<Node>& child) {
  child->m_parent = this;
  child->m_next.reset();
  if (!m_child) {
    child->m_previous = nullptr;
    m_child = child;
    return;
  }
  Node* last = m_child.get();
  while (last->m_next) last = last->m_next.get();
  child->m_previous = last;
  last->m_next = child;
}

lang::Ptr<Node> Node::clone() const {
  lang::Ptr<Node> root = cloneUnlinked();
  // Pairs of an original and its copy whose children are still to be copied.
  // Each sibling list is copied in one loop and each level waits here, so
  // neither a long list nor a deep tree recurses. Should a copy throw, `root`
  // frees the part of the tree made so far.
  std::vector<std::pair<const Node*, Node*>> pending;
  if (m_child) pending.emplace_back(this, root.get());
  while (!pending.empty()) {
    const Node* original = pending.back().first;
    Node* copy = pending.back().second;
    pending.pop_back();
    Node* last = nullptr;
    for (const Node* c = original->m_child.get(); c; c = c->m_next.get()) {
      lang::Ptr<Node> cc = c->cloneUnlinked();
      cc->m_parent = copy;
      cc->m_previous = last;
      if (last)
        last->m_next = cc;
      else
        copy->m_child = cc;
      last = cc.get();
      if (c->m_child) pending.emplace_back(c, last);
    }
  }
  return root;
}

lang::Ptr<Node> Node::cloneUnlinked() const { return lang::Ptr<Node>(new Node(*this)); }

bool Node::hasRenderData() const { return false; }
bool Node::hasCollisionData() const { return false; }
void Node::update() {}
float Node::getBoundingRadius() const { return 0.0f; }
int Node::getObjectCount() const { return 0; }
void Node::getCellRange(std::uint32_t range[2]) const {
  range[0] = 0;
  range[1] = 0;
}
int Node::getTypeId() const { return s_nodeTypeId; }

}  // namespace sg
