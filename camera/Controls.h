// Input controls: the scripted tour, mouse turn with inertia, wheel zoom and the keys.
#pragma once

#include <glm/glm.hpp>

struct GLFWwindow;

extern bool tourActive;
extern bool tourStarted;
extern bool stageOneStarted;
extern bool stageTwoStarted;
extern bool stageThreeStarted;
extern bool mouseCaptured;

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

// The camera at startEye, looking at the scene target: the pose at start-up,
// after the tour and on Space.
void showStartView();

// Puts every control back to its start-up value (tests and tools that run
// the tour more than once in a process).
void resetControls();
