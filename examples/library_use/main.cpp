// A program built against the installed xmdopt library (see README.md, "Using
// the library"; the test suite builds and runs it against a fresh install):
//
//   library_use WORKDIR [MODEL.xmd]...
//
// 1. Writes WORKDIR/tiny.xmd, a model file of one top-level chunk, with
//    io::ChunkOutputStream.
// 2. Prints the chunk tree of tiny.xmd and of each MODEL.xmd given, read with
//    io::ChunkInputStream: the top-level chunk and its header value, each
//    subchunk with its body size, and the subchunks of every "model".
// 3. Writes a small node graph as the XML archive WORKDIR/nodes.xml, reads it
//    back into a new graph and compares the two with sg::diffNodeGraphs.
//
// Exit status 0 when everything worked and the graphs are equal, 1 otherwise
// (a message on standard error). One thread; every object is owned by a
// lang::Ptr or lives on the stack of the function that uses it.
#include <fstream>
#include <iostream>
#include <string>

#include <boost/archive/xml_iarchive.hpp>
#include <boost/archive/xml_oarchive.hpp>
#include <boost/serialization/nvp.hpp>
#include <xmdopt/io/ChunkInputStream.h>
#include <xmdopt/io/ChunkOutputStream.h>
#include <xmdopt/io/FileInputStream.h>
#include <xmdopt/io/FileOutputStream.h>
#include <xmdopt/lang/Ptr.h>
#include <xmdopt/lang/TextConversion.h>
#include <xmdopt/lang/Throwable.h>
#include <xmdopt/sg/Node.h>
#include <xmdopt/sg/NodeGraphDiff.h>

namespace {

std::string narrow(const lang::String& text) { return lang::wideToAnsi(text.c_str()); }

// One "model": a quad of four vertices as two triangles, whose fourth vertex
// repeats the first (xmdopt merges the two).
void writeModel(io::ChunkOutputStream& out) {
  const float points[] = {0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0};
  const int faces[] = {0, 1, 2, 3, 2, 1};
  out.beginChunk("model");
  out.beginChunk("info");
  for (int value : {4, 2, 0, 0}) out.writeInt(value);  // vertices, triangles, weights, layers
  out.endChunk();
  out.beginChunk("material");
  out.writeInt(5);
  out.endChunk();
  out.beginChunk("points");
  for (float p : points) out.writeFloat(p);
  out.endChunk();
  out.beginChunk("faces");
  for (int corner : faces) out.writeInt(corner);
  out.endChunk();
  out.endChunk();
}

// A model file: the top-level chunk "scene" with header value 7, one model,
// and a chunk "note" that only its writer knows.
void writeTinyModelFile(const std::string& path) {
  lang::Ptr<io::FileOutputStream> file(new io::FileOutputStream(path));
  io::ChunkOutputStream out(file.get());
  out.beginChunk("scene");
  out.writeInt(7);
  writeModel(out);
  out.beginChunk("note");
  out.writeString("made by library_use");
  out.endChunk();
  out.endChunk();  // the whole file goes to the stream here
  file->flush();
}

// Prints the subchunks from the current position up to end, one per line.
void printChildren(io::ChunkInputStream& in, int end, const std::string& indent) {
  while (in.getPosition() < end) {
    lang::String name;
    int childEnd = 0;
    in.beginChunk(name, childEnd);
    const int size = childEnd - in.getPosition();
    std::cout << indent << '"' << narrow(name) << "\" " << size
              << (size == 1 ? " byte\n" : " bytes\n");
    if (name == "model") printChildren(in, childEnd, indent + "  ");  // holds only chunks
    in.endChunk(childEnd);
  }
}

void printChunkTree(const std::string& path) {
  lang::Ptr<io::FileInputStream> file(new io::FileInputStream(path));
  io::ChunkInputStream in(file.get());
  lang::String name;
  int end = 0;
  in.beginChunk(name, end);
  const int header = in.readInt();
  std::cout << path << ": \"" << narrow(name) << "\", header " << header << '\n';
  printChildren(in, end, "  ");
  in.endChunk(end);
}

// Root 1 with the children 2 and 3; 2 has the child 4.
lang::Ptr<sg::Node> makeGraph() {
  lang::Ptr<sg::Node> nodes[4];
  for (int i = 0; i < 4; ++i) {
    nodes[i] = lang::Ptr<sg::Node>(new sg::Node);
    nodes[i]->m_id = i + 1;
    nodes[i]->m_localTransform.data()[12] = 0.5f * static_cast<float>(i);  // a translation
  }
  nodes[0]->addChild(nodes[1]);
  nodes[0]->addChild(nodes[2]);
  nodes[1]->addChild(nodes[3]);
  return nodes[0];
}

int countNodes(const sg::Node* node) {
  return node ? 1 + countNodes(node->m_child.get()) + countNodes(node->m_next.get()) : 0;
}

// Writes graph as the element "root" of the XML archive at path, and returns
// the graph read back from that file.
lang::Ptr<sg::Node> writeAndReadBack(const std::string& path, const lang::Ptr<sg::Node>& graph) {
  {
    std::ofstream file(path);
    boost::archive::xml_oarchive archive(file);
    archive << boost::serialization::make_nvp("root", graph);
  }
  lang::Ptr<sg::Node> back;
  {
    std::ifstream file(path);
    boost::archive::xml_iarchive archive(file);
    archive >> boost::serialization::make_nvp("root", back);
  }
  return back;
}

// Compares the graph read back with the one written: values bit for bit,
// shape and back pointers (sg::diffNodeGraphs names the first difference).
bool archiveRoundTrip(const std::string& path) {
  const lang::Ptr<sg::Node> graph = makeGraph();
  const lang::Ptr<sg::Node> back = writeAndReadBack(path, graph);
  const std::string difference = sg::diffNodeGraphs(graph.get(), back.get());
  std::cout << path << ": " << countNodes(graph.get()) << " nodes written, "
            << countNodes(back.get()) << " read back, "
            << (difference.empty() ? "equal" : "DIFFERENT: " + difference) << '\n';
  return difference.empty();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: library_use WORKDIR [MODEL.xmd]...\n";
    return 1;
  }
  const std::string dir = argv[1];
  try {
    writeTinyModelFile(dir + "/tiny.xmd");
    printChunkTree(dir + "/tiny.xmd");
    for (int i = 2; i < argc; ++i) printChunkTree(argv[i]);
    return archiveRoundTrip(dir + "/nodes.xml") ? 0 : 1;
  } catch (const lang::Throwable& failure) {
    std::cerr << "library_use: " << lang::toText(failure) << '\n';
  } catch (const std::exception& failure) {
    std::cerr << "library_use: " << failure.what() << '\n';
  }
  return 1;
}
