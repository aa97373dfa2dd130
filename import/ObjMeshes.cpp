// Each group's corners to one mesh: polygons cut, normals made where the file has none, vertices joined by index.
#include "import/ObjMeshes.h"

#include "base/Printable.h"
#include "import/PolygonFacing.h"

#include <algorithm>
#include <cmath>

namespace import {

void CornerList::dropTexCoords(size_t begin, size_t end)
{
    if (withTexCoords)
        std::fill(texCoords.begin() + static_cast<long>(begin), texCoords.begin() + static_cast<long>(end), noIndex);
}

void CornerList::dropNormals(size_t begin, size_t end)
{
    if (withNormals)
        std::fill(normals.begin() + static_cast<long>(begin), normals.begin() + static_cast<long>(end), noIndex);
}

void CornerList::swap(CornerList& other)
{
    positions.swap(other.positions);
    texCoords.swap(other.texCoords);
    normals.swap(other.normals);
    std::swap(withTexCoords, other.withTexCoords);
    std::swap(withNormals, other.withNormals);
}

MeshBuilder::MeshBuilder(const ObjArrays& arrays)
    : arrays(arrays), positionCount(arrays.positions.size() / 3), texCoordCount(arrays.texCoords.size() / 2),
      normalCount(arrays.normals.size() / 3)
{
}

glm::dvec3 MeshBuilder::positionAt(int index) const
{
    const size_t at = 3 * static_cast<size_t>(index);
    return glm::dvec3(arrays.positions[at], arrays.positions[at + 1], arrays.positions[at + 2]);
}

bool MeshBuilder::build(Group& group, unsigned material, ModelMesh& mesh)
{
    const unsigned perFace = static_cast<unsigned>(group.primitive);
    mesh.name = printable(group.name);
    mesh.primitive = group.primitive;
    mesh.material = material;
    withTexCoords = withNormals = false;
    // Corners that name neither (most big models) need no look.
    makeNormals = !group.corners.namesNormals() && group.corners.size() > 0;
    const bool namesMore = group.corners.namesTexCoords() || group.corners.namesNormals();
    for (size_t i = 0; namesMore && i < group.corners.size(); ++i) {
        const Corner c = group.corners[i];
        withTexCoords = withTexCoords || (c.texCoord >= 0 && static_cast<size_t>(c.texCoord) < texCoordCount);
        const bool has = c.normal >= 0 && static_cast<size_t>(c.normal) < normalCount;
        withNormals = withNormals || has;
        makeNormals = makeNormals || !has;
    }
    makeNormals = makeNormals && group.primitive == Primitive::triangles;
    withNormals = withNormals || makeNormals;
    if (makeNormals)
        sumFacings(group);
    if (group.polygons)
        cutPolygons(group);

    if (firstFrom.size() != positionCount)
        firstFrom.assign(positionCount, UINT_MAX);
    for (size_t i = 0; i + perFace <= group.corners.size(); i += perFace) {
        bool known = true;
        for (unsigned k = 0; k < perFace && known; ++k)
            known = knownPosition(group.corners[i + k].position);
        if (!known) {
            ++leftOut;
            continue;
        }
        for (unsigned k = 0; k < perFace; ++k)
            mesh.indices.push_back(vertexOf(group.corners[i + k], mesh));
    }
    forget(group);
    group.corners.release();
    return !mesh.indices.empty();
}

// Normals for the corners without one, as the importer makes them: the
// facings of the polygons around each position (each polygon once,
// whatever its size), summed.
void MeshBuilder::sumFacings(const Group& group)
{
    if (normalSums.size() != 3 * positionCount)
        normalSums.assign(3 * positionCount, 0.0f);
    size_t at = 0;
    const size_t faces = group.polygons ? group.faceSizes.size() : group.corners.size() / 3;
    for (size_t f = 0; f < faces; ++f) {
        const size_t size = group.polygons ? group.faceSizes[f] : 3;
        const size_t first = at;
        auto c = [&](size_t k) { return group.corners[first + k]; };
        at += size;
        glm::dvec3 facing = newellNormal(size, [&](size_t k) { return positionAt(c(k).position); });
        const double length = glm::length(facing);
        if (!(length > 0.0) || !std::isfinite(length))
            continue;
        facing /= length;
        for (size_t k = 0; k < size; ++k) {
            const size_t p = 3 * static_cast<size_t>(c(k).position);
            normalSums[p] += static_cast<float>(facing.x);
            normalSums[p + 1] += static_cast<float>(facing.y);
            normalSums[p + 2] += static_cast<float>(facing.z);
        }
    }
}

// Polygons into triangles, now that every position is known.
void MeshBuilder::cutPolygons(Group& group)
{
    CornerList cut;
    std::vector<Corner> polygon;
    size_t at = 0;
    for (unsigned size : group.faceSizes) {
        polygon.clear();
        for (size_t k = 0; k < size; ++k)
            polygon.push_back(group.corners[at + k]);
        at += size;
        if (!std::all_of(polygon.begin(), polygon.end(), [&](const Corner& c) { return knownPosition(c.position); })) {
            ++leftOut;
            continue;
        }
        const std::vector<unsigned>& triangles =
            triangulator.cutInSpace(polygon.size(), [&](size_t k) { return positionAt(polygon[k].position); });
        for (unsigned k : triangles)
            cut.push(polygon[k]);
    }
    group.corners.swap(cut);
    std::vector<unsigned>().swap(group.faceSizes);
    group.polygons = false;
}

unsigned MeshBuilder::addVertex(const Corner& corner, ModelMesh& mesh)
{
    const size_t position = static_cast<size_t>(corner.position);
    const unsigned vertex = static_cast<unsigned>(madeFrom.size());
    madeFrom.emplace_back(corner.texCoord, corner.normal);
    nextFrom.push_back(firstFrom[position]);
    firstFrom[position] = vertex;
    const float* point = &arrays.positions[3 * position];
    mesh.positions.insert(mesh.positions.end(), point, point + 3);
    if (!arrays.colours.empty()) {
        const float* colour = &arrays.colours[3 * position];
        mesh.colours.insert(mesh.colours.end(), {colour[0], colour[1], colour[2], 1.0f});
    }
    if (withTexCoords) {
        const size_t t = static_cast<size_t>(std::max(corner.texCoord, 0));
        if (corner.texCoord >= 0)
            mesh.texCoords.insert(mesh.texCoords.end(), &arrays.texCoords[2 * t], &arrays.texCoords[2 * t] + 2);
        else
            mesh.texCoords.insert(mesh.texCoords.end(), {0.0f, 0.0f});
    }
    if (!withNormals)
        return vertex;
    glm::vec3 normal(0.0f);
    if (corner.normal >= 0) {
        const size_t n = 3 * static_cast<size_t>(corner.normal);
        normal = glm::vec3(arrays.normals[n], arrays.normals[n + 1], arrays.normals[n + 2]);
    } else if (makeNormals) {
        const glm::dvec3 sum(normalSums[3 * position], normalSums[3 * position + 1], normalSums[3 * position + 2]);
        const double length = glm::length(sum);
        if (length > 1e-9)
            normal = glm::vec3(sum / length);
    }
    mesh.normals.insert(mesh.normals.end(), {normal.x, normal.y, normal.z});
    return vertex;
}

// The arrays as long as the positions back to blank where this mesh wrote:
// all of them at once where it may have touched most.
void MeshBuilder::forget(const Group& group)
{
    if (group.corners.size() >= positionCount) {
        std::fill(firstFrom.begin(), firstFrom.end(), UINT_MAX);
        if (makeNormals)
            std::fill(normalSums.begin(), normalSums.end(), 0.0f);
    }
    for (size_t i = 0; group.corners.size() < positionCount && i < group.corners.size(); ++i) {
        const int position = group.corners[i].position;
        if (!knownPosition(position))
            continue;
        firstFrom[static_cast<size_t>(position)] = UINT_MAX;
        if (makeNormals)
            std::fill_n(normalSums.begin() + static_cast<long>(3 * static_cast<size_t>(position)), 3, 0.0f);
    }
    std::vector<unsigned>().swap(nextFrom);
    std::vector<std::pair<int, int>>().swap(madeFrom);
}

} // namespace import
