// The one camera: projection, pose and the operations that move it.
#pragma once

#include <glm/glm.hpp>

class ShaderProgram;

// The fixed point the camera aims at, zooms toward and measures focus from.
extern const glm::vec3 sceneTarget;
// Where the camera stands at start-up and after the tour, looking at sceneTarget.
extern const glm::vec3 startEye;

class Camera {
public:
    glm::mat4 projection{1.0f};
    glm::mat4 transform{1.0f}; // camera to world; column 3 is the position
    glm::mat4 view{1.0f};      // always inverse(transform)
    glm::mat4 inverseProjection{1.0f};
    double turnVelocity = 0.0; // degrees per second, from the mouse drag
    float minDistance = 5.0f;
    float maxDistance = 100.0f;

    static constexpr float fieldOfViewRadians = 1.0471975803375244f;
    static constexpr float nearPlane = 1.0f;
    static constexpr float farPlane = 800.0f;

    void setProjection(float fovy, float width, float height, float near, float far);
    void setPosition(float x, float y, float z);
    void lookAtTarget(const glm::vec3& target);
    void turn(float angleDegrees, float factor, const glm::vec3& axis);
    void move(float amount, float factor, const glm::vec3& direction);
    void zoom(float amount);
    void setCameraUniforms(const ShaderProgram& program) const;

    glm::vec3 position() const { return glm::vec3(transform[3]); }
};
