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

void Bounds::add(const glm::vec3& point)
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
        for (GLuint i = 0; i < object->vertexCount; ++i) {
            const float* p = object->positions + 3 * static_cast<size_t>(i);
            const glm::vec4 placed = object->modelMatrix * glm::vec4(p[0], p[1], p[2], 1.0f);
            if (std::isfinite(placed.x) && std::isfinite(placed.y) && std::isfinite(placed.z))
                bounds.add(glm::vec3(placed));
        }
    }
    return bounds;
}

glm::mat4 framingTransform(const Bounds& bounds, const glm::vec3& target, float radius)
{
    if (bounds.empty)
        return glm::mat4(1.0f);
    const float ownRadius = bounds.radius();
    // A point, or a box too small for float to scale meaningfully, is only moved.
    const float scale = ownRadius > 1e-20f && std::isfinite(radius / ownRadius) ? radius / ownRadius : 1.0f;
    return glm::translate(glm::mat4(1.0f), target) * glm::scale(glm::mat4(1.0f), glm::vec3(scale)) *
           glm::translate(glm::mat4(1.0f), -bounds.centre());
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
    const glm::mat4 placement = framingTransform(sceneBounds(objects), sceneTarget, framedRadius(aspect));
    for (SceneObject* object : objects)
        object->modelMatrix = placement * object->modelMatrix;
}

} // namespace scene
