// Opening the scene's files for the importer and reading the scene with the viewer's flags.
#include "scene/SceneRead.h"

#include <assimp/Importer.hpp>
#include <assimp/MemoryIOWrapper.h>
#include <cstring>

namespace scene {

namespace {

// Counts itself among the open streams of the scene file for as long as it
// lives: the importer deletes some streams itself instead of closing them.
class SceneStream : public Assimp::MemoryIOStream {
public:
    SceneStream(const uint8_t* bytes, size_t length, int& openCount)
        : Assimp::MemoryIOStream(bytes, length, true), openCount(openCount)
    {
        ++openCount;
    }
    ~SceneStream() override { --openCount; }

private:
    int& openCount;
};

} // namespace

MaterialFirstIOSystem::MaterialFirstIOSystem(const std::string& scenePath, Assimp::IOSystem* files)
    : scenePath(scenePath), files(files)
{
}

MaterialFirstIOSystem::~MaterialFirstIOSystem()
{
    delete files;
}

bool MaterialFirstIOSystem::Exists(const char* file) const
{
    return files->Exists(file);
}

char MaterialFirstIOSystem::getOsSeparator() const
{
    return files->getOsSeparator();
}

// Every stream handed out is a copy in memory, so that Close has only one kind to delete.
Assimp::IOStream* MaterialFirstIOSystem::Open(const char* file, const char* mode)
{
    if (mode == nullptr || mode[0] != 'r')
        return nullptr;
    Assimp::IOStream* source = files->Open(file, mode);
    if (source == nullptr)
        return nullptr;
    const size_t size = source->FileSize();
    // The scene opened while it is already being read is a library named by
    // the scene itself; format detection opens and closes it one at a time.
    const bool isScene = scenePath == file;
    const bool guarded = !isScene || openScenes > 0;
    const size_t openingLength = guarded ? std::strlen(openingLine) : 0;
    auto* bytes = new uint8_t[openingLength + size];
    const size_t read = size == 0 ? 0 : source->Read(bytes + openingLength, 1, size);
    files->Close(source);
    if (guarded) {
        // The byte-order mark must stay first for the reader to skip it.
        const uint8_t utf8Mark[3] = {0xEF, 0xBB, 0xBF};
        const size_t mark = read >= 3 && std::memcmp(bytes + openingLength, utf8Mark, 3) == 0 ? 3 : 0;
        std::memmove(bytes, bytes + openingLength, mark);
        std::memcpy(bytes + mark, openingLine, openingLength);
    }
    if (isScene)
        return new SceneStream(bytes, openingLength + read, openScenes);
    return new Assimp::MemoryIOStream(bytes, openingLength + read, true);
}

void MaterialFirstIOSystem::Close(Assimp::IOStream* stream)
{
    delete stream;
}

const aiScene* readScene(Assimp::Importer& importer, const std::string& path, Assimp::IOSystem* files)
{
    importer.SetIOHandler(new MaterialFirstIOSystem(path, files));
    return importer.ReadFile(path, sceneImportFlags);
}

} // namespace scene
