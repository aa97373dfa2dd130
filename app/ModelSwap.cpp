// Swapping the model shown for another one, read in its own process while the frames go on.
#include "app/ModelSwap.h"

#include "app/Application.h"
#include "app/Globals.h"
#include "base/Printable.h"
#include "camera/Controls.h"
#include "camera/ModelControls.h"
#include "gpu/Texture.h"
#include "scene/Framing.h"
#include "import/ImportProcess.h"
#include "scene/ModelObjects.h"
#include "scene/SceneImport.h"
#include "scene/SceneObject.h"

#include <GL/glew.h>
#include <iostream>
#include <map>
#include <sys/stat.h>
#include <utility>

FileStamp stampOf(const std::string& path)
{
    struct stat status {};
    FileStamp stamp;
    if (stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode))
        return stamp;
    stamp.present = true;
    stamp.size = static_cast<long long>(status.st_size);
    stamp.modifiedNanoseconds =
        static_cast<long long>(status.st_mtim.tv_sec) * 1000000000LL + static_cast<long long>(status.st_mtim.tv_nsec);
    return stamp;
}

void FileWatch::reset(const FileStamp& now)
{
    seen = now;
    changing = false;
}

bool FileWatch::settled(const FileStamp& now, double seconds)
{
    if (now == seen) {
        changing = false;
        return false;
    }
    if (!changing || now != pending) {
        pending = now;
        pendingSince = seconds;
        changing = true;
        return false;
    }
    // Gone (mid-rename, or deleted) is not a model to open; its return is a
    // change like any other.
    if (!now.present || seconds - pendingSince < settleSeconds)
        return false;
    seen = now;
    changing = false;
    return true;
}

namespace {

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

void ModelSwap::open(const std::string& path)
{
    pending.reset();
    pendingPath = path;
    std::string unused;
    // A file that cannot be opened is reported by the import below, which
    // then starts no process.
    if (canOpenModel(path, unused))
        pending = std::make_unique<import::ImportProcess>(path);
    else
        poll();
}

bool ModelSwap::poll()
{
    if (pendingPath.empty() || (pending != nullptr && !pending->ready()))
        return false;
    const std::string path = std::exchange(pendingPath, std::string());
    // The new model's textures go into a cache of their own: the names of a
    // file read again are the same, and its pictures may not be.
    std::map<std::string, Texture*> shownTextures;
    shownTextures.swap(textureCache);
    ModelOutcome outcome = ModelOutcome::shown;
    std::vector<scene::SceneObject*> objects = importModel(path, pending.get(), outcome);
    pending.reset();
    if (outcome != ModelOutcome::shown) {
        for (scene::SceneObject* object : objects)
            delete object;
        deleteTextures(textureCache);
        textureCache.swap(shownTextures);
        std::cerr << "brassfern: " << printable(path) << " cannot be shown; the model shown stays" << std::endl;
        return false;
    }
    scene::frameScene(objects, static_cast<float>(windowWidth) / static_cast<float>(windowHeight));
    for (scene::SceneObject* object : sceneObjects)
        delete object;
    deleteTextures(shownTextures);
    sceneObjects = objects;
    shown = path;
    placeStageUnderModel();
    if (!tourActive)
        reframeModel();
    return true;
}
