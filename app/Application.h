// Start-up, the frame loop and shutdown of the viewer.
#pragma once

#include "import/ImportProcess.h"
#include "scene/ModelObjects.h"
#include "scene/SceneImport.h"

#include <memory>
#include <string>

struct ViewerOptions;
class ModelSwap;
class Screenshots;

// The image library, the run-wide GL state, the renderer, the camera, the
// light and the imported scene, in that order. The scene is `sceneFile` with
// its textures beside it, read by `started` where the caller started its
// import early, or the built-in one when `sceneFile` is empty. Says how the
// model fared; the built-in scene counts as shown. With `later` (a window)
// the model is not waited for: the stage is shown empty, and `later` shows
// the model once it has come in (the outcome is then `loading`).
ModelOutcome initScene(const std::string& sceneFile = "", std::unique_ptr<import::ImportProcess> started = nullptr,
                       ModelSwap* later = nullptr);

// Files dropped on the window from now on are opened through `swap`;
// none: drops are ignored.
void acceptDrops(ModelSwap* swap);

// Installs the input callbacks on the window.
void registerCallbacks();

// The frame loop's steps before drawing, in its order: the time moves on by
// `dt`, the input is polled (where asked), the objects and the camera
// follow. Tools replay the tour through it without input.
void advanceFrame(float dt, bool pollInput);

// One turn of the frame loop after the clock was read: advanceFrame, then
// the drawing, the screenshot asked for (if any) and the swap.
void runFrame(float dt, Screenshots* screenshots = nullptr);

// The heap made ready for the renderer's targets and a model's arrays, in
// large pages; once the import process is forked, which keeps the heap it had.
void growHeapForRenderer();

// Releases everything initScene created, in creation order.
void shutdown();

// The frames of a picture, where the renderer draws now: the clock moves by
// `step` before each (not at all for 0), and the last is drawn, whole.
// Returns once the GL has finished it.
void drawFrames(int frames, float step);

// The frames of a picture, as drawFrames draws them, where the renderer
// draws now (its picture framebuffer, once asked); the last is saved to
// `path` once the GL has finished it. False, with the reason, when it cannot
// be written.
bool drawPicture(int frames, float step, const std::string& path, std::string* reason = nullptr);

// The whole viewer: start-up, the frame loop until the window closes, and
// shutdown; or, with an output path, the frames of one picture in a hidden
// window and the picture. Returns the exit status.
int runViewer(const ViewerOptions& options);
