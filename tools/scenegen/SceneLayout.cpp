// The showcase scene: a sunlit ruined temple court, assembled into one mesh per material.
//
// Layout, with +X toward the sun and the visitor arriving from +Z: a paved round plaza with a
// fountain and brass armillary sphere at its heart (the viewer's orbit centre), ringed by an arcade
// on a stepped platform; tall colonnades to either side; a raised terrace behind carrying a
// triumphal gate and a watch tower; a low ruined wall, trees and hills all around. The front (+Z)
// and the space above the arcade are kept open for the scripted camera moves.
#include "SceneLayout.h"

#include "Noise.h"
#include "Prng.h"
#include "SceneChecks.h"
#include "TextureSynth.h"

#include <glm/geometric.hpp>
#include <glm/gtc/matrix_transform.hpp>

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace scenegen {

namespace {

constexpr float pi = 3.14159265359f;
constexpr float twoPi = 6.28318530718f;

// World size of one texture repeat; each must match how the texture was painted.
constexpr float grassTileUnits = 12.0f;
constexpr float sandTileUnits = 8.0f;
constexpr float pavingTileUnits = 8.0f;
constexpr float stoneTileUnits = 6.0f;
constexpr float marbleTileUnits = 4.0f;
constexpr float graniteTileUnits = 2.0f;
constexpr float brassTileUnits = 2.0f;
constexpr float waterTileUnits = 6.0f;
constexpr float barkTileUnits = 2.0f;
constexpr float leavesTileUnits = 3.0f;

constexpr float plazaRadius = 24.0f;
constexpr float plazaTopY = 0.2f;
constexpr float sandOuterRadius = 26.5f;
constexpr float platformTopY = 1.1f;
constexpr float arcadeRadius = 7.6f;
constexpr float terraceTopY = 3.0f;
constexpr float terraceFrontZ = -18.0f;
constexpr float terraceBackZ = -30.0f;
constexpr float terraceHalfWidth = 20.0f;
constexpr float hillsStartRadius = 85.0f;
constexpr float terrainOuterRadius = 200.0f;
// Clip-space limit for the shadow-receiving lawn, leaving about half a unit to the box edge.
constexpr float lawnBoxLimit = 0.985f;
constexpr int groundAngleSteps = 256;

glm::vec3 polar(float radius, float angleDegrees, float y)
{
    const float a = glm::radians(angleDegrees);
    return {radius * std::sin(a), y, radius * std::cos(a)};
}

std::vector<glm::vec2> scaled(const std::vector<glm::vec2>& profile, float radius, float height)
{
    std::vector<glm::vec2> out;
    for (const glm::vec2& p : profile)
        out.push_back({p.x * radius, p.y * height});
    return out;
}

// Attic base moulding and Doric echinus, in units of the shaft radius and moulding height.
const std::vector<glm::vec2> columnBase = {{1.42f, 0.0f}, {1.42f, 0.24f}, {1.40f, 0.40f}, {1.30f, 0.52f},
                                            {1.12f, 0.58f}, {1.16f, 0.78f}, {1.02f, 0.92f}, {1.0f, 1.0f}, {0.8f, 1.0f}};
const std::vector<glm::vec2> columnCapital = {{0.9f, 0.0f}, {1.0f, 0.0f}, {1.08f, 0.14f}, {1.02f, 0.24f},
                                               {1.18f, 0.46f}, {1.38f, 0.70f}, {1.46f, 0.86f}, {1.46f, 1.0f}, {1.1f, 1.0f}};

struct ColumnStyle {
    float radius;
    float taper;         // top radius over bottom radius
    float baseHeight;
    float shaftHeight;
    float capitalHeight;
    float abacusHeight;
    int flutes;   // 0 for a plain shaft
    int segments; // around the mouldings and plain shafts
};

float columnHeight(const ColumnStyle& s) { return s.baseHeight + s.shaftHeight + s.capitalHeight + s.abacusHeight; }

// A shaft snapped off at an uneven height, with a rough fracture on top.
Mesh makeBrokenShaft(float radius, float height, float jaggedness, int segments, uint32_t seed)
{
    Mesh mesh;
    Prng rng(seed);
    std::vector<float> tops(size_t(segments) + 1);
    for (int s = 0; s < segments; ++s)
        tops[size_t(s)] = height + jaggedness * float(rng.uniform(-1.0, 1.0));
    tops[size_t(segments)] = tops[0];
    const float uScale = std::max(1.0f, std::round(twoPi * radius / marbleTileUnits)) / twoPi;
    std::vector<uint32_t> bottomRing, topRing, capRing;
    for (int s = 0; s <= segments; ++s) {
        const float a = twoPi * float(s) / float(segments);
        const glm::vec3 radial(std::sin(a), 0.0f, std::cos(a));
        bottomRing.push_back(mesh.addVertex(radial * radius, radial, {a * uScale, 0.0f}));
        topRing.push_back(mesh.addVertex(radial * radius + glm::vec3(0.0f, tops[size_t(s)], 0.0f), radial,
                                         {a * uScale, tops[size_t(s)] / marbleTileUnits}));
    }
    for (int s = 0; s < segments; ++s)
        mesh.addQuadFacing(bottomRing[size_t(s)], bottomRing[size_t(s) + 1], topRing[size_t(s) + 1], topRing[size_t(s)]);
    const glm::vec3 centre(0.0f, height + jaggedness * 0.6f, 0.0f);
    for (int s = 0; s < segments; ++s) {
        const glm::vec3 a = mesh.vertices[topRing[size_t(s)]].position;
        const glm::vec3 b = mesh.vertices[topRing[size_t(s) + 1]].position;
        glm::vec3 n = glm::normalize(glm::cross(b - a, centre - a));
        if (n.y < 0.0f)
            n = -n;
        const uint32_t ia = mesh.addVertex(a, n, glm::vec2(a.x, a.z) / marbleTileUnits);
        const uint32_t ib = mesh.addVertex(b, n, glm::vec2(b.x, b.z) / marbleTileUnits);
        const uint32_t ic = mesh.addVertex(centre, n, glm::vec2(0.0f));
        mesh.addTriangleFacing(ia, ib, ic);
    }
    return mesh;
}

// Column standing at foot; the abacus is turned by yaw. brokenHeight > 0 snaps the shaft there.
void addColumn(Mesh& marble, const glm::vec3& foot, float yaw, const ColumnStyle& style, float brokenHeight = -1.0f,
               uint32_t seed = 0)
{
    const glm::mat4 at = placement(foot, yaw);
    marble.append(makeLathe(scaled(columnBase, style.radius, style.baseHeight), style.segments, marbleTileUnits), at);
    const glm::mat4 shaftAt = glm::translate(at, glm::vec3(0.0f, style.baseHeight, 0.0f));
    if (brokenHeight > 0.0f) {
        marble.append(makeBrokenShaft(style.radius, brokenHeight, 0.35f, style.segments, seed), shaftAt);
        return;
    }
    const float topRadius = style.radius * style.taper;
    if (style.flutes > 0)
        marble.append(makeFlutedShaft(style.radius, topRadius, style.shaftHeight, style.flutes, 0.07f, 4, marbleTileUnits), shaftAt);
    else
        marble.append(makeCylinder(style.radius, topRadius, style.shaftHeight, style.segments, marbleTileUnits, false), shaftAt);
    const glm::mat4 capitalAt = glm::translate(shaftAt, glm::vec3(0.0f, style.shaftHeight, 0.0f));
    marble.append(makeLathe(scaled(columnCapital, topRadius, style.capitalHeight), style.segments, marbleTileUnits), capitalAt);
    const float abacusWidth = 2.0f * 1.52f * topRadius;
    marble.append(makeBox({abacusWidth, style.abacusHeight, abacusWidth}, marbleTileUnits),
                  glm::translate(capitalAt, glm::vec3(0.0f, style.capitalHeight, 0.0f)));
}

// Column drum lying on its side on the ground at y, axis turned by yaw.
void addFallenDrum(Mesh& marble, const glm::vec3& centreOnGround, float radius, float length, float yaw)
{
    const std::vector<glm::vec2> profile = {{0.0f, 0.0f}, {radius, 0.0f}, {radius, length}, {0.0f, length}};
    glm::mat4 at = placement(centreOnGround + glm::vec3(0.0f, radius * 0.92f, 0.0f), yaw);
    at = glm::rotate(at, pi * 0.5f, glm::vec3(0.0f, 0.0f, 1.0f));
    at = glm::translate(at, glm::vec3(0.0f, -0.5f * length, 0.0f));
    marble.append(makeLathe(profile, 20, marbleTileUnits), at);
}

// Loose blocks and fragments scattered around a collapse.
void addRubble(Mesh& stone, const glm::vec3& centre, float spread, int count, float groundY, uint32_t seed)
{
    Prng rng(seed);
    for (int i = 0; i < count; ++i) {
        const float angle = float(rng.uniform(0.0, twoPi));
        const float distance = spread * float(std::sqrt(rng.uniform()));
        // One draw per statement: argument evaluation order differs between compilers.
        const float width = float(rng.uniform(0.35, 0.95));
        const float height = float(rng.uniform(0.25, 0.55));
        const float depth = float(rng.uniform(0.3, 0.7));
        const glm::vec3 size(width, height, depth);
        const glm::vec3 where = centre + glm::vec3(distance * std::sin(angle), 0.0f, distance * std::cos(angle));
        glm::mat4 at = placement({where.x, groundY - 0.06f, where.z}, float(rng.uniform(0.0, twoPi)));
        at = glm::rotate(at, float(rng.uniform(-0.35, 0.35)), glm::vec3(1.0f, 0.0f, 0.0f));
        const float offsetU = float(rng.uniform(0.0, 6.0));
        const float offsetV = float(rng.uniform(0.0, 6.0));
        const glm::vec2 offset(offsetU, offsetV);
        stone.append(makeBox(size, stoneTileUnits, offset, true), at);
    }
}

// Flat quad with UVs projected onto its own plane, for caps of odd shapes.
void addCap(Mesh& mesh, const glm::vec3& a, const glm::vec3& b, const glm::vec3& c, const glm::vec3& d,
            const glm::vec3& outward, float tileSize)
{
    const glm::vec3 n = glm::normalize(outward);
    const glm::vec3 helper = std::fabs(n.y) > 0.9f ? glm::vec3(1.0f, 0.0f, 0.0f) : glm::vec3(0.0f, 1.0f, 0.0f);
    const glm::vec3 s = glm::normalize(glm::cross(helper, n));
    const glm::vec3 t = glm::cross(n, s);
    auto uv = [&](const glm::vec3& p) { return glm::vec2(glm::dot(p, s), glm::dot(p, t)) / tileSize; };
    const uint32_t ia = mesh.addVertex(a, n, uv(a));
    const uint32_t ib = mesh.addVertex(b, n, uv(b));
    const uint32_t ic = mesh.addVertex(c, n, uv(c));
    const uint32_t id = mesh.addVertex(d, n, uv(d));
    mesh.addQuadFacing(ia, ib, ic, id);
}

// Partial ring of wall between two angles (degrees from +Z toward +X), with closed ends.
void addWallArc(Mesh& mesh, float innerRadius, float outerRadius, float y0, float y1, float angle0, float angle1,
                float tileSize)
{
    const float a0 = glm::radians(angle0), a1 = glm::radians(angle1);
    const int segments = std::max(2, int(std::ceil((a1 - a0) * outerRadius / 1.5f)));
    const std::vector<glm::vec2> profile = {{outerRadius, y0}, {outerRadius, y1}, {innerRadius, y1}, {innerRadius, y0}, {outerRadius, y0}};
    mesh.append(makeLathe(profile, segments, tileSize, 40.0f, a0, a1));
    for (int end = 0; end < 2; ++end) {
        const float a = end == 0 ? a0 : a1;
        const glm::vec3 radial(std::sin(a), 0.0f, std::cos(a));
        const glm::vec3 tangent(std::cos(a), 0.0f, -std::sin(a));
        addCap(mesh, radial * innerRadius + glm::vec3(0, y0, 0), radial * outerRadius + glm::vec3(0, y0, 0),
               radial * outerRadius + glm::vec3(0, y1, 0), radial * innerRadius + glm::vec3(0, y1, 0),
               end == 0 ? -tangent : tangent, tileSize);
    }
}

// Orientation-preserving map that bends a straight span (x along it, z across) onto the chord
// between two ring posts, with its ends mitred along the radii so neighbouring spans meet flush.
PointMap ringSpanMap(float ringRadius, float middleAngleDegrees, float halfSpanDegrees)
{
    const float a = glm::radians(middleAngleDegrees);
    const glm::vec3 outward(std::sin(a), 0.0f, std::cos(a));
    const glm::vec3 along(std::cos(a), 0.0f, -std::sin(a));
    const float chordDistance = ringRadius * std::cos(glm::radians(halfSpanDegrees));
    return [=](const glm::vec3& p) {
        const float scale = (chordDistance + p.z) / chordDistance;
        return outward * (chordDistance + p.z) + along * (p.x * scale) + glm::vec3(0.0f, p.y, 0.0f);
    };
}

// Wall panel outline with a round arch cut from its bottom edge, counter-clockwise.
std::vector<glm::vec2> archOutline(float halfWidth, float springY, float archRadius, float topY, int arcSegments,
                                   float bottomY)
{
    std::vector<glm::vec2> outline = {{-halfWidth, bottomY}, {-archRadius, bottomY}};
    if (springY > bottomY)
        outline.push_back({-archRadius, springY});
    for (int i = 1; i < arcSegments; ++i) {
        const float t = pi * (1.0f - float(i) / float(arcSegments));
        outline.push_back({archRadius * std::cos(t), springY + archRadius * std::sin(t)});
    }
    if (springY > bottomY)
        outline.push_back({archRadius, springY});
    outline.insert(outline.end(), {{archRadius, bottomY}, {halfWidth, bottomY}, {halfWidth, topY}, {-halfWidth, topY}});
    return outline;
}

// The visitor-side figure on a plinth: robed, arms at the sides, slightly flattened front to back.
void addStatue(Mesh& marble, const glm::vec3& foot, float height, float yaw)
{
    // Proportions as fractions of the figure's height.
    const std::vector<glm::vec2> robe = {{0.14f, 0.0f}, {0.14f, 0.02f}, {0.13f, 0.04f}, {0.12f, 0.20f}, {0.11f, 0.40f},
                                         {0.095f, 0.55f}, {0.10f, 0.62f}, {0.11f, 0.70f}, {0.12f, 0.78f},
                                         {0.115f, 0.81f}, {0.06f, 0.83f}, {0.04f, 0.845f}, {0.042f, 0.86f},
                                         {0.055f, 0.88f}, {0.06f, 0.92f}, {0.055f, 0.955f}, {0.035f, 0.985f}, {0.0f, 0.995f}};
    glm::mat4 at = placement(foot, yaw);
    marble.append(makeLathe(scaled(robe, height, height), 28, marbleTileUnits, 50.0f),
                  glm::scale(at, glm::vec3(1.0f, 1.0f, 0.72f)));
    for (int side = -1; side <= 1; side += 2) {
        const glm::vec3 shoulder = glm::vec3(at * glm::vec4(0.118f * height * float(side), 0.785f * height, 0.0f, 1.0f));
        const glm::vec3 hand = glm::vec3(at * glm::vec4(0.128f * height * float(side), 0.50f * height, 0.03f * height, 1.0f));
        marble.append(makeCylinder(0.032f * height, 0.026f * height, glm::length(hand - shoulder), 12, marbleTileUnits, true),
                      alongSegment(shoulder, hand));
        marble.append(makeSphere(0.036f * height, 12, 6, marbleTileUnits), glm::translate(glm::mat4(1.0f), shoulder));
    }
}

void addUrn(Mesh& marble, const glm::vec3& foot, float height)
{
    const std::vector<glm::vec2> urn = {{0.28f, 0.0f}, {0.28f, 0.06f}, {0.17f, 0.10f}, {0.12f, 0.18f}, {0.21f, 0.25f},
                                        {0.38f, 0.40f}, {0.45f, 0.55f}, {0.41f, 0.71f}, {0.25f, 0.83f}, {0.20f, 0.90f},
                                        {0.30f, 0.95f}, {0.30f, 1.0f}, {0.18f, 1.0f}, {0.16f, 0.93f}, {0.0f, 0.93f}};
    marble.append(makeLathe(scaled(urn, height, height), 14, marbleTileUnits, 45.0f), glm::translate(glm::mat4(1.0f), foot));
}

void addLamp(Mesh& brass, Mesh& glass, const glm::vec3& foot, float postHeight)
{
    const std::vector<glm::vec2> post = {{0.24f, 0.0f}, {0.24f, 0.10f}, {0.17f, 0.18f}, {0.10f, 0.32f}, {0.075f, 0.5f},
                                         {0.06f, postHeight - 0.15f}, {0.11f, postHeight - 0.08f},
                                         {0.11f, postHeight}, {0.0f, postHeight}};
    const glm::mat4 at = glm::translate(glm::mat4(1.0f), foot);
    brass.append(makeLathe(post, 14, brassTileUnits, 45.0f), at);
    const float plateY = foot.y + postHeight;
    brass.append(makeBox({0.56f, 0.06f, 0.56f}, brassTileUnits), glm::translate(glm::mat4(1.0f), {foot.x, plateY, foot.z}));
    constexpr float paneWidth = 0.42f;
    constexpr float paneHeight = 0.56f;
    const float y = plateY + 0.06f;
    const float h = paneWidth * 0.5f;
    const glm::vec3 up(0.0f, paneHeight, 0.0f);
    addUnitFace(glass, foot * glm::vec3(1, 0, 1) + glm::vec3(-h, y, h), {paneWidth, 0, 0}, up);
    addUnitFace(glass, foot * glm::vec3(1, 0, 1) + glm::vec3(h, y, h), {0, 0, -paneWidth}, up);
    addUnitFace(glass, foot * glm::vec3(1, 0, 1) + glm::vec3(h, y, -h), {-paneWidth, 0, 0}, up);
    addUnitFace(glass, foot * glm::vec3(1, 0, 1) + glm::vec3(-h, y, -h), {0, 0, paneWidth}, up);
    for (int corner = 0; corner < 4; ++corner) {
        const float cx = (corner & 1) ? h : -h;
        const float cz = (corner & 2) ? h : -h;
        brass.append(makeBox({0.05f, paneHeight, 0.05f}, brassTileUnits), glm::translate(glm::mat4(1.0f), {foot.x + cx, y, foot.z + cz}));
    }
    brass.append(makePyramid(0.62f, 0.34f, brassTileUnits), glm::translate(glm::mat4(1.0f), {foot.x, y + paneHeight, foot.z}));
    brass.append(makeSphere(0.07f, 10, 5, brassTileUnits), glm::translate(glm::mat4(1.0f), {foot.x, y + paneHeight + 0.38f, foot.z}));
}

void addCrateStack(Mesh& wood, const glm::vec3& base, float yaw, const std::vector<glm::vec4>& crates, uint32_t seed)
{
    // Each crate: local x, level, local z, size. Levels stack on the crates below.
    Prng rng(seed);
    const glm::mat4 at = placement(base, yaw);
    for (const glm::vec4& c : crates) {
        const float size = c.w;
        const glm::mat4 crateAt = glm::rotate(glm::translate(at, glm::vec3(c.x, c.y, c.z)), float(rng.uniform(-0.15, 0.15)),
                                              glm::vec3(0.0f, 1.0f, 0.0f));
        wood.append(makeBox({size, size, size}, size), crateAt);
    }
}

void addCypress(Mesh& bark, Mesh& foliage, const glm::vec3& foot, float height, float radius, uint32_t seed)
{
    bark.append(makeCylinder(0.26f, 0.16f, 1.8f, 10, barkTileUnits, false), glm::translate(glm::mat4(1.0f), foot));
    const float crownBottom = 0.9f;
    auto surface = [=](float angle, float t) {
        const float swell = t < 0.2f ? std::pow(std::sin(t / 0.2f * pi * 0.5f), 0.6f) : std::pow(1.0f - (t - 0.2f) / 0.8f, 0.8f);
        const float y = crownBottom + t * (height - crownBottom);
        const float lump = 1.0f + 0.24f * float(fbm3(std::sin(angle) * 1.3, y * 0.55, std::cos(angle) * 1.3, 3, 0.5, seed));
        const float r = radius * swell * lump;
        return foot + glm::vec3(r * std::sin(angle), y, r * std::cos(angle));
    };
    foliage.append(makeSweptSurface(surface, 16, 22, radius / leavesTileUnits, (height - crownBottom) / leavesTileUnits));
}

void addBroadleaf(Mesh& bark, Mesh& foliage, const glm::vec3& foot, float height, float crownRadius, uint32_t seed)
{
    Prng rng(seed);
    const float leanX = float(rng.uniform(-0.5, 0.5));
    const float leanZ = float(rng.uniform(-0.5, 0.5));
    const glm::vec3 lean(leanX, 0.0f, leanZ);
    const glm::vec3 fork = foot + glm::vec3(0.0f, height * 0.42f, 0.0f) + lean;
    bark.append(makeCylinder(0.42f, 0.3f, glm::length(fork - foot), 12, barkTileUnits, false), alongSegment(foot, fork));
    const glm::vec3 crownCentre = foot + glm::vec3(0.0f, height - crownRadius * 0.85f, 0.0f) + lean * 1.5f;
    const int blobs = 6;
    for (int i = 0; i < blobs; ++i) {
        glm::vec3 centre = crownCentre;
        float size = crownRadius * 0.62f;
        if (i > 0) {
            const float angle = twoPi * (float(i) + float(rng.uniform(-0.3, 0.3))) / float(blobs - 1);
            const float reach = crownRadius * float(rng.uniform(0.45, 0.62));
            centre += glm::vec3(reach * std::sin(angle), crownRadius * float(rng.uniform(-0.35, 0.2)), reach * std::cos(angle));
            size = crownRadius * float(rng.uniform(0.42, 0.55));
            if (i % 2 == 1) {
                const glm::vec3 branchEnd = glm::mix(fork, centre, 0.8f);
                bark.append(makeCylinder(0.2f, 0.09f, glm::length(branchEnd - fork), 8, barkTileUnits, false),
                            alongSegment(fork, branchEnd));
            }
        } else {
            centre.y += crownRadius * 0.25f;
        }
        foliage.append(makeBlob({size, size * 0.78f, size}, 2, 0.28f, 1.6f, seed * 31u + uint32_t(i), leavesTileUnits),
                       glm::translate(glm::mat4(1.0f), centre));
    }
}

void addShrub(Mesh& foliage, const glm::vec3& foot, float radius, uint32_t seed)
{
    foliage.append(makeBlob({radius, radius * 0.75f, radius}, 1, 0.3f, 1.8f, seed, leavesTileUnits),
                   glm::translate(glm::mat4(1.0f), foot + glm::vec3(0.0f, radius * 0.45f, 0.0f)));
}

// Hills rise toward the dome, and low swells start only where the shadow box ends, so the lawn
// that receives shadows stays exactly flat.
float terrainHeight(float x, float z)
{
    const float r = std::hypot(x, z);
    if (r < sandOuterRadius)
        return 0.0f;
    const float beyond = lightBoxOverhang({x, 0.0f, z}, lawnBoxLimit);
    if (beyond <= 0.0f)
        return 0.0f;
    const float angle = std::atan2(x, z);
    // Everything fades in from the box edge, where the far lawn must meet the flat lawn exactly.
    const float rise = float(smoothstep(0.0, 35.0, beyond));
    const float swell = 5.0f * (0.5f + 0.5f * float(fbm(x / 28.0, z / 28.0, 0, 0, 3, 0.5, 71)));
    const float ridge = 0.5f + 0.5f * float(fbm(std::sin(angle) * 2.2 + 5.0, std::cos(angle) * 2.2, 0, 0, 4, 0.5, 72));
    const float hills = std::pow(float(smoothstep(hillsStartRadius - 20.0f, terrainOuterRadius - 5.0f, r)), 1.3f) *
                        (7.0f + 14.0f * ridge + 3.0f * float(fbm(x / 18.0, z / 18.0, 0, 0, 3, 0.5, 73)));
    return rise * (swell + hills);
}

void buildGround(Scene& scene)
{
    auto flat = [](float, float) { return 0.0f; };
    auto reach = [](float angle) { return lightBoxGroundReach(angle, lawnBoxLimit); };

    // Plaza paving, the platform top and the sand border share their ring radii where they meet.
    scene.mesh("Paving").append(makeRadialSheet(groundAngleSteps, 4, [](int ring, float) { return 10.8f + (plazaRadius - 10.8f) * float(ring) / 4.0f; },
                                                [](float, float) { return plazaTopY; }, pavingTileUnits));
    scene.mesh("Paving").append(makeRadialSheet(128, 2, [](int ring, float) { return 4.1f + (9.3f - 4.1f) * float(ring) / 2.0f; },
                                                [](float, float) { return platformTopY; }, pavingTileUnits));
    scene.mesh("Masonry").append(makeLathe({{plazaRadius, -0.1f}, {plazaRadius, plazaTopY}}, groundAngleSteps, stoneTileUnits));
    scene.mesh("Sand").append(makeRadialSheet(groundAngleSteps, 2, [](int ring, float) { return plazaRadius + (sandOuterRadius - plazaRadius) * float(ring) / 2.0f; },
                                              flat, sandTileUnits));

    constexpr int lawnRings = 6;
    scene.mesh("Lawn").append(makeRadialSheet(groundAngleSteps, lawnRings,
                                              [&](int ring, float angle) {
                                                  const float t = float(ring) / float(lawnRings);
                                                  return sandOuterRadius + (reach(angle) - sandOuterRadius) * t;
                                              },
                                              flat, grassTileUnits));

    constexpr int outerLawnRings = 10;
    scene.mesh("OuterLawn").append(makeRadialSheet(groundAngleSteps, outerLawnRings,
                                                   [&](int ring, float angle) {
                                                       const float t = float(ring) / float(outerLawnRings);
                                                       const float inner = reach(angle);
                                                       return inner * std::pow(hillsStartRadius / inner, t);
                                                   },
                                                   terrainHeight, grassTileUnits));

    constexpr int hillRings = 16;
    constexpr float hillTextureRepeats = 6.0f;
    scene.mesh("DistantHills").append(makeRadialSheet(groundAngleSteps, hillRings,
                                                      [](int ring, float) {
                                                          const float t = float(ring) / float(hillRings);
                                                          return hillsStartRadius + (terrainOuterRadius - hillsStartRadius) * t;
                                                      },
                                                      terrainHeight, 1.0f,
                                                      [](float, float, float angle, int ring) {
                                                          return glm::vec2(angle / twoPi * hillTextureRepeats, float(ring) / float(hillRings));
                                                      }));
}

void buildSky(Scene& scene)
{
    Mesh& sky = scene.mesh("SkyDome");
    constexpr int segmentCount = 72;
    constexpr int ringCount = 22;
    // Uniform lighting: every sky normal points at the sun, so N.L is 1 everywhere.
    const glm::vec3 normal = lightDirection();
    const float lowest = glm::radians(skyLowestElevationDegrees);
    std::vector<uint32_t> rings;
    for (int ring = 0; ring < ringCount; ++ring) {
        const float elevation = lowest + (pi * 0.5f - lowest) * float(ring) / float(ringCount);
        for (int s = 0; s < segmentCount; ++s) {
            const float azimuth = twoPi * float(s) / float(segmentCount);
            const glm::vec3 d(std::cos(elevation) * std::sin(azimuth), std::sin(elevation), std::cos(elevation) * std::cos(azimuth));
            sky.addVertex(d * skyDomeRadius, normal, skyDomeUv(d));
        }
    }
    const uint32_t zenith = sky.addVertex({0.0f, skyDomeRadius, 0.0f}, normal, {0.5f, 0.5f});
    // Wound clockwise as seen from outside, i.e. counter-clockwise from within the dome.
    for (int ring = 0; ring + 1 < ringCount; ++ring) {
        for (int s = 0; s < segmentCount; ++s) {
            const uint32_t a = uint32_t(ring * segmentCount + s);
            const uint32_t b = uint32_t(ring * segmentCount + (s + 1) % segmentCount);
            const uint32_t c = b + segmentCount;
            const uint32_t d = a + segmentCount;
            sky.addTriangle(a, c, b);
            sky.addTriangle(a, d, c);
        }
    }
    for (int s = 0; s < segmentCount; ++s) {
        const uint32_t a = uint32_t((ringCount - 1) * segmentCount + s);
        const uint32_t b = uint32_t((ringCount - 1) * segmentCount + (s + 1) % segmentCount);
        sky.addTriangle(a, zenith, b);
    }
}

void buildCentrePiece(Scene& scene)
{
    Mesh& stone = scene.mesh("Masonry");
    Mesh& marble = scene.mesh("Marble");
    Mesh& granite = scene.mesh("Granite");
    Mesh& brass = scene.mesh("Brass");

    // Steps all round lift the centre piece and give the ambient occlusion a run of crevices.
    stone.append(makeLathe({{11.0f, 0.1f}, {11.0f, 0.47f}, {10.45f, 0.47f}, {10.45f, 0.79f}, {9.9f, 0.79f},
                            {9.9f, platformTopY}, {9.3f, platformTopY}},
                           128, stoneTileUnits));

    // The moulded rim and bright water mark the orbit centre from every angle.
    marble.append(makeLathe({{4.3f, platformTopY - 0.05f}, {4.3f, 1.72f}, {4.46f, 1.78f}, {4.46f, 1.95f}, {4.26f, 2.03f},
                             {3.86f, 2.03f}, {3.76f, 1.95f}, {3.76f, 1.55f}},
                            96, marbleTileUnits));
    scene.mesh("Water").append(makeRadialSheet(96, 3, [](int ring, float) { return 1.0f + 2.8f * float(ring) / 3.0f; },
                                               [](float, float) { return 1.8f; }, waterTileUnits));

    // Dark granite sets off the white column and the brass above it.
    granite.append(makeBox({3.2f, 1.3f, 3.2f}, graniteTileUnits), glm::translate(glm::mat4(1.0f), {0.0f, platformTopY, 0.0f}));
    granite.append(makeBox({2.3f, 0.5f, 2.3f}, graniteTileUnits, {0.3f, 0.7f}), glm::translate(glm::mat4(1.0f), {0.0f, 2.4f, 0.0f}));
    for (int corner = 0; corner < 4; ++corner) {
        const float cx = (corner & 1) ? 1.38f : -1.38f;
        const float cz = (corner & 2) ? 1.38f : -1.38f;
        addUrn(marble, {cx, 2.4f, cz}, 0.5f);
    }

    ColumnStyle monument{0.72f, 0.88f, 0.5f, 4.85f, 0.6f, 0.25f, 20, 40};
    addColumn(marble, {0.0f, 2.9f, 0.0f}, 0.0f, monument);
    const float columnTop = 2.9f + columnHeight(monument);

    // An armillary sphere crowns the monument: its open rings throw lacy shadows onto the column
    // and catch specular highlights from any side.
    brass.append(makeLathe({{0.56f, 0.0f}, {0.56f, 0.08f}, {0.3f, 0.16f}, {0.16f, 0.3f}, {0.12f, 0.46f}, {0.22f, 0.52f},
                            {0.22f, 0.58f}, {0.0f, 0.58f}},
                           24, brassTileUnits, 45.0f),
                 glm::translate(glm::mat4(1.0f), {0.0f, columnTop, 0.0f}));
    const glm::vec3 centre(0.0f, columnTop + 0.58f + 1.9f, 0.0f);
    const glm::mat4 atCentre = glm::translate(glm::mat4(1.0f), centre);
    const float tilt = glm::radians(23.4f);
    const glm::mat4 polarFrame = glm::rotate(glm::rotate(atCentre, glm::radians(30.0f), {0, 1, 0}), tilt, {0, 0, 1});
    brass.append(makeTorus(2.05f, 0.09f, 56, 8, brassTileUnits), atCentre);
    brass.append(makeTorus(1.9f, 0.075f, 56, 7, brassTileUnits), glm::rotate(polarFrame, pi * 0.5f, {1, 0, 0}));
    brass.append(makeTorus(1.9f, 0.075f, 56, 7, brassTileUnits), glm::rotate(glm::rotate(polarFrame, pi * 0.5f, {0, 1, 0}), pi * 0.5f, {1, 0, 0}));
    brass.append(makeTorus(1.82f, 0.07f, 56, 7, brassTileUnits), polarFrame);
    brass.append(makeTorus(1.75f, 0.11f, 56, 6, brassTileUnits), glm::rotate(polarFrame, 2.0f * tilt, {1, 0, 0}));
    const glm::vec3 axis = glm::vec3(polarFrame * glm::vec4(0.0f, 1.0f, 0.0f, 0.0f));
    brass.append(makeCylinder(0.05f, 0.05f, 4.5f, 8, brassTileUnits, true), alongSegment(centre - axis * 2.25f, centre + axis * 2.25f));
    brass.append(makeSphere(0.14f, 12, 6, brassTileUnits), glm::translate(glm::mat4(1.0f), centre + axis * 2.3f));
    brass.append(makeSphere(0.6f, 24, 12, brassTileUnits), atCentre);
}

void buildArcade(Scene& scene)
{
    Mesh& marble = scene.mesh("Marble");
    Mesh& stone = scene.mesh("Masonry");
    constexpr int columns = 12;
    constexpr float spacingDegrees = 360.0f / columns;
    constexpr int brokenColumn = 6; // at 195 degrees, at the back
    const ColumnStyle style{0.40f, 0.87f, 0.35f, 5.7f, 0.45f, 0.12f, 0, 20};
    const float springY = platformTopY + columnHeight(style);
    const float topY = springY + 2.05f;

    for (int i = 0; i < columns; ++i) {
        const float angle = 15.0f + spacingDegrees * float(i);
        const glm::vec3 foot = polar(arcadeRadius, angle, platformTopY);
        if (i == brokenColumn) {
            addColumn(marble, foot, glm::radians(angle), style, 2.6f, 405);
            addFallenDrum(marble, polar(arcadeRadius + 1.3f, angle - 4.0f, platformTopY), 0.38f, 1.2f, glm::radians(angle + 70.0f));
            addFallenDrum(marble, polar(arcadeRadius + 3.2f, angle + 3.0f, platformTopY - 0.63f), 0.37f, 1.0f, glm::radians(angle + 20.0f));
            addRubble(stone, polar(arcadeRadius + 4.8f, angle - 2.0f, 0.0f), 2.2f, 9, plazaTopY, 406);
            continue;
        }
        addColumn(marble, foot, glm::radians(angle), style);
    }

    const float chord = 2.0f * arcadeRadius * std::sin(glm::radians(spacingDegrees * 0.5f));
    const float archRadius = chord * 0.5f - 0.55f;
    for (int i = 0; i < columns; ++i) {
        const int next = (i + 1) % columns;
        // The front span is the entrance; the two spans at the broken column have fallen.
        if (i == columns - 1 || i == brokenColumn || next == brokenColumn)
            continue;
        const float middle = 15.0f + spacingDegrees * (float(i) + 0.5f);
        const PointMap map = ringSpanMap(arcadeRadius, middle, spacingDegrees * 0.5f);
        stone.append(makeExtrusion(archOutline(chord * 0.5f, springY, archRadius, topY, 14, springY), -0.4f, 0.4f,
                                   stoneTileUnits, 30.0f, map));
        const std::vector<glm::vec2> cornice = {{-chord * 0.5f, topY}, {chord * 0.5f, topY}, {chord * 0.5f, topY + 0.24f}, {-chord * 0.5f, topY + 0.24f}};
        marble.append(makeExtrusion(cornice, -0.55f, 0.55f, marbleTileUnits, 30.0f, map));
        // Keystones stand proud of the face so each arch gets a small cast shadow.
        const std::vector<glm::vec2> key = {{-0.2f, springY + archRadius - 0.05f}, {0.2f, springY + archRadius - 0.05f},
                                            {0.26f, springY + archRadius + 0.55f}, {-0.26f, springY + archRadius + 0.55f}};
        marble.append(makeExtrusion(key, 0.3f, 0.5f, marbleTileUnits, 30.0f, map));
    }
}

void buildColonnades(Scene& scene)
{
    Mesh& marble = scene.mesh("Marble");
    Mesh& stone = scene.mesh("Masonry");
    const ColumnStyle style{0.62f, 0.86f, 0.5f, 10.3f, 0.75f, 0.28f, 16, 24};
    const float plinthHeight = 0.6f;
    const float zs[] = {-9.0f, -3.0f, 3.0f, 9.0f};
    for (int side = -1; side <= 1; side += 2) {
        const float x = 17.0f * float(side);
        for (int i = 0; i < 4; ++i) {
            const glm::vec3 foot(x, plazaTopY, zs[i]);
            marble.append(makeBox({1.9f, plinthHeight, 1.9f}, marbleTileUnits), glm::translate(glm::mat4(1.0f), foot));
            const glm::vec3 columnFoot = foot + glm::vec3(0.0f, plinthHeight, 0.0f);
            if (side < 0 && i == 0) {
                addColumn(marble, columnFoot, 0.0f, style, 4.2f, 501);
                addFallenDrum(marble, {x - 2.3f, plazaTopY, zs[i] - 1.6f}, 0.6f, 1.6f, 0.5f);
                addFallenDrum(marble, {x - 4.6f, plazaTopY, zs[i] + 0.4f}, 0.58f, 1.5f, 1.4f);
                addRubble(stone, {x - 2.5f, 0.0f, zs[i] - 3.5f}, 2.0f, 7, plazaTopY, 502);
                continue;
            }
            addColumn(marble, columnFoot, 0.0f, style);
        }
        // Architraves survive over only three columns a side, so the ruin reads as one from every angle.
        const float beamY = plazaTopY + plinthHeight + columnHeight(style);
        const float z0 = side > 0 ? zs[0] : zs[1];
        const float z1 = side > 0 ? zs[2] : zs[3];
        const glm::vec3 beamFoot(x, beamY, 0.5f * (z0 + z1));
        marble.append(makeBox({1.55f, 0.9f, z1 - z0 + 1.7f}, marbleTileUnits, {0.37f, 0.11f}), glm::translate(glm::mat4(1.0f), beamFoot));
        marble.append(makeBox({1.8f, 0.22f, z1 - z0 + 1.95f}, marbleTileUnits), glm::translate(glm::mat4(1.0f), beamFoot + glm::vec3(0.0f, 0.9f, 0.0f)));
    }
}

// Straight flight rising toward -Z from frontZ back to wallZ, between x0 and x1, starting at baseY.
void addStairFlight(Mesh& mesh, float wallZ, float x0, float x1, float baseY, int steps, float rise, float run)
{
    std::vector<glm::vec2> profile = {{0.0f, 0.0f}, {run * float(steps), 0.0f}};
    for (int step = 0; step < steps; ++step) {
        const float front = run * float(steps - step);
        profile.push_back({front, rise * float(step + 1)});
        profile.push_back({front - run, rise * float(step + 1)});
    }
    profile.pop_back();
    profile.push_back({0.0f, rise * float(steps)});
    // Profile x runs forward from the wall; extrusion z runs across the flight toward -X.
    const PointMap forward = [=](const glm::vec3& p) { return glm::vec3(-p.z, baseY + p.y, wallZ + p.x); };
    mesh.append(makeExtrusion(profile, -x1, -x0, stoneTileUnits, 20.0f, forward));
}

void buildTerrace(Scene& scene)
{
    Mesh& stone = scene.mesh("Masonry");
    Mesh& marble = scene.mesh("Marble");
    Mesh& sand = scene.mesh("Sand");
    const float w = terraceHalfWidth;
    const float depth = terraceFrontZ - terraceBackZ;
    constexpr float stairHalfWidth = 5.5f;
    constexpr float cheekWidth = 0.8f;
    const float cheekOuter = stairHalfWidth + cheekWidth;

    // Niches give the long terrace wall depth and pockets of occlusion.
    const float nicheCentres[] = {10.5f, 14.5f, 18.0f};
    std::vector<Recess> leftNiches, rightNiches;
    for (float c : nicheCentres) {
        leftNiches.push_back({-c + w - 0.7f, 0.6f, -c + w + 0.7f, 2.5f, 0.75f});
        rightNiches.push_back({c - cheekOuter - 0.7f, 0.6f, c - cheekOuter + 0.7f, 2.5f, 0.75f});
        addUrn(marble, {-c, 0.6f, terraceFrontZ - 0.38f}, 0.8f);
        addUrn(marble, {c, 0.6f, terraceFrontZ - 0.38f}, 0.8f);
    }
    addPanel(stone, {-w, 0.0f, terraceFrontZ}, {1, 0, 0}, {0, 1, 0}, w - cheekOuter, terraceTopY, leftNiches, stoneTileUnits);
    addPanel(stone, {cheekOuter, 0.0f, terraceFrontZ}, {1, 0, 0}, {0, 1, 0}, w - cheekOuter, terraceTopY, rightNiches, stoneTileUnits);
    addPanel(stone, {-w, 0.0f, terraceBackZ}, {0, 0, 1}, {0, 1, 0}, depth, terraceTopY, {}, stoneTileUnits);
    addPanel(stone, {w, 0.0f, terraceFrontZ}, {0, 0, -1}, {0, 1, 0}, depth, terraceTopY, {}, stoneTileUnits);
    addPanel(stone, {w, 0.0f, terraceBackZ}, {-1, 0, 0}, {0, 1, 0}, 2.0f * w, terraceTopY, {}, stoneTileUnits);

    // Light sand on top catches the sun for bloom; the coping lip draws a thin shadow line.
    addFace(sand, {-w, terraceTopY, terraceFrontZ}, {2.0f * w, 0, 0}, {0, 0, -depth}, sandTileUnits);
    const float lip = 0.18f;
    const float copingY = terraceTopY - 0.12f;
    marble.append(makeBox({w - stairHalfWidth + lip, 0.3f, 0.6f}, marbleTileUnits), glm::translate(glm::mat4(1.0f), {-(w + stairHalfWidth + lip) * 0.5f, copingY, terraceFrontZ - 0.3f + lip}));
    marble.append(makeBox({w - stairHalfWidth + lip, 0.3f, 0.6f}, marbleTileUnits), glm::translate(glm::mat4(1.0f), {(w + stairHalfWidth + lip) * 0.5f, copingY, terraceFrontZ - 0.3f + lip}));
    marble.append(makeBox({2.0f * w + 2.0f * lip, 0.3f, 0.6f}, marbleTileUnits), glm::translate(glm::mat4(1.0f), {0.0f, copingY, terraceBackZ + 0.3f - lip}));
    marble.append(makeBox({0.6f, 0.3f, depth - 1.2f + 2.0f * lip}, marbleTileUnits), glm::translate(glm::mat4(1.0f), {-w + 0.3f - lip, copingY, 0.5f * (terraceFrontZ + terraceBackZ)}));
    marble.append(makeBox({0.6f, 0.3f, depth - 1.2f + 2.0f * lip}, marbleTileUnits), glm::translate(glm::mat4(1.0f), {w - 0.3f + lip, copingY, 0.5f * (terraceFrontZ + terraceBackZ)}));

    constexpr int stepCount = 10;
    constexpr float stepRun = 0.55f;
    addStairFlight(stone, terraceFrontZ, -stairHalfWidth, stairHalfWidth, 0.0f, stepCount, terraceTopY / stepCount, stepRun);
    const PointMap forward = [](const glm::vec3& p) { return glm::vec3(-p.z, p.y, terraceFrontZ + p.x); };
    const float cheekLength = stepRun * stepCount + 0.4f;
    const std::vector<glm::vec2> cheek = {{0.0f, 0.0f}, {cheekLength, 0.0f}, {cheekLength, 0.9f}, {0.0f, terraceTopY + 0.55f}};
    marble.append(makeExtrusion(cheek, -cheekOuter, -stairHalfWidth, marbleTileUnits, 20.0f, forward));
    marble.append(makeExtrusion(cheek, stairHalfWidth, cheekOuter, marbleTileUnits, 20.0f, forward));
    for (int side = -1; side <= 1; side += 2) {
        const float x = (stairHalfWidth + cheekWidth * 0.5f) * float(side);
        marble.append(makeBox({1.15f, 1.3f, 1.15f}, marbleTileUnits), glm::translate(glm::mat4(1.0f), {x, 0.0f, terraceFrontZ + cheekLength + 0.2f}));
        addLamp(scene.mesh("Brass"), scene.mesh("Lanterns"), {x, 1.3f, terraceFrontZ + cheekLength + 0.2f}, 1.7f);
        // Tall statues flank the stair and throw long shadows across the terrace wall.
        const float sx = 8.4f * float(side);
        const float sz = terraceFrontZ + 1.6f;
        stone.append(makeBox({1.9f, 2.4f, 1.9f}, stoneTileUnits, {0.2f, 0.5f}), glm::translate(glm::mat4(1.0f), {sx, 0.0f, sz}));
        marble.append(makeBox({2.15f, 0.25f, 2.15f}, marbleTileUnits), glm::translate(glm::mat4(1.0f), {sx, 2.4f, sz}));
        addStatue(marble, {sx, 2.65f, sz}, 4.1f, glm::radians(-12.0f * float(side)));
    }
}

void buildGate(Scene& scene)
{
    Mesh& stone = scene.mesh("Masonry");
    Mesh& marble = scene.mesh("Marble");
    const float baseY = terraceTopY;
    const float z = -24.0f;
    const float halfDepth = 1.5f;
    const float bodyTop = 11.5f;
    const PointMap onTerrace = [=](const glm::vec3& p) { return glm::vec3(p.x, baseY + p.y, z + p.z); };
    stone.append(makeExtrusion(archOutline(6.0f, 6.2f, 2.4f, bodyTop, 20, 0.0f), -halfDepth, halfDepth, stoneTileUnits, 30.0f, onTerrace));

    // Engaged columns on both faces, so the gate also reads from orbits behind the terrace.
    const ColumnStyle style{0.42f, 0.86f, 0.35f, 7.6f, 0.5f, 0.15f, 0, 18};
    for (int face = -1; face <= 1; face += 2) {
        const float columnZ = z + float(face) * (halfDepth + 0.05f);
        for (float x : {-5.1f, -3.4f, 3.4f, 5.1f}) {
            marble.append(makeBox({1.1f, 1.2f, 1.1f}, marbleTileUnits), glm::translate(glm::mat4(1.0f), {x, baseY, columnZ}));
            addColumn(marble, {x, baseY + 1.2f, columnZ}, 0.0f, style);
        }
    }
    const float bandY = baseY + 1.2f + columnHeight(style);
    marble.append(makeBox({12.6f, bodyTop + baseY - bandY, 2.0f * halfDepth + 1.2f}, marbleTileUnits), glm::translate(glm::mat4(1.0f), {0.0f, bandY, z}));
    marble.append(makeBox({13.2f, 0.35f, 2.0f * halfDepth + 1.7f}, marbleTileUnits), glm::translate(glm::mat4(1.0f), {0.0f, baseY + bodyTop, z}));
    const float atticY = baseY + bodyTop + 0.35f;
    stone.append(makeBox({9.6f, 2.1f, 2.0f * halfDepth + 0.4f}, stoneTileUnits, {0.4f, 0.1f}), glm::translate(glm::mat4(1.0f), {0.0f, atticY, z}));
    marble.append(makeBox({10.2f, 0.3f, 2.0f * halfDepth + 0.9f}, marbleTileUnits), glm::translate(glm::mat4(1.0f), {0.0f, atticY + 2.1f, z}));
    marble.append(makeBox({5.0f, 1.2f, 0.12f}, marbleTileUnits), glm::translate(glm::mat4(1.0f), {0.0f, atticY + 0.45f, z + halfDepth + 0.24f}));
    for (int face = -1; face <= 1; face += 2)
        marble.append(makeBox({0.7f, 1.0f, 0.3f}, marbleTileUnits), glm::translate(glm::mat4(1.0f), {0.0f, baseY + 8.1f, z + float(face) * (halfDepth + 0.05f)}));
}

// Square shaft from y0 to y1 with niches or windows, faces built as panels.
void addSquareShaft(Mesh& mesh, const glm::vec3& centre, float width, float y0, float y1, const std::vector<Recess>& frontRecesses,
                    const std::vector<Recess>& otherRecesses, float tileSize)
{
    const float h = width * 0.5f;
    const float height = y1 - y0;
    addPanel(mesh, centre + glm::vec3(-h, y0, h), {1, 0, 0}, {0, 1, 0}, width, height, frontRecesses, tileSize, {0.1f, 0.0f});
    addPanel(mesh, centre + glm::vec3(h, y0, h), {0, 0, -1}, {0, 1, 0}, width, height, otherRecesses, tileSize, {0.3f, 0.0f});
    addPanel(mesh, centre + glm::vec3(h, y0, -h), {-1, 0, 0}, {0, 1, 0}, width, height, otherRecesses, tileSize, {0.5f, 0.0f});
    addPanel(mesh, centre + glm::vec3(-h, y0, -h), {0, 0, 1}, {0, 1, 0}, width, height, otherRecesses, tileSize, {0.7f, 0.0f});
}

void buildTower(Scene& scene)
{
    Mesh& stone = scene.mesh("Masonry");
    Mesh& marble = scene.mesh("Marble");
    const glm::vec3 centre(-14.0f, 0.0f, -25.2f);
    const float y0 = terraceTopY;
    stone.append(makeBox({6.4f, 1.2f, 6.4f}, stoneTileUnits), glm::translate(glm::mat4(1.0f), centre + glm::vec3(0.0f, y0, 0.0f)));
    const float lowerWidth = 5.5f;
    const float lowerTop = y0 + 13.0f;
    const std::vector<Recess> door = {{2.05f, 0.0f, 3.45f, 2.6f, 0.8f}, {2.4f, 5.0f, 3.1f, 7.0f, 0.7f}, {2.4f, 9.0f, 3.1f, 11.0f, 0.7f}};
    const std::vector<Recess> slit = {{2.4f, 4.0f, 3.1f, 6.2f, 0.7f}, {2.4f, 8.6f, 3.1f, 10.8f, 0.7f}};
    addSquareShaft(stone, centre, lowerWidth, y0 + 1.2f, lowerTop, door, slit, stoneTileUnits);
    marble.append(makeBox({lowerWidth + 0.5f, 0.35f, lowerWidth + 0.5f}, marbleTileUnits), glm::translate(glm::mat4(1.0f), centre + glm::vec3(0.0f, lowerTop, 0.0f)));
    const float upperWidth = 5.1f;
    const float upperBottom = lowerTop + 0.35f;
    const float upperTop = upperBottom + 8.0f;
    const std::vector<Recess> windows = {{0.95f, 3.6f, 1.85f, 6.0f, 0.6f}, {3.25f, 3.6f, 4.15f, 6.0f, 0.6f}};
    addSquareShaft(stone, centre, upperWidth, upperBottom, upperTop, windows, windows, stoneTileUnits);
    marble.append(makeBox({upperWidth + 0.6f, 0.4f, upperWidth + 0.6f}, marbleTileUnits), glm::translate(glm::mat4(1.0f), centre + glm::vec3(0.0f, upperTop, 0.0f)));
    // Merlons break the tower's silhouette against the sky.
    const float rimY = upperTop + 0.4f;
    const float half = (upperWidth + 0.6f) * 0.5f - 0.3f;
    for (int side = 0; side < 4; ++side) {
        for (int k = 0; k < 4; ++k) {
            const float t = -half + 2.0f * half * float(k) / 3.0f;
            const glm::vec3 offset = side == 0 ? glm::vec3(t, 0, half) : side == 1 ? glm::vec3(half, 0, -t) : side == 2 ? glm::vec3(-t, 0, -half) : glm::vec3(-half, 0, t);
            stone.append(makeBox({0.6f, 0.9f, 0.6f}, stoneTileUnits, {0.2f * float(k), 0.1f * float(side)}), glm::translate(glm::mat4(1.0f), centre + offset + glm::vec3(0.0f, rimY, 0.0f)));
        }
    }
}

// Tetrastyle temple front on a podium behind the terrace, on the sun side: it fills the skyline
// and the far end of the close-up views.
void buildTemple(Scene& scene)
{
    Mesh& stone = scene.mesh("Masonry");
    Mesh& marble = scene.mesh("Marble");
    constexpr float centreX = 12.5f;
    constexpr float frontZ = -36.6f;
    constexpr float backZ = -41.4f;
    constexpr float podiumHalfWidth = 6.0f;
    constexpr float podiumHeight = 1.5f;
    const glm::vec3 podiumCentre(centreX, 0.0f, 0.5f * (frontZ + backZ));
    stone.append(makeBox({2.0f * podiumHalfWidth, podiumHeight, frontZ - backZ}, stoneTileUnits, {0.2f, 0.3f}),
                 glm::translate(glm::mat4(1.0f), podiumCentre));
    addStairFlight(stone, frontZ, centreX - 4.2f, centreX + 4.2f, 0.0f, 3, podiumHeight / 3.0f, 0.5f);

    const ColumnStyle style{0.5f, 0.86f, 0.4f, 10.0f, 0.65f, 0.22f, 16, 20};
    const float columnZ = frontZ - 0.75f;
    for (int i = 0; i < 4; ++i)
        addColumn(marble, {centreX - 3.9f + 2.6f * float(i), podiumHeight, columnZ}, 0.0f, style);
    const float beamY = podiumHeight + columnHeight(style);

    // A cella wall behind the columns gives the porch a deep, shaded background.
    const float cellaFront = columnZ - 1.6f;
    const float cellaHalfWidth = 4.6f;
    const float cellaDepth = cellaFront - (backZ + 0.3f);
    const float wallHeight = beamY - podiumHeight;
    const std::vector<Recess> doorway = {{cellaHalfWidth - 1.1f, 0.0f, cellaHalfWidth + 1.1f, 5.2f, 0.9f}};
    addPanel(stone, {centreX - cellaHalfWidth, podiumHeight, cellaFront}, {1, 0, 0}, {0, 1, 0}, 2.0f * cellaHalfWidth, wallHeight, doorway, stoneTileUnits);
    addPanel(stone, {centreX + cellaHalfWidth, podiumHeight, cellaFront}, {0, 0, -1}, {0, 1, 0}, cellaDepth, wallHeight, {}, stoneTileUnits);
    addPanel(stone, {centreX - cellaHalfWidth, podiumHeight, cellaFront - cellaDepth}, {0, 0, 1}, {0, 1, 0}, cellaDepth, wallHeight, {}, stoneTileUnits);
    addPanel(stone, {centreX + cellaHalfWidth, podiumHeight, cellaFront - cellaDepth}, {-1, 0, 0}, {0, 1, 0}, 2.0f * cellaHalfWidth, wallHeight, {}, stoneTileUnits);

    // Entablature and a gabled roof whose front is the pediment.
    const float roofDepth = columnZ + 0.7f - (backZ + 0.1f);
    const float roofZ = 0.5f * (columnZ + 0.7f + backZ + 0.1f);
    marble.append(makeBox({9.6f, 0.8f, roofDepth}, marbleTileUnits), glm::translate(glm::mat4(1.0f), {centreX, beamY, roofZ}));
    stone.append(makeBox({9.6f, 0.7f, roofDepth - 0.1f}, stoneTileUnits, {0.1f, 0.4f}), glm::translate(glm::mat4(1.0f), {centreX, beamY + 0.8f, roofZ}));
    marble.append(makeBox({10.3f, 0.3f, roofDepth + 0.5f}, marbleTileUnits), glm::translate(glm::mat4(1.0f), {centreX, beamY + 1.5f, roofZ}));
    const float gableY = beamY + 1.8f;
    const std::vector<glm::vec2> gable = {{-5.15f, 0.0f}, {5.15f, 0.0f}, {0.0f, 2.6f}};
    const PointMap overPorch = [=](const glm::vec3& p) { return glm::vec3(centreX + p.x, gableY + p.y, roofZ + p.z); };
    marble.append(makeExtrusion(gable, -0.5f * roofDepth - 0.25f, 0.5f * roofDepth + 0.25f, marbleTileUnits, 20.0f, overPorch));
    addUrn(marble, {centreX, gableY + 2.45f, roofZ + 0.5f * roofDepth}, 1.0f);
}

void buildWallRing(Scene& scene)
{
    Mesh& stone = scene.mesh("Masonry");
    Mesh& marble = scene.mesh("Marble");
    constexpr float inner = 24.85f;
    constexpr float outer = 25.5f;
    constexpr int chunks = 48;
    Prng rng(808);
    for (int c = 0; c < chunks; ++c) {
        const float a0 = 360.0f * float(c) / chunks;
        const float a1 = 360.0f * float(c + 1) / chunks;
        const float middle = 0.5f * (a0 + a1);
        const glm::vec3 mid = polar(0.5f * (inner + outer), middle, 0.0f);
        const float height = float(rng.uniform(0.85, 1.2));
        const float roll = float(rng.uniform());
        const bool entrance = middle < 14.0f || middle > 346.0f;
        const bool sideGate = std::fabs(middle - 90.0f) < 4.0f || std::fabs(middle - 270.0f) < 4.0f;
        const bool underTerrace = mid.z < terraceFrontZ + 1.0f && std::fabs(mid.x) < terraceHalfWidth + 1.0f;
        if (entrance || sideGate || underTerrace || roll < 0.08f)
            continue;
        if (roll < 0.22f) {
            // Collapsed stretch: a low stump and its blocks.
            addWallArc(stone, inner, outer, 0.0f, 0.35f, a0 + 0.3f, a1 - 0.3f, stoneTileUnits);
            addRubble(stone, polar(outer + 1.2f, middle, 0.0f), 0.9f, 3, 0.0f, 900u + uint32_t(c));
            continue;
        }
        addWallArc(stone, inner, outer, 0.0f, height, a0, a1, stoneTileUnits);
        addWallArc(marble, inner - 0.1f, outer + 0.1f, height, height + 0.14f, a0 + 0.05f, a1 - 0.05f, marbleTileUnits);
    }
    // Piers mark the entrance gap that keeps the first camera move clear.
    for (int side = -1; side <= 1; side += 2) {
        const glm::vec3 pier = polar(25.2f, 16.0f * float(side), 0.0f);
        stone.append(makeBox({1.3f, 1.9f, 1.3f}, stoneTileUnits), placement(pier, glm::radians(16.0f * float(side))));
        marble.append(makeBox({1.5f, 0.2f, 1.5f}, marbleTileUnits), placement(pier + glm::vec3(0.0f, 1.9f, 0.0f), glm::radians(16.0f * float(side))));
        addUrn(marble, pier + glm::vec3(0.0f, 2.1f, 0.0f), 1.1f);
    }
}

void buildObelisks(Scene& scene)
{
    Mesh& marble = scene.mesh("Marble");
    Mesh& granite = scene.mesh("Granite");
    Mesh& brass = scene.mesh("Brass");
    for (int side = -1; side <= 1; side += 2) {
        const glm::vec3 foot(11.0f * float(side), plazaTopY, 19.0f);
        const glm::mat4 at = glm::translate(glm::mat4(1.0f), foot);
        marble.append(makeBox({2.6f, 0.5f, 2.6f}, marbleTileUnits), at);
        marble.append(makeBox({2.1f, 0.4f, 2.1f}, marbleTileUnits), glm::translate(at, {0, 0.5f, 0}));
        granite.append(makeBox({1.6f, 1.5f, 1.6f}, graniteTileUnits), glm::translate(at, {0, 0.9f, 0}));
        marble.append(makeBox({1.85f, 0.22f, 1.85f}, marbleTileUnits), glm::translate(at, {0, 2.4f, 0}));
        granite.append(makeSquareFrustum(1.15f, 0.72f, 10.2f, graniteTileUnits), glm::translate(at, {0, 2.62f, 0}));
        brass.append(makePyramid(0.72f, 0.85f, brassTileUnits), glm::translate(at, {0, 12.82f, 0}));
    }
}

void buildPlazaProps(Scene& scene)
{
    Mesh& brass = scene.mesh("Brass");
    Mesh& glass = scene.mesh("Lanterns");
    for (int side = -1; side <= 1; side += 2) {
        for (float z : {13.0f, 20.5f})
            addLamp(brass, glass, {3.8f * float(side), plazaTopY, z}, 3.3f);
    }
    addLamp(brass, glass, {13.6f, plazaTopY, -13.2f}, 3.3f);
    addLamp(brass, glass, {-13.6f, plazaTopY, 13.2f}, 3.3f);

    Mesh& wood = scene.mesh("Crates");
    addCrateStack(wood, {12.6f, plazaTopY, 13.4f}, glm::radians(25.0f),
                  {{0.0f, 0.0f, 0.0f, 1.1f}, {1.15f, 0.0f, 0.1f, 1.1f}, {0.1f, 0.0f, 1.2f, 1.05f}, {0.55f, 1.1f, 0.1f, 1.05f},
                   {0.2f, 1.05f, 1.15f, 0.9f}, {0.5f, 2.15f, 0.3f, 0.9f}},
                  61);
    addCrateStack(wood, {14.2f, plazaTopY, -13.6f}, glm::radians(-30.0f),
                  {{0.0f, 0.0f, 0.0f, 1.2f}, {1.25f, 0.0f, -0.1f, 1.1f}, {0.6f, 1.2f, 0.0f, 1.0f}, {-1.0f, 0.0f, 0.9f, 0.85f}},
                  62);
    addCrateStack(wood, {-17.0f, terraceTopY, -20.2f}, glm::radians(10.0f),
                  {{0.0f, 0.0f, 0.0f, 1.1f}, {1.15f, 0.0f, 0.0f, 1.1f}, {0.55f, 1.1f, 0.05f, 1.05f}}, 63);
    addCrateStack(wood, {-21.0f, plazaTopY, 5.0f}, glm::radians(-15.0f),
                  {{0.0f, 0.0f, 0.0f, 1.0f}, {0.0f, 0.0f, 1.05f, 1.0f}, {0.1f, 1.0f, 0.5f, 0.95f}}, 64);

    // Benches break up the open paving between arcade and colonnades with small shadowed shapes.
    Mesh& stone = scene.mesh("Masonry");
    for (float angle : {62.0f, 118.0f, 242.0f, 298.0f}) {
        const glm::vec3 centre = polar(13.3f, angle, plazaTopY);
        const float yaw = glm::radians(angle);
        for (float offset : {-0.9f, 0.9f}) {
            const glm::vec3 leg = centre + glm::vec3(std::cos(yaw) * offset, 0.0f, -std::sin(yaw) * offset);
            stone.append(makeBox({0.3f, 0.45f, 0.55f}, stoneTileUnits), placement(leg, yaw));
        }
        scene.mesh("Marble").append(makeBox({2.5f, 0.14f, 0.75f}, marbleTileUnits), placement(centre + glm::vec3(0.0f, 0.45f, 0.0f), yaw));
    }
}

void buildVegetation(Scene& scene)
{
    Mesh& bark = scene.mesh("Bark");
    Mesh& foliage = scene.mesh("Foliage");
    // Cypresses line the back of the terrace and stand as accents on the flanks.
    const glm::vec4 cypresses[] = {{-17.0f, -35.0f, 17.5f, 1.4f}, {-9.5f, -36.5f, 20.0f, 1.5f}, {-3.5f, -37.0f, 16.5f, 1.4f},
                                   {1.5f, -38.5f, 18.5f, 1.45f}, {18.2f, -33.0f, 14.5f, 1.3f}, {-27.0f, -9.0f, 13.0f, 1.3f},
                                   {-29.0f, 1.5f, 15.0f, 1.4f}, {-27.5f, 11.0f, 12.0f, 1.25f}, {26.5f, 13.0f, 12.5f, 1.3f},
                                   {24.5f, 20.5f, 11.0f, 1.2f}, {-23.5f, -27.0f, 13.5f, 1.35f}, {-36.0f, 5.0f, 14.0f, 1.35f},
                                   {-44.0f, -22.0f, 15.0f, 1.4f}, {-33.5f, 28.5f, 12.0f, 1.3f}, {-45.5f, -1.0f, 13.0f, 1.3f}};
    uint32_t seed = 700;
    for (const glm::vec4& c : cypresses)
        addCypress(bark, foliage, {c.x, 0.0f, c.y}, c.z, c.w, seed++);
    const glm::vec4 broadleaves[] = {{-21.0f, 27.0f, 9.5f, 3.6f}, {17.5f, 29.0f, 9.0f, 3.4f}, {-31.0f, -19.0f, 10.5f, 3.9f},
                                     {-35.0f, 20.0f, 9.5f, 3.6f}, {4.0f, 36.0f, 8.5f, 3.3f}, {-12.0f, 38.0f, 9.0f, 3.5f},
                                     {-41.0f, -4.0f, 11.0f, 4.0f}, {-47.0f, 9.0f, 10.0f, 3.7f}, {-39.0f, -27.0f, 9.5f, 3.6f},
                                     {-50.0f, -14.0f, 10.5f, 3.8f}, {-28.0f, 36.0f, 9.0f, 3.4f}};
    for (const glm::vec4& b : broadleaves)
        addBroadleaf(bark, foliage, {b.x, 0.0f, b.y}, b.z, b.w, seed++);

    Prng rng(777);
    const glm::vec3 shrubs[] = {{-21.4f, 0.0f, -20.5f}, {21.4f, 0.0f, -23.0f}, {-21.6f, 0.0f, -26.0f}, {-26.5f, 0.0f, -3.0f},
                                {-26.0f, 0.0f, 6.0f}, {26.0f, 0.0f, 8.0f}, {-8.0f, 0.0f, 27.5f}, {8.5f, 0.0f, 27.0f},
                                {-21.5f, 0.0f, -31.0f}, {21.0f, 0.0f, -31.0f}, {-30.0f, 0.0f, 22.0f}, {27.5f, 0.0f, 4.0f},
                                {-38.5f, 0.0f, 1.0f}, {-44.0f, 0.0f, -9.0f}, {-35.0f, 0.0f, -14.0f}, {-31.5f, 0.0f, 14.5f},
                                {-15.0f, 0.0f, 33.0f}, {12.0f, 0.0f, 34.0f}, {20.5f, 0.0f, 24.5f}, {-48.0f, 0.0f, 16.0f}};
    for (const glm::vec3& s : shrubs) {
        const float radius = float(rng.uniform(0.7, 1.2));
        addShrub(foliage, s, radius, seed++);
    }
}

} // namespace

Mesh& Scene::mesh(const std::string& groupName)
{
    for (SceneGroup& group : groups) {
        if (group.name == groupName)
            return group.mesh;
    }
    throw std::logic_error("scene has no group " + groupName);
}

size_t Scene::triangleCount() const
{
    size_t total = 0;
    for (const SceneGroup& group : groups)
        total += group.mesh.triangleCount();
    return total;
}

Scene buildScene()
{
    Scene scene;
    // The viewer draws meshes in file order with the depth test on: the
    // standing architecture first and the ground, hills and sky last lets the
    // depth test reject most of the background's fragments before they are
    // shaded, instead of shading the whole sky and then painting over it.
    scene.groups = {
        {"Marble", "Marble", {}, false},       {"Masonry", "Stone", {}, false},     {"Foliage", "Leaves", {}, false},
        {"Bark", "Bark", {}, false},           {"Granite", "Granite", {}, false},   {"Brass", "Brass", {}, false},
        {"Crates", "Wood", {}, false},         {"Lanterns", "LampGlass", {}, false}, {"Water", "Water", {}, false},
        {"Paving", "Paving", {}, false},       {"Sand", "Sand", {}, false},         {"Lawn", "Grass", {}, false},
        {"OuterLawn", "Grass", {}, true},      {"DistantHills", "Hills", {}, true}, {"SkyDome", "Sky", {}, true},
    };
    buildSky(scene);
    buildGround(scene);
    buildCentrePiece(scene);
    buildArcade(scene);
    buildColonnades(scene);
    buildTerrace(scene);
    buildGate(scene);
    buildTower(scene);
    buildTemple(scene);
    buildWallRing(scene);
    buildObelisks(scene);
    buildPlazaProps(scene);
    buildVegetation(scene);
    return scene;
}

} // namespace scenegen
