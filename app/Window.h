// The one window and its GL context.
#pragma once

#include <string>

struct GLFWwindow;

constexpr const char* windowTitle = "Brassfern";

// glfwInit, the context hints, the settings and the window with a current,
// loaded GL context. `visible` false opens a hidden window for tools.
// A positive override replaces the window size the settings give. The
// settings come from `settingsFile`, Settings/resolution.txt when empty; what
// cannot be used of them goes to standard error, a line each. `debugContext`
// asks for a debug context and prints the driver's messages. Every failure
// ends the process with status 1.
void openWindow(bool visible, int overrideWidth = 0, int overrideHeight = 0, const std::string& settingsFile = "",
                bool debugContext = false);

// Which context a picture (--output) is drawn in: the hidden window
// openWindow opens, where GLFW opens a display, else a context with no
// window system (HeadlessContext), whose pictures are the same; that one
// first where it draws as fast as the display's GL would; or that one alone.
enum class PictureContext { windowFirst, headlessFirst, headlessOnly };

// The context of a picture, as `choice` says. Without a window, the
// window is null and the framebuffer the window's size. Says whether the
// context is headless; a run that gets neither ends with status 1.
bool openPictureContext(PictureContext choice, int overrideWidth = 0, int overrideHeight = 0,
                        const std::string& settingsFile = "", bool debugContext = false);

// Ends GLFW (closing the window) and the headless context, whichever is open.
void closeWindow();

// The window's framebuffer changed size (a move to a screen of another density).
void onFramebufferSize(GLFWwindow* window, int width, int height);
