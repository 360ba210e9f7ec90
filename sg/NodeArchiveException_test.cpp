// sg::NodeArchiveException: the scene graph's own refusals of an archive
// reach the caller in their own words, through every way a caller catches
// them, and keep the archive library's exception code.
#include "sg/NodeArchiveException.h"

#include <exception>
#include <string>

#include <gtest/gtest.h>

#include "sg/ArchiveText.h"
#include "sg/Node.h"
#include "testing/ArchiveIo.h"
#include "testing/NodeTrees.h"

using boost::archive::archive_exception;

namespace {

TEST(NodeArchiveException, EveryCatchSeesTheOwnWordsAndTheCode) {
  const sg::NodeArchiveException thrown(archive_exception::pointer_conflict,
                                        "node links form a ring");
  try {
    throw thrown;
  } catch (const archive_exception& e) {
    EXPECT_STREQ(e.what(), "node links form a ring");
    EXPECT_EQ(e.code, archive_exception::pointer_conflict);
  }
  try {
    throw thrown;
  } catch (const std::exception& e) {
    EXPECT_STREQ(e.what(), "node links form a ring");
  }
  // A copy, as a handler that rethrows by value makes one.
  const sg::NodeArchiveException copy = thrown;
  EXPECT_STREQ(copy.what(), "node links form a ring");
  EXPECT_EQ(copy.code, archive_exception::pointer_conflict);
  // The library's own text for the same code says less.
  EXPECT_STRNE(archive_exception(archive_exception::pointer_conflict).what(), copy.what());
}

TEST(NodeArchiveException, ARingReadThroughTheLoadFunctionNamesItself) {
  // Node 4 of 1 { 2 { 4 }, 3 } links to the root (object _0) as its next
  // sibling: the owning links would form a ring.
  lang::Ptr<sg::Node> tree = xmdtest::makeTree();
  std::string xml = sg::saveArchiveText("root", tree);
  const std::string null = "<lang_ptr class_id=\"-1\"></lang_ptr>";
  const size_t at = xml.find(null, xml.find("<m_id>4</m_id>"));
  ASSERT_NE(at, std::string::npos);
  xml.replace(at, null.size(),
              "<lang_ptr class_id_reference=\"1\" object_id_reference=\"_0\"></lang_ptr>");
  lang::Ptr<sg::Node> back;
  try {
    sg::loadArchiveText(xml, "root", back);
    ADD_FAILURE() << "read";
  } catch (const std::exception& e) {
    EXPECT_STREQ(e.what(), "node links form a ring");
    EXPECT_NE(dynamic_cast<const sg::NodeArchiveException*>(&e), nullptr);
  }
  EXPECT_FALSE(back);
}

}  // namespace
