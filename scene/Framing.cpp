#include "scene/Framing.h"

#include "camera/Camera.h"
#include "scene/SceneObject.h"

#include <algorithm>
#include <cmath>
#include <limits>
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

namespace {

// An object placed without a turn (scaled and moved along the axes, as
// most are) has for bounds the placed corners of its own box: each placed
// coordinate is its own coordinate scaled and moved, and rounding keeps the
// order, so the extremes are the same points. Found in floats, a million
// vertices take a millisecond instead of the matrix product's twenty.
bool addAlongAxes(const glm::dmat4& model, const float* positions, size_t count, Bounds& bounds)
{
    for (int column = 0; column < 4; ++column)
        for (int row = 0; row < 4; ++row)
            if (row != column && !(column == 3 && row < 3) && model[column][row] != 0.0)
                return false;
    if (model[3][3] != 1.0)
        return false;
    glm::vec3 low(std::numeric_limits<float>::infinity());
    glm::vec3 high(-std::numeric_limits<float>::infinity());
    for (size_t i = 0; i < count; ++i) {
        const glm::vec3 p(positions[3 * i], positions[3 * i + 1], positions[3 * i + 2]);
        if (std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z)) {
            low = glm::min(low, p);
            high = glm::max(high, p);
        }
    }
    // No finite vertex: nothing to add.
    if (low.x > high.x)
        return true;
    const glm::dvec3 corners[2] = {glm::dvec3(model * glm::dvec4(glm::dvec3(low), 1.0)),
                                   glm::dvec3(model * glm::dvec4(glm::dvec3(high), 1.0))};
    // A scale so large that a corner leaves the doubles: point by point.
    for (const glm::dvec3& corner : corners)
        if (!(std::isfinite(corner.x) && std::isfinite(corner.y) && std::isfinite(corner.z)))
            return false;
    bounds.add(corners[0]);
    bounds.add(corners[1]);
    return true;
}

} // namespace

void addPlaced(Bounds& bounds, const glm::mat4& modelMatrix, const float* positions, size_t count)
{
    const glm::dmat4 model(modelMatrix);
    if (addAlongAxes(model, positions, count, bounds))
        return;
    for (size_t i = 0; i < count; ++i) {
        const float* p = positions + 3 * i;
        const glm::dvec4 placed = model * glm::dvec4(p[0], p[1], p[2], 1.0);
        if (std::isfinite(placed.x) && std::isfinite(placed.y) && std::isfinite(placed.z))
            bounds.add(glm::dvec3(placed));
    }
}

Bounds sceneBounds(const std::vector<SceneObject*>& objects)
{
    Bounds bounds;
    for (const SceneObject* object : objects)
        addPlaced(bounds, object->modelMatrix, object->positions, object->vertexCount);
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
