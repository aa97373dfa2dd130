// Reading the scene file through Assimp with the viewer's flags, kept clear of the importer's known crashes.
#pragma once

#include <assimp/IOSystem.hpp>
#include <assimp/postprocess.h>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct aiScene;

namespace Assimp {
class Importer;
}

namespace import {

constexpr unsigned sceneImportFlags = aiProcessPreset_TargetRealtime_Quality;

// A model given by path: the same steps but those that buy nothing here,
// and with the importer's own check of what it built, which turns faces
// that index past their vertices (and the crashes they caused in the later
// steps) into a failed import. Left out: the importer's tangents, which
// are not those normal maps are baked against (the import makes its own,
// or takes the file's); the reordering for a vertex cache, which this
// rasterizer does not have and which cost seconds on big meshes; and the
// merging of materials that look alike to the importer, which keeps a
// glTF file's materials in the file's order, where what the importer
// leaves out of them (their emissive strength) is found by index.
constexpr unsigned modelImportFlags = (aiProcessPreset_TargetRealtime_Quality & ~aiProcess_CalcTangentSpace &
                                       ~aiProcess_ImproveCacheLocality & ~aiProcess_RemoveRedundantMaterials) |
                                      aiProcess_ValidateDataStructure;

// The steps for a model of more than `bigModelVertices` vertices. Joining
// identical vertices searches them all, and splitting big meshes only feeds
// that search: on two million triangles they took 3.4 of a GLB's 4.3
// seconds, and an STL's 24 seconds and 2.3 GB; both go, and a file of
// separate triangles keeps its vertices as it has them.
constexpr unsigned bigModelVertices = 1u << 18;
constexpr unsigned bigModelFlags =
    modelImportFlags & ~aiProcess_JoinIdenticalVertices & ~aiProcess_SplitLargeMeshes;

// The files on disk, each read whole into memory. Only regular files open:
// a pipe or a device named as a material library or a buffer would block
// the import or never end. `onRead`, when set, hears the bytes each file
// takes on disk as it opens.
class RegularFilesIOSystem : public Assimp::IOSystem {
public:
    explicit RegularFilesIOSystem(std::function<void(unsigned long long)> onRead = nullptr);

    using Assimp::IOSystem::Exists;
    using Assimp::IOSystem::Open;
    bool Exists(const char* file) const override;
    char getOsSeparator() const override { return '/'; }
    Assimp::IOStream* Open(const char* file, const char* mode = "rb") override;
    void Close(Assimp::IOStream* stream) override;

private:
    std::function<void(unsigned long long)> onRead;
    std::string lastPath;
    std::shared_ptr<const uint8_t> last;
    size_t lastSize = 0;
};

// Files as `files` has them, except that in an OBJ import every file but
// the scene itself (the material libraries) starts with a material of its
// own. Assimp 5.2.5 writes a material
// library's texture maps ("map_Kd", "bump", "disp", "norm") and anisotropy
// ("a") into the current material, which is null until the first "newmtl",
// so one such line at the top of a library would crash the viewer. No face
// uses the opening material, so the import drops it again. The scene file
// stays as it is while it is read as the scene (its size decides whether
// the importer takes it at all), but not when it names itself as its library.
// Other formats' side files (a glTF's binary buffer) are left as they are:
// shifted, they would no longer be what the scene says they are. A PLY
// scene has its vertices' diffuse colours renamed to the colours the
// importer reads (plyDiffuseAsVertexColours).
class MaterialFirstIOSystem : public Assimp::IOSystem {
public:
    static constexpr const char* openingLine = "newmtl brassfern-opening-material\n";

    // Takes ownership of `files`. `importer` tells which format is being
    // read; without one every file is read as an OBJ import's would be.
    MaterialFirstIOSystem(const std::string& scenePath, Assimp::IOSystem* files,
                          const Assimp::Importer* importer = nullptr);
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
    bool readingObj() const;

    std::string scenePath;
    Assimp::IOSystem* files;
    const Assimp::Importer* importer;
    int openScenes = 0; // streams of the scene file not yet deleted
};

// The scene at `path` as `importer` reads it through `files` (taken over)
// with `flags`, or null when the importer cannot import it.
const aiScene* readScene(Assimp::Importer& importer, const std::string& path, Assimp::IOSystem* files,
                         unsigned flags = sceneImportFlags);

// Lengths are squared in single precision on the way to the screen (in
// normals, in the importer's steps): a model whose largest coordinate is
// `largest`, far outside the unit scale (edges 1e15 long or 1e-20 short),
// is first scaled by this power of two toward it, which keeps every
// coordinate's digits. It is framed afterwards in any case. 1 for a model
// near the unit scale.
float workingScale(float largest);

// A model given by path, read like readScene with modelImportFlags (or
// bigModelFlags for a big one, whose meshes without normals get them first
// from the faces around each vertex: the smoothing step's search of space
// through millions of vertices took seconds), except
// that a mesh of vertices alone (an OBJ point cloud) gets a point for each
// vertex before the importer's check, which would refuse a mesh without
// faces, and its steps, which keep only vertices that faces use. A glTF
// file's meshes without normals are left without (lit by their facets)
// unless a normal map needs them. A file without meshes is handed back as
// read.
const aiScene* readModel(Assimp::Importer& importer, const std::string& path, Assimp::IOSystem* files);

} // namespace import
