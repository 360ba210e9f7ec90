// sg::Node: the scene-graph node. A first-child / next-sibling tree: a node
// owns its first child (m_child) and its next sibling (m_next) through
// lang::Ptr; m_parent and m_previous are plain back pointers that own nothing.
// Nodes are reference counted and shared through lang::Ptr<sg::Node>.
//
// Besides its archived fields a node carries three animation tracks, one
// transform hint per blend source, and a reference length; animate / blend set
// the local transform from them (sg/NodeBlend.cpp).
//
// Archive form (sg/NodeArchive.cpp): class version 1, tracked, polymorphic;
// only sg::Node itself has a pointer form. Failures are the archive library's
// exceptions; the scene graph's own refusals (rings, nesting, links to nodes
// not on the heap) are sg::NodeArchiveException, whose what() names them.
//
// Who owns what an archive reads: a node link (lang::Ptr<Node>) holds the
// node it reads, as any Ptr does, and the nodes under it are held by their
// links. A node read through a plain `sg::Node*` (the root of an archive
// written from a node pointer) comes back with count 0: it belongs to the
// caller, who must adopt it at once, `lang::Ptr<sg::Node>(raw)`, so that its
// tree is freed with the last Ptr (or delete it, if no Ptr ever holds it).
// loadNodePointer, below, reads and adopts in one step, and then a later
// link in the same archive may share it. Not thread-safe.
#pragma once

#include <cstdint>

#include <boost/serialization/access.hpp>
#include <boost/serialization/tracking.hpp>
#include <boost/serialization/version.hpp>

#include "anim/Animatable.h"
#include "anim/Track.h"
#include "lang/Ptr.h"
#include "math/Matrix4x4.h"
#include "util/Vector.h"

namespace boost {
namespace archive {
class xml_oarchive;
class xml_iarchive;
}  // namespace archive
}  // namespace boost

namespace sg {

class Node : public anim::Animatable {
 public:
  // The hints of one blend source: what its tracks returned at their previous
  // evaluation. All 0 in a new entry.
  struct TransformHint {
    std::uint32_t translation = 0;
    std::uint32_t rotation = 0;
    std::uint32_t scale = 0;
  };
  using TransformHintVector = util::Vector<TransformHint>;

  // Marker whose run-time type name the node's type id is registered under.
  struct TypeIdMarker {};
  static const TypeIdMarker typeIdInstance;

  // Bit of m_flags set whenever animation writes the local transform.
  static constexpr int kTransformAnimatedFlag = 0x4;

  // Identity transforms, no links, no tracks, referenceLength -1.
  Node();
  // A fresh, unlinked node (count 0, no parent, child or siblings) with all
  // other state of `other`: ids, transforms, flags, cells, the same (shared)
  // tracks, the hints and referenceLength.
  Node(const Node& other);
  Node& operator=(const Node&) = delete;

  // "Slot N" is a virtual function's place in the vtable (declaration order;
  // Slot 0 is the destructor). The order is part of the node's binary
  // interface: code compiled against an earlier Node.h calls through those
  // places, so a virtual function is never moved or removed, and a new one
  // goes after the last.

  // Slot 0: releases the child and next sibling. Long sibling lists and deep
  // trees are released without deep recursion. A node of the freed tree that
  // something else still holds survives with the nodes it holds, unlinked:
  // it loses the previous sibling whose link held it, and it and the
  // siblings it holds lose their parent (m_previous, m_parent set to null),
  // so that none of them points at a freed node, now or when that parent
  // goes later.
  ~Node() override;

  // Slot 1: blend with this node as the only source, weight 1.
  virtual void animate(float time);
  // Slot 2: sets the translation and the 3x3 block of m_localTransform from
  // `count` weighted sources (null entries allowed; see NodeBlend.cpp). The
  // sources are only read (a source may be this node); an array of
  // `Node*` converts. Returns nothing, throws nothing of its own.
  virtual void blend(const Node* const* sources, const float* times, const float* weights,
                     int count);
  // Slot 3: a deep copy: cloneUnlinked of this node holding, in the same
  // order, cloneUnlinked copies of this node's descendants, linked as the
  // originals are. Any depth and any number of siblings are copied without
  // deep recursion. Throws std::bad_alloc, and then frees what it made.
  virtual lang::Ptr<Node> clone() const;
  // Slots 4 to 9: extension points of derived nodes; the base node has no
  // render data, no collision data, nothing to update, a zero bounding
  // radius, no contained objects and the cell range (0, 0).
  virtual bool hasRenderData() const;
  virtual bool hasCollisionData() const;
  virtual void update();
  virtual float getBoundingRadius() const;
  virtual int getObjectCount() const;
  virtual void getCellRange(std::uint32_t range[2]) const;
  // Slot 10: the class's type id (the node's is taken from sg::getTypeId at
  // program start).
  virtual int getTypeId() const;
  // Slot 11: writes "version" (1) and then the node's elements in the form
  // the archive library writes, without an enclosing element of its own.
  // Throws the archive's exceptions.
  virtual void save(boost::archive::xml_oarchive& ar) const;
  // Slot 12: reads "version" and then the node's elements in the form of that
  // class version. Throws the archive's exceptions; on failure the node is
  // left partly filled and unlinked, and the nodes the read made are freed.
  virtual void load(boost::archive::xml_iarchive& ar);

  // Appends `child` as the last child of this node and sets its back links.
  // Throws std::invalid_argument, changing nothing, when `child` is null, has
  // a parent or siblings (m_parent, m_previous or m_next set: it is linked
  // elsewhere, and its siblings would be lost), or is this node or one of the
  // parents above it (it would hold itself).
  void addChild(const lang::Ptr<Node>& child);

  int m_id = 0;
  math::Matrix4x4 m_localTransform;  // relative to the parent
  math::Matrix4x4 m_worldTransform;  // relative to the world
  math::Matrix4x4 m_auxTransform;    // a third transform; not archived
  int m_flags = 0;
  Node* m_parent = nullptr;    // not owning; null for a root
  lang::Ptr<Node> m_child;     // first child, owning
  lang::Ptr<Node> m_next;      // next sibling, owning
  Node* m_previous = nullptr;  // previous sibling, not owning
  int m_primaryCellID = 0;
  int m_secondaryCellID = 0;

  lang::Ptr<anim::Track> translationTrack;
  lang::Ptr<anim::Track> rotationTrack;
  lang::Ptr<anim::Track> scaleTrack;
  TransformHintVector transformHints;  // one entry per source of the last blend
  float referenceLength = -1.0f;

 protected:
  // Slot 13: this node alone, as clone copies each node of a tree: a new node
  // of this node's class made by its copy constructor (fresh and unlinked).
  // A derived class with state of its own overrides this, not clone.
  // Throws std::bad_alloc.
  virtual lang::Ptr<Node> cloneUnlinked() const;
};

// Archive forms, defined in sg/NodeArchive.cpp for the XML archives.
//
// The node through the library (class version 1; reads versions 0 and 1).
template <class Archive>
void serialize(Archive& ar, Node& node, const unsigned int version);
// The node link: an element holding "lang_ptr", the raw node pointer.
template <class Archive>
void serialize(Archive& ar, lang::Ptr<Node>& link, const unsigned int version);
// A node made by the archive reader for a node pointer.
template <class Archive>
void load_construct_data(Archive& ar, Node* node, const unsigned int version);

// Reads the element `name` of `ar`, a plain node pointer (the form that
// `ar << make_nvp(name, nodePointer)` writes), and returns it held: a node
// the read made has the returned Ptr as its one holder. Returns a null Ptr
// for a null pointer. Throws what reading a node throws
// (boost::archive::archive_exception, sg::NodeArchiveException); nothing is
// then held and the nodes the read made are freed.
lang::Ptr<Node> loadNodePointer(boost::archive::xml_iarchive& ar, const char* name);

}  // namespace sg

BOOST_CLASS_VERSION(sg::Node, 1)

namespace boost {
namespace serialization {
// The archive library's delete_created_pointers must not delete nodes: nodes
// belong to their lang::Ptr holders, and a failed read already frees the
// nodes it made.
template <>
inline void access::destroy<sg::Node>(const sg::Node* /*node*/) {}
}  // namespace serialization
}  // namespace boost
