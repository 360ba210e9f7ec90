// The repaired XML archive reader: end tags of any length are compared
// whole, and a malformed closing tag after complete objects is no crash.
#include <string>

#include <boost/archive/xml_archive_exception.hpp>
#include <gtest/gtest.h>

#include "math/Vector3.h"
#include "sg/testing/ArchiveIo.h"

namespace {

// The archive of a vector whose "g.x" end tag is replaced by endTag.
std::string withEndTag(const std::string& endTag) {
  std::string xml = sgtest::saveXml("v", math::Vector3(1, 2, 3));
  const std::string closeX = "</g.x>";
  xml.replace(xml.find(closeX), closeX.size(), "</" + endTag + ">");
  return xml;
}

TEST(XmlIarchiveRepairs, MatchingNameReads) {
  math::Vector3 v;
  sgtest::loadXml(withEndTag("g.x"), "v", v);
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
      sgtest::loadXml(withEndTag(tag), "v", v);
      ADD_FAILURE() << "read with end tag of " << tag.size() << " bytes";
    } catch (const boost::archive::xml_archive_exception& e) {
      EXPECT_EQ(e.code, boost::archive::xml_archive_exception::xml_archive_tag_mismatch);
    }
  }
}

}  // namespace

namespace {

TEST(XmlIarchiveRepairs, MalformedClosingTagAfterTheObjectIsIgnored) {
  const std::string xml = sgtest::saveXml("v", math::Vector3(4, 5, 6));
  const std::string closing = "</boost_serialization>";
  const size_t at = xml.find(closing);
  ASSERT_NE(at, std::string::npos);
  // Cut inside the closing tag, garble it, or drop it: each used to throw out
  // of the archive's destructor and end the program.
  const std::string endings[] = {xml.substr(0, at + 10), xml.substr(0, at) + "</boost_serial\xCD\x03",
                                 xml.substr(0, at), xml.substr(0, at) + "<x>"};
  for (const std::string& text : endings) {
    math::Vector3 v;
    sgtest::loadXml(text, "v", v);
    EXPECT_EQ(v, math::Vector3(4, 5, 6));
  }
}

}  // namespace
