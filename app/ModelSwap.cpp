// Swapping the model shown for another one, read in its own process while the frames go on.
#include "app/ModelSwap.h"

#include "app/ShownModel.h"
#include "base/FreedMemory.h"
#include "base/Printable.h"
#include "gpu/Texture.h"
#include "import/ImportProcess.h"
#include "scene/ModelObjects.h"
#include "scene/SceneImport.h"
#include "scene/SceneObject.h"

#include <GL/glew.h>
#include <algorithm>
#include <iostream>
#include <map>
#include <utility>

namespace {

// Reading a stream gets about as long as drawing a frame takes, within
// these: the frames go on at no less than half their rate while a model
// comes in, and a big one still comes in at the pipe's pace.
constexpr double leastReadSeconds = 0.01;
constexpr double mostReadSeconds = 0.05;

void deleteTextures(std::map<std::string, Texture*>& textures)
{
    for (auto& entry : textures) {
        glDeleteTextures(1, &entry.second->id);
        delete entry.second;
    }
    textures.clear();
}

} // namespace

ModelSwap::ModelSwap() = default;
ModelSwap::~ModelSwap() = default;

void ModelSwap::giveUp()
{
    // The reading given up ends first, and takes its memory with it.
    if (pending != nullptr)
        pending->dropPictures();
    pending.reset();
}

void ModelSwap::startReading(const std::string& path)
{
    giveUp();
    pending = std::make_unique<ModelLoad>(path);
    pendingFirst = false;
    // A file that cannot be opened is reported at once.
    if (pending->process == nullptr)
        poll();
}

void ModelSwap::startWith(const std::string& path, std::unique_ptr<import::ImportProcess> started)
{
    giveUp();
    pending = std::make_unique<ModelLoad>(path, std::move(started));
    pendingFirst = true;
    if (pending->process == nullptr)
        poll();
}

bool ModelSwap::poll()
{
    const auto now = std::chrono::steady_clock::now();
    const double frameSeconds = std::chrono::duration<double>(now - lastPoll).count();
    lastPoll = now;
    if (pending == nullptr || !pending->receive(std::clamp(frameSeconds, leastReadSeconds, mostReadSeconds)))
        return false;
    std::unique_ptr<ModelLoad> load = std::move(pending);
    const bool first = std::exchange(pendingFirst, false);
    // The new model's textures go into a cache of their own: the names of a
    // file read again are the same, and its pictures may not be.
    std::map<std::string, Texture*> shownTextures;
    shownTextures.swap(textureCache);
    ModelOutcome outcome = ModelOutcome::shown;
    std::vector<scene::SceneObject*> objects = load->finish(outcome);
    if (outcome != ModelOutcome::shown) {
        for (scene::SceneObject* object : objects)
            delete object;
        deleteTextures(textureCache);
        textureCache.swap(shownTextures);
        if (!first)
            std::cerr << "brassfern: " << printable(load->path) << " cannot be shown; the model shown stays"
                      << std::endl;
        load.reset();
        returnFreedMemory();
        return false;
    }
    showModel(std::move(objects));
    deleteTextures(shownTextures);
    shown = load->path;
    // The arrays the model came in go with the load; the viewer goes on
    // without them.
    load.reset();
    returnFreedMemory();
    return true;
}
