// Indexed triangle meshes and the parametric primitives the scene is assembled from.
#pragma once

#include <glm/mat4x4.hpp>
#include <glm/vec2.hpp>
#include <glm/vec3.hpp>

#include <cstdint>
#include <functional>
#include <vector>

namespace scenegen {

struct Vertex {
    glm::vec3 position;
    glm::vec3 normal;
    glm::vec2 uv;
};

class Mesh {
public:
    uint32_t addVertex(const glm::vec3& position, const glm::vec3& normal, const glm::vec2& uv);
    void addTriangle(uint32_t a, uint32_t b, uint32_t c);
    // Picks the corner order whose geometric normal agrees with the vertex normals, so parametric
    // surfaces only need correct outward normals to come out counter-clockwise.
    void addTriangleFacing(uint32_t a, uint32_t b, uint32_t c);
    // Corners listed around the quad in either direction.
    void addQuadFacing(uint32_t a, uint32_t b, uint32_t c, uint32_t d);
    // UVs are kept as laid out, so non-rigid transforms should stay mild to keep texel density even.
    void append(const Mesh& other, const glm::mat4& transform);
    void append(const Mesh& other);

    size_t triangleCount() const { return indices.size() / 3; }

    std::vector<Vertex> vertices;
    std::vector<uint32_t> indices;
};

glm::mat4 placement(const glm::vec3& position, float yawRadians);
// Maps the +Y axis from the origin onto the segment from -> to (unit length stays unit length).
glm::mat4 alongSegment(const glm::vec3& from, const glm::vec3& to);

// Flat quad origin, origin+uEdge, origin+uEdge+vEdge, origin+vEdge; it faces cross(uEdge, vEdge).
void addFace(Mesh& mesh, const glm::vec3& origin, const glm::vec3& uEdge, const glm::vec3& vEdge,
             float tileSize, const glm::vec2& uvOffset = glm::vec2(0.0f));

// Same, with UVs spanning exactly 0..1 across the face (for crate sides and lantern panes).
void addUnitFace(Mesh& mesh, const glm::vec3& origin, const glm::vec3& uEdge, const glm::vec3& vEdge);

// Axis-aligned box with its footprint centred on the origin, standing on y = 0.
Mesh makeBox(const glm::vec3& size, float tileSize, const glm::vec2& uvOffset = glm::vec2(0.0f), bool withBottom = false);

// Surface of revolution about +Y. Profile points are (radius, height), listed so the solid lies
// to the left when walking along the profile (outer walls upward, top faces toward the axis).
// Corners sharper than creaseDegrees get split normals.
Mesh makeLathe(const std::vector<glm::vec2>& profile, int segments, float tileSize, float creaseDegrees = 40.0f,
               float angleBegin = 0.0f, float angleEnd = 6.28318530718f);

Mesh makeSphere(float radius, int segments, int rings, float tileSize);
Mesh makeCylinder(float radiusBottom, float radiusTop, float height, int segments, float tileSize, bool capTop);

Mesh makeFlutedShaft(float radiusBottom, float radiusTop, float height, int flutes, float fluteDepth, int rows,
                     float tileSize);

// Surface swept around +Y: surface(angle, t) for angle in [0, 2pi], t in [0, 1] bottom to top.
// Normals come from finite differences; where the surface pinches to the axis they point along it.
Mesh makeSweptSurface(const std::function<glm::vec3(float, float)>& surface, int angleSegments, int rows,
                      float uPerRadian, float vPerUnitT);

// Square frustum standing on y = 0 (sides only) and a square pyramid, both with flat faces.
Mesh makeSquareFrustum(float bottomWidth, float topWidth, float height, float tileSize);
Mesh makePyramid(float baseWidth, float height, float tileSize);

// Ring lying in the XZ plane around the Y axis.
Mesh makeTorus(float majorRadius, float minorRadius, int majorSegments, int minorSegments, float tileSize);

// Lumpy ellipsoid for tree crowns and rocks; UVs are projected per triangle along its dominant axis.
Mesh makeBlob(const glm::vec3& radii, int subdivisions, float bumpiness, float bumpFrequency, uint32_t seed,
              float tileSize);

using PointMap = std::function<glm::vec3(const glm::vec3&)>;

// Counter-clockwise polygon in the XY plane extruded from z0 to z1. An optional orientation-
// preserving map bends the result (for example onto a ring); normals follow the mapped shape.
Mesh makeExtrusion(const std::vector<glm::vec2>& polygon, float z0, float z1, float tileSize, float creaseDegrees,
                   const PointMap& map = nullptr);

// Ear clipping of a simple counter-clockwise polygon by the triangulator the OBJ reader uses, flat slivers
// left out; returns counter-clockwise index triples.
std::vector<uint32_t> triangulatePolygon(const std::vector<glm::vec2>& polygon);

struct Recess {
    float x0, y0, x1, y1;
    float depth;
};

// Rectangular wall face with rectangular niches cut into it. right x up is the outward normal.
void addPanel(Mesh& mesh, const glm::vec3& origin, const glm::vec3& right, const glm::vec3& up, float width,
              float height, const std::vector<Recess>& recesses, float tileSize,
              const glm::vec2& uvOffset = glm::vec2(0.0f));

// Ground sheet between rings around the Y axis: ring k of angle a sits at radius(k, a), at the
// height the height field gives there; ringCount + 1 rings of angleCount steps. UVs are world XZ over
// tileSize unless uv(x, z, angle, ring) is given; the seam vertex is doubled so wrapping UVs work.
using SheetUv = std::function<glm::vec2(float, float, float, int)>;
Mesh makeRadialSheet(int angleCount, int ringCount, const std::function<float(int, float)>& radius,
                     const std::function<float(float, float)>& height, float tileSize, const SheetUv& uv = nullptr);

} // namespace scenegen
