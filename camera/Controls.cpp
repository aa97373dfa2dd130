// The tour's four shots, the mouse and wheel in free mode, and the keys every run has.
#include "camera/Controls.h"

#include "app/Globals.h"
#include "camera/Camera.h"
#include "camera/ModelControls.h"

#include <GLFW/glfw3.h>
#include <algorithm>
#include <cmath>
#include <iterator>

bool tourActive = true;
bool tourShotStarted[tourShotTotal] = {false, false, false, false};
bool& tourStarted = tourShotStarted[0];
bool& stageOneStarted = tourShotStarted[1];
bool& stageTwoStarted = tourShotStarted[2];
bool& stageThreeStarted = tourShotStarted[3];
bool mouseCaptured = false;
EffectSwitches* effectSwitches = nullptr;

namespace {

constexpr glm::vec3 upAxis(0.0f, 1.0f, 0.0f);
constexpr double turnVelocityRestDegrees = 0.0001;

} // namespace

// startEye and sceneTarget are constant-initialised, so copying them here is
// safe whichever file's globals start first.
const TourShot tourShots[] = {
    // The opening shot starts on the tour's first frame, whatever the clock says.
    {0.0f, startEye, sceneTarget, -2.5f, 0.0f, 0.0f, glm::vec3(0.0f)},
    {5.0f, glm::vec3(-10.0f, 15.0f, 15.0f), sceneTarget, 0.0f, 8.0f, 0.0f, glm::vec3(0.0f)},
    {12.0f, glm::vec3(10.0f, 25.0f, 25.0f), glm::vec3(10.0f, 25.0f, 20.0f), 0.0f, 0.0f, 3.5f,
     glm::vec3(-1.0f, 0.0f, 0.0f)},
    {16.0f, glm::vec3(-2.5f, 13.0f, 15.0f), glm::vec3(-1.5f, 11.0f, 10.0f), 0.0f, 0.0f, 0.75f,
     glm::vec3(1.0f, 0.0f, -1.0f)},
};

namespace {
constexpr size_t tourShotCount = std::size(tourShots);
static_assert(tourShotCount == tourShotTotal);

const TourShot* currentShot = nullptr;

// Keys 1 to 6 flip the switches in order, each while the list reaches it.
constexpr int effectKeys[] = {GLFW_KEY_1, GLFW_KEY_2, GLFW_KEY_3, GLFW_KEY_4, GLFW_KEY_5, GLFW_KEY_6};

void toggleEffect(size_t index)
{
    if (effectSwitches != nullptr && index < effectSwitches->size())
        (*effectSwitches)[index] = !(*effectSwitches)[index];
}

// A shot cuts in on the first frame at or past its start, unless the clock
// has already reached the next shot's start.
bool shotBegins(size_t index, float t)
{
    if (tourShotStarted[index])
        return false;
    if (index == 0)
        return true;
    const bool beforeNextShot = index + 1 == tourShotCount || t < tourShots[index + 1].startSeconds;
    return t >= tourShots[index].startSeconds && beforeNextShot;
}

// Only the drifts the shot has: one at zero speed would still rewrite the pose.
void driftWithShot(const TourShot& shot, float dt)
{
    if (shot.moveUnitsPerSecond != 0.0f)
        camera->move(shot.moveUnitsPerSecond, dt, shot.moveDirection);
    if (shot.orbitDegreesPerSecond != 0.0f)
        camera->turn(shot.orbitDegreesPerSecond, dt, upAxis);
    if (shot.zoomWheelStepsPerSecond != 0.0f)
        camera->zoom(shot.zoomWheelStepsPerSecond * dt);
}

// A shot's first frame already drifts by one step after the cut.
void tourStep(float dt)
{
    const float t = totalTime;
    for (size_t index = 0; index < tourShotCount; ++index) {
        if (shotBegins(index, t)) {
            tourShotStarted[index] = true;
            currentShot = &tourShots[index];
            camera->setPosition(currentShot->eye.x, currentShot->eye.y, currentShot->eye.z);
            camera->lookAtTarget(currentShot->target);
            driftWithShot(*currentShot, dt);
            return;
        }
    }
    if (t >= tourEndSeconds) {
        showStartView();
        currentShot = nullptr;
        tourActive = false;
        return;
    }
    if (currentShot != nullptr)
        driftWithShot(*currentShot, dt);
}

} // namespace


// Registered, but the drag reads the cursor once a frame in controlCamera,
// against the centre it was put back to, rather than event by event.
void onCursorPos(GLFWwindow*, double, double) {}

void onScroll(GLFWwindow*, double, double yoffset)
{
    if (tourActive)
        return;
    if (modelControls)
        zoomTowardPivot(static_cast<float>(-yoffset));
    else
        camera->zoom(static_cast<float>(-yoffset));
}

void onWindowSize(GLFWwindow*, int width, int height)
{
    windowWidth = width;
    windowHeight = height;
    glViewport(0, 0, width, height);
    camera->setProjection(Camera::fieldOfViewRadians, static_cast<float>(width), static_cast<float>(height),
                          Camera::nearPlane, Camera::farPlane);
}

void onKey(GLFWwindow* target, int key, int, int action, int)
{
    if (key == GLFW_KEY_ESCAPE) {
        glfwSetWindowShouldClose(target, 1);
        return;
    }
    if (action != GLFW_RELEASE)
        return;
    const auto effectKey = std::find(std::begin(effectKeys), std::end(effectKeys), key);
    if (effectKey != std::end(effectKeys)) {
        toggleEffect(static_cast<size_t>(effectKey - std::begin(effectKeys)));
    } else if (key == GLFW_KEY_SPACE) {
        tourActive = false;
        showStartView();
    } else if (modelControls) {
        onModelKeyRelease(key, tourActive);
    }
}

void onMouseButton(GLFWwindow* target, int button, int action, int)
{
    if (modelControls && onModelMouseButton(target, button, action, mouseCaptured))
        return;
    if (button != GLFW_MOUSE_BUTTON_LEFT)
        return;
    if (action == GLFW_PRESS) {
        mouseCaptured = true;
        glfwSetInputMode(target, GLFW_CURSOR, GLFW_CURSOR_HIDDEN);
        centreCursor(target);
    } else if (action == GLFW_RELEASE) {
        mouseCaptured = false;
        glfwSetInputMode(target, GLFW_CURSOR, GLFW_CURSOR_NORMAL);
    }
}

void turnWithInertia(double dragPixels, float dt)
{
    if (std::fabs(dragPixels) > 0.0)
        camera->turnVelocity += dragPixels;
    double velocity = camera->turnVelocity;
    if (std::fabs(velocity) > turnVelocityRestDegrees) {
        velocity = velocity - static_cast<double>(dt) * velocity;
        camera->turnVelocity = velocity;
        // A model's camera turns about the vertical through its pivot, which
        // is the world's vertical through the scene target until a pan.
        const glm::vec3 axisPoint = modelControls ? glm::vec3(orbitPivot.x, 0.0f, orbitPivot.z) : glm::vec3(0.0f);
        const float offAxis = glm::length(axisPoint);
        if (offAxis > 0.0f)
            camera->move(offAxis, 1.0f, -axisPoint);
        camera->turn(static_cast<float>(-velocity), dt, upAxis);
        if (offAxis > 0.0f)
            camera->move(offAxis, 1.0f, axisPoint);
    } else {
        camera->turnVelocity = 0.0;
    }
}

void controlCamera(float dt)
{
    if (tourActive) {
        tourStep(dt);
        return;
    }
    double dragPixels = 0.0;
    if (mouseCaptured || panCaptured) {
        double x = 0.0;
        double y = 0.0;
        glfwGetCursorPos(window, &x, &y);
        centreCursor(window);
        const double dx = x - static_cast<double>(windowWidth / 2);
        const double dy = y - static_cast<double>(windowHeight / 2);
        if (panCaptured) {
            panCamera(dx, dy, windowHeight);
        } else {
            dragPixels = dx;
            if (modelControls)
                tiltCamera(static_cast<float>(dy) * tiltDegreesPerPixel);
        }
    }
    turnWithInertia(dragPixels, dt);
}

void resetControls()
{
    tourActive = true;
    std::fill(std::begin(tourShotStarted), std::end(tourShotStarted), false);
    currentShot = nullptr;
    mouseCaptured = false;
    panCaptured = false;
    orbitPivot = sceneTarget;
}
