// Input controls: the scripted tour, mouse turn with inertia, wheel zoom and the keys.
#pragma once

#include "base/EffectSwitches.h"

#include <cstddef>
#include <glm/glm.hpp>

struct GLFWwindow;

// The clock's step per frame where frames are drawn for a picture rather
// than shown (the viewer's --output, the capture tool's replay, the scene
// generator's checks): the tour then moves as it would at 30 frames a second.
constexpr float pictureFrameSeconds = 1.0f / 30.0f;

// A cut to a new pose, then a steady drift until the next cut.
struct TourShot {
    float startSeconds;
    glm::vec3 eye;
    glm::vec3 target;
    // Wheel steps per second, as Camera::zoom takes them; negative closes in.
    float zoomWheelStepsPerSecond;
    // About the world's vertical axis, which passes through the scene target.
    float orbitDegreesPerSecond;
    float moveUnitsPerSecond;
    glm::vec3 moveDirection; // any length: the move normalises it
};

// The tour: its shots in order, and when it ends.
constexpr size_t tourShotTotal = 4;
extern const TourShot tourShots[tourShotTotal];
constexpr float tourEndSeconds = 30.0f;

extern bool tourActive;
// Whether each shot has begun, in order; one whose time a long frame
// skipped over never does. The names are the shots' flags one by one.
extern bool tourShotStarted[tourShotTotal];
extern bool& tourStarted;
extern bool& stageOneStarted;
extern bool& stageTwoStarted;
extern bool& stageThreeStarted;
extern bool mouseCaptured;

// The switches the number keys flip: the renderer's, once the viewer has
// one. Key 1 flips the first, and so on while the list reaches.
extern EffectSwitches* effectSwitches;

void onCursorPos(GLFWwindow* window, double x, double y);
void onScroll(GLFWwindow* window, double xoffset, double yoffset);
void onWindowSize(GLFWwindow* window, int width, int height);
void onKey(GLFWwindow* window, int key, int scancode, int action, int mods);
void onMouseButton(GLFWwindow* window, int button, int action, int mods);

// Once per frame, after event polling; `dt` is the frame time in seconds and
// `totalTime` already includes it.
void controlCamera(float dt);

// The free-mode step without the cursor: `dragPixels` of horizontal drag
// feed the turn speed, which then decays and turns the camera.
void turnWithInertia(double dragPixels, float dt);

// Puts every control back to its start-up value (tests and tools that run
// the tour more than once in a process).
void resetControls();
