#include "sg/Node.h"

#include <stdexcept>
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

namespace {

// An owning link taken from a node that is being freed: `linker` held it,
// and the nodes of its sibling run have `parent` as their parent.
struct FreedLink {
  lang::Ptr<Node> node;
  const Node* linker;
  const Node* parent;
};

// `survivor`, held elsewhere, outlives `link.linker`, whose link was the one
// that kept it in its sibling run. It becomes the first node of a run of its
// own: it has no previous sibling, and neither it nor the siblings it holds
// has a parent (a freed one, or one that no longer reaches them and could be
// freed later). Pointers are compared here, never followed.
void unlinkSurvivor(Node& survivor, const FreedLink& link) {
  if (survivor.m_previous == link.linker) survivor.m_previous = nullptr;
  if (!link.parent) return;
  for (Node* s = &survivor; s && s->m_parent == link.parent; s = s->m_next.get())
    s->m_parent = nullptr;
}

// True when `candidate` is `node` or one of the parents above it. Parent
// pointers that loop (a malformed graph) end the walk: a node with no parent,
// as addChild's candidate is, cannot lie on such a loop, and every node before
// the loop has been compared by then.
bool isOnParentChain(const Node& candidate, const Node& node) {
  const Node* slow = &node;
  const Node* fast = &node;
  while (fast) {
    if (fast == &candidate) return true;
    fast = fast->m_parent;
    if (!fast) return false;
    if (fast == &candidate) return true;
    fast = fast->m_parent;
    slow = slow->m_parent;
    if (fast == slow) return false;
  }
  return false;
}

}  // namespace

Node::~Node() {
  detail::NodeLoadSession::forgetNode(this);
  if (!m_child && !m_next) return;
  // Nodes that this one holds last are taken apart here, one at a time, so
  // that a long sibling list or a deep tree does not recurse once per node.
  // Nodes that someone else still holds survive, unlinked from this tree.
  std::vector<FreedLink> pending;
  pending.push_back({std::move(m_child), this, this});
  pending.push_back({std::move(m_next), this, m_parent});
  while (!pending.empty()) {
    FreedLink link = std::move(pending.back());
    pending.pop_back();
    Node* n = link.node.get();
    if (!n) continue;
    if (n->refCount() > 1) {
      unlinkSurvivor(*n, link);
      continue;
    }
    pending.push_back({std::move(n->m_child), n, n});
    pending.push_back({std::move(n->m_next), n, link.parent});
  }
}

void Node::addChild(const lang::Ptr<Node>& child) {
  if (!child) throw std::invalid_argument("sg::Node::addChild: the child is null");
  if (child->m_parent) throw std::invalid_argument("sg::Node::addChild: the child has a parent");
  if (child->m_next || child->m_previous)
    throw std::invalid_argument("sg::Node::addChild: the child has siblings");
  if (child.get() == this || (child->m_child && isOnParentChain(*child, *this)))
    throw std::invalid_argument("sg::Node::addChild: the child holds this node");
  child->m_parent = this;
  if (!m_child) {
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
