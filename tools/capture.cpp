// brassfern-capture: renders the viewer's real frame off screen and saves it as a picture.
#include "app/Application.h"
#include "app/Window.h"
#include "gpu/GlDebug.h"
#include "app/DataFolder.h"
#include "app/Screenshots.h"
#include "app/Globals.h"
#include "camera/Camera.h"
#include "camera/Controls.h"
#include "camera/ModelControls.h"
#include "base/FreedMemory.h"
#include "base/Printable.h"
#include "base/StartupTimes.h"
#include "base/EffectSwitches.h"
#include "render/Renderer.h"
#include "render/Stage.h"
#include "import/ImportProcess.h"
#include "tools/CaptureOptions.h"
#include "tools/PassTimer.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>
#include <algorithm>
#include <chrono>
#include <iostream>
#include <memory>
#include <vector>

namespace {

double millisecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// One presented frame, finished on the GPU before it counts as done.
double presentFrame()
{
    const auto start = std::chrono::steady_clock::now();
    renderFrame();
    glfwSwapBuffers(window);
    reportGlError();
    glFinish();
    return millisecondsSince(start);
}

// Pixels of horizontal drag a frame while --moving: a slow, steady turn.
constexpr double dragPixelsPerFrame = 6.0;

// The camera's step before a frame: none for a still one, else the turn a
// drag gives it (with a model, as the viewer turns a model's camera).
void moveCamera(bool moving)
{
    if (moving)
        turnWithInertia(dragPixelsPerFrame, pictureFrameSeconds);
}

// Warm-up frames, then `frames` timed ones through the real renderFrame with
// the pass timer observing it; the last line is for scripts to read. The
// frame after the last swap is drawn again, so the saved picture is complete.
// Moving: every frame after the first is drawn as the viewer draws it while
// a drag turns the camera.
void bench(int frames, bool moving, std::chrono::steady_clock::time_point processStart)
{
    using render::Pass;
    constexpr int warmUpFrames = 5;
    // Drivers that compile shaders lazily pay for it in the first frame.
    const double firstFrame = presentFrame();
    const double startToFirstFrame = millisecondsSince(processStart);
    // The moving frames' own targets meet the driver's compiler here.
    moveCamera(moving);
    const double firstMovingFrame = moving ? presentFrame() : 0.0;
    for (int frame = moving ? 2 : 1; frame < warmUpFrames; ++frame) {
        moveCamera(moving);
        presentFrame();
    }

    PassTimer timer;
    render::passObserver = &timer;
    std::vector<double> wall;
    for (int frame = 0; frame < frames; ++frame) {
        moveCamera(moving);
        timer.startFrame();
        wall.push_back(presentFrame());
    }
    timer.finish();
    render::passObserver = nullptr;
    // The saved picture comes from a framebuffer of the renderer's, as
    // every picture does; the timed frames went where the viewer's go.
    renderer->drawIntoPicture();
    renderFrame();

    std::sort(wall.begin(), wall.end());
    const double median = wall[wall.size() / 2];
    std::cout << "renderer: " << glGetString(GL_RENDERER) << "\n";
    std::cout << "start-up ms: context " << startupTimes.context << ", renderer and effects " << startupTimes.renderer
              << ", light " << startupTimes.light << ", scene import " << startupTimes.sceneImport
              << " (texture decoding " << startupTimes.sceneTextureDecoding << ", program builds "
              << startupTimes.sceneProgramBuilds << ", mesh upload " << startupTimes.sceneMeshUpload
              << ", reading and the rest "
              << startupTimes.sceneImport - startupTimes.sceneTextureDecoding - startupTimes.sceneProgramBuilds -
                     startupTimes.sceneMeshUpload
              << "), first frame " << firstFrame << "; process start to first presented frame "
              << startToFirstFrame << "\n";
    if (moving)
        std::cout << "moving frames at " << renderer->movingWidth() << " x " << renderer->movingHeight()
                  << " (render size " << renderer->width << " x " << renderer->height << "), the first "
                  << firstMovingFrame << " ms\n";
    std::cout << "frame ms over " << frames << (moving ? " moving" : "") << " frames: median " << median << ", min " << wall.front() << ", max "
              << wall.back() << "\n";
    std::cout << "gpu ms (median):";
    for (int pass = 0; pass < static_cast<int>(Pass::Count); ++pass)
        std::cout << " " << render::passNames[pass] << " " << timer.medianMilliseconds(static_cast<Pass>(pass));
    const double shadow = timer.medianMilliseconds(Pass::ShadowDepth) +
                          timer.medianMilliseconds(Pass::ShadowMoments) + timer.medianMilliseconds(Pass::ShadowBlur);
    std::cout << "\nBENCH frame_ms=" << median << " shadow_ms=" << shadow
              << " geometry_ms=" << timer.medianMilliseconds(Pass::Geometry)
              << " ssao_ms=" << timer.medianMilliseconds(Pass::Ssao)
              << " dof_ms=" << timer.medianMilliseconds(Pass::DepthOfField)
              << " bloom_ms=" << timer.medianMilliseconds(Pass::Bloom)
              << " final_ms=" << timer.medianMilliseconds(Pass::Final) << std::endl;
}

} // namespace

int main(int argc, char** argv)
{
    const auto processStart = std::chrono::steady_clock::now();
    keepFreedMemory();
    CaptureOptions options;
    std::string error;
    if (!options.parse(std::vector<std::string>(argv + 1, argv + argc), error)) {
        std::cerr << "brassfern-capture: " << printable(error) << "\n" << CaptureOptions::usage << std::endl;
        return 2;
    }
    if (options.help) {
        std::cout << CaptureOptions::helpText;
        return 0;
    }
    // A model's run reads the tool's own shaders, as the viewer's does.
    DataFolderChoice data;
    data.workingDirectoryFirst = options.modelPath.empty();
    if (!enterDataFolder({&options.outPath, &options.modelPath}, error, data)) {
        std::cerr << "brassfern-capture: " << printable(error) << std::endl;
        return 1;
    }

    std::unique_ptr<import::ImportProcess> import;
    if (!options.modelPath.empty())
        import = std::make_unique<import::ImportProcess>(options.modelPath);
    growHeapForRenderer();
    openWindow(false, options.windowWidth, options.windowHeight);
    const ModelOutcome outcome = initScene(options.modelPath, std::move(import));
    if (outcome != ModelOutcome::shown) {
        shutdown();
        glfwTerminate();
        std::cerr << "brassfern-capture: nothing to draw" << std::endl;
        return 1;
    }
    renderer->effectEnabled = options.effects;
    if (renderer->stage != nullptr)
        renderer->stage->groundShown = !options.noGround;

    if (options.freeCamera) {
        tourActive = false;
        camera->setPosition(options.eye.x, options.eye.y, options.eye.z);
        camera->lookAtTarget(options.at);
    } else if (options.tourTime >= 0.0f) {
        while (totalTime < options.tourTime)
            advanceFrame(options.dt, false);
    } else {
        tourActive = false;
    }

    bool saved = false;
    if (options.moving) {
        // The viewer's own choice for a model; the built-in scene has none.
        modelControls = !options.modelPath.empty();
        if (modelControls)
            renderer->drawMovingFramesAt(movingRenderScale);
    }
    if (options.benchFrames > 0) {
        bench(options.benchFrames, options.moving, processStart);
        glFinish();
        saved = saveWindowPicture(options.outPath);
        reportGlError();
    } else {
        // A hidden window owns none of its pixels on most drivers.
        renderer->drawIntoPicture();
        saved = drawPicture(options.frames, 0.0f, options.outPath);
    }
    shutdown();
    glfwTerminate();
    if (!saved) {
        std::cerr << "brassfern-capture: could not write " << printable(options.outPath) << std::endl;
        return 1;
    }
    return 0;
}
