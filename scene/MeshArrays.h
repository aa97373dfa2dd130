// The GL-free half of a mesh upload: whether a mesh can be drawn, and its attributes as flat arrays.
#pragma once

#include <cstddef>

struct aiMesh;

namespace scene {

// Flat copies of one mesh, laid out as its buffers are: three floats per
// position and normal, two per texture coordinate, four per colour, and
// `indicesPerFace` indices per face (1 points, 2 lines, 3 triangles). The
// arrays come from new[]; whoever takes them deletes them.
struct MeshArrays {
    unsigned vertexCount = 0;
    unsigned indexCount = 0;
    unsigned indicesPerFace = 3;
    float* positions = nullptr;
    float* normals = nullptr;   // null: the mesh has none, the program reads a constant
    float* texCoords = nullptr; // likewise
    float* colours = nullptr; // null: the mesh has none
    float* tangents = nullptr; // four a vertex (see import::ModelMesh), or null: the mesh has none
    float* texCoords1 = nullptr; // a second set, or null: no texture reads one
    unsigned* indices = nullptr;
};

enum class MeshProblem {
    none,
    // Points and lines (the importer sorts them into meshes of their own)
    // have faces of one or two indices; drawing them as triangles would
    // read past each face.
    notTriangles,
    // An index at or past the vertex count makes the draw read past the
    // vertex buffers.
    indexOutOfRange,
};

MeshProblem findMeshProblem(const aiMesh* mesh);

// Needs a mesh without problems. Missing normals or texture coordinates
// come out as zeros rather than being read.
MeshArrays copyMeshArrays(const aiMesh* mesh);

void deleteMeshArrays(MeshArrays& arrays);

} // namespace scene
