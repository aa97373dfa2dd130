// Reading the scene file through Assimp with the viewer's flags, kept clear of the importer's known crashes.
#pragma once

#include <assimp/IOSystem.hpp>
#include <assimp/postprocess.h>
#include <string>

struct aiScene;

namespace Assimp {
class Importer;
}

namespace scene {

constexpr unsigned sceneImportFlags = aiProcessPreset_TargetRealtime_Quality;

// Files as `files` has them, except that every file but the scene itself
// starts with a material of its own. Assimp 5.2.5 writes a material
// library's texture maps ("map_Kd", "bump", "disp", "norm") and anisotropy
// ("a") into the current material, which is null until the first "newmtl",
// so one such line at the top of a library would crash the viewer. No face
// uses the opening material, so the import drops it again. The scene file
// stays as it is while it is read as the scene (its size decides whether
// the importer takes it at all), but not when it names itself as its library.
class MaterialFirstIOSystem : public Assimp::IOSystem {
public:
    static constexpr const char* openingLine = "newmtl brassfern-opening-material\n";

    // Takes ownership of `files`.
    MaterialFirstIOSystem(const std::string& scenePath, Assimp::IOSystem* files);
    ~MaterialFirstIOSystem() override;
    MaterialFirstIOSystem(const MaterialFirstIOSystem&) = delete;
    MaterialFirstIOSystem& operator=(const MaterialFirstIOSystem&) = delete;

    using Assimp::IOSystem::Exists;
    using Assimp::IOSystem::Open;
    bool Exists(const char* file) const override;
    char getOsSeparator() const override;
    Assimp::IOStream* Open(const char* file, const char* mode = "rb") override;
    void Close(Assimp::IOStream* stream) override;

private:
    std::string scenePath;
    Assimp::IOSystem* files;
    int openScenes = 0; // streams of the scene file not yet deleted
};

// The scene at `path` as `importer` reads it through `files` (taken over),
// or null when the importer cannot import it.
const aiScene* readScene(Assimp::Importer& importer, const std::string& path, Assimp::IOSystem* files);

} // namespace scene
