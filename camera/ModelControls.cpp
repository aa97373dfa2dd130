// A model's camera about its pivot.
#include "camera/ModelControls.h"

#include "app/Globals.h"
#include "camera/Camera.h"

#include <GLFW/glfw3.h>
#include <algorithm>
#include <cmath>
#include <glm/gtc/matrix_transform.hpp>

bool modelControls = false;
// sceneTarget is constant-initialised: safe to copy whichever file starts first.
glm::vec3 orbitPivot = sceneTarget;
bool panCaptured = false;
std::function<void()> saveScreenshot;
std::function<void()> switchGround;
std::function<void(const std::string&)> openDroppedFile;

namespace {

constexpr glm::vec3 upAxis(0.0f, 1.0f, 0.0f);
// As Camera::zoom: a wheel step covers a twentieth of the distance.
constexpr float zoomStepsToPivot = 20.0f;

void poseAt(const glm::vec3& eye, const glm::vec3& target)
{
    camera->setPosition(eye.x, eye.y, eye.z);
    camera->lookAtTarget(target);
}

} // namespace

void tiltCamera(float degrees)
{
    const glm::vec3 eye = camera->position();
    const glm::vec3 offset = eye - orbitPivot;
    const float distance = glm::length(offset);
    if (!(distance > 0.0f))
        return;
    // The angle from straight up, clamped short of both poles.
    const float fromUp = std::acos(std::clamp(offset.y / distance, -1.0f, 1.0f));
    const float margin = glm::radians(tiltMarginDegrees);
    const float wanted = std::clamp(fromUp - glm::radians(degrees), margin, glm::pi<float>() - margin);
    // The side of the pivot the camera stands on; straight above or below
    // it, the side the view looks from.
    glm::vec3 flat(offset.x, 0.0f, offset.z);
    if (glm::length(flat) <= 1e-6f * distance)
        flat = glm::vec3(camera->transform[2].x, 0.0f, camera->transform[2].z);
    const glm::vec3 across = glm::length(flat) > 0.0f ? glm::normalize(flat) : glm::vec3(0.0f, 0.0f, 1.0f);
    const glm::vec3 moved = orbitPivot + distance * (std::cos(wanted) * upAxis + std::sin(wanted) * across);
    poseAt(moved, orbitPivot);
}

void panCamera(double dx, double dy, int windowHeightPixels)
{
    const float distance = glm::length(camera->position() - orbitPivot);
    // The view's height at the pivot's distance, over the window's pixels.
    const float unitsPerPixel = 2.0f * distance * std::tan(0.5f * Camera::fieldOfViewRadians) /
                                static_cast<float>(std::max(windowHeightPixels, 1));
    const glm::vec3 right(camera->transform[0]);
    const glm::vec3 up(camera->transform[1]);
    const glm::vec3 shift = unitsPerPixel * (-static_cast<float>(dx) * right + static_cast<float>(dy) * up);
    orbitPivot += shift;
    poseAt(camera->position() + shift, orbitPivot);
}

void zoomTowardPivot(float amount)
{
    const glm::vec3 offset = camera->position() - orbitPivot;
    const float distance = glm::length(offset);
    if (!(distance > 0.0f))
        return;
    const float wanted = std::clamp(distance + distance * amount / zoomStepsToPivot, camera->minDistance,
                                    camera->maxDistance);
    poseAt(orbitPivot + offset * (wanted / distance), orbitPivot);
}

void reframeModel()
{
    orbitPivot = sceneTarget;
    camera->turnVelocity = 0.0;
    showStartView();
}

void showStartView()
{
    orbitPivot = sceneTarget;
    camera->setPosition(startEye.x, startEye.y, startEye.z);
    camera->lookAtTarget(sceneTarget);
}

void centreCursor(GLFWwindow* target)
{
    glfwSetCursorPos(target, static_cast<double>(windowWidth / 2), static_cast<double>(windowHeight / 2));
}

void onModelKeyRelease(int key, bool touring)
{
    if (key == GLFW_KEY_F && !touring)
        reframeModel();
    else if (key == GLFW_KEY_P && saveScreenshot)
        saveScreenshot();
    else if (key == GLFW_KEY_G && switchGround)
        switchGround();
}

bool onModelMouseButton(GLFWwindow* target, int button, int action, bool turning)
{
    if (button != GLFW_MOUSE_BUTTON_RIGHT && button != GLFW_MOUSE_BUTTON_MIDDLE)
        return false;
    if (action == GLFW_PRESS && !turning) {
        panCaptured = true;
        glfwSetInputMode(target, GLFW_CURSOR, GLFW_CURSOR_HIDDEN);
        centreCursor(target);
    } else if (action == GLFW_RELEASE && panCaptured) {
        panCaptured = false;
        glfwSetInputMode(target, GLFW_CURSOR, GLFW_CURSOR_NORMAL);
    }
    return true;
}

void onDrop(GLFWwindow*, int count, const char** paths)
{
    if (count > 0 && openDroppedFile)
        openDroppedFile(paths[0]);
}
