// Per-vertex tangents from per-triangle ones, weighted by angle and split where the texture's mapping turns over.
#include "import/Tangents.h"

#include <algorithm>
#include <cmath>

namespace import {

namespace {

glm::vec3 vec3At(const std::vector<float>& values, size_t vertex)
{
    return glm::vec3(values[3 * vertex], values[3 * vertex + 1], values[3 * vertex + 2]);
}

glm::vec2 vec2At(const std::vector<float>& values, size_t vertex)
{
    return glm::vec2(values[2 * vertex], values[2 * vertex + 1]);
}

// `v` without its part along the unit `normal`, made unit; zero when nothing is left.
glm::vec3 across(const glm::vec3& v, const glm::vec3& normal)
{
    const glm::vec3 flat = v - normal * glm::dot(normal, v);
    const float length = glm::length(flat);
    return length > 1e-20f && std::isfinite(length) ? flat / length : glm::vec3(0.0f);
}

glm::vec3 unitOr(const glm::vec3& v, const glm::vec3& fallback)
{
    const float length = glm::length(v);
    return length > 1e-20f && std::isfinite(length) ? v / length : fallback;
}

// Some direction across `normal`, for a vertex no triangle gives one.
glm::vec3 anyAcross(const glm::vec3& normal)
{
    const glm::vec3 axis = std::abs(normal.x) < 0.9f ? glm::vec3(1, 0, 0) : glm::vec3(0, 1, 0);
    return unitOr(across(axis, normal), glm::vec3(1, 0, 0));
}

// Each vertex's sums, apart for the triangles that keep the texture's
// turn (0) and those that mirror it (1).
struct TangentSums {
    std::vector<glm::vec3> sum[2];
    std::vector<char> used[2];
    std::vector<char> mirrored; // a triangle's kind
};

TangentSums sumTriangles(const ModelMesh& mesh, const std::vector<glm::vec3>& normals)
{
    const size_t vertices = mesh.vertexCount();
    TangentSums sums;
    for (int kind = 0; kind < 2; ++kind) {
        sums.sum[kind].assign(vertices, glm::vec3(0.0f));
        sums.used[kind].assign(vertices, 0);
    }
    sums.mirrored.assign(mesh.indices.size() / 3, 0);
    for (size_t f = 0; f < sums.mirrored.size(); ++f) {
        const unsigned* corner = &mesh.indices[3 * f];
        const glm::vec3 p[3] = {vec3At(mesh.positions, corner[0]), vec3At(mesh.positions, corner[1]),
                                vec3At(mesh.positions, corner[2])};
        const glm::vec2 t[3] = {vec2At(mesh.texCoords, corner[0]), vec2At(mesh.texCoords, corner[1]),
                                vec2At(mesh.texCoords, corner[2])};
        const glm::vec3 d1 = p[1] - p[0];
        const glm::vec3 d2 = p[2] - p[0];
        const glm::vec2 t21 = t[1] - t[0];
        const glm::vec2 t31 = t[2] - t[0];
        const float area = t21.x * t31.y - t21.y * t31.x;
        if (!(std::abs(area) > 0.0f) || !std::isfinite(area))
            continue;
        const int kind = area > 0.0f ? 0 : 1;
        sums.mirrored[f] = static_cast<char>(kind);
        const glm::vec3 direction = (d1 * t31.y - d2 * t21.y) / area;
        for (int k = 0; k < 3; ++k) {
            const unsigned v = corner[k];
            const glm::vec3& n = normals[v];
            const glm::vec3 tangent = across(direction, n);
            const glm::vec3 toNext = across(p[(k + 1) % 3] - p[k], n);
            const glm::vec3 toPrevious = across(p[(k + 2) % 3] - p[k], n);
            const float angle = std::acos(std::clamp(glm::dot(toNext, toPrevious), -1.0f, 1.0f));
            sums.sum[kind][v] += angle * tangent;
            sums.used[kind][v] = 1;
        }
    }
    return sums;
}

// A copy of vertex `v`'s attributes at the end of the mesh; its index.
unsigned copyVertex(ModelMesh& mesh, size_t v)
{
    const auto copy = [v](std::vector<float>& values, size_t per) {
        if (values.empty())
            return;
        for (size_t i = 0; i < per; ++i) {
            const float value = values[per * v + i];
            values.push_back(value);
        }
    };
    const size_t index = mesh.vertexCount();
    copy(mesh.positions, 3);
    copy(mesh.normals, 3);
    copy(mesh.texCoords, 2);
    copy(mesh.colours, 4);
    copy(mesh.texCoords1, 2);
    return static_cast<unsigned>(index);
}

} // namespace

bool canCarryTangents(const ModelMesh& mesh)
{
    const size_t vertices = mesh.vertexCount();
    return mesh.primitive == Primitive::triangles && vertices > 0 && mesh.normals.size() == 3 * vertices &&
           mesh.texCoords.size() == 2 * vertices && mesh.indices.size() % 3 == 0;
}

void generateTangents(ModelMesh& mesh)
{
    if (!canCarryTangents(mesh))
        return;
    const size_t vertices = mesh.vertexCount();
    std::vector<glm::vec3> normals(vertices);
    for (size_t v = 0; v < vertices; ++v)
        normals[v] = unitOr(vec3At(mesh.normals, v), glm::vec3(0, 0, 1));
    const TangentSums sums = sumTriangles(mesh, normals);
    // The vertex that mirrored triangles use instead, where both kinds meet.
    std::vector<unsigned> mirroredCopy(vertices);
    std::vector<float> tangents(4 * vertices);
    for (size_t v = 0; v < vertices; ++v) {
        mirroredCopy[v] = static_cast<unsigned>(v);
        const int kind = sums.used[0][v] || !sums.used[1][v] ? 0 : 1;
        const glm::vec3 tangent = unitOr(across(sums.sum[kind][v], normals[v]), anyAcross(normals[v]));
        tangents[4 * v + 0] = tangent.x;
        tangents[4 * v + 1] = tangent.y;
        tangents[4 * v + 2] = tangent.z;
        tangents[4 * v + 3] = kind == 0 ? 1.0f : -1.0f;
        if (!(sums.used[0][v] && sums.used[1][v]))
            continue;
        mirroredCopy[v] = copyVertex(mesh, v);
        const glm::vec3 other = unitOr(across(sums.sum[1][v], normals[v]), anyAcross(normals[v]));
        tangents.insert(tangents.end(), {other.x, other.y, other.z, -1.0f});
    }
    for (size_t f = 0; f < sums.mirrored.size(); ++f)
        if (sums.mirrored[f])
            for (size_t k = 0; k < 3; ++k)
                mesh.indices[3 * f + k] = mirroredCopy[mesh.indices[3 * f + k]];
    mesh.tangents = std::move(tangents);
}

} // namespace import
