// The viewer's start-up, frame loop and shutdown over the process-wide state.
#include "app/Application.h"

#include "app/CommandLine.h"
#include "app/FileWatch.h"
#include "app/Globals.h"
#include "app/ModelSwap.h"
#include "app/PictureFile.h"
#include "app/ResolutionSettings.h"
#include "app/Screenshots.h"
#include "app/ShownModel.h"
#include "app/Thumbnail.h"
#include "app/Window.h"
#include "base/EffectSwitches.h"
#include "base/FreedMemory.h"
#include "base/Printable.h"
#include "base/StartupTimes.h"
#include "camera/Camera.h"
#include "camera/Controls.h"
#include "camera/ModelControls.h"
#include "gpu/DrawPacing.h"
#include "gpu/GlDebug.h"
#include "gpu/ShaderProgram.h"
#include "gpu/Texture.h"
#include "import/ImportProcess.h"
#include "render/Renderer.h"
#include "render/ShadowLight.h"
#include "render/StageLook.h"
#include "render/Stage.h"
#include "scene/ModelObjects.h"
#include "scene/SceneImport.h"
#include "scene/SceneObject.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>
#include <IL/il.h>
#include <iostream>
#include <memory>
#include <vector>

namespace {

// The renderer's targets at the largest render size, its moving frame's and
// a big model's arrays on their way to the GL, with room to spare.
constexpr size_t rendererHeapBytes = size_t(384) << 20;

constexpr const char* builtInScenePath = "SceneObjects/FinalScene/final_scene.obj";

} // namespace

ModelOutcome initScene(const std::string& sceneFile, std::unique_ptr<import::ImportProcess> started, ModelSwap* later)
{
    ilInit();
    if (window != nullptr)
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
        shadowLight->keepsShadowMap = !sceneFile.empty();
    }

    const StartupTimes before = startupTimes;
    ModelOutcome outcome = ModelOutcome::shown;
    {
        const StartupClock clock(startupTimes.sceneImport);
        if (sceneFile.empty()) {
            sceneObjects = importScene(builtInScenePath);
        } else if (later != nullptr) {
            showModel({});
            later->startWith(sceneFile, std::move(started));
            outcome = ModelOutcome::loading;
        } else {
            makeStage();
            showModel(importModel(sceneFile, std::move(started), outcome));
        }
    }
    startupTimes.sceneTextureDecoding = startupTimes.textureDecoding - before.textureDecoding;
    startupTimes.sceneProgramBuilds = startupTimes.programBuilds - before.programBuilds;
    startupTimes.sceneMeshUpload = startupTimes.meshUpload - before.meshUpload;
    return outcome;
}

void acceptDrops(ModelSwap* swap)
{
    openDroppedFile = nullptr;
    if (swap != nullptr)
        openDroppedFile = [swap](const std::string& path) { swap->startReading(path); };
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

void runFrame(float dt, Screenshots* screenshots)
{
    advanceFrame(dt, true);
    // A saved frame has the whole render size, moving or not.
    renderFrame(screenshots != nullptr && screenshots->pending() ? FrameDetail::whole : FrameDetail::followCamera);
    if (screenshots != nullptr)
        screenshots->saveIfWanted();
    glfwSwapBuffers(window);
    reportGlError();
}

void growHeapForRenderer()
{
    growHeapInLargePages(rendererHeapBytes);
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

void drawFrames(int frames, float step)
{
    // Only the last frame is seen: the ones before it would only move the
    // clock, which needs no drawing (no pass keeps anything from one frame
    // to the next).
    for (int frame = 0; frame < frames; ++frame)
        if (step > 0.0f)
            advanceFrame(step, false);
    renderFrame(FrameDetail::whole);
    glFinish();
}

bool drawPicture(int frames, float step, const std::string& path, std::string* reason)
{
    drawFrames(frames, step);
    const bool saved = saveWindowPicture(path, reason);
    reportGlError();
    return saved;
}

namespace {

// The clock moves by a fixed step, so that the same command gives the same
// picture.
int renderPicture(const ViewerOptions& options)
{
    std::string reason;
    bool saved = false;
    if (options.size > 0 || options.transparent) {
        drawFrames(options.frames, pictureFrameSeconds);
        saved = saveFittedPicture(options.outputPath, options.size, options.transparent, &reason);
        reportGlError();
    } else {
        saved = drawPicture(options.frames, pictureFrameSeconds, options.outputPath, &reason);
    }
    shutdown();
    closeWindow();
    if (!saved) {
        std::cerr << "brassfern: could not write " << printable(options.outputPath) << ": " << reason << std::endl;
        return 1;
    }
    return 0;
}

// The window, or for a picture the context to draw it in: a thumbnail is
// drawn at the square it is fitted from, a model's picture at a size fitted
// to it unless the settings named are the user's own.
void openContext(const ViewerOptions& options)
{
    if (options.outputPath.empty()) {
        openWindow(true, 0, 0, options.settingsPath, options.glDebug);
        return;
    }
    const int side = options.size > 0 ? thumbnailDrawSide(options.size) : 0;
    // A model's picture is the same in either context; the built-in scene's
    // is drawn as it always was, full screen where its settings say so.
    PictureContext choice = PictureContext::windowFirst;
    if (options.headless)
        choice = PictureContext::headlessOnly;
    else if (!options.scenePath.empty() &&
             (side > 0 ||
              !ResolutionSettings(options.settingsPath.empty() ? ResolutionSettings::path : options.settingsPath)
                   .fullscreen))
        choice = PictureContext::headlessFirst;
    openPictureContext(choice, side, side, options.settingsPath, options.glDebug);
    if (side > 0)
        fitRenderToThumbnail(side);
    else if (!options.scenePath.empty() && options.settingsPath.empty())
        fitRenderToPicture();
}

// Once a frame, with a model: the reading under way, then the watched file.
void followModel(ModelSwap& swap, FileWatch& watch, std::string& watched, bool watching, double now)
{
    if (swap.poll() && watched != swap.shownPath()) {
        // A dropped model is the one watched from then on.
        watched = swap.shownPath();
        watch.reset(stampOf(watched));
    }
    if (watching && !swap.busy() && watch.settled(stampOf(watched), now, &std::cerr, watched))
        swap.startReading(watched);
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
        import = std::make_unique<import::ImportProcess>(
            options.scenePath, options.size > 0 ? thumbnailBudget() : import::ImportBudget());
    growHeapForRenderer();
    openContext(options);
    // A window draws its stage, and answers its keys, while the model comes
    // in; a picture waits for it.
    ModelSwap swap;
    const ModelOutcome outcome = initScene(options.scenePath, std::move(import), picture ? nullptr : &swap);
    if (renderer->stage != nullptr)
        renderer->stage->groundShown = !options.noGround && !options.transparent;
    // A window never shown owns none of its pixels on most drivers: the
    // picture is drawn into a framebuffer of the renderer's.
    if (picture)
        renderer->drawIntoPicture();
    // No picture of a model that is not there: a black one would pass for one.
    if (picture && outcome != ModelOutcome::shown) {
        shutdown();
        closeWindow();
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
    // A drag, a turn of the wheel, the tour: a model's frames while the
    // camera moves are drawn smaller, so that the view follows the hand.
    if (modelControls)
        renderer->drawMovingFramesAt(movingRenderScale);
    Screenshots screenshots(options.startFolder);
    saveScreenshot = [&screenshots] { screenshots.want(); };
    if (renderer->stage != nullptr)
        switchGround = [] { renderer->stage->groundShown = !renderer->stage->groundShown; };
    registerCallbacks();
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
        // The tour shows the model: its clock waits for the first one.
        const float dt = swap.startingUp() && tourActive ? 0.0f : static_cast<float>(now - last);
        last = now;
        runFrame(dt, &screenshots);
        if (modelControls)
            followModel(swap, watch, watched, options.watch, now);
    }
    acceptDrops(nullptr);
    saveScreenshot = nullptr;
    switchGround = nullptr;
    shutdown();
    closeWindow();
    return 0;
}
