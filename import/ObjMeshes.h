// The OBJ reader's faces as corners, grouped by material and kind, and the meshes made of them.
#pragma once

#include "import/ModelData.h"
#include "import/Triangulator.h"

#include <climits>
#include <string>
#include <utility>
#include <vector>

namespace import {

// An index a corner does not name.
constexpr int noIndex = -1;
// An index the file cannot have: past the entries, or counted back past the first.
constexpr int badIndex = -2;
// Index 0, which no OBJ writer writes: the importer refuses the file.
constexpr int zeroIndex = -3;

// The corner of a face as the file names it: indices into the positions,
// texture coordinates and normals, from 0, or one of the marks above.
struct Corner {
    int position;
    int texCoord;
    int normal;
};

// Corners in columns: a column of texture coordinates or normals exists
// only once a corner names one, so that a mesh of positions alone (a scan,
// most big models) takes a third of the room.
class CornerList {
public:
    size_t size() const { return positions.size(); }
    Corner operator[](size_t i) const
    {
        return {positions[i], withTexCoords ? texCoords[i] : noIndex, withNormals ? normals[i] : noIndex};
    }
    void push(const Corner& corner)
    {
        if (corner.texCoord != noIndex && !withTexCoords) {
            texCoords.assign(positions.size(), noIndex);
            withTexCoords = true;
        }
        if (corner.normal != noIndex && !withNormals) {
            normals.assign(positions.size(), noIndex);
            withNormals = true;
        }
        positions.push_back(corner.position);
        if (withTexCoords)
            texCoords.push_back(corner.texCoord);
        if (withNormals)
            normals.push_back(corner.normal);
    }
    // The corners from `begin` to `end` without texture coordinates, or normals.
    void dropTexCoords(size_t begin, size_t end);
    void dropNormals(size_t begin, size_t end);
    // Whether any corner named a texture coordinate, or a normal.
    bool namesTexCoords() const { return withTexCoords; }
    bool namesNormals() const { return withNormals; }
    void release() { CornerList().swap(*this); }
    void swap(CornerList& other);

private:
    std::vector<int> positions;
    std::vector<int> texCoords;
    std::vector<int> normals;
    bool withTexCoords = false;
    bool withNormals = false;
};

// Faces of one material and kind, as corners, until the file is read.
struct Group {
    unsigned material = 0; // into the names `usemtl` gave
    Primitive primitive = Primitive::triangles;
    std::string name;
    CornerList corners;
    // Corners per face, only once a face of other than three corners came.
    bool polygons = false;
    std::vector<unsigned> faceSizes;
    // Where each run of faces between "o", "g" and "usemtl" lines starts:
    // the first corner, and the run's number in the file.
    std::vector<std::pair<size_t, unsigned>> runs;
    unsigned lastRun = UINT_MAX;
};

// The file's arrays, in which the corners index.
struct ObjArrays {
    std::vector<float> positions;
    std::vector<float> colours; // three a position once any has one
    std::vector<float> texCoords;
    std::vector<float> normals;
};

// Meshes made of groups, one after another, with the room they need for
// each position kept from one to the next.
class MeshBuilder {
public:
    explicit MeshBuilder(const ObjArrays& arrays);

    // The mesh of `group`, whose corners it takes; false when it has no
    // faces. Polygons are cut into triangles; faces with a corner past the
    // positions are left out and counted.
    bool build(Group& group, unsigned material, ModelMesh& mesh);
    size_t facesLeftOut() const { return leftOut; }

private:
    void sumFacings(const Group& group);
    void cutPolygons(Group& group);
    // The vertex made from `corner`, made now if this mesh has none yet:
    // each distinct corner (position, texture coordinate, normal) becomes one.
    unsigned vertexOf(Corner corner, ModelMesh& mesh)
    {
        if (corner.texCoord < 0 || static_cast<size_t>(corner.texCoord) >= texCoordCount)
            corner.texCoord = noIndex;
        if (corner.normal < 0 || static_cast<size_t>(corner.normal) >= normalCount)
            corner.normal = noIndex;
        unsigned vertex = firstFrom[static_cast<size_t>(corner.position)];
        while (vertex != UINT_MAX && madeFrom[vertex] != std::make_pair(corner.texCoord, corner.normal))
            vertex = nextFrom[vertex];
        return vertex != UINT_MAX ? vertex : addVertex(corner, mesh);
    }
    unsigned addVertex(const Corner& corner, ModelMesh& mesh);
    void forget(const Group& group);
    bool knownPosition(int position) const
    {
        return position >= 0 && static_cast<size_t>(position) < positionCount;
    }
    glm::dvec3 positionAt(int index) const;

    const ObjArrays& arrays;
    const size_t positionCount;
    const size_t texCoordCount;
    const size_t normalCount;
    size_t leftOut = 0;
    Triangulator triangulator;
    // This mesh's columns and whether its normals are made.
    bool withTexCoords = false;
    bool withNormals = false;
    bool makeNormals = false;
    // Normals summed over the faces around a position, for the vertices the
    // file gives none; and the first vertex of a mesh made from each
    // position, then a chain through the others made from it with other
    // coordinates or normals. The first two as long as the positions, both
    // back to their blank state after each mesh, where the mesh touched them.
    std::vector<float> normalSums;
    std::vector<unsigned> firstFrom;
    std::vector<unsigned> nextFrom;
    // What each vertex was made from besides its position.
    std::vector<std::pair<int, int>> madeFrom;
};

} // namespace import
