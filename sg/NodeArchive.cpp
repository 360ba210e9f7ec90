// Archive forms of sg::Node and of the node link lang::Ptr<sg::Node>.
//
// Node, class version 1, elements in order: "m_id", "m_localTransform",
// "m_worldTransform", "m_worldTransformInverse" (sixteen zeros, always; the
// node holds no such matrix and ignores what it reads there), "m_parent"
// (node pointer), "m_child" and "m_next" (node links), "m_previous" (node
// pointer), "m_primaryCellID", "m_secondaryCellID", "m_flags". Class version 0
// has two "node" elements, plain node pointers, in place of the two links.
//
// The node link is an element holding one element "lang_ptr", the raw node
// pointer; reading makes the link hold the node read, taking a share.
//
// The node's own save and load (virtual slots) write and read "version" and
// then the same elements as the library form, so that each reads what the
// other writes.
//
// Reading guards the ownership of what it makes: see sg/NodeLoadSession.h.
#include <new>

#include <boost/archive/archive_exception.hpp>
#include <boost/archive/xml_iarchive.hpp>
#include <boost/archive/xml_oarchive.hpp>
#include <boost/serialization/nvp.hpp>
#include <boost/serialization/split_free.hpp>

#include "sg/Node.h"
#include "sg/NodeArchiveException.h"
#include "sg/NodeLoadSession.h"

namespace sg {
namespace {

using boost::archive::xml_iarchive;
using boost::archive::xml_oarchive;
using boost::serialization::make_nvp;

// What one output archive knows about the node writes in progress: their
// nesting, and the node whose own save is writing (its own fields have no
// object identity in the archive).
struct NodeSaveState {
  int depth = 0;
  const Node* ownSaved = nullptr;
};

NodeSaveState& saveStateOf(xml_oarchive& ar) {
  static char key;  // identifies the state among the archive's helpers
  return ar.get_helper<NodeSaveState>(&key);
}

class NodeWriteScope {
 public:
  explicit NodeWriteScope(xml_oarchive& ar) {
    m_depth = &saveStateOf(ar).depth;
    if (*m_depth >= detail::kMaxNodeNesting) {
      throw NodeArchiveException(boost::archive::archive_exception::other_exception,
                                 "node elements nested too deeply");
    }
    ++*m_depth;
  }
  ~NodeWriteScope() { --*m_depth; }
  NodeWriteScope(const NodeWriteScope&) = delete;
  NodeWriteScope& operator=(const NodeWriteScope&) = delete;

 private:
  int* m_depth;
};

void saveLink(xml_oarchive& ar, const char* name, const lang::Ptr<Node>& link) {
  ar << make_nvp(name, link);
}

// A back pointer to the node of an own save is written as null (that node has
// no identity in the archive, so it would be written again in full); the own
// load links it back.
void saveBackPointer(xml_oarchive& ar, const char* name, Node* pointer) {
  Node* const written = (pointer == saveStateOf(ar).ownSaved) ? nullptr : pointer;
  ar << make_nvp(name, written);
}

// Reads a plain node pointer into `link`, which takes a share of it.
void loadPointerIntoLink(xml_iarchive& ar, const char* name, lang::Ptr<Node>& link) {
  detail::NodeLoadSession& session = detail::NodeLoadSession::of(ar);
  detail::NodeReadScope scope(session, nullptr);
  Node* raw = nullptr;
  ar >> make_nvp(name, raw);
  session.checkResolved(raw, true);
  session.linked(raw);
  scope.done();
  // Set last: a failed read leaves the link as it was. The session's share
  // keeps the node alive until the scope ends.
  link = lang::Ptr<Node>(raw);
}

void loadBackPointer(xml_iarchive& ar, const char* name, Node*& pointer) {
  Node* raw = nullptr;
  ar >> make_nvp(name, raw);
  detail::NodeLoadSession::of(ar).checkResolved(raw, false);
  pointer = raw;
}

// The node's elements after "version", class version 1.
void writeFields(xml_oarchive& ar, const Node& node) {
  NodeWriteScope scope(ar);
  ar << make_nvp("m_id", node.m_id);
  ar << make_nvp("m_localTransform", node.m_localTransform);
  ar << make_nvp("m_worldTransform", node.m_worldTransform);
  const math::Matrix4x4 placeholder = math::Matrix4x4::zero();
  ar << make_nvp("m_worldTransformInverse", placeholder);
  saveBackPointer(ar, "m_parent", node.m_parent);
  saveLink(ar, "m_child", node.m_child);
  saveLink(ar, "m_next", node.m_next);
  saveBackPointer(ar, "m_previous", node.m_previous);
  ar << make_nvp("m_primaryCellID", node.m_primaryCellID);
  ar << make_nvp("m_secondaryCellID", node.m_secondaryCellID);
  ar << make_nvp("m_flags", node.m_flags);
}

// The node's elements in the form of class `version`.
void readFields(xml_iarchive& ar, Node& node, unsigned int version) {
  detail::NodeLoadSession& session = detail::NodeLoadSession::of(ar);
  detail::NodeReadScope scope(session, &node);
  ar >> make_nvp("m_id", node.m_id);
  ar >> make_nvp("m_localTransform", node.m_localTransform);
  ar >> make_nvp("m_worldTransform", node.m_worldTransform);
  math::Matrix4x4 dropped;
  ar >> make_nvp("m_worldTransformInverse", dropped);
  loadBackPointer(ar, "m_parent", node.m_parent);
  if (version >= 1) {
    ar >> make_nvp("m_child", node.m_child);
    ar >> make_nvp("m_next", node.m_next);
  } else {
    loadPointerIntoLink(ar, "node", node.m_child);
    loadPointerIntoLink(ar, "node", node.m_next);
  }
  loadBackPointer(ar, "m_previous", node.m_previous);
  ar >> make_nvp("m_primaryCellID", node.m_primaryCellID);
  ar >> make_nvp("m_secondaryCellID", node.m_secondaryCellID);
  ar >> make_nvp("m_flags", node.m_flags);
  scope.done();
}

}  // namespace

template <class Archive>
void serialize(Archive& ar, Node& node, const unsigned int version) {
  if constexpr (Archive::is_saving::value)
    writeFields(ar, node);
  else
    readFields(ar, node, version);
}

template <class Archive>
void serialize(Archive& ar, lang::Ptr<Node>& link, const unsigned int /*version*/) {
  if constexpr (Archive::is_saving::value) {
    NodeWriteScope scope(ar);  // counts like the reader's bracket of a link
    Node* const raw = link.get();
    ar << make_nvp("lang_ptr", raw);
  } else {
    loadPointerIntoLink(ar, "lang_ptr", link);
  }
}

template <class Archive>
void load_construct_data(Archive& ar, Node* node, const unsigned int /*version*/) {
  ::new (node) Node();
  detail::NodeLoadSession::of(ar).nodeCreated(node);
}

template void serialize(xml_oarchive&, Node&, const unsigned int);
template void serialize(xml_iarchive&, Node&, const unsigned int);
template void serialize(xml_oarchive&, lang::Ptr<Node>&, const unsigned int);
template void serialize(xml_iarchive&, lang::Ptr<Node>&, const unsigned int);
template void load_construct_data(xml_iarchive&, Node*, const unsigned int);

lang::Ptr<Node> loadNodePointer(xml_iarchive& ar, const char* name) {
  Node* raw = nullptr;
  ar >> make_nvp(name, raw);
  return lang::Ptr<Node>(raw);  // count 0 until now for a node the read made
}

void Node::save(xml_oarchive& ar) const {
  const int version = 1;
  ar << make_nvp("version", version);
  NodeSaveState& state = saveStateOf(ar);
  const Node* outer = state.ownSaved;
  state.ownSaved = this;
  try {
    writeFields(ar, *this);
  } catch (...) {
    state.ownSaved = outer;
    throw;
  }
  state.ownSaved = outer;
}

void Node::load(xml_iarchive& ar) {
  int version = 0;
  ar >> make_nvp("version", version);
  if (version < 0) {
    throw boost::archive::archive_exception(
        boost::archive::archive_exception::unsupported_class_version, "sg::Node");
  }
  readFields(ar, *this, static_cast<unsigned int>(version));
  // Back pointers to this node were written as null (see saveBackPointer).
  for (Node* c = m_child.get(); c; c = c->m_next.get())
    if (!c->m_parent) c->m_parent = this;
  if (m_next && !m_next->m_previous) m_next->m_previous = this;
}

}  // namespace sg
