#include "sg/NodeLoadSession.h"

#include <algorithm>
#include <unordered_map>
#include <utility>

#include <boost/archive/archive_exception.hpp>
#include <boost/archive/xml_iarchive.hpp>

#include "sg/Node.h"
#include "sg/NodeArchiveException.h"

namespace sg {
namespace detail {
namespace {
// The sessions alive on this thread (one per open input archive), linked
// through m_nextOnThread. A plain pointer, so that nodes destroyed after the
// thread's objects (static nodes at exit) still find a valid, empty list.
thread_local NodeLoadSession* t_sessions = nullptr;
}  // namespace

NodeLoadSession& NodeLoadSession::of(boost::archive::xml_iarchive& ar) {
  static char key;  // identifies the session among the archive's helpers
  return ar.get_helper<NodeLoadSession>(&key);
}

NodeLoadSession::NodeLoadSession() : m_nextOnThread(t_sessions) { t_sessions = this; }

NodeLoadSession::~NodeLoadSession() {
  if (m_depth > 0) finish(false);
  freeUnheldNodes();
  for (NodeLoadSession** s = &t_sessions; *s; s = &(*s)->m_nextOnThread) {
    if (*s == this) {
      *s = m_nextOnThread;
      break;
    }
  }
}

void NodeLoadSession::forgetNode(const Node* node) noexcept {
  for (NodeLoadSession* s = t_sessions; s; s = s->m_nextOnThread) {
    s->m_loaded.erase(node);
    s->m_made.erase(const_cast<Node*>(node));
    s->m_handedOut.erase(node);
    s->m_entered.erase(const_cast<Node*>(node));
  }
}

void NodeLoadSession::nodeCreated(Node* node) {
  m_created.reserve(m_created.size() + 1);
  m_loaded.insert(node);
  m_made.insert(node);
  node->addRef();
  m_created.push_back(node);
}

void NodeLoadSession::enter(Node* node) {
  if (m_depth >= kMaxNodeNesting) {
    throw NodeArchiveException(boost::archive::archive_exception::other_exception,
                               "node elements nested too deeply");
  }
  m_scopes.reserve(m_scopes.size() + 1);
  if (node) {
    // A made node read outermost was made for the caller's own raw pointer.
    if (m_depth == 0 && m_made.count(node)) m_handedOut.insert(node);
    m_inProgress.reserve(m_inProgress.size() + 1);
    m_loaded.insert(node);
    m_entered.insert(node);
    m_inProgress.push_back(node);
  }
  m_scopes.push_back(node != nullptr);
  ++m_depth;
}

void NodeLoadSession::leave(bool ok) noexcept {
  if (m_scopes.back()) m_inProgress.pop_back();
  m_scopes.pop_back();
  if (--m_depth == 0) finish(ok);
}

void NodeLoadSession::linked(Node* target) {
  if (!target || m_inProgress.empty()) return;
  if (std::find(m_inProgress.begin(), m_inProgress.end(), target) == m_inProgress.end()) return;
  const Node* holder = m_inProgress.back();
  if (holder == target || m_linksToUnfinished.size() >= kMaxLinksToUnfinished) {
    throw NodeArchiveException(boost::archive::archive_exception::pointer_conflict,
                               "node links form a ring");
  }
  m_linksToUnfinished.emplace_back(holder, target);
}

void NodeLoadSession::checkRings() const {
  std::vector<const Node*> stack;
  std::unordered_set<const Node*> seen;
  for (const auto& link : m_linksToUnfinished) {
    // Does the target reach the holder through owning links?
    stack.assign(1, link.second);
    seen.clear();
    while (!stack.empty()) {
      const Node* n = stack.back();
      stack.pop_back();
      if (!n || !seen.insert(n).second) continue;
      if (n == link.first) {
        throw NodeArchiveException(boost::archive::archive_exception::pointer_conflict,
                                   "node links form a ring");
      }
      stack.push_back(n->m_child.get());
      stack.push_back(n->m_next.get());
    }
  }
}

void NodeLoadSession::checkResolved(const Node* node, bool share) const {
  if (node == nullptr) return;
  // A link may share a node that is already shared, or one that this archive
  // made and nobody holds yet (reached earlier through a back pointer).
  const bool shareable =
      node->refCount() > 0 || (m_made.count(const_cast<Node*>(node)) && !m_handedOut.count(node));
  if (m_loaded.count(node) == 0 || (share && !shareable)) {
    throw NodeArchiveException(boost::archive::archive_exception::pointer_conflict,
                               share ? "node link to a node that is not shared on the heap"
                                     : "node pointer to an object that is not a node");
  }
}

void NodeLoadSession::freeUnheldNodes() noexcept {
  // Unheld: made here, no holder, not handed out.
  std::vector<Node*> unheld;
  for (Node* n : m_made)
    if (n->refCount() == 0 && m_handedOut.count(n) == 0) unheld.push_back(n);
  if (unheld.empty()) return;
  // Every node that dies with them: held only by links of dying nodes.
  std::unordered_set<const Node*> dying(unheld.begin(), unheld.end());
  std::vector<const Node*> work(unheld.begin(), unheld.end());
  std::unordered_map<const Node*, std::uint32_t> holdsFromDying;
  while (!work.empty()) {
    const Node* n = work.back();
    work.pop_back();
    for (const Node* target : {n->m_child.get(), n->m_next.get()}) {
      if (!target || dying.count(target)) continue;
      if (++holdsFromDying[target] == target->refCount()) {
        dying.insert(target);
        work.push_back(target);
      }
    }
  }
  for (const Node* n : m_loaded) {
    if (dying.count(n)) continue;
    Node* survivor = const_cast<Node*>(n);
    if (dying.count(survivor->m_parent)) survivor->m_parent = nullptr;
    if (dying.count(survivor->m_previous)) survivor->m_previous = nullptr;
  }
  for (Node* n : unheld) delete n;  // each deletion calls forgetNode on this session
}

void NodeLoadSession::finish(bool ok) noexcept {
  std::vector<Node*> created;
  created.swap(m_created);
  m_linksToUnfinished.clear();
  if (ok) {
    m_entered.clear();
    for (Node* n : created) n->release();  // a count of 0 leaves the node to its raw holder
    return;
  }
  // Unlink first, moving the links out without releasing anything, so that no
  // node dies while the entered set is walked; then drop the links and the
  // session's shares.
  std::vector<lang::Ptr<Node>> links;
  for (Node* n : m_entered) {
    links.push_back(std::move(n->m_child));
    links.push_back(std::move(n->m_next));
    n->m_parent = nullptr;
    n->m_previous = nullptr;
  }
  m_entered.clear();
  links.clear();
  for (Node* n : created) {
    if (n->release() == 0) delete n;
  }
}

}  // namespace detail
}  // namespace sg
