// Indexed triangle meshes and the parametric primitives the scene is assembled from.
#include "MeshBuilder.h"

#include "Noise.h"
#include "import/Triangulator.h"

#include <glm/geometric.hpp>
#include <glm/gtc/matrix_transform.hpp>
#include <glm/mat3x3.hpp>
#include <glm/matrix.hpp>

#include <algorithm>
#include <cmath>
#include <map>
#include <utility>

namespace scenegen {

namespace {

constexpr float twoPi = 6.28318530718f;
constexpr float pi = 3.14159265359f;
constexpr float degenerateArea = 1e-9f;
constexpr float minimumEarArea = 1e-5f;

glm::vec3 safeNormalize(const glm::vec3& v, const glm::vec3& fallback)
{
    const float length = glm::length(v);
    return length > 1e-12f ? v / length : fallback;
}

float cosineOfDegrees(float degrees) { return std::cos(degrees * pi / 180.0f); }

} // namespace

uint32_t Mesh::addVertex(const glm::vec3& position, const glm::vec3& normal, const glm::vec2& uv)
{
    vertices.push_back({position, normal, uv});
    return uint32_t(vertices.size() - 1);
}

void Mesh::addTriangle(uint32_t a, uint32_t b, uint32_t c)
{
    indices.push_back(a);
    indices.push_back(b);
    indices.push_back(c);
}

void Mesh::addTriangleFacing(uint32_t a, uint32_t b, uint32_t c)
{
    const glm::vec3& pa = vertices[a].position;
    const glm::vec3& pb = vertices[b].position;
    const glm::vec3& pc = vertices[c].position;
    const glm::vec3 faceNormal = glm::cross(pb - pa, pc - pa);
    // Slivers at poles and folded seams carry no area; emitting them only adds shading noise.
    if (glm::length(faceNormal) < degenerateArea)
        return;
    const glm::vec3 vertexNormal = vertices[a].normal + vertices[b].normal + vertices[c].normal;
    if (glm::dot(faceNormal, vertexNormal) >= 0.0f)
        addTriangle(a, b, c);
    else
        addTriangle(a, c, b);
}

void Mesh::addQuadFacing(uint32_t a, uint32_t b, uint32_t c, uint32_t d)
{
    addTriangleFacing(a, b, c);
    addTriangleFacing(a, c, d);
}

void Mesh::append(const Mesh& other, const glm::mat4& transform)
{
    const uint32_t base = uint32_t(vertices.size());
    const glm::mat3 normalTransform = glm::transpose(glm::inverse(glm::mat3(transform)));
    for (const Vertex& v : other.vertices) {
        const glm::vec3 p = glm::vec3(transform * glm::vec4(v.position, 1.0f));
        vertices.push_back({p, glm::normalize(normalTransform * v.normal), v.uv});
    }
    for (uint32_t index : other.indices)
        indices.push_back(base + index);
}

void Mesh::append(const Mesh& other) { append(other, glm::mat4(1.0f)); }

glm::mat4 placement(const glm::vec3& position, float yawRadians)
{
    return glm::rotate(glm::translate(glm::mat4(1.0f), position), yawRadians, glm::vec3(0.0f, 1.0f, 0.0f));
}

glm::mat4 alongSegment(const glm::vec3& from, const glm::vec3& to)
{
    const glm::vec3 direction = glm::normalize(to - from);
    const glm::vec3 up(0.0f, 1.0f, 0.0f);
    const glm::vec3 axis = glm::cross(up, direction);
    const float angle = std::acos(std::clamp(glm::dot(up, direction), -1.0f, 1.0f));
    glm::mat4 transform = glm::translate(glm::mat4(1.0f), from);
    if (glm::length(axis) > 1e-6f)
        transform = glm::rotate(transform, angle, glm::normalize(axis));
    else if (direction.y < 0.0f)
        transform = glm::rotate(transform, pi, glm::vec3(1.0f, 0.0f, 0.0f));
    return transform;
}

void addUnitFace(Mesh& mesh, const glm::vec3& origin, const glm::vec3& uEdge, const glm::vec3& vEdge)
{
    const glm::vec3 normal = glm::normalize(glm::cross(uEdge, vEdge));
    const uint32_t a = mesh.addVertex(origin, normal, {0.0f, 0.0f});
    const uint32_t b = mesh.addVertex(origin + uEdge, normal, {1.0f, 0.0f});
    const uint32_t c = mesh.addVertex(origin + uEdge + vEdge, normal, {1.0f, 1.0f});
    const uint32_t d = mesh.addVertex(origin + vEdge, normal, {0.0f, 1.0f});
    mesh.addTriangle(a, b, c);
    mesh.addTriangle(a, c, d);
}

void addFace(Mesh& mesh, const glm::vec3& origin, const glm::vec3& uEdge, const glm::vec3& vEdge, float tileSize,
             const glm::vec2& uvOffset)
{
    const glm::vec3 normal = glm::normalize(glm::cross(uEdge, vEdge));
    const float uLength = glm::length(uEdge) / tileSize;
    const float vLength = glm::length(vEdge) / tileSize;
    const uint32_t a = mesh.addVertex(origin, normal, uvOffset);
    const uint32_t b = mesh.addVertex(origin + uEdge, normal, uvOffset + glm::vec2(uLength, 0.0f));
    const uint32_t c = mesh.addVertex(origin + uEdge + vEdge, normal, uvOffset + glm::vec2(uLength, vLength));
    const uint32_t d = mesh.addVertex(origin + vEdge, normal, uvOffset + glm::vec2(0.0f, vLength));
    mesh.addTriangle(a, b, c);
    mesh.addTriangle(a, c, d);
}

Mesh makeBox(const glm::vec3& size, float tileSize, const glm::vec2& uvOffset, bool withBottom)
{
    Mesh mesh;
    const float hx = size.x * 0.5f;
    const float hz = size.z * 0.5f;
    const float h = size.y;
    const glm::vec3 x(size.x, 0.0f, 0.0f);
    const glm::vec3 y(0.0f, h, 0.0f);
    const glm::vec3 z(0.0f, 0.0f, size.z);
    addFace(mesh, {hx, 0.0f, hz}, -z, y, tileSize, uvOffset);
    addFace(mesh, {-hx, 0.0f, -hz}, z, y, tileSize, uvOffset);
    addFace(mesh, {-hx, 0.0f, hz}, x, y, tileSize, uvOffset);
    addFace(mesh, {hx, 0.0f, -hz}, -x, y, tileSize, uvOffset);
    addFace(mesh, {-hx, h, hz}, x, -z, tileSize, uvOffset);
    if (withBottom)
        addFace(mesh, {-hx, 0.0f, -hz}, x, z, tileSize, uvOffset);
    return mesh;
}

Mesh makeLathe(const std::vector<glm::vec2>& profile, int segments, float tileSize, float creaseDegrees,
               float angleBegin, float angleEnd)
{
    Mesh mesh;
    const size_t pointCount = profile.size();
    if (pointCount < 2)
        return mesh;

    // 2D outward normal of each profile segment: walking along the profile, the outside is on the right.
    std::vector<glm::vec2> segmentNormals(pointCount - 1);
    std::vector<float> arcLength(pointCount, 0.0f);
    float maxRadius = 0.0f;
    for (size_t i = 0; i + 1 < pointCount; ++i) {
        const glm::vec2 t = profile[i + 1] - profile[i];
        segmentNormals[i] = glm::length(t) > 0.0f ? glm::normalize(glm::vec2(t.y, -t.x)) : glm::vec2(1.0f, 0.0f);
        arcLength[i + 1] = arcLength[i] + glm::length(t);
    }
    for (const glm::vec2& p : profile)
        maxRadius = std::max(maxRadius, p.x);

    const bool fullTurn = std::fabs((angleEnd - angleBegin) - twoPi) < 1e-4f;
    // Whole turns get an integer number of texture repeats so the seam is invisible.
    const float uScale = fullTurn ? std::max(1.0f, std::round(twoPi * maxRadius / tileSize)) / twoPi
                                  : maxRadius / tileSize;
    const float creaseCos = cosineOfDegrees(creaseDegrees);

    auto addRing = [&](size_t pointIndex, glm::vec2 normal2) {
        const glm::vec2 p = profile[pointIndex];
        // At the axis every ring vertex coincides, so only a normal straight along the axis shades evenly.
        if (p.x <= 1e-6f)
            normal2 = glm::vec2(0.0f, normal2.y >= 0.0f ? 1.0f : -1.0f);
        const uint32_t first = uint32_t(mesh.vertices.size());
        for (int s = 0; s <= segments; ++s) {
            const float angle = angleBegin + (angleEnd - angleBegin) * float(s) / float(segments);
            const float sinA = std::sin(angle);
            const float cosA = std::cos(angle);
            mesh.addVertex({p.x * sinA, p.y, p.x * cosA}, glm::normalize(glm::vec3(normal2.x * sinA, normal2.y, normal2.x * cosA)),
                           {angle * uScale, arcLength[pointIndex] / tileSize});
        }
        return first;
    };

    // Each segment gets its own start and end ring unless the joint is smooth enough to share.
    std::vector<uint32_t> segmentStart(pointCount - 1);
    std::vector<uint32_t> segmentEnd(pointCount - 1);
    for (size_t i = 0; i < pointCount; ++i) {
        const bool hasBefore = i > 0;
        const bool hasAfter = i + 1 < pointCount;
        if (hasBefore && hasAfter && glm::dot(segmentNormals[i - 1], segmentNormals[i]) >= creaseCos) {
            const uint32_t ring = addRing(i, glm::normalize(segmentNormals[i - 1] + segmentNormals[i]));
            segmentEnd[i - 1] = ring;
            segmentStart[i] = ring;
            continue;
        }
        if (hasBefore)
            segmentEnd[i - 1] = addRing(i, segmentNormals[i - 1]);
        if (hasAfter)
            segmentStart[i] = addRing(i, segmentNormals[i]);
    }

    for (size_t i = 0; i + 1 < pointCount; ++i) {
        for (int s = 0; s < segments; ++s) {
            const uint32_t a = segmentStart[i] + uint32_t(s);
            const uint32_t b = segmentStart[i] + uint32_t(s + 1);
            const uint32_t c = segmentEnd[i] + uint32_t(s + 1);
            const uint32_t d = segmentEnd[i] + uint32_t(s);
            mesh.addQuadFacing(a, b, c, d);
        }
    }
    return mesh;
}

Mesh makeSphere(float radius, int segments, int rings, float tileSize)
{
    std::vector<glm::vec2> profile;
    for (int i = 0; i <= rings; ++i) {
        const float a = pi * float(i) / float(rings);
        profile.push_back({radius * std::sin(a), -radius * std::cos(a)});
    }
    profile.front().x = 0.0f;
    profile.back().x = 0.0f;
    return makeLathe(profile, segments, tileSize, 60.0f);
}

Mesh makeCylinder(float radiusBottom, float radiusTop, float height, int segments, float tileSize, bool capTop)
{
    std::vector<glm::vec2> profile = {{radiusBottom, 0.0f}, {radiusTop, height}};
    if (capTop)
        profile.push_back({0.0f, height});
    return makeLathe(profile, segments, tileSize);
}

Mesh makeFlutedShaft(float radiusBottom, float radiusTop, float height, int flutes, float fluteDepth, int rows,
                     float tileSize)
{
    Mesh mesh;
    constexpr int samplesPerFlute = 4;
    const int columns = flutes * samplesPerFlute;
    auto groove = [&](float angle) {
        const float s = angle * float(flutes) / twoPi;
        const float f = s - std::floor(s);
        // Semicircular grooves separated by narrow flat fillets, as on a classical shaft.
        const float t = (f - 0.5f) / 0.42f;
        return std::sqrt(std::max(0.0f, 1.0f - t * t));
    };
    auto surface = [&](float angle, float y) {
        const float radius = (radiusBottom + (radiusTop - radiusBottom) * (y / height)) * (1.0f - fluteDepth * groove(angle));
        return glm::vec3(radius * std::sin(angle), y, radius * std::cos(angle));
    };
    const float uScale = std::max(1.0f, std::round(twoPi * radiusBottom / tileSize)) / twoPi;
    constexpr float angleStep = 1e-3f;
    constexpr float heightStep = 1e-2f;
    for (int row = 0; row <= rows; ++row) {
        const float y = height * float(row) / float(rows);
        for (int column = 0; column <= columns; ++column) {
            const float angle = twoPi * float(column) / float(columns);
            const glm::vec3 p = surface(angle, y);
            const glm::vec3 dAngle = surface(angle + angleStep, y) - surface(angle - angleStep, y);
            const glm::vec3 dHeight = surface(angle, y + heightStep) - surface(angle, y - heightStep);
            mesh.addVertex(p, glm::normalize(glm::cross(dAngle, dHeight)), {angle * uScale, y / tileSize});
        }
    }
    const uint32_t stride = uint32_t(columns + 1);
    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < columns; ++column) {
            const uint32_t a = uint32_t(row) * stride + uint32_t(column);
            mesh.addQuadFacing(a, a + 1, a + 1 + stride, a + stride);
        }
    }
    return mesh;
}

Mesh makeSweptSurface(const std::function<glm::vec3(float, float)>& surface, int angleSegments, int rows,
                      float uPerRadian, float vPerUnitT)
{
    Mesh mesh;
    constexpr float angleStep = 1e-3f;
    constexpr float parameterStep = 1e-3f;
    for (int row = 0; row <= rows; ++row) {
        const float t = float(row) / float(rows);
        for (int column = 0; column <= angleSegments; ++column) {
            const float angle = twoPi * float(column) / float(angleSegments);
            const glm::vec3 p = surface(angle, t);
            const glm::vec3 dAngle = surface(angle + angleStep, t) - surface(angle - angleStep, t);
            const glm::vec3 dT = surface(angle, std::min(1.0f, t + parameterStep)) - surface(angle, std::max(0.0f, t - parameterStep));
            const glm::vec3 fallback(0.0f, t < 0.5f ? -1.0f : 1.0f, 0.0f);
            mesh.addVertex(p, safeNormalize(glm::cross(dAngle, dT), fallback), {angle * uPerRadian, t * vPerUnitT});
        }
    }
    const uint32_t stride = uint32_t(angleSegments + 1);
    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < angleSegments; ++column) {
            const uint32_t a = uint32_t(row) * stride + uint32_t(column);
            mesh.addQuadFacing(a, a + 1, a + 1 + stride, a + stride);
        }
    }
    return mesh;
}

Mesh makeSquareFrustum(float bottomWidth, float topWidth, float height, float tileSize)
{
    Mesh mesh;
    const float b = bottomWidth * 0.5f;
    const float t = topWidth * 0.5f;
    // Corners counter-clockwise seen from above, starting at +X +Z.
    const glm::vec3 bottom[4] = {{b, 0, b}, {b, 0, -b}, {-b, 0, -b}, {-b, 0, b}};
    const glm::vec3 top[4] = {{t, height, t}, {t, height, -t}, {-t, height, -t}, {-t, height, t}};
    for (int side = 0; side < 4; ++side) {
        const int next = (side + 1) % 4;
        const glm::vec3 normal = glm::normalize(glm::cross(top[next] - bottom[next], bottom[side] - bottom[next]));
        const float width = glm::length(bottom[side] - bottom[next]);
        const float slant = glm::length(0.5f * (top[side] + top[next]) - 0.5f * (bottom[side] + bottom[next]));
        const float inset = (bottomWidth - topWidth) * 0.5f;
        const uint32_t a = mesh.addVertex(bottom[next], normal, glm::vec2(0.0f, 0.0f) / tileSize);
        const uint32_t c = mesh.addVertex(bottom[side], normal, glm::vec2(width, 0.0f) / tileSize);
        const uint32_t d = mesh.addVertex(top[side], normal, glm::vec2(width - inset, slant) / tileSize);
        const uint32_t e = mesh.addVertex(top[next], normal, glm::vec2(inset, slant) / tileSize);
        mesh.addQuadFacing(a, c, d, e);
    }
    return mesh;
}

Mesh makePyramid(float baseWidth, float height, float tileSize)
{
    Mesh mesh;
    const float b = baseWidth * 0.5f;
    const glm::vec3 bottom[4] = {{b, 0, b}, {b, 0, -b}, {-b, 0, -b}, {-b, 0, b}};
    const glm::vec3 apex(0.0f, height, 0.0f);
    for (int side = 0; side < 4; ++side) {
        const int next = (side + 1) % 4;
        const glm::vec3 normal = glm::normalize(glm::cross(apex - bottom[next], bottom[side] - bottom[next]));
        const float slant = std::hypot(height, b);
        const uint32_t a = mesh.addVertex(bottom[next], normal, glm::vec2(0.0f, 0.0f) / tileSize);
        const uint32_t c = mesh.addVertex(bottom[side], normal, glm::vec2(baseWidth, 0.0f) / tileSize);
        const uint32_t d = mesh.addVertex(apex, normal, glm::vec2(b, slant) / tileSize);
        mesh.addTriangleFacing(a, c, d);
    }
    return mesh;
}

Mesh makeTorus(float majorRadius, float minorRadius, int majorSegments, int minorSegments, float tileSize)
{
    Mesh mesh;
    const float uScale = std::max(1.0f, std::round(twoPi * majorRadius / tileSize));
    const float vScale = std::max(1.0f, std::round(twoPi * minorRadius / tileSize));
    for (int i = 0; i <= majorSegments; ++i) {
        const float alpha = twoPi * float(i) / float(majorSegments);
        for (int j = 0; j <= minorSegments; ++j) {
            const float beta = twoPi * float(j) / float(minorSegments);
            const glm::vec3 normal(std::cos(beta) * std::sin(alpha), std::sin(beta), std::cos(beta) * std::cos(alpha));
            const glm::vec3 centre(majorRadius * std::sin(alpha), 0.0f, majorRadius * std::cos(alpha));
            mesh.addVertex(centre + minorRadius * normal, normal,
                           {uScale * float(i) / float(majorSegments), vScale * float(j) / float(minorSegments)});
        }
    }
    const uint32_t stride = uint32_t(minorSegments + 1);
    for (int i = 0; i < majorSegments; ++i) {
        for (int j = 0; j < minorSegments; ++j) {
            const uint32_t a = uint32_t(i) * stride + uint32_t(j);
            mesh.addQuadFacing(a, a + stride, a + stride + 1, a + 1);
        }
    }
    return mesh;
}

Mesh makeBlob(const glm::vec3& radii, int subdivisions, float bumpiness, float bumpFrequency, uint32_t seed,
              float tileSize)
{
    // Icosahedron, subdivided and pushed onto the unit sphere.
    const float t = (1.0f + std::sqrt(5.0f)) * 0.5f;
    std::vector<glm::vec3> points = {{-1, t, 0}, {1, t, 0}, {-1, -t, 0}, {1, -t, 0}, {0, -1, t}, {0, 1, t},
                                     {0, -1, -t}, {0, 1, -t}, {t, 0, -1}, {t, 0, 1}, {-t, 0, -1}, {-t, 0, 1}};
    for (glm::vec3& p : points)
        p = glm::normalize(p);
    std::vector<uint32_t> faces = {0, 11, 5, 0, 5, 1, 0, 1, 7, 0, 7, 10, 0, 10, 11, 1, 5, 9, 5, 11, 4, 11, 10, 2,
                                   10, 7, 6, 7, 1, 8, 3, 9, 4, 3, 4, 2, 3, 2, 6, 3, 6, 8, 3, 8, 9, 4, 9, 5,
                                   2, 4, 11, 6, 2, 10, 8, 6, 7, 9, 8, 1};
    for (int level = 0; level < subdivisions; ++level) {
        std::map<std::pair<uint32_t, uint32_t>, uint32_t> midpoints;
        auto midpoint = [&](uint32_t a, uint32_t b) {
            const auto key = std::make_pair(std::min(a, b), std::max(a, b));
            const auto found = midpoints.find(key);
            if (found != midpoints.end())
                return found->second;
            points.push_back(glm::normalize(points[a] + points[b]));
            const uint32_t index = uint32_t(points.size() - 1);
            midpoints.emplace(key, index);
            return index;
        };
        std::vector<uint32_t> refined;
        for (size_t f = 0; f < faces.size(); f += 3) {
            const uint32_t a = faces[f], b = faces[f + 1], c = faces[f + 2];
            const uint32_t ab = midpoint(a, b), bc = midpoint(b, c), ca = midpoint(c, a);
            refined.insert(refined.end(), {a, ab, ca, b, bc, ab, c, ca, bc, ab, bc, ca});
        }
        faces.swap(refined);
    }

    std::vector<glm::vec3> positions(points.size());
    for (size_t i = 0; i < points.size(); ++i) {
        const glm::vec3 d = points[i] * bumpFrequency;
        const float bump = 1.0f + bumpiness * float(fbm3(d.x, d.y, d.z, 3, 0.5, seed));
        positions[i] = points[i] * radii * bump;
    }
    std::vector<glm::vec3> normals(points.size(), glm::vec3(0.0f));
    for (size_t f = 0; f < faces.size(); f += 3) {
        const glm::vec3 n = glm::cross(positions[faces[f + 1]] - positions[faces[f]], positions[faces[f + 2]] - positions[faces[f]]);
        for (int k = 0; k < 3; ++k)
            normals[faces[f + size_t(k)]] += n;
    }
    for (size_t i = 0; i < normals.size(); ++i)
        normals[i] = safeNormalize(normals[i], points[i]);

    Mesh mesh;
    for (size_t f = 0; f < faces.size(); f += 3) {
        const glm::vec3 faceNormal = glm::cross(positions[faces[f + 1]] - positions[faces[f]], positions[faces[f + 2]] - positions[faces[f]]);
        const glm::vec3 a = glm::abs(faceNormal);
        uint32_t corners[3];
        for (int k = 0; k < 3; ++k) {
            const uint32_t index = faces[f + size_t(k)];
            const glm::vec3& p = positions[index];
            glm::vec2 uv = a.x >= a.y && a.x >= a.z ? glm::vec2(p.z, p.y) : (a.y >= a.z ? glm::vec2(p.x, p.z) : glm::vec2(p.x, p.y));
            corners[k] = mesh.addVertex(p, normals[index], uv / tileSize);
        }
        mesh.addTriangleFacing(corners[0], corners[1], corners[2]);
    }
    return mesh;
}

std::vector<uint32_t> triangulatePolygon(const std::vector<glm::vec2>& polygon)
{
    // Points inside an ear block it, points on its edges do not, and flat
    // slivers are left out rather than fanned: the caps in data/ were cut so.
    import::Triangulator triangulator(import::EarRules{minimumEarArea, false, false});
    const std::vector<unsigned>& triangles = triangulator.cut(polygon);
    return std::vector<uint32_t>(triangles.begin(), triangles.end());
}

Mesh makeExtrusion(const std::vector<glm::vec2>& polygon, float z0, float z1, float tileSize, float creaseDegrees,
                   const PointMap& map)
{
    Mesh mesh;
    const size_t n = polygon.size();
    auto place = [&](const glm::vec2& p, float z) {
        const glm::vec3 local(p, z);
        return map ? map(local) : local;
    };

    const std::vector<uint32_t> triangles = triangulatePolygon(polygon);
    for (int side = 0; side < 2; ++side) {
        const float z = side == 0 ? z1 : z0;
        // Newell's method gives the cap normal even after a bending map.
        glm::vec3 newell(0.0f);
        for (size_t i = 0; i < n; ++i) {
            const glm::vec3 a = place(polygon[i], z);
            const glm::vec3 b = place(polygon[(i + 1) % n], z);
            newell += glm::vec3((a.y - b.y) * (a.z + b.z), (a.z - b.z) * (a.x + b.x), (a.x - b.x) * (a.y + b.y));
        }
        const glm::vec3 normal = glm::normalize(side == 0 ? newell : -newell);
        const uint32_t base = uint32_t(mesh.vertices.size());
        for (size_t i = 0; i < n; ++i)
            mesh.addVertex(place(polygon[i], z), normal, polygon[i] / tileSize);
        for (size_t t = 0; t < triangles.size(); t += 3) {
            if (side == 0)
                mesh.addTriangle(base + triangles[t], base + triangles[t + 1], base + triangles[t + 2]);
            else
                mesh.addTriangle(base + triangles[t], base + triangles[t + 2], base + triangles[t + 1]);
        }
    }

    std::vector<glm::vec3> edgeNormals(n);
    std::vector<float> perimeter(n + 1, 0.0f);
    for (size_t i = 0; i < n; ++i) {
        const glm::vec3 a0 = place(polygon[i], z0);
        const glm::vec3 b0 = place(polygon[(i + 1) % n], z0);
        const glm::vec3 a1 = place(polygon[i], z1);
        edgeNormals[i] = safeNormalize(glm::cross(b0 - a0, a1 - a0), glm::vec3(0.0f, 1.0f, 0.0f));
        perimeter[i + 1] = perimeter[i] + glm::length(polygon[(i + 1) % n] - polygon[i]);
    }
    const float creaseCos = cosineOfDegrees(creaseDegrees);
    for (size_t i = 0; i < n; ++i) {
        const size_t next = (i + 1) % n;
        const glm::vec3& own = edgeNormals[i];
        const glm::vec3& before = edgeNormals[(i + n - 1) % n];
        const glm::vec3& after = edgeNormals[next];
        const glm::vec3 startNormal = glm::dot(own, before) >= creaseCos ? glm::normalize(own + before) : own;
        const glm::vec3 endNormal = glm::dot(own, after) >= creaseCos ? glm::normalize(own + after) : own;
        const float u0 = perimeter[i] / tileSize;
        const float u1 = perimeter[i + 1] / tileSize;
        const uint32_t a = mesh.addVertex(place(polygon[i], z0), startNormal, {u0, z0 / tileSize});
        const uint32_t b = mesh.addVertex(place(polygon[next], z0), endNormal, {u1, z0 / tileSize});
        const uint32_t c = mesh.addVertex(place(polygon[next], z1), endNormal, {u1, z1 / tileSize});
        const uint32_t d = mesh.addVertex(place(polygon[i], z1), startNormal, {u0, z1 / tileSize});
        mesh.addQuadFacing(a, b, c, d);
    }
    return mesh;
}

void addPanel(Mesh& mesh, const glm::vec3& origin, const glm::vec3& right, const glm::vec3& up, float width,
              float height, const std::vector<Recess>& recesses, float tileSize, const glm::vec2& uvOffset)
{
    const glm::vec3 normal = glm::normalize(glm::cross(right, up));
    auto point = [&](float x, float y, float depth) { return origin + right * x + up * y - normal * depth; };

    std::vector<float> xs = {0.0f, width};
    std::vector<float> ys = {0.0f, height};
    for (const Recess& r : recesses) {
        xs.insert(xs.end(), {r.x0, r.x1});
        ys.insert(ys.end(), {r.y0, r.y1});
    }
    std::sort(xs.begin(), xs.end());
    std::sort(ys.begin(), ys.end());
    xs.erase(std::unique(xs.begin(), xs.end()), xs.end());
    ys.erase(std::unique(ys.begin(), ys.end()), ys.end());

    auto quad = [&](const glm::vec3& p0, const glm::vec3& p1, const glm::vec3& p2, const glm::vec3& p3,
                    const glm::vec3& n, const glm::vec2& t0, const glm::vec2& t1, const glm::vec2& t2, const glm::vec2& t3) {
        const uint32_t a = mesh.addVertex(p0, n, t0 / tileSize + uvOffset);
        const uint32_t b = mesh.addVertex(p1, n, t1 / tileSize + uvOffset);
        const uint32_t c = mesh.addVertex(p2, n, t2 / tileSize + uvOffset);
        const uint32_t d = mesh.addVertex(p3, n, t3 / tileSize + uvOffset);
        mesh.addQuadFacing(a, b, c, d);
    };

    for (size_t i = 0; i + 1 < xs.size(); ++i) {
        for (size_t j = 0; j + 1 < ys.size(); ++j) {
            const float cx = 0.5f * (xs[i] + xs[i + 1]);
            const float cy = 0.5f * (ys[j] + ys[j + 1]);
            float depth = 0.0f;
            for (const Recess& r : recesses) {
                if (cx > r.x0 && cx < r.x1 && cy > r.y0 && cy < r.y1)
                    depth = r.depth;
            }
            const float x0 = xs[i], x1 = xs[i + 1], y0 = ys[j], y1 = ys[j + 1];
            quad(point(x0, y0, depth), point(x1, y0, depth), point(x1, y1, depth), point(x0, y1, depth), normal,
                 {x0, y0}, {x1, y0}, {x1, y1}, {x0, y1});
        }
    }
    for (const Recess& r : recesses) {
        const float d = r.depth;
        quad(point(r.x0, r.y0, 0), point(r.x0, r.y0, d), point(r.x0, r.y1, d), point(r.x0, r.y1, 0), right,
             {0, r.y0}, {d, r.y0}, {d, r.y1}, {0, r.y1});
        quad(point(r.x1, r.y0, 0), point(r.x1, r.y0, d), point(r.x1, r.y1, d), point(r.x1, r.y1, 0), -right,
             {0, r.y0}, {d, r.y0}, {d, r.y1}, {0, r.y1});
        quad(point(r.x0, r.y0, 0), point(r.x1, r.y0, 0), point(r.x1, r.y0, d), point(r.x0, r.y0, d), up,
             {r.x0, 0}, {r.x1, 0}, {r.x1, d}, {r.x0, d});
        quad(point(r.x0, r.y1, 0), point(r.x1, r.y1, 0), point(r.x1, r.y1, d), point(r.x0, r.y1, d), -up,
             {r.x0, 0}, {r.x1, 0}, {r.x1, d}, {r.x0, d});
    }
}

Mesh makeRadialSheet(int angleCount, int ringCount, const std::function<float(int, float)>& radius,
                     const std::function<float(float, float)>& height, float tileSize, const SheetUv& uv)
{
    Mesh mesh;
    constexpr float slopeStep = 0.25f;
    for (int ring = 0; ring <= ringCount; ++ring) {
        for (int a = 0; a <= angleCount; ++a) {
            const float angle = twoPi * float(a) / float(angleCount);
            // The doubled seam vertex must sit exactly on the first one.
            const float placedAngle = a == angleCount ? 0.0f : angle;
            const float r = radius(ring, placedAngle);
            const float x = r * std::sin(placedAngle);
            const float z = r * std::cos(placedAngle);
            const float dx = height(x + slopeStep, z) - height(x - slopeStep, z);
            const float dz = height(x, z + slopeStep) - height(x, z - slopeStep);
            const glm::vec3 normal = glm::normalize(glm::vec3(-dx, 2.0f * slopeStep, -dz));
            const glm::vec2 texcoord = uv ? uv(x, z, angle, ring) : glm::vec2(x, z) / tileSize;
            mesh.addVertex({x, height(x, z), z}, normal, texcoord);
        }
    }
    const uint32_t stride = uint32_t(angleCount + 1);
    for (int ring = 0; ring < ringCount; ++ring) {
        for (int a = 0; a < angleCount; ++a) {
            const uint32_t inner0 = uint32_t(ring) * stride + uint32_t(a);
            mesh.addQuadFacing(inner0, inner0 + 1, inner0 + 1 + stride, inner0 + stride);
        }
    }
    return mesh;
}

} // namespace scenegen
