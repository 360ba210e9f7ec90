// Who owns a node read through a plain node pointer: the reader, with a count
// of 0, until a Ptr adopts it. sg::loadNodePointer reads and adopts in one
// step, so that nothing leaks on any path and a later link in the same
// archive may share the node.
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "sg/Node.h"
#include "sg/NodeGraphDiff.h"
#include "testing/ArchiveIo.h"
#include "testing/NodeTrees.h"

namespace {

using boost::serialization::make_nvp;

// An archive holding `first` as the plain node pointer "raw", then `second`
// as the node link "link".
std::string rawThenLink(const sg::Node* first, const lang::Ptr<sg::Node>& second) {
  std::ostringstream os;
  {
    boost::archive::xml_oarchive oa(os);
    oa << make_nvp("raw", first);
    oa << make_nvp("link", second);
  }
  return os.str();
}

TEST(LoadNodePointer, TheReadTreeHasTheReturnedPtrAsItsOneHolder) {
  lang::Ptr<sg::Node> tree = xmdtest::makeTree();
  const std::string xml = rawThenLink(tree.get(), lang::Ptr<sg::Node>());
  std::istringstream is(xml);
  lang::Ptr<sg::Node> back;
  {
    boost::archive::xml_iarchive ia(is);
    back = sg::loadNodePointer(ia, "raw");
    EXPECT_EQ(back->refCount(), 1u);  // already while the archive is open
  }
  ASSERT_TRUE(back);
  EXPECT_EQ(back->refCount(), 1u);
  EXPECT_EQ(back->m_child->refCount(), 1u);
  EXPECT_EQ(sg::diffNodeGraphs(tree.get(), back.get()), "");
}

TEST(LoadNodePointer, ANullPointerGivesANullPtr) {
  const std::string xml = rawThenLink(nullptr, lang::Ptr<sg::Node>());
  std::istringstream is(xml);
  boost::archive::xml_iarchive ia(is);
  EXPECT_FALSE(sg::loadNodePointer(ia, "raw"));
}

TEST(LoadNodePointer, ALaterLinkToTheSameNodeSharesIt) {
  // The archive refers to the node read as "raw" again from "link". Read
  // into a plain pointer, the node has no holder yet and the link is refused
  // (taking a share would make the link its owner behind the reader's back);
  // adopted at once, the link shares it.
  lang::Ptr<sg::Node> tree = xmdtest::makeTree();
  const std::string xml = rawThenLink(tree.get(), tree);
  {
    std::istringstream is(xml);
    boost::archive::xml_iarchive ia(is);
    sg::Node* raw = nullptr;
    ia >> make_nvp("raw", raw);
    lang::Ptr<sg::Node> link;
    EXPECT_THROW(ia >> make_nvp("link", link), boost::archive::archive_exception);
    EXPECT_FALSE(link);
    lang::Ptr<sg::Node> owner(raw);  // still the reader's: nobody else frees it
    EXPECT_EQ(raw->refCount(), 1u);
  }
  std::istringstream is(xml);
  boost::archive::xml_iarchive ia(is);
  lang::Ptr<sg::Node> held = sg::loadNodePointer(ia, "raw");
  lang::Ptr<sg::Node> link;
  ia >> make_nvp("link", link);
  EXPECT_EQ(link, held);
  EXPECT_EQ(held->refCount(), 2u);
}

TEST(LoadNodePointer, EveryPrefixFailsHoldingNothing) {
  // The sanitizer build checks that no node of a failed read is left over.
  lang::Ptr<sg::Node> tree = xmdtest::makeTree();
  const std::string xml = rawThenLink(tree.get(), lang::Ptr<sg::Node>());
  const size_t end = xml.find("</raw>");
  ASSERT_NE(end, std::string::npos);
  for (size_t n = 0; n < end; n += 7) {
    lang::Ptr<sg::Node> back;
    try {
      std::istringstream is(xml.substr(0, n));
      boost::archive::xml_iarchive ia(is);
      back = sg::loadNodePointer(ia, "raw");
      ADD_FAILURE() << n << ": read";
    } catch (const boost::archive::archive_exception&) {
    }
    EXPECT_FALSE(back) << n;
  }
}

}  // namespace
