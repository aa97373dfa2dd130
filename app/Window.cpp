// The window and its GL context: GLFW with its retries, the settings' sizes, the context hints and the loader.
#include "app/Window.h"

#include "app/Globals.h"
#include "app/HeadlessContext.h"
#include "app/ResolutionSettings.h"
#include "base/Fatal.h"
#include "base/Printable.h"
#include "base/StartupTimes.h"
#include "gpu/DriverFallbacks.h"
#include "gpu/GlDebug.h"
#include "render/RenderPass.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>
#include <chrono>
#include <cstdlib>
#include <iostream>
#include <thread>

namespace {

// The framebuffer is the window's size but on high-density screens.
void readFramebufferSize()
{
    framebufferWidth = windowWidth;
    framebufferHeight = windowHeight;
    if (window != nullptr)
        glfwGetFramebufferSize(window, &framebufferWidth, &framebufferHeight);
    if (fallbackForced(Fallback::framebufferScale)) {
        framebufferWidth = 2 * windowWidth;
        framebufferHeight = 2 * windowHeight;
    }
    if (framebufferWidth != windowWidth || framebufferHeight != windowHeight)
        reportFallback(Fallback::framebufferScale, "the framebuffer is larger than the window");
}

// An X server busy taking other clients refuses a connection now and then
// (about one in a thousand when three programs start at once): a few tries,
// a little apart, where there is a display to try. Without one, the first
// answer stands.
bool initGlfw()
{
    const char* display = std::getenv("DISPLAY");
    const int tries = display != nullptr && *display != '\0' ? 4 : 1;
    for (int attempt = 0; attempt < tries; ++attempt) {
        if (attempt > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(50 << attempt));
        if (glfwInit())
            return true;
    }
    return false;
}

[[noreturn]] void failWindow()
{
    closeWindow();
    fatal({"Error: Could not create window"}, 1);
}

// Standard error, so that standard output keeps its exact lines.
void reportSettings(const std::string& file, const std::vector<std::string>& problems)
{
    for (const std::string& problem : problems)
        std::cerr << printable(file) << ": " << problem << std::endl;
}

// The settings' sizes into the process-wide state; a positive override
// replaces the window size. What cannot be used goes to standard error.
// Full screen takes the primary monitor's mode where there is a monitor to ask.
ResolutionSettings applySettings(const std::string& settingsPath, int overrideWidth, int overrideHeight,
                                 bool monitors)
{
    ResolutionSettings settings(settingsPath);
    reportSettings(settingsPath, settings.problems());
    fullscreen = settings.fullscreen;
    windowWidth = settings.win_width;
    windowHeight = settings.win_height;
    renderWidth = settings.res_width;
    renderHeight = settings.res_height;
    shadowMapWidth = settings.sm_width;
    shadowMapHeight = settings.sm_height;
    GLFWmonitor* monitor = fullscreen && monitors ? glfwGetPrimaryMonitor() : nullptr;
    if (const GLFWvidmode* mode = monitor != nullptr ? glfwGetVideoMode(monitor) : nullptr) {
        windowWidth = mode->width;
        windowHeight = mode->height;
    }
    if (overrideWidth > 0 && overrideHeight > 0) {
        windowWidth = overrideWidth;
        windowHeight = overrideHeight;
    }
    // GLFW asserts on a negative size instead of refusing it, and it clears
    // and presents the new window before returning: a window past what the
    // server's shared-memory images take ends the process inside Xlib or xcb
    // right there. No GL draws into more than the limit below anyway.
    if (windowWidth <= 0 || windowHeight <= 0 || windowWidth > ResolutionSettings::maxWindowSide ||
        windowHeight > ResolutionSettings::maxWindowSide)
        failWindow();
    return settings;
}

// The GL entry points for the context current. GLEW as Debian builds it
// loads them all, then looks for the GLX display of the context; a context
// made through EGL has none, which it reports as GLEW_ERROR_NO_GLX_DISPLAY
// after everything the viewer calls is loaded.
void loadGl(bool debugContext, bool forwardCompatible)
{
    glewExperimental = GL_TRUE;
    const GLenum loaded = glewInit();
    if (loaded != GLEW_OK && !(loaded == GLEW_ERROR_NO_GLX_DISPLAY && headlessContextOpen())) {
        closeWindow();
        fatal({"Error: GLEW could not be initialized"}, 1);
    }
    // GLEW's loader trips over core contexts and leaves a harmless
    // INVALID_ENUM behind; it is not this program's error to report.
    glGetError();
    if (forwardCompatible)
        reportFallback(Fallback::forwardCompatible, "forced");
    if (debugContext)
        enableGlDebugOutput();
}

// Once the context is current: what the GL can draw, against the sizes asked for.
void checkSizes(const std::string& settingsPath, const ResolutionSettings& settings)
{
    readFramebufferSize();
    // A GL that draws into less than the window would leave part of it
    // undrawn in every frame.
    GLint maxViewport[2] = {0, 0};
    glGetIntegerv(GL_MAX_VIEWPORT_DIMS, maxViewport);
    if (windowWidth > maxViewport[0] || windowHeight > maxViewport[1])
        failWindow();
    int largestWidth = 0;
    int largestHeight = 0;
    largestRenderTarget(largestWidth, largestHeight);
    reportSettings(settingsPath, settings.targetProblems(largestWidth, largestHeight));
}

bool forcedForwardCompatible()
{
#ifdef __APPLE__
    // macOS grants a 3.3 core context only when it is forward-compatible.
    return true;
#else
    return fallbackForced(Fallback::forwardCompatible);
#endif
}

// The window with its context, once GLFW is initialised.
void createWindow(bool visible, int overrideWidth, int overrideHeight, const std::string& settingsFile,
                  bool debugContext)
{
    glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 3);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 3);
    glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
    const bool forwardCompatible = forcedForwardCompatible();
    if (forwardCompatible)
        glfwWindowHint(GLFW_OPENGL_FORWARD_COMPAT, GLFW_TRUE);
    if (debugContext)
        glfwWindowHint(GLFW_OPENGL_DEBUG_CONTEXT, GLFW_TRUE);
    if (!visible)
        glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);

    const std::string settingsPath = settingsFile.empty() ? ResolutionSettings::path : settingsFile;
    const ResolutionSettings settings = applySettings(settingsPath, overrideWidth, overrideHeight, true);
    GLFWmonitor* monitor = fullscreen ? glfwGetPrimaryMonitor() : nullptr;
    window = glfwCreateWindow(windowWidth, windowHeight, windowTitle, monitor, nullptr);
    if (window == nullptr)
        failWindow();
    glfwMakeContextCurrent(window);
    loadGl(debugContext, forwardCompatible);
    checkSizes(settingsPath, settings);
}

} // namespace

void onFramebufferSize(GLFWwindow*, int, int)
{
    readFramebufferSize();
}

void openWindow(bool visible, int overrideWidth, int overrideHeight, const std::string& settingsFile,
                bool debugContext)
{
    const StartupClock clock(startupTimes.context);
    if (!initGlfw())
        fatal({"Error: Could not init GLFW"}, 1);
    createWindow(visible, overrideWidth, overrideHeight, settingsFile, debugContext);
}

bool openPictureContext(PictureContext choice, int overrideWidth, int overrideHeight, const std::string& settingsFile,
                        bool debugContext)
{
    const StartupClock clock(startupTimes.context);
    std::string reason;
    // A context with no window system starts in half the time of a hidden
    // window's (no display to talk to); a software one is kept only where
    // the display's GL would be software too.
    bool headless = choice == PictureContext::headlessFirst && openHeadlessContext(debugContext, reason);
    if (headless && !headlessDrawsAsFast()) {
        closeHeadlessContext();
        headless = false;
    }
    if (!headless && choice != PictureContext::headlessOnly && initGlfw()) {
        createWindow(false, overrideWidth, overrideHeight, settingsFile, debugContext);
        return false;
    }
    if (!headless && !openHeadlessContext(debugContext, reason))
        fatal({"Error: Could not open a GL context without a display: " + reason}, 1);
    const std::string settingsPath = settingsFile.empty() ? ResolutionSettings::path : settingsFile;
    // No monitor without a window system: a full screen is drawn at the window size.
    const ResolutionSettings settings = applySettings(settingsPath, overrideWidth, overrideHeight, false);
    loadGl(debugContext, false);
    checkSizes(settingsPath, settings);
    return true;
}

void closeWindow()
{
    glfwTerminate();
    window = nullptr;
    closeHeadlessContext();
}
