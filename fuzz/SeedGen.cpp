// Writes the seed corpora of the fuzz targets:
//   corpus/model/  valid model files of every shape: with and without
//                  normals, 0 to 2 texture coordinate layers of 1 to 4
//                  components, vertex colours, skins, foreign chunks,
//                  several models in one file, and a model that fails a check;
//   corpus/chunk/  those files behind a control byte, plus containers whose
//                  chunk names drive the walker through every operation and
//                  data-stream opcode inputs;
//   corpus/sg/     one valid archive of every scene-graph class (a default
//                  and a filled object), behind its selector byte.
// Usage: fuzz_seedgen <fuzz folder>. Writes only into its corpus/ folders.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <boost/archive/xml_oarchive.hpp>
#include <boost/serialization/nvp.hpp>

#include "fuzz/SgClasses.h"
#include "testing/ChunkBuilder.h"

namespace {

using Bytes = std::vector<uint8_t>;
std::string g_root;

void writeFile(const std::string& dir, const std::string& name, const std::string& bytes) {
  const std::string folder = g_root + "/corpus/" + dir;
  std::error_code ec;  // a folder that exists already is fine; writing reports the rest
  std::filesystem::create_directories(folder, ec);
  std::ofstream out(folder + "/" + name, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) {
    std::fprintf(stderr, "seedgen: cannot write %s/%s\n", folder.c_str(), name.c_str());
    std::exit(1);
  }
}

std::string str(const Bytes& b) { return std::string(b.begin(), b.end()); }

// One model's shape.
struct Shape {
  int vertices = 4;
  int triangles = 2;
  bool normals = false;
  std::vector<int> layers;  // dimension of each texture coordinate layer
  int colorSize = 0;        // 0, 3 or 4
  bool shortInfo = false;   // "info" ends after the layer dimensions
  bool extraFlag = false;
  bool extraLayers = false;  // the two further "texcoordlayer" the flag announces
  int weights = 0;           // weights per vertex; > 0 needs a skin
  int bones = 0;
  int influences = 0;       // listed per vertex
  bool skinUnread = false;  // a "skin" although weights is 0
  bool foreignInModel = false;
  bool reversed = false;  // subchunks after "info" in reverse order
  int badIndex = -1;      // a triangle corner out of range, to fail a check
};

void model(xmdtest::ChunkBuilder& b, const Shape& s) {
  b.begin("model");
  b.begin("info")
      .integer(s.vertices)
      .integer(s.triangles)
      .integer(s.weights)
      .integer(static_cast<int>(s.layers.size()));
  for (int d : s.layers) b.integer(d);
  if (!s.shortInfo) b.integer(s.colorSize).integer(s.extraFlag ? 1 : 0);
  b.end();
  std::vector<xmdtest::ChunkBuilder> parts;
  auto part = [&](const char* name) -> xmdtest::ChunkBuilder& {
    parts.emplace_back();
    return parts.back().begin(name);
  };
  part("material").integer(7).end();
  {
    auto& p = part("points");
    // Every other vertex repeats the one before it, so welding has work.
    for (int v = 0; v < s.vertices; ++v) {
      float x = static_cast<float>(v / 2);
      p.f32(x).f32(x * 0.5f).f32(v % 3 == 0 ? 1.0f : 1.000001f);
    }
    p.end();
  }
  if (s.normals) {
    auto& p = part("vertexnormalsf");
    for (int v = 0; v < s.vertices; ++v) p.f32(0).f32(v % 4 == 3 ? -1.0f : 1.0f).f32(0);
    p.end();
  }
  {
    auto& p = part("faces");
    for (int t = 0; t < s.triangles; ++t)
      for (int c = 0; c < 3; ++c)
        p.integer(t == 0 && c == 2 && s.badIndex >= 0 ? s.badIndex : (t + c) % s.vertices);
    p.end();
  }
  if (s.colorSize > 0) {
    auto& p = part("vertexcolors");
    for (int i = 0; i < s.vertices * s.colorSize; ++i) p.u8(static_cast<uint8_t>(i * 37));
    p.end();
  }
  for (size_t l = 0; l < s.layers.size(); ++l) {
    auto& p = part("texcoordlayer");
    for (int v = 0; v < s.vertices; ++v)
      for (int c = 0; c < s.layers[l]; ++c) p.f32(static_cast<float>((v / 2) * 0.25 + c + l));
    p.end();
  }
  if (s.extraLayers) {
    part("texcoordlayer").f32(1).end();
    part("texcoordlayer").f32(2).end();
  }
  if (s.weights > 0 || s.skinUnread) {
    auto& p = part("skin");
    p.integer(s.bones);
    for (int i = 0; i < s.bones; ++i) p.str("bone" + std::to_string(i));
    for (int v = 0; v < s.vertices; ++v) {
      p.integer(s.influences);
      for (int i = 0; i < s.influences; ++i)
        p.integer((v + i) % s.bones).f32(0.1f * static_cast<float>((i * 7 + v) % 5 + 1));
    }
    p.end();
  }
  if (s.foreignInModel) part("userdata").str("kept out of the result").integer(-5).end();
  if (s.reversed) {
    for (auto it = parts.rbegin(); it != parts.rend(); ++it) b.raw(it->bytes());
  } else {
    for (auto& p : parts) b.raw(p.bytes());
  }
  b.end();
}

// A file: top-level chunk, header value, subchunks.
Bytes file(const std::vector<Shape>& shapes, bool foreign) {
  xmdtest::ChunkBuilder b;
  b.begin("xmd").integer(3);
  if (foreign) b.begin("comment").str("made by seedgen").u8(0xFF).end();
  for (const Shape& s : shapes) model(b, s);
  if (foreign) b.begin("bounds").f32(-1).f32(1).begin("nested").integer(1000).end().end();
  b.end();
  return b.bytes();
}

std::vector<std::pair<std::string, Bytes>> modelSeeds() {
  std::vector<std::pair<std::string, Bytes>> out;
  auto add = [&](const std::string& name, const std::vector<Shape>& shapes, bool foreign = false) {
    out.emplace_back(name, file(shapes, foreign));
  };
  Shape plain;
  add("plain", {plain});
  Shape n = plain;
  n.normals = true;
  add("normals", {n});
  for (int d = 1; d <= 4; ++d) {
    Shape l = plain;
    l.layers = {d};
    add("layer1_dim" + std::to_string(d), {l});
  }
  Shape two = n;
  two.layers = {2, 3};
  add("layers2_normals", {two});
  Shape twoMax = plain;
  twoMax.layers = {4, 1};
  twoMax.vertices = 6;
  twoMax.triangles = 3;
  add("layers2_dims41", {twoMax});
  Shape c3 = plain;
  c3.colorSize = 3;
  add("colors3", {c3});
  Shape c4 = two;
  c4.colorSize = 4;
  add("colors4_layers2", {c4});
  Shape shortInfo = plain;
  shortInfo.shortInfo = true;
  shortInfo.layers = {2};
  add("short_info", {shortInfo});
  Shape flag = plain;
  flag.extraFlag = true;
  flag.layers = {2};
  add("extra_layers_flag", {flag});
  flag.extraLayers = true;  // rejected: the extra layers count as surplus layers
  add("extra_layers_flag_with_layers", {flag});
  Shape skin = n;
  skin.weights = 2;
  skin.bones = 3;
  skin.influences = 2;
  skin.layers = {2};
  add("skin2", {skin});
  Shape skin6 = plain;
  skin6.weights = 4;
  skin6.bones = 7;
  skin6.influences = 6;
  add("skin6_influences", {skin6});
  Shape skin0 = plain;
  skin0.weights = 1;
  skin0.bones = 1;
  skin0.influences = 0;
  add("skin0_influences", {skin0});
  Shape unread = plain;
  unread.skinUnread = true;
  unread.bones = 2;
  unread.influences = 1;
  add("skin_unread", {unread});
  Shape noTri = plain;
  noTri.triangles = 0;
  noTri.vertices = 1;
  add("no_triangles", {noTri});
  Shape rev = n;
  rev.layers = {2, 2};  // layers are read in file order: same dimensions
  rev.weights = 1;
  rev.bones = 2;
  rev.influences = 1;
  rev.reversed = true;
  rev.foreignInModel = true;
  add("reordered_foreign_in_model", {rev});
  add("foreign_around", {plain}, true);
  add("several_models", {plain, skin, c4}, true);
  Shape bad = plain;
  bad.badIndex = 9;
  add("failed_check_then_good", {bad, n}, true);
  add("no_model", {}, true);
  return out;
}

// A chunk whose name makes the walker of chunk_fuzz run the given
// operations: 'F' int, 'G' float, 'A' string, 'B' byte, 'C' copy,
// 'D' children, 'E' skip (each name byte's code modulo 7).
Bytes walkerSeed() {
  xmdtest::ChunkBuilder b;
  b.begin("FGAB").integer(-100).f32(0.5f).str("caf\xC3\xA9 \xF0\x9F\x98\x80").u8(7).end();
  b.begin("CD")
      .begin("FFFF")
      .integer(0)
      .integer(63)
      .integer(64)
      .integer(2147483647)
      .end()
      .begin("AAC")
      .str("")
      .str("x")
      .end()
      .begin("D")
      .begin("EB")
      .u8(1)
      .u8(2)
      .end()
      .end()
      .end();
  b.begin("").end();
  return b.bytes();
}

template <class T>
std::string xmlOf(const T& obj) {
  std::ostringstream os;
  {
    boost::archive::xml_oarchive oa(os);
    xmdfuzz::writeObject(oa, obj);
  }
  return os.str();
}

// Sample objects: a default one and a filled one of each class.
void fill(float& f) { f = 0.75f; }
// A node with id and transforms derived from id.
void fillNode(sg::Node& n, int id) {
  n.m_id = id;
  for (int i = 0; i < 16; ++i) {
    n.m_localTransform.data()[i] = static_cast<float>(id) + 0.125f * static_cast<float>(i);
    n.m_worldTransform.data()[i] = static_cast<float>(id) - 0.5f * static_cast<float>(i);
  }
  n.m_primaryCellID = id * 10;
  n.m_secondaryCellID = -id;
  n.m_flags = id ^ 0x55;
}
lang::Ptr<sg::Node> node(int id) {
  lang::Ptr<sg::Node> n(new sg::Node);
  fillNode(*n, id);
  return n;
}
// Children 2 and 3 under the node (a child link and a sibling link; three
// nodes keep the seed at a few KB).
void addChildren(sg::Node& n) {
  n.addChild(node(2));
  n.addChild(node(3));
}
void fill(sg::Node& n) {
  fillNode(n, 1);
  addChildren(n);
}
void fill(lang::Ptr<sg::Node>& p) {
  p = node(1);
  addChildren(*p);
}
void fill(xmdfuzz::NodeOwnForm& f) { fill(f.node); }
void fill(sg::Light& l) {
  fillNode(l, 9);  // a light's children cannot be written: they point back to it
  l.m_diffuse = pix::Colorf(1, 0.9f, 0.8f, 1);
  l.m_ambient = pix::Colorf(0.1f, 0.1f, 0.1f, 1);
  l.m_intensity = 2;
  l.m_rangefar = 100;
  l.m_lightflags = 5;
  l.m_dirty = true;
  l.m_scale = math::Vector3(1, 2, 3);
  l.m_isMultiply = true;
}
void fill(math::Matrix4x4& m) {
  for (int i = 0; i < 16; ++i) m.data()[i] = 0.5f * i - 3;
}
void fill(math::Vector3& v) { v = math::Vector3(1.5f, -2, 1e-20f); }
void fill(pix::Colorf& c) { c = pix::Colorf(0.25f, 0.5f, 0.75f, 1); }
void fill(sg::ViewFrustum& f) { f = sg::ViewFrustum(0.1f, 5000, 1.2f); }
void fill(sg::Effect::ReflectanceFactors& r) {
  fill(r.diffuseColor);
  r.specularColor = pix::Colorf(1, 1, 1, 0.5f);
  r.specularPower = 16;
  r.specularLevel = 0.3f;
}
void fill(sgu::EffectManager::EffectManagerImpl::SCBEffectContainer& c) {
  c.m_saturation = 1.1f;
  c.m_contrast = 0.9f;
  fill(c.m_fogColor);
  c.m_fogDensity = 0.02f;
  c.m_laplaceColor = pix::Colorf(0, 0, 0, 1);
}
void fill(sgu::DownScalerMemoryFitList& l) {
  l.push_back({"textures/a.dds", 4096});
  l.push_back({"<&>\"' \xC3\xA9", 0xFFFFFFFFu});
}
template <class T>
void fill(anim::CombinedInterpolator<T>& c) {
  for (int i = 0; i < 3; ++i) {
    typename anim::CombinedInterpolator<T>::Key k;
    k.m_time = static_cast<float>(i);
    fill(k.m_value);
    k.m_keyType = static_cast<anim::KeyType>(i);
    c.m_keys.push_back(k);
  }
  c.m_frontRepeatType = anim::REPEAT_LOOP;
  c.m_backRepeatType = anim::REPEAT_MIRROR;
}

// The same archive in the node's older form (class version 0): the links are
// two plain node pointers named "node" in place of the "m_child" and "m_next"
// wrappers, whose class id is dropped (later ids move down by one). With
// rootIsLink the outermost "lang_ptr" keeps its name.
std::string toVersion0(const std::string& v1, bool rootIsLink) {
  std::istringstream in(v1);
  std::string line, out;
  int droppedClass = -1;
  while (std::getline(in, line)) {
    const size_t first = line.find_first_not_of('\t');
    const std::string t = first == std::string::npos ? "" : line.substr(first);
    if (t.rfind("<m_child", 0) == 0 || t.rfind("<m_next", 0) == 0 || t == "</m_child>" ||
        t == "</m_next>") {
      const size_t c = t.find("class_id=\"");
      if (c != std::string::npos) droppedClass = std::stoi(t.substr(c + 10));
      continue;
    }
    if (!rootIsLink || line.compare(0, 2, "\t\t") == 0) {
      for (size_t p; (p = line.find("lang_ptr")) != std::string::npos;) line.replace(p, 8, "node");
    }
    const size_t v = line.find("tracking_level=\"1\" version=\"1\"");
    if (v != std::string::npos) line.replace(v, 30, "tracking_level=\"1\" version=\"0\"");
    for (const std::string attr : {"class_id=\"", "class_id_reference=\""}) {
      const size_t a = line.find(attr);
      if (a == std::string::npos || droppedClass < 0) continue;
      const size_t at = a + attr.size();
      const int id = std::stoi(line.substr(at));
      if (id > droppedClass) line.replace(at, line.find('"', at) - at, std::to_string(id - 1));
    }
    out += line + "\n";
  }
  return out;
}

struct SgSeeds {
  template <class T>
  void visit(int index, const char* name) {
    const std::string selector(1, static_cast<char>('A' + index));
    T empty;
    writeFile("sg", std::string(name) + "_default.xml", selector + xmlOf(empty));
    T filled;
    fill(filled);
    writeFile("sg", std::string(name) + "_filled.xml", selector + xmlOf(filled));
    if (std::string(name) == "NodeLink")
      writeFile("sg", "NodeLink_version0.xml", selector + toVersion0(xmlOf(filled), true));
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: fuzz_seedgen <fuzz folder>\n");
    return 2;
  }
  g_root = argv[1];
  int count = 0;
  for (const auto& [name, bytes] : modelSeeds()) {
    writeFile("model", name + ".xmd", str(bytes));
    ++count;
  }
  // The chunk walker over model files, read whole and a few bytes at a time.
  const auto seeds = modelSeeds();
  for (size_t i = 0; i < seeds.size(); i += 4) {
    writeFile("chunk", seeds[i].first, std::string(1, '\0') + str(seeds[i].second));
    ++count;
  }
  for (const auto& [name, bytes] : seeds)
    if (name == "several_models")
      writeFile("chunk", name + "_short_reads", std::string(1, '\3') + str(bytes));
  writeFile("chunk", "walker_ops", std::string(1, '\0') + str(walkerSeed()));
  writeFile("chunk", "walker_ops_short_reads", std::string(1, '\1') + str(walkerSeed()));
  // Data-stream opcodes: short, int, float, string, skip, read, seek, readFully.
  static const char kDataOps[] =
      "\x08"                  // control: data-stream mode, whole reads
      "\x00\xFF\xFE"          // readShort
      "\x01\x00\x00\x00\x01"  // readInt
      "\x02\x3F\x80\x00\x00"  // readFloat
      "\x03\x00\x02\xC3\xA9"  // readUTF
      "\x04\x02"
      "zz"  // skip 2
      "\x05\x03"
      "abc"       // read 3
      "\x06\x01"  // seek to 1
      "\x07\x02"
      "xy";  // readFully 2
  writeFile("chunk", "data_ops", std::string(kDataOps, sizeof(kDataOps) - 1));
  count += 4;
  SgSeeds sg;
  xmdfuzz::forEachSgClass(sg);
  count += 2 * xmdfuzz::sgClassCount() + 1;
  std::printf("seedgen: %d seeds written under %s/corpus\n", count, g_root.c_str());
  return 0;
}
