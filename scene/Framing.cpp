#include "scene/Framing.h"

#include "camera/Camera.h"
#include "scene/SceneObject.h"

#include <algorithm>
#include <cmath>
#include <glm/gtc/matrix_transform.hpp>

namespace scene {

namespace {

// The share of the view the bounding sphere may fill: the sphere of a box
// is loose, so most models still come out a little smaller than this.
constexpr float framingMargin = 0.9f;

} // namespace

void Bounds::add(const glm::dvec3& point)
{
    if (empty) {
        low = high = point;
        empty = false;
        return;
    }
    low = glm::min(low, point);
    high = glm::max(high, point);
}

Bounds sceneBounds(const std::vector<SceneObject*>& objects)
{
    Bounds bounds;
    for (const SceneObject* object : objects) {
        const glm::dmat4 model(object->modelMatrix);
        for (GLuint i = 0; i < object->vertexCount; ++i) {
            const float* p = object->positions + 3 * static_cast<size_t>(i);
            const glm::dvec4 placed = model * glm::dvec4(p[0], p[1], p[2], 1.0);
            if (std::isfinite(placed.x) && std::isfinite(placed.y) && std::isfinite(placed.z))
                bounds.add(glm::dvec3(placed));
        }
    }
    return bounds;
}

glm::mat4 framingTransform(const Bounds& bounds, const glm::vec3& target, float radius)
{
    if (bounds.empty)
        return glm::mat4(1.0f);
    const double ownRadius = bounds.radius();
    // A point is only moved, and so is a box so small that the scale up to
    // the sphere would not fit a float (sides below about 1e-37).
    const double wanted = ownRadius > 0.0 ? radius / ownRadius : 1.0;
    const double scale = std::isfinite(wanted) && wanted < 1e37 ? wanted : 1.0;
    const glm::dmat4 placement = glm::translate(glm::dmat4(1.0), glm::dvec3(target)) *
                                 glm::scale(glm::dmat4(1.0), glm::dvec3(scale)) *
                                 glm::translate(glm::dmat4(1.0), -bounds.centre());
    return glm::mat4(placement);
}

float framedRadius(float aspect)
{
    const float distance = glm::length(startEye - sceneTarget);
    const float halfVertical = 0.5f * Camera::fieldOfViewRadians;
    const float halfHorizontal = std::atan(std::tan(halfVertical) * std::max(aspect, 1e-3f));
    return framingMargin * distance * std::sin(std::min(halfVertical, halfHorizontal));
}

void frameScene(const std::vector<SceneObject*>& objects, float aspect)
{
    const Bounds bounds = sceneBounds(objects);
    const glm::mat4 placement = framingTransform(bounds, sceneTarget, framedRadius(aspect));
    // Composed in double precision: the placement may scale by 1e-18 a
    // model whose own matrices move it by 1e19.
    for (SceneObject* object : objects)
        object->modelMatrix = glm::mat4(glm::dmat4(placement) * glm::dmat4(object->modelMatrix));
}

} // namespace scene
