// Camera pose operations, all applied in world space on the left of the transform.
#include "camera/Camera.h"

#include "gpu/ShaderProgram.h"
#include "gpu/Uniforms.h"

#include <algorithm>
#include <glm/gtc/matrix_transform.hpp>

const glm::vec3 sceneTarget(0.0f, 7.0f, 0.0f);
const glm::vec3 startEye(0.0f, 20.0f, 25.0f);

namespace {

// One wheel step moves the camera this fraction of its distance to the
// target, so zooming feels the same near and far.
constexpr float zoomStepsToTarget = 20.0f;

} // namespace

void Camera::setProjection(float fovy, float width, float height, float near, float far)
{
    projection = glm::perspective(fovy, width / height, near, far);
    inverseProjection = glm::inverse(projection);
}

void Camera::setPosition(float x, float y, float z)
{
    transform[3] = glm::vec4(x, y, z, 1.0f);
    view = glm::inverse(transform);
}

void Camera::lookAtTarget(const glm::vec3& target)
{
    transform = glm::inverse(glm::lookAt(position(), target, glm::vec3(0.0f, 1.0f, 0.0f)));
    view = glm::inverse(transform);
}

void Camera::turn(float angleDegrees, float factor, const glm::vec3& axis)
{
    transform = glm::rotate(glm::mat4(1.0f), glm::radians(angleDegrees) * factor, axis) * transform;
    view = glm::inverse(transform);
}

void Camera::move(float amount, float factor, const glm::vec3& direction)
{
    transform = glm::translate(glm::mat4(1.0f), glm::normalize(direction) * factor * amount) * transform;
    view = glm::inverse(transform);
}

void Camera::zoom(float amount)
{
    // The w component takes part on purpose: d is sqrt(|p - target|^2 + 1),
    // which is what the zoom limits are expressed in.
    const glm::vec4 offset = transform[3] - glm::vec4(sceneTarget, 0.0f);
    const float distance = glm::length(offset);
    float step = distance * amount / zoomStepsToTarget;
    if (step < 0.0f)
        step = std::max(step, minDistance - distance);
    else if (step > 0.0f)
        step = std::min(step, maxDistance - distance);
    move(step, 1.0f, glm::vec3(offset));
}

void Camera::setCameraUniforms(const ShaderProgram& program) const
{
    glUseProgram(program.program);
    const glm::vec4 eye = transform[3];
    setUniform(program.program, "cameraPosition", glm::vec4(eye.x, eye.y, eye.z, 1.0f));
    setUniform(program.program, "near_plane", nearPlane);
    setUniform(program.program, "far_plane", farPlane);
}
