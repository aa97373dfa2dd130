// Models of any size and place end up inside the sphere the start view frames.
#include "camera/Camera.h"
#include "scene/Framing.h"

#include <gtest/gtest.h>
#include <glm/gtc/matrix_transform.hpp>
#include <cmath>
#include <limits>
#include <vector>

namespace {

scene::Bounds box(const glm::vec3& low, const glm::vec3& high)
{
    scene::Bounds bounds;
    bounds.add(low);
    bounds.add(high);
    return bounds;
}

// The eight corners after the transform: the farthest must sit on the
// sphere, the centre on the target.
void expectFramed(const scene::Bounds& bounds, const glm::vec3& target, float radius)
{
    const glm::mat4 placement = scene::framingTransform(bounds, target, radius);
    float farthest = 0.0f;
    glm::vec3 sum(0.0f);
    for (int corner = 0; corner < 8; ++corner) {
        const glm::vec3 point((corner & 1) ? bounds.high.x : bounds.low.x, (corner & 2) ? bounds.high.y : bounds.low.y,
                              (corner & 4) ? bounds.high.z : bounds.low.z);
        const glm::vec3 placed(placement * glm::vec4(point, 1.0f));
        farthest = std::max(farthest, glm::length(placed - target));
        sum += placed;
    }
    EXPECT_NEAR(farthest, radius, 1e-3f * radius);
    EXPECT_LT(glm::length(sum / 8.0f - target), 1e-3f * radius);
}

} // namespace

TEST(Framing, ModelsFromAUnitToTenThousandUnitsAcrossFillTheSameSphere)
{
    const float radius = scene::framedRadius(900.0f / 720.0f);
    expectFramed(box({100.0f, 100.0f, 100.0f}, {101.0f, 101.0f, 101.0f}), sceneTarget, radius);
    expectFramed(box({-5000.0f, 0.0f, -5000.0f}, {5000.0f, 10000.0f, 5000.0f}), sceneTarget, radius);
    expectFramed(box({-3e6f, -1.0f, 2e6f}, {-3e6f + 0.001f, 0.0f, 2e6f + 0.002f}), sceneTarget, radius);
}

// Sides whose squares pass what a float holds, and sides far below any
// threshold a float computation would need.
TEST(Framing, AnyFiniteBoundsAreFramed)
{
    const float radius = scene::framedRadius(900.0f / 720.0f);
    expectFramed(box({-5e18f, -5e18f, -5e18f}, {5e18f, 5e18f, 5e18f}), sceneTarget, radius);
    expectFramed(box({-1e38f, 0.0f, -1e38f}, {1e38f, 1e38f, 1e38f}), sceneTarget, radius);
    expectFramed(box({0.0f, 0.0f, 0.0f}, {1e-25f, 2e-25f, 1e-25f}), sceneTarget, radius);
}

TEST(Framing, APointIsOnlyMovedAndNoBoundsLeaveTheSceneAlone)
{
    const glm::mat4 point = scene::framingTransform(box({3.0f, 4.0f, 5.0f}, {3.0f, 4.0f, 5.0f}), sceneTarget, 10.0f);
    EXPECT_EQ(glm::vec3(point * glm::vec4(3.0f, 4.0f, 5.0f, 1.0f)), sceneTarget);
    EXPECT_EQ(point[0][0], 1.0f);
    EXPECT_EQ(scene::framingTransform(scene::Bounds(), sceneTarget, 10.0f), glm::mat4(1.0f));
}

TEST(Framing, TheStartViewSeesTheWholeSphereInWideAndTallWindows)
{
    const float distance = glm::length(startEye - sceneTarget);
    for (float aspect : {0.25f, 1.0f, 1.25f, 4.0f}) {
        const float radius = scene::framedRadius(aspect);
        const float halfVertical = 0.5f * Camera::fieldOfViewRadians;
        const float halfHorizontal = std::atan(std::tan(halfVertical) * aspect);
        // The sphere's silhouette from the eye stays inside both half-angles.
        EXPECT_LT(std::asin(radius / distance), std::min(halfVertical, halfHorizontal)) << aspect;
        EXPECT_GT(radius, 0.5f * distance * std::sin(std::min(halfVertical, halfHorizontal))) << aspect;
    }
}

// The bounds of placed vertices are those of every vertex placed one by
// one, to the last bit, whether the placement turns the model or only
// scales (by negative factors too) and moves it; vertices that are not
// finite are left out either way.
TEST(Framing, PlacedBoundsAreThoseOfEveryVertexPlaced)
{
    const float inf = std::numeric_limits<float>::infinity();
    std::vector<float> positions;
    for (int i = 0; i < 1000; ++i)
        for (int axis = 0; axis < 3; ++axis)
            positions.push_back(std::sin(0.37f * static_cast<float>(i * (axis + 2))) * 1e3f / static_cast<float>(axis + 1));
    positions.insert(positions.end(), {inf, 0.0f, 0.0f, 5e3f, std::nanf(""), 0.0f});
    const glm::mat4 placements[] = {
        glm::mat4(1.0f),
        glm::translate(glm::mat4(1.0f), glm::vec3(3.5f, -2e4f, 0.125f)) * glm::scale(glm::mat4(1.0f), glm::vec3(-2.0f, 0.3f, -7.0f)),
        glm::rotate(glm::translate(glm::mat4(1.0f), glm::vec3(1.0f, 2.0f, 3.0f)), 0.7f, glm::vec3(1.0f, 1.0f, 0.0f)),
    };
    for (const glm::mat4& placement : placements) {
        scene::Bounds expected;
        const glm::dmat4 model(placement);
        for (size_t i = 0; i < positions.size() / 3; ++i) {
            const glm::dvec4 p = model * glm::dvec4(positions[3 * i], positions[3 * i + 1], positions[3 * i + 2], 1.0);
            if (std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z))
                expected.add(glm::dvec3(p));
        }
        scene::Bounds bounds;
        scene::addPlaced(bounds, placement, positions.data(), positions.size() / 3);
        EXPECT_EQ(bounds.low, expected.low);
        EXPECT_EQ(bounds.high, expected.high);
    }
    scene::Bounds none;
    scene::addPlaced(none, placements[1], positions.data() + 3000, 2);
    EXPECT_TRUE(none.empty);
}
