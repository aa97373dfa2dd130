// Start-up, the frame loop and shutdown of the viewer.
#pragma once

// glfwInit, the context hints, the settings and the window with a current,
// loaded GL context. `visible` false opens a hidden window for tools.
// A positive override replaces the window size the settings give. Every
// failure ends the process with status 1.
void openWindow(bool visible, int overrideWidth = 0, int overrideHeight = 0);

// The image library, the run-wide GL state, the renderer, the camera, the
// light and the imported scene, in that order.
void initScene();

// Installs the input callbacks on the window.
void registerCallbacks();

// One turn of the frame loop after the clock was read.
void runFrame(float dt);

// Polls one pending GL error and prints it when it is one of the known codes.
void reportGlError();

// Releases everything initScene created, in creation order.
void shutdown();

// The whole viewer: start-up, the frame loop until the window closes, shutdown.
int runViewer();
