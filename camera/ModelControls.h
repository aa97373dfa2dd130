// Free-mode controls for a model given by path: a pivot to turn, tilt, pan and zoom about, keys to reframe, save a picture and switch the ground, and files dropped on the window.
#pragma once

#include <functional>
#include <glm/glm.hpp>
#include <string>

struct GLFWwindow;

// Whether the run shows a model given by path. The built-in scene keeps the
// controls its tour was made for, input by input; a model also tilts, pans,
// reframes and saves pictures.
extern bool modelControls;

// The point a model's camera looks at, turns, tilts and zooms about: the
// scene target until a pan moves it.
extern glm::vec3 orbitPivot;

// A model's camera is being panned (right or middle button held).
extern bool panCaptured;

// Saves the frame as brassfern-NNNN.png; set by the viewer.
extern std::function<void()> saveScreenshot;
// Shows or hides the ground under the model; set by the viewer.
extern std::function<void()> switchGround;
// Opens a file dropped on the window in place of the model; set by the viewer.
extern std::function<void(const std::string&)> openDroppedFile;

// The camera at startEye, looking at the scene target: the pose at start-up,
// after the tour and on Space.
void showStartView();

// Puts the cursor back in the middle of the window, where a drag measures from.
void centreCursor(GLFWwindow* target);

// The keys a model adds, on release: F frames it again (not while
// `touring`), P saves the frame, G switches the ground. Others do nothing.
void onModelKeyRelease(int key, bool touring);

// The right and middle buttons pan a model's camera, unless the left one
// already turns it. True when the button was one of them.
bool onModelMouseButton(GLFWwindow* target, int button, int action, bool turning);

// The drop callback: of several files, the first is opened.
void onDrop(GLFWwindow* window, int count, const char** paths);

// Turns the camera about the pivot, up or down by `degrees` (positive looks
// down from higher), kept at least `tiltMarginDegrees` short of straight up
// and straight down.
constexpr float tiltMarginDegrees = 5.0f;
void tiltCamera(float degrees);

// Moves the camera and the pivot across the view, as far as `dx`, `dy`
// pixels of drag are at the pivot's distance: the model follows the cursor.
void panCamera(double dx, double dy, int windowHeightPixels);

// The wheel for a model: toward or away from the pivot, as Camera::zoom
// goes toward the scene target, within the same distances.
void zoomTowardPivot(float amount);

// The start view again, looking at the scene target, with no turn left.
void reframeModel();

// Degrees of tilt for a pixel of vertical drag.
constexpr float tiltDegreesPerPixel = 0.25f;
