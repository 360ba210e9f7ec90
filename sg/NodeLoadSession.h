// sg::detail::NodeLoadSession: what one XML input archive knows about the
// nodes it has read. Internal to the node's archive form.
//
// One session per archive, made at the first node read and destroyed with the
// archive. It keeps
// - every live node read from the archive, so that a pointer the archive
//   resolves to an earlier object is used only when it is such a node;
// - for the outermost read in progress (a node, a node link, or anything
//   holding them), the nodes it made and the nodes it entered. The session
//   holds a share of each node it made until the read ends. When the read
//   succeeds the shares are dropped without deleting anything (a node made for
//   a raw pointer belongs to that pointer's holder). When it fails, every node
//   it entered is unlinked and every node it made is freed.
// - the nesting depth of node reads, bounded by kMaxNodeNesting;
// - every live node the archive made, and which of them were handed out as
//   raw node pointers of an outermost read. When the archive is destroyed
//   (no later element can refer to them any more), the other nodes it made
//   that nobody holds are freed: they were reached only through back
//   pointers (an archive written from a node that is not a root brings in
//   that node's parent and older siblings). Back pointers of the remaining
//   nodes to the freed ones are set to null first.
//
// Sessions are per thread: an archive must be read on one thread.
#pragma once

#include <cstddef>
#include <unordered_set>
#include <utility>
#include <vector>

namespace boost {
namespace archive {
class xml_iarchive;
}  // namespace archive
}  // namespace boost

namespace sg {
class Node;
namespace detail {

// The deepest nesting of node elements and node links read or written (a node
// and the link to it count two). The archive form nests each next sibling and
// each child inside the node before it, and the archive library reads and
// writes recursively, many stack frames per level; beyond this depth a stack
// of 8 MiB (sanitizer builds included) could overflow, so deeper archives fail
// with sg::NodeArchiveException instead.
constexpr int kMaxNodeNesting = 4000;

// Owning links to nodes still being read, per outermost read. Archives that
// this library writes make one such link per node written with a parent (or
// previous sibling) that is not yet written; each costs a walk of the linked
// subtree at the end of the read, so their number is bounded.
constexpr std::size_t kMaxLinksToUnfinished = 1024;

class NodeLoadSession {
 public:
  // The session of `ar`, made at the first call; lives as long as `ar`.
  static NodeLoadSession& of(boost::archive::xml_iarchive& ar);

  NodeLoadSession();
  ~NodeLoadSession();
  NodeLoadSession(const NodeLoadSession&) = delete;
  NodeLoadSession& operator=(const NodeLoadSession&) = delete;

  // A node the archive made for a pointer: the session takes a share.
  void nodeCreated(Node* node);
  // Starts reading `node` (null: a node link or a holder of nodes). Throws
  // sg::NodeArchiveException (other_exception, "node elements nested too
  // deeply") when the nesting would pass kMaxNodeNesting.
  void enter(Node* node);
  // Ends the read of the matching enter; `ok` false when the read is
  // failing. The outermost leave finishes the read as the class comment
  // says. Never throws.
  void leave(bool ok) noexcept;
  // Checks a node pointer that the archive resolved: null, or a live node
  // read from this archive. With `share` (a node link takes a share of it)
  // the node must also be on the heap: already shared, or made by this
  // archive and held by nobody (not handed out to a raw pointer). Throws
  // sg::NodeArchiveException (pointer_conflict) otherwise.
  void checkResolved(const Node* node, bool share) const;

  // Records that the innermost node being read now links (owning) to
  // `target`, a node that checkResolved accepted. A link to a node whose read
  // is still in progress could close a ring of owning links; such links are
  // checked when the outermost read ends (checkRings). Throws
  // sg::NodeArchiveException (pointer_conflict, "node links form a ring")
  // for a node linking to itself or for too many such links.
  void linked(Node* target);
  // Throws sg::NodeArchiveException (pointer_conflict, "node links form a
  // ring") when an owning link recorded by linked() closes a ring. Called by the outermost
  // NodeReadScope::done().
  void checkRings() const;
  bool outermost() const { return m_depth == 1; }

  // Called by every node's destructor: the node is gone.
  static void forgetNode(const Node* node) noexcept;

 private:
  void finish(bool ok) noexcept;
  void freeUnheldNodes() noexcept;

  std::unordered_set<const Node*> m_loaded;
  std::unordered_set<Node*> m_made;             // live nodes made by this archive
  std::unordered_set<const Node*> m_handedOut;  // of m_made, given to raw pointers
  std::unordered_set<Node*> m_entered;          // by the read in progress
  std::vector<Node*> m_created;                 // by the read in progress, one share each
  std::vector<Node*> m_inProgress;              // nodes being read, outermost first
  std::vector<std::pair<const Node*, const Node*>> m_linksToUnfinished;  // holder, target
  std::vector<bool> m_scopes;  // per open scope: whether it entered a node
  NodeLoadSession* m_nextOnThread;
  int m_depth = 0;
};

// Brackets one read in a session: enter on construction, leave on
// destruction, failing unless done() was called.
class NodeReadScope {
 public:
  NodeReadScope(NodeLoadSession& session, Node* node) : m_session(session) { session.enter(node); }
  ~NodeReadScope() { m_session.leave(m_ok); }
  NodeReadScope(const NodeReadScope&) = delete;
  NodeReadScope& operator=(const NodeReadScope&) = delete;
  // Marks the read successful; the outermost read first checks the links it
  // made for rings (throws as NodeLoadSession::checkRings).
  void done() {
    if (m_session.outermost()) m_session.checkRings();
    m_ok = true;
  }

 private:
  NodeLoadSession& m_session;
  bool m_ok = false;
};

}  // namespace detail
}  // namespace sg
