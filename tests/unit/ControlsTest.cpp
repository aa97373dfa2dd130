// The scripted tour, Space, the wheel and the mouse inertia, driven with chosen frame times.
#include "app/Globals.h"
#include "camera/Camera.h"
#include "camera/Controls.h"
#include "camera/ModelControls.h"

#include <GLFW/glfw3.h>
#include <cmath>
#include <gtest/gtest.h>

namespace {

const glm::vec3 up(0.0f, 1.0f, 0.0f);

Camera pose(const glm::vec3& position, const glm::vec3& target)
{
    Camera camera;
    camera.setPosition(position.x, position.y, position.z);
    camera.lookAtTarget(target);
    return camera;
}

void expectPose(const Camera& expected, const std::string& when)
{
    for (int column = 0; column < 4; ++column)
        for (int row = 0; row < 3; ++row)
            EXPECT_NEAR(camera->transform[column][row], expected.transform[column][row], 1e-4f) << when;
}

float targetDistance() { return glm::length(camera->position() - sceneTarget); }

class Controls : public ::testing::Test {
protected:
    void SetUp() override
    {
        camera = new Camera(pose({0, 20, 25}, sceneTarget));
        totalTime = 0.0f;
        resetControls();
    }
    void TearDown() override
    {
        delete camera;
        camera = nullptr;
    }
    static void runUntil(float t, float dt)
    {
        while (totalTime < t) {
            totalTime += dt;
            controlCamera(dt);
        }
    }
    static void release(int key) { onKey(nullptr, key, 0, GLFW_RELEASE, 0); }
};

// A shot's pose `steps` frames of `dt` after its cut: the first frame after
// the cut already drifts.
Camera drifted(const TourShot& shot, int steps, float dt)
{
    Camera expected = pose(shot.eye, shot.target);
    for (int i = 0; i < steps; ++i) {
        if (shot.moveUnitsPerSecond != 0.0f)
            expected.move(shot.moveUnitsPerSecond, dt, shot.moveDirection);
        if (shot.orbitDegreesPerSecond != 0.0f)
            expected.turn(shot.orbitDegreesPerSecond, dt, up);
        if (shot.zoomWheelStepsPerSecond != 0.0f)
            expected.zoom(shot.zoomWheelStepsPerSecond * dt);
    }
    return expected;
}

TEST_F(Controls, TourCutsToEachShotOnTimeAndIgnoresTheMouseSpeed)
{
    camera->turnVelocity = 50.0;
    // Quarter-second frames sum exactly, so each cut lands on its second and
    // the shot's first frame already moves by one step; the second frame by two.
    for (size_t i = 1; i < tourShotTotal; ++i) {
        const TourShot& shot = tourShots[i];
        for (int steps = 1; steps <= 2; ++steps) {
            runUntil(shot.startSeconds + 0.25f * static_cast<float>(steps - 1), 0.25f);
            expectPose(drifted(shot, steps, 0.25f), "shot " + std::to_string(i) + ", frame " + std::to_string(steps));
        }
    }
    runUntil(tourEndSeconds, 0.25f);
    expectPose(pose(startEye, sceneTarget), "after the tour");
    EXPECT_FALSE(tourActive);
    EXPECT_EQ(camera->turnVelocity, 50.0);
}

TEST_F(Controls, LongFrameSkipsTheTwelveSecondShot)
{
    runUntil(11.0f, 0.25f);
    runUntil(16.5f, 5.5f);
    EXPECT_FALSE(stageTwoStarted);
    Camera expected = pose({-2.5f, 13, 15}, {-1.5f, 11, 10});
    expected.move(0.75f, 5.5f, {1, 0, -1});
    expectPose(expected, "t=16.5");
}

TEST_F(Controls, OpeningZoomStopsAtTheMinimumDistance)
{
    runUntil(0.5f, 0.5f);
    for (int i = 0; i < 200; ++i)
        controlCamera(0.9f); // long frames, but the clock stays before the first cut
    EXPECT_NEAR(std::sqrt(targetDistance() * targetDistance() + 1.0f), camera->minDistance, 1e-4f);
}

TEST_F(Controls, SpaceReleaseEndsTheTourForGoodAndEnablesTheWheel)
{
    runUntil(6.0f, 0.25f);
    onKey(nullptr, GLFW_KEY_SPACE, 0, GLFW_PRESS, 0);
    const float before = targetDistance();
    onScroll(nullptr, 0.0, 1.0);
    EXPECT_TRUE(tourActive);
    EXPECT_EQ(targetDistance(), before) << "the wheel does nothing during the tour";

    release(GLFW_KEY_SPACE);
    runUntil(40.0f, 0.5f);
    EXPECT_FALSE(tourActive);
    expectPose(pose({0, 20, 25}, sceneTarget), "t=40");
    const float start = targetDistance();
    onScroll(nullptr, 0.0, 1.0); // a twentieth of the zoom distance toward the target
    EXPECT_NEAR(targetDistance(), start - std::sqrt(start * start + 1.0f) / 20.0f, 1e-4f);
}

TEST_F(Controls, MouseDragTurnsWithDecayingSpeedUntilItRests)
{
    release(GLFW_KEY_SPACE);
    const auto swing = [] { return glm::degrees(std::atan2(camera->position().x, camera->position().z)); };
    turnWithInertia(100.0, 0.01f);
    EXPECT_NEAR(camera->turnVelocity, 99.0, 1e-5);
    EXPECT_NEAR(swing(), -0.99f, 1e-4f);
    turnWithInertia(0.0, 0.01f);
    EXPECT_NEAR(camera->turnVelocity, 98.01, 1e-5);
    EXPECT_NEAR(swing(), -0.99f - 0.9801f, 1e-4f);

    camera->turnVelocity = 0.0001;
    const glm::mat4 resting = camera->transform;
    turnWithInertia(0.0, 0.01f);
    EXPECT_EQ(camera->turnVelocity, 0.0);
    EXPECT_EQ(camera->transform, resting);
}

} // namespace

namespace {

// A model's camera: the same start, and the controls a model adds.
class ModelCamera : public Controls {
protected:
    void SetUp() override
    {
        Controls::SetUp();
        modelControls = true;
        tourActive = false;
    }
    void TearDown() override
    {
        modelControls = false;
        saveScreenshot = nullptr;
        Controls::TearDown();
    }
    static float fromUpDegrees()
    {
        const glm::vec3 offset = camera->position() - orbitPivot;
        return glm::degrees(std::acos(offset.y / glm::length(offset)));
    }
    static void expectLookingAtPivot()
    {
        const glm::vec3 forward = -glm::vec3(camera->transform[2]);
        EXPECT_GT(glm::dot(forward, glm::normalize(orbitPivot - camera->position())), 0.9999f);
    }
};

} // namespace

TEST_F(ModelCamera, TiltTurnsAboutThePivotAndStopsShortOfThePoles)
{
    const float distance = glm::length(camera->position() - orbitPivot);
    const float start = fromUpDegrees();
    tiltCamera(10.0f);
    EXPECT_NEAR(fromUpDegrees(), start - 10.0f, 1e-3f);
    EXPECT_NEAR(glm::length(camera->position() - orbitPivot), distance, 1e-4f);
    expectLookingAtPivot();
    tiltCamera(400.0f);
    EXPECT_NEAR(fromUpDegrees(), tiltMarginDegrees, 1e-3f);
    expectLookingAtPivot();
    tiltCamera(-400.0f);
    EXPECT_NEAR(fromUpDegrees(), 180.0f - tiltMarginDegrees, 1e-3f);
    EXPECT_NEAR(glm::length(camera->position() - orbitPivot), distance, 1e-4f);
    expectLookingAtPivot();
}

TEST_F(ModelCamera, PanMovesThePivotAcrossTheViewAndTheTurnFollowsIt)
{
    const glm::vec3 right(camera->transform[0]);
    const glm::vec3 eye = camera->position();
    panCamera(-100.0, 0.0, 720);
    const glm::vec3 moved = orbitPivot - sceneTarget;
    // Dragging left takes the model left: the view goes right.
    EXPECT_GT(glm::dot(moved, right), 0.0f);
    EXPECT_NEAR(glm::length(glm::cross(moved, right)), 0.0f, 1e-4f);
    EXPECT_NEAR(glm::length((camera->position() - eye) - moved), 0.0f, 1e-4f);
    expectLookingAtPivot();
    // Turning keeps the camera's distance to the pivot's vertical.
    auto axisDistance = [] {
        const glm::vec3 offset = camera->position() - orbitPivot;
        return std::hypot(offset.x, offset.z);
    };
    const float before = axisDistance();
    turnWithInertia(40.0, 0.5f);
    EXPECT_NEAR(axisDistance(), before, 1e-3f);
    expectLookingAtPivot();
}

TEST_F(ModelCamera, WheelZoomsOnThePivotWithinTheLimitsAndFReframes)
{
    panCamera(50.0, 30.0, 720);
    for (int i = 0; i < 200; ++i)
        onScroll(nullptr, 0.0, 1.0);
    EXPECT_NEAR(glm::length(camera->position() - orbitPivot), camera->minDistance, 1e-3f);
    expectLookingAtPivot();
    for (int i = 0; i < 200; ++i)
        onScroll(nullptr, 0.0, -1.0);
    EXPECT_NEAR(glm::length(camera->position() - orbitPivot), camera->maxDistance, 1e-2f);
    camera->turnVelocity = 30.0;
    release(GLFW_KEY_F);
    expectPose(pose(startEye, sceneTarget), "after F");
    EXPECT_EQ(orbitPivot, sceneTarget);
    EXPECT_EQ(camera->turnVelocity, 0.0);
    int saved = 0;
    saveScreenshot = [&saved] { ++saved; };
    release(GLFW_KEY_P);
    EXPECT_EQ(saved, 1);
}

TEST_F(Controls, TheBuiltInSceneHasNoModelKeys)
{
    tourActive = false;
    camera->turnVelocity = 30.0;
    runUntil(1.0f, 0.25f);
    const Camera turned = *camera;
    int saved = 0;
    saveScreenshot = [&saved] { ++saved; };
    release(GLFW_KEY_F);
    release(GLFW_KEY_P);
    saveScreenshot = nullptr;
    expectPose(turned, "after F");
    EXPECT_EQ(saved, 0);
}
