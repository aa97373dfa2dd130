// Camera pose operations and zoom limits, checked as positions and directions in world space.
#include "camera/Camera.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

constexpr float tolerance = 1e-4f;
const glm::vec3 up(0.0f, 1.0f, 0.0f);

Camera startPose()
{
    Camera camera;
    camera.setProjection(Camera::fieldOfViewRadians, 900.0f, 720.0f, Camera::nearPlane, Camera::farPlane);
    camera.setPosition(0.0f, 20.0f, 25.0f);
    camera.lookAtTarget(sceneTarget);
    return camera;
}

void expectNear(const glm::vec3& actual, const glm::vec3& expected, float eps = tolerance)
{
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(actual[i], expected[i], eps) << "component " << i;
}

TEST(Camera, StartPoseSeesTheSceneTargetStraightAhead)
{
    const Camera camera = startPose();
    const glm::vec4 target = camera.view * glm::vec4(sceneTarget, 1.0f);
    expectNear(glm::vec3(target), glm::vec3(0.0f, 0.0f, -std::sqrt(13.0f * 13.0f + 25.0f * 25.0f)));
}

TEST(Camera, SetPositionMovesWithoutTurning)
{
    Camera camera = startPose();
    const glm::mat4 before = camera.transform;
    camera.setPosition(3.0f, -4.0f, 5.0f);
    for (int column = 0; column < 3; ++column)
        EXPECT_EQ(camera.transform[column], before[column]);
    expectNear(camera.position(), glm::vec3(3.0f, -4.0f, 5.0f));
    expectNear(glm::vec3(camera.view * glm::vec4(3.0f, -4.0f, 5.0f, 1.0f)), glm::vec3(0.0f));
}

// The zoom distance counts the homogeneous 1 as well: d = sqrt(r^2 + 1) for
// a camera r units from the target.
TEST(Camera, ZoomMovesATwentiethOfTheDistanceWithinItsLimits)
{
    struct Case {
        float distance; // three-dimensional, along +Z from the target
        float amount;
        float expectedDistance;
    };
    const float r5 = std::sqrt(24.0f);
    const float r6 = std::sqrt(35.0f);
    const float r100 = std::sqrt(9999.0f);
    const Case cases[] = {
        {10.0f, -1.0f, 10.0f - std::sqrt(101.0f) / 20.0f},
        {10.0f, 1.0f, 10.0f + std::sqrt(101.0f) / 20.0f},
        {10.0f, 0.0f, 10.0f},
        {r5, -3.0f, r5},
        {r6, -100.0f, r6 - 1.0f},
        {r100, 5.0f, r100},
        {90.0f, 100.0f, 90.0f + 100.0f - std::sqrt(8101.0f)}, // stops where d reaches 100
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("from " + std::to_string(c.distance) + " by " + std::to_string(c.amount));
        Camera camera;
        camera.setPosition(0.0f, 7.0f, c.distance);
        camera.lookAtTarget(sceneTarget);
        const glm::mat4 before = camera.transform;
        camera.zoom(c.amount);
        expectNear(camera.position(), glm::vec3(0.0f, 7.0f, c.expectedDistance));
        for (int column = 0; column < 3; ++column)
            EXPECT_EQ(camera.transform[column], before[column]) << "zoom turned the camera";
    }
}

TEST(Camera, TurnSwingsAroundTheWorldAxisAndKeepsFacingIt)
{
    Camera camera = startPose();
    camera.turn(90.0f, 1.0f, up);
    expectNear(camera.position(), glm::vec3(25.0f, 20.0f, 0.0f), 1e-3f);
    const glm::vec4 target = camera.view * glm::vec4(sceneTarget, 1.0f);
    EXPECT_NEAR(target.x, 0.0f, tolerance);
    EXPECT_NEAR(target.y, 0.0f, tolerance);
}

} // namespace
