// The tour's four shots, the mouse and wheel in free mode, and the key table.
#include "camera/Controls.h"

#include "app/Globals.h"
#include "camera/Camera.h"
#include "render/Renderer.h"

#include <GLFW/glfw3.h>
#include <cmath>

bool tourActive = true;
bool tourStarted = false;
bool stageOneStarted = false;
bool stageTwoStarted = false;
bool stageThreeStarted = false;
float tourMoveSpeed = 0.0f;
glm::vec3 tourMoveDirection(0.0f);
float tourTurnSpeed = 0.0f;
float tourZoomSpeed = 0.0f;
bool mouseCaptured = false;

namespace {

constexpr glm::vec3 upAxis(0.0f, 1.0f, 0.0f);
constexpr float stageOneSeconds = 5.0f;
constexpr float stageTwoSeconds = 12.0f;
constexpr float stageThreeSeconds = 16.0f;
constexpr float tourEndSeconds = 30.0f;
constexpr double turnVelocityRestDegrees = 0.0001;

void showStartView()
{
    camera->setPosition(0.0f, 20.0f, 25.0f);
    camera->lookAtTarget(sceneTarget);
}

void setTourSpeeds(float move, const glm::vec3& direction, float turn, float zoom)
{
    tourMoveSpeed = move;
    tourMoveDirection = direction;
    tourTurnSpeed = turn;
    tourZoomSpeed = zoom;
}

void toggleEffect(size_t index)
{
    if (renderer != nullptr && index < renderer->effectEnabled.size())
        renderer->effectEnabled[index] = !renderer->effectEnabled[index];
}

void centreCursor(GLFWwindow* target)
{
    glfwSetCursorPos(target, static_cast<double>(windowWidth / 2), static_cast<double>(windowHeight / 2));
}

void tourStep(float dt)
{
    const float t = totalTime;
    if (!tourStarted) {
        tourStarted = true;
        showStartView();
        setTourSpeeds(0.0f, tourMoveDirection, 0.0f, -2.5f);
        camera->zoom(-2.5f * dt);
        return;
    }
    if (t >= stageOneSeconds && t < stageTwoSeconds && !stageOneStarted) {
        stageOneStarted = true;
        camera->setPosition(-10.0f, 15.0f, 15.0f);
        camera->lookAtTarget(sceneTarget);
        setTourSpeeds(0.0f, tourMoveDirection, 8.0f, 0.0f);
        camera->turn(8.0f, dt, upAxis);
        return;
    }
    if (t >= stageTwoSeconds && t < stageThreeSeconds && !stageTwoStarted) {
        stageTwoStarted = true;
        camera->setPosition(10.0f, 25.0f, 25.0f);
        camera->lookAtTarget(glm::vec3(10.0f, 25.0f, 20.0f));
        setTourSpeeds(3.5f, glm::vec3(-1.0f, 0.0f, 0.0f), 0.0f, 0.0f);
        camera->move(3.5f, dt, glm::vec3(-1.0f, 0.0f, 0.0f));
        return;
    }
    if (t >= stageThreeSeconds && !stageThreeStarted) {
        stageThreeStarted = true;
        camera->setPosition(-2.5f, 13.0f, 15.0f);
        camera->lookAtTarget(glm::vec3(-1.5f, 11.0f, 10.0f));
        setTourSpeeds(0.75f, glm::vec3(1.0f, 0.0f, -1.0f), 0.0f, 0.0f);
        camera->move(0.75f, dt, glm::vec3(1.0f, 0.0f, -1.0f));
        return;
    }
    if (t >= tourEndSeconds) {
        showStartView();
        tourMoveSpeed = 0.0f;
        tourTurnSpeed = 0.0f;
        tourZoomSpeed = 0.0f;
        tourActive = false;
        return;
    }
    if (tourMoveSpeed != 0.0f)
        camera->move(tourMoveSpeed, dt, tourMoveDirection);
    if (tourTurnSpeed != 0.0f)
        camera->turn(tourTurnSpeed, dt, upAxis);
    if (tourZoomSpeed != 0.0f)
        camera->zoom(tourZoomSpeed * dt);
}

} // namespace

void onCursorPos(GLFWwindow*, double, double) {}

void onScroll(GLFWwindow*, double, double yoffset)
{
    if (!tourActive)
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
    if (key >= GLFW_KEY_1 && key <= GLFW_KEY_6) {
        toggleEffect(static_cast<size_t>(key - GLFW_KEY_1));
    } else if (key == GLFW_KEY_SPACE) {
        tourActive = false;
        showStartView();
    }
}

void onMouseButton(GLFWwindow* target, int button, int action, int)
{
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
        camera->turn(static_cast<float>(-velocity), dt, upAxis);
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
    if (mouseCaptured) {
        double x = 0.0;
        double y = 0.0;
        glfwGetCursorPos(window, &x, &y);
        centreCursor(window);
        dragPixels = x - static_cast<double>(windowWidth / 2);
    }
    turnWithInertia(dragPixels, dt);
}

void resetControls()
{
    tourActive = true;
    tourStarted = false;
    stageOneStarted = false;
    stageTwoStarted = false;
    stageThreeStarted = false;
    setTourSpeeds(0.0f, glm::vec3(0.0f), 0.0f, 0.0f);
    mouseCaptured = false;
}
