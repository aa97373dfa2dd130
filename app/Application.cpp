// The viewer's start-up, frame loop and shutdown over the process-wide state.
#include "app/Application.h"

#include "app/CommandLine.h"
#include "base/Fatal.h"
#include "app/Globals.h"
#include "app/ModelSwap.h"
#include "app/PictureFile.h"
#include "base/Printable.h"
#include "app/ResolutionSettings.h"
#include "camera/Camera.h"
#include "camera/Controls.h"
#include "camera/ModelControls.h"
#include "gpu/DrawPacing.h"
#include "gpu/DriverFallbacks.h"
#include "gpu/GlDebug.h"
#include "gpu/ShaderProgram.h"
#include "base/StartupTimes.h"
#include "gpu/Texture.h"
#include "render/RenderPass.h"
#include "base/EffectSwitches.h"
#include "render/Renderer.h"
#include "render/ShadowLight.h"
#include "render/Stage.h"
#include "scene/Framing.h"
#include "import/ImportProcess.h"
#include "scene/ModelObjects.h"
#include "scene/SceneImport.h"
#include "scene/SceneObject.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>
#include <IL/il.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <thread>
#include <vector>

namespace {

constexpr const char* windowTitle = "Brassfern";
constexpr const char* builtInScenePath = "SceneObjects/FinalScene/final_scene.obj";

const char* glErrorName(GLenum code)
{
    switch (code) {
    case GL_INVALID_ENUM:
        return "INVALID_ENUM";
    case GL_INVALID_VALUE:
        return "INVALID_VALUE";
    case GL_INVALID_OPERATION:
        return "INVALID_OPERATION";
    case GL_STACK_OVERFLOW:
        return "STACK_OVERFLOW";
    case GL_STACK_UNDERFLOW:
        return "STACK_UNDERFLOW";
    case GL_OUT_OF_MEMORY:
        return "OUT_OF_MEMORY";
    case GL_INVALID_FRAMEBUFFER_OPERATION:
        return "INVALID_FRAMEBUFFER_OPERATION";
    default:
        return nullptr;
    }
}

// The framebuffer is the window's size but on high-density screens.
void readFramebufferSize()
{
    glfwGetFramebufferSize(window, &framebufferWidth, &framebufferHeight);
    if (fallbackForced(Fallback::framebufferScale)) {
        framebufferWidth = 2 * windowWidth;
        framebufferHeight = 2 * windowHeight;
    }
    if (framebufferWidth != windowWidth || framebufferHeight != windowHeight)
        reportFallback(Fallback::framebufferScale, "the framebuffer is larger than the window");
}

// Where files dropped on the window go.
ModelSwap* modelSwap = nullptr;

void onDrop(GLFWwindow*, int count, const char** paths)
{
    // One model at a time: of several files, the first is opened.
    if (count > 0 && modelSwap != nullptr)
        modelSwap->open(paths[0]);
}

void onFramebufferSize(GLFWwindow*, int, int)
{
    readFramebufferSize();
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
    glfwTerminate();
    fatal({"Error: Could not create window"}, 1);
}

// Standard error, so that standard output keeps its exact lines.
void reportSettings(const std::string& file, const std::vector<std::string>& problems)
{
    for (const std::string& problem : problems)
        std::cerr << printable(file) << ": " << problem << std::endl;
}

} // namespace

void openWindow(bool visible, int overrideWidth, int overrideHeight, const std::string& settingsFile,
                bool debugContext)
{
    const StartupClock clock(startupTimes.context);
    if (!initGlfw())
        fatal({"Error: Could not init GLFW"}, 1);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 3);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 3);
    glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
#ifdef __APPLE__
    // macOS grants a 3.3 core context only when it is forward-compatible.
    const bool forwardCompatible = true;
#else
    const bool forwardCompatible = fallbackForced(Fallback::forwardCompatible);
#endif
    if (forwardCompatible)
        glfwWindowHint(GLFW_OPENGL_FORWARD_COMPAT, GLFW_TRUE);
    if (debugContext)
        glfwWindowHint(GLFW_OPENGL_DEBUG_CONTEXT, GLFW_TRUE);
    if (!visible)
        glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);

    const std::string settingsPath = settingsFile.empty() ? ResolutionSettings::path : settingsFile;
    const ResolutionSettings settings(settingsPath);
    reportSettings(settingsPath, settings.problems());
    fullscreen = settings.fullscreen;
    windowWidth = settings.win_width;
    windowHeight = settings.win_height;
    renderWidth = settings.res_width;
    renderHeight = settings.res_height;
    shadowMapWidth = settings.sm_width;
    shadowMapHeight = settings.sm_height;

    GLFWmonitor* monitor = nullptr;
    if (fullscreen) {
        monitor = glfwGetPrimaryMonitor();
        if (const GLFWvidmode* mode = monitor != nullptr ? glfwGetVideoMode(monitor) : nullptr) {
            windowWidth = mode->width;
            windowHeight = mode->height;
        }
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
    window = glfwCreateWindow(windowWidth, windowHeight, windowTitle, monitor, nullptr);
    if (window == nullptr)
        failWindow();
    glfwMakeContextCurrent(window);
    glewExperimental = GL_TRUE;
    if (glewInit() != GLEW_OK) {
        glfwTerminate();
        fatal({"Error: GLEW could not be initialized"}, 1);
    }
    // GLEW's loader trips over core contexts and leaves a harmless
    // INVALID_ENUM behind; it is not this program's error to report.
    glGetError();
    if (forwardCompatible)
        reportFallback(Fallback::forwardCompatible, "forced");
    if (debugContext)
        enableGlDebugOutput();
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

ModelOutcome initScene(const std::string& sceneFile, import::ImportProcess* started)
{
    ilInit();
    glfwSetWindowTitle(window, windowTitle);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glViewport(0, 0, windowWidth, windowHeight);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

    {
        const StartupClock clock(startupTimes.renderer);
        renderer = new Renderer();
    }
    effectSwitches = &renderer->effectEnabled;

    camera = new Camera();
    camera->setProjection(Camera::fieldOfViewRadians, static_cast<float>(windowWidth),
                          static_cast<float>(windowHeight), Camera::nearPlane, Camera::farPlane);
    showStartView();

    {
        const StartupClock clock(startupTimes.light);
        shadowLight = new ShadowLight(sceneFile.empty() ? sceneLightPosition : modelLightPosition, glm::vec3(1.0f), 1.0f);
    }

    const StartupTimes before = startupTimes;
    ModelOutcome outcome = ModelOutcome::shown;
    {
        const StartupClock clock(startupTimes.sceneImport);
        if (sceneFile.empty()) {
            sceneObjects = importScene(builtInScenePath);
        } else {
            sceneObjects = importModel(sceneFile, started, outcome);
            // The built-in scene is made to the viewer's units; any other
            // model is placed where the start view frames it.
            scene::frameScene(sceneObjects, static_cast<float>(windowWidth) / static_cast<float>(windowHeight));
            renderer->stage = new render::Stage();
            placeStageUnderModel();
        }
    }
    startupTimes.sceneTextureDecoding = startupTimes.textureDecoding - before.textureDecoding;
    startupTimes.sceneProgramBuilds = startupTimes.programBuilds - before.programBuilds;
    startupTimes.sceneMeshUpload = startupTimes.meshUpload - before.meshUpload;
    return outcome;
}

void placeStageUnderModel()
{
    if (renderer->stage == nullptr)
        return;
    const scene::Bounds bounds = scene::sceneBounds(sceneObjects);
    renderer->stage->ground = bounds.empty ? render::placeGround(sceneTarget, sceneTarget)
                                           : render::placeGround(glm::vec3(bounds.low), glm::vec3(bounds.high));
}

void acceptDrops(ModelSwap* swap)
{
    modelSwap = swap;
    glfwSetDropCallback(window, swap != nullptr ? onDrop : nullptr);
}

void registerCallbacks()
{
    glfwSetCursorPosCallback(window, onCursorPos);
    glfwSetScrollCallback(window, onScroll);
    glfwSetWindowSizeCallback(window, onWindowSize);
    glfwSetFramebufferSizeCallback(window, onFramebufferSize);
    glfwSetKeyCallback(window, onKey);
    glfwSetMouseButtonCallback(window, onMouseButton);
}

void advanceFrame(float dt, bool pollInput)
{
    totalTime += dt;
    if (pollInput)
        glfwPollEvents();
    for (scene::SceneObject* object : sceneObjects)
        object->update(dt);
    controlCamera(dt);
}

namespace {

// Set by the screenshot key; the frame is saved once drawn, before it is shown.
bool screenshotWanted = false;
std::string screenshotFolder;

// brassfern-0001.png, or the next number free in the folder.
void saveNextScreenshot()
{
    for (int number = 1; number <= 9999; ++number) {
        char name[32];
        std::snprintf(name, sizeof name, "brassfern-%04d.png", number);
        const std::filesystem::path path = std::filesystem::path(screenshotFolder) / name;
        std::error_code error;
        if (std::filesystem::exists(path, error) || error)
            continue;
        std::string reason;
        if (saveWindowPicture(path.string(), &reason))
            std::cout << "Saved " << printable(path.string()) << std::endl;
        else
            std::cerr << "brassfern: could not write " << printable(path.string()) << ": " << reason << std::endl;
        return;
    }
    std::cerr << "brassfern: no free screenshot name left in " << printable(screenshotFolder) << std::endl;
}

} // namespace

void runFrame(float dt)
{
    advanceFrame(dt, true);
    renderFrame();
    if (screenshotWanted) {
        screenshotWanted = false;
        saveNextScreenshot();
    }
    glfwSwapBuffers(window);
    reportGlError();
}

void reportGlError()
{
    const GLenum code = glGetError();
    if (const char* name = glErrorName(code))
        std::cout << "GL ERROR DETECTED!!! " << name << " (" << static_cast<unsigned>(code) << ")" << std::endl;
}

void shutdown()
{
    endDrawPacing();
    effectSwitches = nullptr;
    delete renderer;
    delete camera;
    delete shadowLight;
    for (scene::SceneObject* object : sceneObjects)
        delete object;
    sceneObjects.clear();
    // The records go; their GL textures stay with the context, which ends next.
    for (const auto& entry : textureCache)
        delete entry.second;
    textureCache.clear();
    for (ShaderProgram* program : sharedScenePrograms)
        delete program;
    sharedScenePrograms.clear();
}

bool drawPicture(int frames, float step, const std::string& path, std::string* reason)
{
    for (int frame = 0; frame < frames; ++frame) {
        if (step > 0.0f)
            advanceFrame(step, false);
        renderFrame();
        if (frame + 1 < frames) {
            glfwSwapBuffers(window);
            reportGlError();
        }
    }
    glFinish();
    const bool saved = saveWindowPicture(path, reason);
    reportGlError();
    return saved;
}

bool saveWindowPicture(const std::string& path, std::string* reason)
{
    std::vector<unsigned char> pixels(static_cast<size_t>(framebufferWidth) * static_cast<size_t>(framebufferHeight) *
                                      3);
    glBindFramebuffer(GL_FRAMEBUFFER, renderer->pictureFramebuffer);
    glReadBuffer(renderer->pictureFramebuffer != 0 ? GL_COLOR_ATTACHMENT0 : GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, framebufferWidth, framebufferHeight, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    std::string why;
    const bool saved = writePicture(path, framebufferWidth, framebufferHeight, pixels.data(), why);
    if (reason != nullptr)
        *reason = why;
    return saved;
}

namespace {

// The clock moves by a fixed step, so that the same command gives the same
// picture.
int renderPicture(const ViewerOptions& options)
{
    std::string reason;
    const bool saved = drawPicture(options.frames, pictureFrameSeconds, options.outputPath, &reason);
    shutdown();
    glfwTerminate();
    if (!saved) {
        std::cerr << "brassfern: could not write " << printable(options.outputPath) << ": " << reason << std::endl;
        return 1;
    }
    return 0;
}

} // namespace

int runViewer(const ViewerOptions& options)
{
    const bool picture = !options.outputPath.empty();
    // The model is read while the window opens, before the GL's threads
    // exist in this process.
    std::unique_ptr<import::ImportProcess> import;
    std::string unused;
    if (!options.scenePath.empty() && canOpenModel(options.scenePath, unused))
        import = std::make_unique<import::ImportProcess>(options.scenePath);
    openWindow(!picture, 0, 0, options.settingsPath, options.glDebug);
    const ModelOutcome outcome = initScene(options.scenePath, import.get());
    if (renderer->stage != nullptr)
        renderer->stage->groundShown = !options.noGround;
    // A window never shown owns none of its pixels on most drivers: the
    // picture is drawn into a framebuffer of the renderer's.
    if (picture)
        renderer->drawIntoPicture();
    import.reset();
    // No picture of a model that is not there: a black one would pass for one.
    if (picture && outcome != ModelOutcome::shown) {
        shutdown();
        glfwTerminate();
        return 1;
    }
    renderer->effectEnabled = options.effects;
    // initScene has shown the start view already.
    if (options.noTour)
        tourActive = false;
    if (picture)
        return renderPicture(options);
    // A model's camera also tilts, pans, reframes and saves pictures into the
    // folder the viewer was started in.
    modelControls = !options.scenePath.empty();
    screenshotFolder = options.startFolder;
    saveScreenshot = [] { screenshotWanted = true; };
    if (renderer->stage != nullptr)
        switchGround = [] { renderer->stage->groundShown = !renderer->stage->groundShown; };
    registerCallbacks();
    ModelSwap swap;
    FileWatch watch;
    std::string watched = options.scenePath;
    if (modelControls) {
        acceptDrops(&swap);
        watch.reset(stampOf(watched));
    }
    glfwSetCursorPos(window, static_cast<double>(windowWidth / 2), static_cast<double>(windowHeight / 2));
    double last = glfwGetTime();
    while (!glfwWindowShouldClose(window)) {
        const double now = glfwGetTime();
        const float dt = static_cast<float>(now - last);
        last = now;
        runFrame(dt);
        if (!modelControls)
            continue;
        if (swap.poll() && watched != swap.shownPath()) {
            // A dropped model is the one watched from then on.
            watched = swap.shownPath();
            watch.reset(stampOf(watched));
        }
        if (options.watch && !swap.busy() && watch.settled(stampOf(watched), now))
            swap.open(watched);
    }
    acceptDrops(nullptr);
    shutdown();
    glfwTerminate();
    return 0;
}
