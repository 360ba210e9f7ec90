// Malformed and hostile archives: every one fails with the archive library's
// exception, crashes nothing, and frees every node the failed read made (the
// sanitizer build checks the last two).
#include <random>
#include <string>
#include <unordered_set>
#include <vector>

#include <gtest/gtest.h>

#include "anim/CombinedInterpolator.h"
#include "sg/Light.h"
#include "sg/Node.h"
#include "sg/NodeGraphDiff.h"
#include "sg/NodeLoadSession.h"
#include "testing/ArchiveIo.h"
#include "testing/NodeTrees.h"

using boost::archive::archive_exception;

namespace {

// Replaces the first occurrence of `from` (which must exist) after `after`.
std::string replaceFirst(std::string s, const std::string& from, const std::string& to,
                         const std::string& after = "") {
  size_t start = after.empty() ? 0 : s.find(after);
  size_t at = s.find(from, start == std::string::npos ? 0 : start);
  if (at == std::string::npos) throw std::runtime_error("fixture text not found: " + from);
  return s.replace(at, from.size(), to);
}

TEST(MalformedArchive, EveryPrefixOfATreeFailsCleanly) {
  lang::Ptr<sg::Node> tree = xmdtest::makeTree();
  const std::string xml = xmdtest::saveXml("root", tree);
  size_t loaded = 0;
  for (size_t n = 0; n < xml.size(); ++n) {
    lang::Ptr<sg::Node> root;
    try {
      xmdtest::loadXml(xml.substr(0, n), "root", root);
      // Only a prefix holding the whole element can read.
      EXPECT_EQ(sg::diffNodeGraphs(tree.get(), root.get()), "") << n;
      ++loaded;
    } catch (const archive_exception&) {
      // A failed read leaves the link unset, unless only the closing tags
      // after the whole element were missing.
      if (root) {
        EXPECT_EQ(sg::diffNodeGraphs(tree.get(), root.get()), "") << n;
      }
    }
  }
  EXPECT_LT(loaded, 64u);
}

TEST(MalformedArchive, EveryPrefixOfALightFailsCleanly) {
  sg::Light light;
  light.m_intensity = 3;
  const std::string xml = xmdtest::saveXml("light", light);
  for (size_t n = 0; n < xml.size(); n += 3) {
    sg::Light back;
    try {
      xmdtest::loadXml(xml.substr(0, n), "light", back);
    } catch (const archive_exception&) {
    }
  }
}

struct Corruption {
  const char* what;
  const char* from;   // text of the good archive ...
  const char* to;     // ... replaced by this
  const char* after;  // search for `from` after this text (or from the start)
  archive_exception::exception_code code;
  const char* message;  // what() of a refusal of the scene graph's own, or null
};

// The good archive: the tree of xmdtest::makeTree(), objects _0 (node 1),
// _1 (node 2), _2 (node 4), _3 (node 3).
const Corruption kTreeCorruptions[] = {
    {"end tag mismatch", "</m_id>", "</m_idx>", "", archive_exception::other_exception, nullptr},
    {"end tag renamed", "</m_flags>", "</m_flag>", "", archive_exception::other_exception, nullptr},
    {"number is not a number", "<m_id>2</m_id>", "<m_id>two</m_id>", "",
     archive_exception::input_stream_error, nullptr},
    {"node links to itself as its child", "<lang_ptr class_id=\"-1\"></lang_ptr>",
     "<lang_ptr class_id_reference=\"1\" object_id_reference=\"_2\"></lang_ptr>", "<m_id>4</m_id>",
     archive_exception::pointer_conflict, "node links form a ring"},
    {"node links to its parent as its next sibling", "<lang_ptr class_id=\"-1\"></lang_ptr>",
     "<lang_ptr class_id_reference=\"1\" object_id_reference=\"_1\"></lang_ptr>", "<m_id>4</m_id>",
     archive_exception::pointer_conflict, "node links form a ring"},
    {"grandchild links to the root (a ring)", "<lang_ptr class_id=\"-1\"></lang_ptr>",
     "<lang_ptr class_id_reference=\"1\" object_id_reference=\"_0\"></lang_ptr>", "<m_id>4</m_id>",
     archive_exception::pointer_conflict, "node links form a ring"},
    {"negative class id", "<m_parent class_id=\"-1\">", "<m_parent class_id=\"-7\">", "",
     archive_exception::unregistered_class, nullptr},
    {"pointer to an unknown class", "<m_parent class_id=\"-1\">", "<m_parent class_id=\"9\">", "",
     archive_exception::unregistered_class, nullptr},
};

TEST(MalformedArchive, CorruptedTreesFailWithTheArchiveException) {
  lang::Ptr<sg::Node> tree = xmdtest::makeTree();
  const std::string good = xmdtest::saveXml("root", tree);
  for (const Corruption& c : kTreeCorruptions) {
    std::string bad = replaceFirst(good, c.from, c.to, c.after);
    lang::Ptr<sg::Node> root;
    try {
      xmdtest::loadXml(bad, "root", root);
      ADD_FAILURE() << c.what << ": read";
    } catch (const archive_exception& e) {
      if (c.code != archive_exception::other_exception) {
        EXPECT_EQ(e.code, c.code) << c.what << ": " << e.what();
      }
      if (c.message) {
        EXPECT_STREQ(e.what(), c.message) << c.what;
      }
    }
    EXPECT_FALSE(root) << c.what;
  }
}
TEST(MalformedArchive, TagMismatchIsReportedByTheLibrary) {
  lang::Ptr<sg::Node> n = xmdtest::makeNode(1);
  std::string bad = replaceFirst(xmdtest::saveXml("root", n), "</m_localTransform>", "</m_x>");
  lang::Ptr<sg::Node> root;
  try {
    xmdtest::loadXml(bad, "root", root);
    FAIL() << "read";
  } catch (const archive_exception& e) {
    EXPECT_NE(std::string(e.what()).find("XML start/end tag mismatch"), std::string::npos)
        << e.what();
  }
}

TEST(MalformedArchive, LinkToANodeReadByValueIsRefused) {
  // The light's own node part (object _0) is not on the heap: a link taking
  // a share of it would later delete it.
  sg::Light light;
  const std::string good = xmdtest::saveXml("light", light);
  std::string bad = replaceFirst(good, "<lang_ptr class_id=\"-1\"></lang_ptr>",
                                 "<lang_ptr class_id_reference=\"1\" "
                                 "object_id_reference=\"_0\"></lang_ptr>");
  sg::Light back;
  try {
    xmdtest::loadXml(bad, "light", back);
    FAIL() << "read";
  } catch (const archive_exception& e) {
    EXPECT_EQ(e.code, archive_exception::pointer_conflict) << e.what();
    EXPECT_STREQ(e.what(), "node link to a node that is not shared on the heap");
  }
  EXPECT_FALSE(back.m_child);
}

TEST(MalformedArchive, FailedReadUnlinksThePartlyReadNode) {
  lang::Ptr<sg::Node> tree = xmdtest::makeTree();
  std::string bad =
      replaceFirst(xmdtest::saveXml("root", tree), "</m_flags>", "</m_flagz>", "<m_id>3</m_id>");
  // Read node 1 by value from its link's pointer element: node 2's subtree
  // is complete when node 3 fails.
  std::istringstream is(bad);
  boost::archive::xml_iarchive ia(is);
  lang::Ptr<sg::Node> root;
  EXPECT_THROW(ia >> boost::serialization::make_nvp("root", root), archive_exception);
  EXPECT_FALSE(root);
}

TEST(MalformedArchive, HugeCollectionCountReservesNothing) {
  anim::CombinedInterpolator<float> curve;
  curve.m_keys.push_back({1, 2, 0, 0, anim::KEY_LINEAR});
  const std::string good = xmdtest::saveXml("c", curve);
  for (const char* count : {"4000000000", "18446744073709551615", "99999999999999999999999"}) {
    std::string bad =
        replaceFirst(good, "<count>1</count>", std::string("<count>") + count + "</count>");
    anim::CombinedInterpolator<float> back;
    EXPECT_THROW(xmdtest::loadXml(bad, "c", back), archive_exception) << count;
    EXPECT_LE(back.m_keys.size(), 1u);
  }
}

// The archive of a list of `count` siblings under no parent, made as text.
std::string siblingChain(int count) {
  std::string identity;
  for (int i = 0; i < 16; ++i) {
    std::string g = "g" + std::to_string(i / 4) + std::to_string(i % 4);
    identity += "<" + g + ">" + ((i % 5 == 0) ? "1" : "0") + "</" + g + ">";
  }
  // Node k opens inside node k - 1's "m_next"; the closings come in reverse.
  std::string opens, closes;
  std::vector<std::string> closing(static_cast<size_t>(count));
  for (int k = 0; k < count; ++k) {
    std::string head =
        k == 0 ? "<lang_ptr class_id=\"1\" tracking_level=\"1\" version=\"1\" "
                 "object_id=\"_0\">"
               : "<lang_ptr class_id_reference=\"1\" object_id=\"_" + std::to_string(k) + "\">";
    std::string matrixInfo = k == 0 ? " class_id=\"2\" tracking_level=\"0\" version=\"0\"" : "";
    std::string previous = k == 0 ? "<m_previous class_id=\"-1\"></m_previous>"
                                  : "<m_previous class_id_reference=\"1\" object_id_reference=\"_" +
                                        std::to_string(k - 1) + "\"></m_previous>";
    opens += head + "<m_id>" + std::to_string(k) + "</m_id><m_localTransform" + matrixInfo + ">" +
             identity + "</m_localTransform><m_worldTransform>" + identity +
             "</m_worldTransform><m_worldTransformInverse>" + identity +
             "</m_worldTransformInverse><m_parent class_id=\"-1\"></m_parent><m_child>"
             "<lang_ptr class_id=\"-1\"></lang_ptr></m_child><m_next>";
    closing[static_cast<size_t>(k)] =
        "</m_next>" + previous +
        "<m_primaryCellID>0</m_primaryCellID><m_secondaryCellID>0</m_secondaryCellID>"
        "<m_flags>0</m_flags></lang_ptr>";
  }
  for (int k = count - 1; k >= 0; --k) closes += closing[static_cast<size_t>(k)];
  std::string tail = opens + "<lang_ptr class_id=\"-1\"></lang_ptr>" + closes;
  return xmdtest::archiveText("<root class_id=\"0\" tracking_level=\"0\" version=\"0\">" + tail +
                              "</root>");
}

int chainLength(const sg::Node* n) {
  int k = 0;
  for (; n; n = n->m_next.get()) ++k;
  return k;
}

// Walks the owning links under `root`: every node once (no rings), at most
// `limit` nodes. Returns the count, or -1 on a node seen twice.
int countOwned(const sg::Node* root, int limit) {
  std::unordered_set<const sg::Node*> seen;
  std::vector<const sg::Node*> stack{root};
  while (!stack.empty()) {
    const sg::Node* n = stack.back();
    stack.pop_back();
    if (!n) continue;
    if (!seen.insert(n).second) return -1;
    if (static_cast<int>(seen.size()) > limit) return -1;
    stack.push_back(n->m_child.get());
    stack.push_back(n->m_next.get());
  }
  return static_cast<int>(seen.size());
}

TEST(MalformedArchive, RandomEditsOfNodeArchivesFailCleanly) {
  // Edits that matter to the reader: object and class ids, versions,
  // tracking, pointer elements moved around, bytes changed or cut.
  lang::Ptr<sg::Node> tree = xmdtest::makeTree();
  tree->m_child->m_next->addChild(xmdtest::makeNode(8));
  const std::string good = xmdtest::saveXml("root", tree);
  const char* attrs[] = {"object_id=\"_", "object_id_reference=\"_",
                         "class_id=\"",   "class_id_reference=\"",
                         "version=\"",    "tracking_level=\""};
  const char* pieces[] = {
      "<lang_ptr class_id_reference=\"1\" object_id_reference=\"_1\"></lang_ptr>",
      "<lang_ptr class_id=\"-1\"></lang_ptr>", "</lang_ptr>", "</m_next>",
      "<m_parent class_id_reference=\"1\" object_id_reference=\"_3\"></m_parent>"};
  std::mt19937 rng(20261210);
  int reads = 0;
  for (int round = 0; round < 1500; ++round) {
    std::string s = good;
    for (int edits = 1 + static_cast<int>(rng() % 3); edits > 0; --edits) {
      size_t pos = rng() % s.size();
      switch (rng() % 4) {
        case 0: {  // an attribute value
          const std::string a = attrs[rng() % 6];
          size_t q = s.find(a, pos);
          if (q == std::string::npos) q = s.find(a);
          if (q == std::string::npos) break;
          q += a.size();
          const size_t end = s.find('"', q);
          if (end == std::string::npos) break;
          s.replace(q, end - q, std::to_string(static_cast<int>(rng() % 8) - 2));
          if (a[0] == 'o' && s[q] == '-') s[q] = '9';
          break;
        }
        case 1:
          s.insert(pos, pieces[rng() % 5]);
          break;
        case 2:
          s.erase(pos, 1 + rng() % 60);
          break;
        default:
          s[pos] = static_cast<char>(rng() % 128);
      }
    }
    lang::Ptr<sg::Node> root;
    try {
      xmdtest::loadXml(s, "root", root);
      ++reads;
      EXPECT_GT(countOwned(root.get(), 64), 0) << round;
    } catch (const archive_exception&) {
      EXPECT_FALSE(root && countOwned(root.get(), 64) < 0) << round;
    }
  }
  EXPECT_GT(reads, 0);
}

// Accepts and discards everything written to it.
class DiscardBuf : public std::streambuf {
 protected:
  int overflow(int c) override { return traits_type::not_eof(c); }
  std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

TEST(MalformedArchive, NestingIsBoundedOnBothSides) {
  // Each sibling nests inside the one before it (a node and its link count
  // two levels).
  const int fits = sg::detail::kMaxNodeNesting / 2 - 1;
  lang::Ptr<sg::Node> root;
  xmdtest::loadXml(siblingChain(fits), "root", root);
  ASSERT_EQ(chainLength(root.get()), fits);

  lang::Ptr<sg::Node> deep;
  try {
    xmdtest::loadXml(siblingChain(fits + 2), "root", deep);
    ADD_FAILURE() << "read";
  } catch (const archive_exception& e) {
    EXPECT_EQ(e.code, archive_exception::other_exception);
    EXPECT_STREQ(e.what(), "node elements nested too deeply");
  }
  EXPECT_FALSE(deep);

  sg::Node* last = root.get();
  while (last->m_next) last = last->m_next.get();
  lang::Ptr<sg::Node> extra = xmdtest::makeNode(11);
  extra->m_previous = last;
  last->m_next = extra;
  DiscardBuf discard;
  std::ostream out(&discard);
  try {
    boost::archive::xml_oarchive oa(out);
    oa << boost::serialization::make_nvp("root", root);
    ADD_FAILURE() << "wrote";
  } catch (const archive_exception& e) {
    EXPECT_EQ(e.code, archive_exception::other_exception) << e.what();
    EXPECT_STREQ(e.what(), "node elements nested too deeply");
  }
}

}  // namespace
