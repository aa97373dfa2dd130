// Scene checks run before writing: shadow-box containment, face orientation, camera-tour clearance.
#include "SceneChecks.h"

#include "app/Globals.h"
#include "camera/Camera.h"
#include "camera/Controls.h"
#include "camera/ModelControls.h"
#include "gpu/ShaderConstants.h"
#include "render/ShadowLight.h"

#include <glm/geometric.hpp>
#include <glm/gtc/matrix_transform.hpp>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>

namespace scenegen {

namespace {

constexpr float clipTolerance = 1e-4f;

} // namespace

glm::mat4 lightBoxTransform()
{
    return ShadowLight::lightProjection() * ShadowLight::lightView(sceneLightPosition);
}

glm::vec3 lightDirection() { return glm::normalize(sceneLightPosition); }

bool insideLightBox(const glm::vec3& position, float limit)
{
    static const glm::mat4 transform = lightBoxTransform();
    const glm::vec4 clip = transform * glm::vec4(position, 1.0f);
    const float bound = limit + clipTolerance;
    return std::fabs(clip.x) <= bound && std::fabs(clip.y) <= bound && std::fabs(clip.z) <= bound;
}

float lightBoxOverhang(const glm::vec3& position, float limit)
{
    static const glm::mat4 transform = lightBoxTransform();
    const glm::vec4 clip = transform * glm::vec4(position, 1.0f);
    const float halfWidth = 0.5f * (lightBoxRight - lightBoxLeft);
    const float halfHeight = 0.5f * (lightBoxTop - lightBoxBottom);
    const float halfDepth = 0.5f * (lightBoxFar - lightBoxNear);
    return std::max({(std::fabs(clip.x) - limit) * halfWidth, (std::fabs(clip.y) - limit) * halfHeight,
                     (std::fabs(clip.z) - limit) * halfDepth});
}

float lightBoxGroundReach(float angle, float limit)
{
    // The box is convex and holds the origin, so bisection along the ray finds its edge.
    float inside = 0.0f;
    float outside = 500.0f;
    const glm::vec3 direction(std::sin(angle), 0.0f, std::cos(angle));
    for (int step = 0; step < 40; ++step) {
        const float middle = 0.5f * (inside + outside);
        (insideLightBox(direction * middle, limit) ? inside : outside) = middle;
    }
    return inside;
}

size_t countOutsideLightBox(const Mesh& mesh)
{
    return size_t(std::count_if(mesh.vertices.begin(), mesh.vertices.end(),
                                [](const Vertex& v) { return !insideLightBox(v.position); }));
}

size_t countMisorientedTriangles(const Mesh& mesh)
{
    size_t bad = 0;
    for (size_t t = 0; t < mesh.indices.size(); t += 3) {
        const Vertex& a = mesh.vertices[mesh.indices[t]];
        const Vertex& b = mesh.vertices[mesh.indices[t + 1]];
        const Vertex& c = mesh.vertices[mesh.indices[t + 2]];
        const glm::vec3 face = glm::cross(b.position - a.position, c.position - a.position);
        if (glm::dot(face, a.normal + b.normal + c.normal) < 0.0f)
            ++bad;
    }
    return bad;
}

size_t countTrianglesNotFacing(const Mesh& mesh, const glm::vec3& centre)
{
    size_t bad = 0;
    for (size_t t = 0; t < mesh.indices.size(); t += 3) {
        const glm::vec3& a = mesh.vertices[mesh.indices[t]].position;
        const glm::vec3& b = mesh.vertices[mesh.indices[t + 1]].position;
        const glm::vec3& c = mesh.vertices[mesh.indices[t + 2]].position;
        const glm::vec3 face = glm::cross(b - a, c - a);
        if (glm::dot(face, centre - (a + b + c) / 3.0f) <= 0.0f)
            ++bad;
    }
    return bad;
}

std::vector<std::vector<glm::vec3>> tourCameraPaths(int samplesPerPath)
{
    // The viewer's own tour, stepped at the capture tool's 30 frames a second
    // with a camera of our own; each frame's eye goes to the shot it belongs to.
    Camera* const previousCamera = camera;
    const float previousTime = totalTime;
    Camera tourCamera;
    camera = &tourCamera;
    resetControls();
    showStartView();
    totalTime = 0.0f;
    std::vector<std::vector<glm::vec3>> frames(tourShotTotal);
    const float dt = pictureFrameSeconds;
    while (tourActive) {
        totalTime += dt;
        controlCamera(dt);
        const size_t shot =
            static_cast<size_t>(std::count(std::begin(tourShotStarted), std::end(tourShotStarted), true));
        if (tourActive && shot > 0)
            frames[shot - 1].push_back(tourCamera.position());
    }
    resetControls();
    camera = previousCamera;
    totalTime = previousTime;

    // Evenly spaced frames of each shot, its first and last included.
    std::vector<std::vector<glm::vec3>> paths(frames.size());
    for (size_t k = 0; k < frames.size(); ++k) {
        const std::vector<glm::vec3>& shot = frames[k];
        for (int i = 0; i <= samplesPerPath && !shot.empty(); ++i)
            paths[k].push_back(shot[(shot.size() - 1) * static_cast<size_t>(i) / static_cast<size_t>(samplesPerPath)]);
    }
    return paths;
}

double pointTriangleDistance(const glm::vec3& p, const glm::vec3& a, const glm::vec3& b, const glm::vec3& c)
{
    // Closest point by Voronoi regions (Ericson, Real-Time Collision Detection 5.1.5).
    const glm::vec3 ab = b - a, ac = c - a, ap = p - a;
    const float d1 = glm::dot(ab, ap), d2 = glm::dot(ac, ap);
    if (d1 <= 0.0f && d2 <= 0.0f)
        return glm::length(p - a);
    const glm::vec3 bp = p - b;
    const float d3 = glm::dot(ab, bp), d4 = glm::dot(ac, bp);
    if (d3 >= 0.0f && d4 <= d3)
        return glm::length(p - b);
    const float vc = d1 * d4 - d3 * d2;
    if (vc <= 0.0f && d1 >= 0.0f && d3 <= 0.0f)
        return glm::length(p - (a + ab * (d1 / (d1 - d3))));
    const glm::vec3 cp = p - c;
    const float d5 = glm::dot(ab, cp), d6 = glm::dot(ac, cp);
    if (d6 >= 0.0f && d5 <= d6)
        return glm::length(p - c);
    const float vb = d5 * d2 - d1 * d6;
    if (vb <= 0.0f && d2 >= 0.0f && d6 <= 0.0f)
        return glm::length(p - (a + ac * (d2 / (d2 - d6))));
    const float va = d3 * d6 - d5 * d4;
    if (va <= 0.0f && (d4 - d3) >= 0.0f && (d5 - d6) >= 0.0f)
        return glm::length(p - (b + (c - b) * ((d4 - d3) / ((d4 - d3) + (d5 - d6)))));
    const float denominator = 1.0f / (va + vb + vc);
    return glm::length(p - (a + ab * (vb * denominator) + ac * (vc * denominator)));
}

double clearance(const std::vector<const Mesh*>& meshes, const std::vector<glm::vec3>& points)
{
    double best = std::numeric_limits<double>::max();
    for (const Mesh* mesh : meshes) {
        for (size_t t = 0; t < mesh->indices.size(); t += 3) {
            const glm::vec3& a = mesh->vertices[mesh->indices[t]].position;
            const glm::vec3& b = mesh->vertices[mesh->indices[t + 1]].position;
            const glm::vec3& c = mesh->vertices[mesh->indices[t + 2]].position;
            const glm::vec3 lo = glm::min(a, glm::min(b, c));
            const glm::vec3 hi = glm::max(a, glm::max(b, c));
            for (const glm::vec3& p : points) {
                // Cheap box rejection keeps this linear pass fast on a hundred thousand triangles.
                const glm::vec3 outside = glm::max(lo - p, glm::max(p - hi, glm::vec3(0.0f)));
                if (double(glm::length(outside)) >= best)
                    continue;
                best = std::min(best, pointTriangleDistance(p, a, b, c));
            }
        }
    }
    return best;
}

} // namespace scenegen
