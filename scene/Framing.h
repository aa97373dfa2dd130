// Placing a model of any size and place where the viewer's camera, light and effects expect a scene.
#pragma once

#include <glm/glm.hpp>
#include <vector>

namespace scene {

class SceneObject;

// An axis-aligned box; empty until a point is added. In double precision:
// the sides of a model 1e19 units across square past what a float holds.
struct Bounds {
    glm::dvec3 low{0.0};
    glm::dvec3 high{0.0};
    bool empty = true;

    void add(const glm::dvec3& point);
    glm::dvec3 centre() const { return 0.5 * (low + high); }
    double radius() const { return 0.5 * glm::length(high - low); }
};

// The objects' finite vertices as their model matrices place them.
Bounds sceneBounds(const std::vector<SceneObject*>& objects);

// `count` vertices (three floats each) as `model` places them, added to
// `bounds`; those that are not finite once placed are left out.
void addPlaced(Bounds& bounds, const glm::mat4& model, const float* positions, size_t count);

// The uniform scale and move that puts the centre of `bounds` on `target`
// and its bounding sphere at `radius`, for any finite bounds. A box without
// extent is only moved.
glm::mat4 framingTransform(const Bounds& bounds, const glm::vec3& target, float radius);

// The radius of a sphere around the scene target that the start view shows
// whole, with a margin, in a window of this aspect (width / height).
float framedRadius(float aspect);

// Puts the objects, as one, inside the sphere the start view frames: every
// distance the viewer works in (zoom limits, clip planes, the light's box,
// the occlusion radius, the focus range, the tour's shots) then has the
// same share of the model whatever its own units and place were.
void frameScene(const std::vector<SceneObject*>& objects, float aspect);

} // namespace scene
