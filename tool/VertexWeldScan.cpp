#include <string>

#include "tool/VertexWelder.h"
#include "tool/WeldSupport.h"

namespace tool {

using weld::copyVertex;
using weld::dimensionOf;
using weld::layerLimit;
using weld::reindexFaces;

bool verticesEqual(const ModelStore& s, int v, int k) {
  for (int c = 0; c < 3; ++c) {
    if (!componentsMatch(s.positions[v][c], s.positions[k][c])) return false;
    if (s.hasNormals && !componentsMatch(s.normals[v][c], s.normals[k][c])) return false;
  }
  const int layers = layerLimit(s);
  for (int l = 0; l < layers; ++l) {
    const int d = dimensionOf(s, l);
    for (int c = 0; c < d; ++c)
      if (!componentsMatch(s.texCoords[l][v * d + c], s.texCoords[l][k * d + c])) return false;
  }
  if (s.hasSkin) {
    for (int slot = 0; slot < ModelStore::kInfluenceSlots; ++slot) {
      if (s.boneIndices[v][slot] != s.boneIndices[k][slot]) return false;
      if (!componentsMatch(s.boneWeights[v][slot], s.boneWeights[k][slot])) return false;
    }
  }
  return true;
}

int weldVerticesByScan(ModelStore& s, int vertexCount, int triangleCount, int32_t* remap) {
  std::vector<int32_t> own;
  if (!remap) {
    own.resize(std::max(vertexCount, 1));
    remap = own.data();
  }
  int kept = 0;
  for (int v = 0; v < vertexCount; ++v) {
    int k = 0;
    while (k < kept && !verticesEqual(s, v, k)) ++k;
    if (k == kept) copyVertex(s, v, kept++);
    remap[v] = k;
  }
  reindexFaces(s, triangleCount, remap);
  return kept;
}

void printWeldReport(std::ostream& out, int before, int after) {
  std::string line =
      "INFO - optimization " + std::to_string(before) + " -> " + std::to_string(after) + "\n";
  out << line << "\n";
}

}  // namespace tool
