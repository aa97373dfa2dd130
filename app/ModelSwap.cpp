// Swapping the model shown for another one, read in its own process while the frames go on.
#include "app/ModelSwap.h"

#include "app/ShownModel.h"
#include "base/Printable.h"
#include "gpu/Texture.h"
#include "import/ImportProcess.h"
#include "scene/ModelObjects.h"
#include "scene/SceneImport.h"
#include "scene/SceneObject.h"

#include <GL/glew.h>
#include <iostream>
#include <map>
#include <utility>

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

void ModelSwap::startReading(const std::string& path)
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
    showModel(std::move(objects));
    deleteTextures(shownTextures);
    shown = path;
    return true;
}
