#include "sg/NodeGraphDiff.h"

#include <cstdint>
#include <cstring>
#include <cstdio>
#include <typeinfo>
#include <unordered_map>
#include <utility>
#include <vector>

#include "sg/Node.h"

namespace sg {
namespace {

// Paths longer than this many links are shown by their last links only.
constexpr std::size_t kPathLinksShown = 12;

std::uint32_t bitsOf(float f) {
  std::uint32_t bits;
  std::memcpy(&bits, &f, sizeof bits);
  return bits;
}

std::string floatText(float f) {
  char text[48];
  std::snprintf(text, sizeof text, "%.9g (0x%08x)", static_cast<double>(f),
                static_cast<unsigned>(bitsOf(f)));
  return text;
}

// One pair of the walk: the two nodes and how the walk reached them.
struct Pair {
  const Node* a;
  const Node* b;
  std::size_t from;  // index of the pair whose link reached this one
  char link;         // 'c' child, 'n' next; 0 for the roots
};

class GraphDiff {
 public:
  explicit GraphDiff(const NodeGraphDiffOptions& options) : m_options(options) {}

  std::string run(const Node* a, const Node* b);

 private:
  std::string walk(const Node* a, const Node* b);
  std::string backPointers() const;
  std::string values(const Pair& p) const;
  std::string unarchived(const Pair& p) const;
  std::string where(std::size_t index) const;
  std::string at(std::size_t index, const std::string& what) const;
  // Whether the back pointer `x` of a first-graph node corresponds to the
  // same back pointer `y` of its pair.
  bool corresponds(const Node* x, const Node* y) const;

  const NodeGraphDiffOptions& m_options;
  std::vector<Pair> m_pairs;
  std::unordered_map<const Node*, const Node*> m_aToB;
  std::unordered_map<const Node*, const Node*> m_bToA;
};

std::string GraphDiff::run(const Node* a, const Node* b) {
  std::string d = walk(a, b);
  return d.empty() ? backPointers() : d;
}

std::string GraphDiff::walk(const Node* a, const Node* b) {
  // Links still to follow: (a, b, index of the pair holding them, link).
  std::vector<Pair> pending{{a, b, 0, 0}};
  while (!pending.empty()) {
    const Pair p = pending.back();
    pending.pop_back();
    const std::string linkName = p.link == 'c' ? "m_child" : p.link == 'n' ? "m_next" : "root";
    if (!p.a || !p.b) {
      if (p.a == p.b) continue;
      return (p.link ? at(p.from, linkName + ": ") : std::string("root: ")) +
             (p.a ? "set in the first graph only" : "set in the second graph only");
    }
    const auto seenA = m_aToB.find(p.a);
    const auto seenB = m_bToA.find(p.b);
    if (seenA != m_aToB.end() || seenB != m_bToA.end()) {
      // A node reached again: the same node must be reached on both sides.
      if (seenA != m_aToB.end() && seenB != m_bToA.end() && seenA->second == p.b) continue;
      return at(p.from, linkName + ": reaches a node shared differently in the two graphs");
    }
    m_aToB.emplace(p.a, p.b);
    m_bToA.emplace(p.b, p.a);
    m_pairs.push_back(p);
    const std::size_t index = m_pairs.size() - 1;
    std::string d = values(m_pairs.back());
    if (!d.empty()) return at(index, d);
    pending.push_back({p.a->m_next.get(), p.b->m_next.get(), index, 'n'});
    pending.push_back({p.a->m_child.get(), p.b->m_child.get(), index, 'c'});
  }
  return "";
}

bool GraphDiff::corresponds(const Node* x, const Node* y) const {
  if (!x || !y) return x == y;
  const auto paired = m_aToB.find(x);
  if (paired != m_aToB.end()) return paired->second == y;
  return m_bToA.count(y) == 0;  // both outside their graphs
}

std::string GraphDiff::backPointers() const {
  for (std::size_t i = 0; i < m_pairs.size(); ++i) {
    const Pair& p = m_pairs[i];
    if (!corresponds(p.a->m_parent, p.b->m_parent)) return at(i, "m_parent differs");
    if (!corresponds(p.a->m_previous, p.b->m_previous)) return at(i, "m_previous differs");
  }
  return "";
}

std::string GraphDiff::values(const Pair& p) const {
  const Node& a = *p.a;
  const Node& b = *p.b;
  if (typeid(a) != typeid(b)) return "the class differs";
  const auto ints = [](const char* name, long long x, long long y) {
    return x == y ? std::string()
                  : std::string(name) + ": " + std::to_string(x) + " vs " + std::to_string(y);
  };
  std::string d = ints("m_id", a.m_id, b.m_id);
  if (!d.empty()) return d;
  for (const auto& m : {std::make_pair("m_localTransform", &Node::m_localTransform),
                        std::make_pair("m_worldTransform", &Node::m_worldTransform)}) {
    const float* x = (a.*m.second).data();
    const float* y = (b.*m.second).data();
    for (int k = 0; k < 16; ++k) {
      if (bitsOf(x[k]) != bitsOf(y[k]))
        return std::string(m.first) + "[" + std::to_string(k) + "]: " + floatText(x[k]) + " vs " +
               floatText(y[k]);
    }
  }
  if (!(d = ints("m_primaryCellID", a.m_primaryCellID, b.m_primaryCellID)).empty()) return d;
  if (!(d = ints("m_secondaryCellID", a.m_secondaryCellID, b.m_secondaryCellID)).empty()) return d;
  if (!(d = ints("m_flags", a.m_flags, b.m_flags)).empty()) return d;
  if (m_options.refCounts && !(d = ints("refCount", a.refCount(), b.refCount())).empty()) return d;
  return m_options.unarchivedState ? unarchived(p) : "";
}

std::string GraphDiff::unarchived(const Pair& p) const {
  const Node& a = *p.a;
  const Node& b = *p.b;
  for (int k = 0; k < 16; ++k) {
    const float x = a.m_auxTransform.data()[k];
    const float y = b.m_auxTransform.data()[k];
    if (bitsOf(x) != bitsOf(y))
      return "m_auxTransform[" + std::to_string(k) + "]: " + floatText(x) + " vs " + floatText(y);
  }
  if (bitsOf(a.referenceLength) != bitsOf(b.referenceLength))
    return "referenceLength: " + floatText(a.referenceLength) + " vs " +
           floatText(b.referenceLength);
  if (a.translationTrack != b.translationTrack) return "translationTrack: another track";
  if (a.rotationTrack != b.rotationTrack) return "rotationTrack: another track";
  if (a.scaleTrack != b.scaleTrack) return "scaleTrack: another track";
  if (a.transformHints.size() != b.transformHints.size())
    return "transformHints: " + std::to_string(a.transformHints.size()) + " vs " +
           std::to_string(b.transformHints.size()) + " entries";
  for (std::size_t i = 0; i < a.transformHints.size(); ++i) {
    const Node::TransformHint& x = a.transformHints[i];
    const Node::TransformHint& y = b.transformHints[i];
    if (x.translation != y.translation || x.rotation != y.rotation || x.scale != y.scale)
      return "transformHints[" + std::to_string(i) + "] differs";
  }
  return "";
}

std::string GraphDiff::where(std::size_t index) const {
  std::vector<char> links;  // from the pair back to the root
  for (std::size_t i = index; m_pairs[i].link; i = m_pairs[i].from)
    links.push_back(m_pairs[i].link);
  std::string path = "root";
  std::size_t shown = links.size();
  if (shown > kPathLinksShown) {
    path += "/..." + std::to_string(shown - kPathLinksShown) + " links...";
    shown = kPathLinksShown;
  }
  for (std::size_t k = shown; k-- > 0;) path += links[k] == 'c' ? "/child" : "/next";
  return path;
}

std::string GraphDiff::at(std::size_t index, const std::string& what) const {
  const Pair& p = m_pairs[index];
  return where(index) + " (ids " + std::to_string(p.a->m_id) + " and " + std::to_string(p.b->m_id) +
         "): " + what;
}

}  // namespace

std::string diffNodeGraphs(const Node* a, const Node* b, const NodeGraphDiffOptions& options) {
  return GraphDiff(options).run(a, b);
}

}  // namespace sg
