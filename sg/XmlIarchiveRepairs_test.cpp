// The repaired XML archive reader: end tags of any length are compared
// whole, a malformed closing tag after complete objects is no crash, and a
// pointer with a corrupt class id fails with the library's exception.
#include <string>

#include <boost/archive/xml_archive_exception.hpp>
#include <gtest/gtest.h>

#include "lang/Ptr.h"
#include "math/Vector3.h"
#include "sg/Node.h"
#include "sg/NodeGraphDiff.h"
#include "testing/NodeTrees.h"
#include "testing/ArchiveIo.h"

namespace {

// The archive of a vector whose "g.x" end tag is replaced by endTag.
std::string withEndTag(const std::string& endTag) {
  std::string xml = xmdtest::saveXml("v", math::Vector3(1, 2, 3));
  const std::string closeX = "</g.x>";
  xml.replace(xml.find(closeX), closeX.size(), "</" + endTag + ">");
  return xml;
}

TEST(XmlIarchiveRepairs, MatchingNameReads) {
  math::Vector3 v;
  xmdtest::loadXml(withEndTag("g.x"), "v", v);
  EXPECT_EQ(v, math::Vector3(1, 2, 3));
}

TEST(XmlIarchiveRepairs, OtherNamesOfAnyLengthAreAMismatch) {
  // Longer names, a prefix, and an end tag of megabytes (which used to read
  // far past the expected name and crash).
  const std::string cases[] = {"g.xy", "g.", "g.y", "g.x" + std::string(32, 'z'),
                               "g.x" + std::string(3 << 20, 'z')};
  for (const std::string& tag : cases) {
    math::Vector3 v;
    try {
      xmdtest::loadXml(withEndTag(tag), "v", v);
      ADD_FAILURE() << "read with end tag of " << tag.size() << " bytes";
    } catch (const boost::archive::xml_archive_exception& e) {
      EXPECT_EQ(e.code, boost::archive::xml_archive_exception::xml_archive_tag_mismatch);
    }
  }
}

}  // namespace

namespace {

TEST(XmlIarchiveRepairs, MalformedClosingTagAfterTheObjectIsIgnored) {
  const std::string xml = xmdtest::saveXml("v", math::Vector3(4, 5, 6));
  const std::string closing = "</boost_serialization>";
  const size_t at = xml.find(closing);
  ASSERT_NE(at, std::string::npos);
  // Cut inside the closing tag, garble it, or drop it: each used to throw out
  // of the archive's destructor and end the program.
  const std::string endings[] = {xml.substr(0, at + 10),
                                 xml.substr(0, at) + "</boost_serial\xCD\x03", xml.substr(0, at),
                                 xml.substr(0, at) + "<x>"};
  for (const std::string& text : endings) {
    math::Vector3 v;
    xmdtest::loadXml(text, "v", v);
    EXPECT_EQ(v, math::Vector3(4, 5, 6));
  }
}

}  // namespace

namespace {

// The archive of a root node link whose first "m_parent" element (a null
// pointer, class id -1) is replaced by parent.
std::string withRootParent(const std::string& parent) {
  std::string xml = xmdtest::saveXml("root", xmdtest::makeNode(1));
  const std::string nullParent = "<m_parent class_id=\"-1\"></m_parent>";
  const size_t at = xml.find(nullParent);
  EXPECT_NE(at, std::string::npos);
  xml.replace(at, nullParent.size(), parent);
  return xml;
}

TEST(XmlIarchiveRepairs, PointerWithACorruptClassIdIsAnUnregisteredClass) {
  // In this archive class 0 is the node link, 1 the node, 2 the matrix.
  const std::string parents[] = {
      "<m_parent class_id=\"-2\"></m_parent>",  // below the null id
      "<m_parent class_id=\"-32768\"></m_parent>",
      "<m_parent class_id_reference=\"2\"></m_parent>",  // a value class
      "<m_parent class_id_reference=\"0\"></m_parent>",  // the link class
  };
  for (const std::string& parent : parents) {
    lang::Ptr<sg::Node> root;
    try {
      xmdtest::loadXml(withRootParent(parent), "root", root);
      ADD_FAILURE() << "read " << parent;
    } catch (const boost::archive::archive_exception& e) {
      EXPECT_EQ(e.code, boost::archive::archive_exception::unregistered_class) << parent;
    }
    EXPECT_FALSE(root);
  }
}

TEST(XmlIarchiveRepairs, NullAndNodePointersStillRead) {
  lang::Ptr<sg::Node> root;
  xmdtest::loadXml(withRootParent("<m_parent class_id=\"-1\"></m_parent>"), "root", root);
  ASSERT_TRUE(root);
  EXPECT_EQ(root->m_id, 1);
  lang::Ptr<sg::Node> tree = xmdtest::makeTree();
  lang::Ptr<sg::Node> back;
  xmdtest::loadXml(xmdtest::saveXml("root", tree), "root", back);
  EXPECT_EQ(sg::diffNodeGraphs(tree.get(), back.get()), "");
}

}  // namespace
