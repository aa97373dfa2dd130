// Opening the scene's files for the importer and reading the scene with the viewer's flags.
#include "import/SceneRead.h"

#include "base/RegularFile.h"
#include "import/PlyHeader.h"
#include "import/PolygonFacing.h"

#include <assimp/Importer.hpp>
#include <assimp/MemoryIOWrapper.h>
#include <assimp/commonMetaData.h>
#include <assimp/scene.h>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <sys/mman.h>
#include <sys/stat.h>
#include <vector>

namespace import {

namespace {

// A stream over bytes in memory that it may share with other streams of
// the same file. A stream of the scene file counts itself among the open
// ones for as long as it lives: the importer deletes some streams itself
// instead of closing them.
class HeldStream : public Assimp::MemoryIOStream {
public:
    HeldStream(std::shared_ptr<const uint8_t> bytes, size_t length, int* openCount = nullptr)
        : Assimp::MemoryIOStream(bytes.get(), length, false), bytes(std::move(bytes)), openCount(openCount)
    {
        if (openCount != nullptr)
            ++*openCount;
    }
    ~HeldStream() override
    {
        if (openCount != nullptr)
            --*openCount;
    }
    HeldStream(const HeldStream&) = delete;
    HeldStream& operator=(const HeldStream&) = delete;

    const std::shared_ptr<const uint8_t>& held() const { return bytes; }

private:
    std::shared_ptr<const uint8_t> bytes;
    int* openCount;
};

// The importer reads through 32-bit sizes in places; no scene file is near this.
constexpr unsigned long long maxFileBytes = 1ULL << 31;

} // namespace

RegularFilesIOSystem::RegularFilesIOSystem(std::function<void(unsigned long long)> onRead) : onRead(std::move(onRead))
{
}

bool RegularFilesIOSystem::Exists(const char* file) const
{
    struct stat status {};
    return file != nullptr && stat(file, &status) == 0 && S_ISREG(status.st_mode);
}

// The importer opens the scene file several times (each reader that might
// take it looks at its first bytes, then the one chosen reads it, then the
// viewer's own look at a glTF file's extras): a 36 MB GLB was read from the
// disk and copied five times before. The last file opened is kept, and its
// streams share it. It is mapped, not read: reading a 36 MB file into fresh
// memory took 40 ms, mapping it 3. A file cut short while it is mapped
// ends the import process with SIGBUS, which the viewer reports as such.
Assimp::IOStream* RegularFilesIOSystem::Open(const char* file, const char* mode)
{
    if (file == nullptr || mode == nullptr || mode[0] != 'r')
        return nullptr;
    if (last != nullptr && lastPath == file)
        return new HeldStream(last, lastSize);
    RegularFile source(file);
    if (!source.isOpen() || source.size() > maxFileBytes)
        return nullptr;
    if (onRead)
        onRead(source.storedBytes());
    const size_t size = static_cast<size_t>(source.size());
    void* mapped =
        size == 0 ? MAP_FAILED : mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, source.descriptor(), 0);
    if (mapped != MAP_FAILED) {
        last = std::shared_ptr<const uint8_t>(static_cast<const uint8_t*>(mapped),
                                              [size](const uint8_t* bytes) { munmap(const_cast<uint8_t*>(bytes), size); });
        lastSize = size;
    } else {
        // A file the system will not map (an empty one, or one on a file
        // system without mapping) is read; one cut short while read is
        // taken as far as it goes.
        auto bytes = std::make_shared<std::vector<uint8_t>>(size == 0 ? 1 : size);
        size_t got = 0;
        std::string unused;
        source.read(reinterpret_cast<char*>(bytes->data()), size, got, unused);
        last = std::shared_ptr<const uint8_t>(bytes, bytes->data());
        lastSize = got;
    }
    lastPath = file;
    return new HeldStream(last, lastSize);
}

void RegularFilesIOSystem::Close(Assimp::IOStream* stream)
{
    delete stream;
}

MaterialFirstIOSystem::MaterialFirstIOSystem(const std::string& scenePath, Assimp::IOSystem* files,
                                             const Assimp::Importer* importer)
    : scenePath(scenePath), files(files), importer(importer)
{
}

// The importer names the reader it chose before that reader opens anything
// but the scene.
bool MaterialFirstIOSystem::readingObj() const
{
    if (importer == nullptr)
        return true;
    const int chosen = importer->GetPropertyInteger("importerIndex", -1);
    return chosen >= 0 && static_cast<size_t>(chosen) == importer->GetImporterIndex("obj");
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

// Every stream handed out holds its bytes in memory, so that Close has only
// one kind to delete; one that needs no change shares them with the file's
// other streams.
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
    const bool guarded = (!isScene || openScenes > 0) && readingObj();
    int* const counted = isScene ? &openScenes : nullptr;
    if (const auto* shared = dynamic_cast<HeldStream*>(source); shared != nullptr && !guarded) {
        const std::shared_ptr<const uint8_t> bytes = shared->held();
        const size_t length = shared->FileSize();
        // A PLY scene's header may be renamed, in a copy of its own.
        const bool ply = isScene && length >= 3 && std::memcmp(bytes.get(), "ply", 3) == 0;
        if (!ply) {
            files->Close(source);
            return new HeldStream(bytes, length, counted);
        }
    }
    const size_t openingLength = guarded ? std::strlen(openingLine) : 0;
    auto bytes = std::make_shared<std::vector<uint8_t>>(openingLength + size + 1);
    uint8_t* const data = bytes->data();
    const size_t read = size == 0 ? 0 : source->Read(data + openingLength, 1, size);
    files->Close(source);
    if (guarded) {
        // The byte-order mark must stay first for the reader to skip it.
        const uint8_t utf8Mark[3] = {0xEF, 0xBB, 0xBF};
        const size_t mark = read >= 3 && std::memcmp(data + openingLength, utf8Mark, 3) == 0 ? 3 : 0;
        std::memmove(data, data + openingLength, mark);
        std::memcpy(data + mark, openingLine, openingLength);
    }
    const size_t length = isScene && !guarded ? plyDiffuseAsVertexColours(data, read) : openingLength + read;
    return new HeldStream(std::shared_ptr<const uint8_t>(bytes, bytes->data()), length, counted);
}

void MaterialFirstIOSystem::Close(Assimp::IOStream* stream)
{
    delete stream;
}

const aiScene* readScene(Assimp::Importer& importer, const std::string& path, Assimp::IOSystem* files,
                         unsigned flags)
{
    importer.SetIOHandler(new MaterialFirstIOSystem(path, files, &importer));
    return importer.ReadFile(path, flags);
}

namespace {

// A mesh without normals: each vertex takes the mean facing of the faces
// that use it, as the smoothing step would give it, but found through the
// faces' own indices instead of a search of space. A mesh of separate faces
// (STL, a soup of triangles) so comes out flat, as such files show
// everywhere.
void giveMeshNormals(aiMesh* mesh)
{
    if (mesh == nullptr || mesh->mNormals != nullptr || mesh->mVertices == nullptr || mesh->mFaces == nullptr ||
        mesh->mNumFaces == 0)
        return;
    std::vector<double> sums(3 * static_cast<size_t>(mesh->mNumVertices), 0.0);
    for (unsigned f = 0; f < mesh->mNumFaces; ++f) {
        const aiFace& face = mesh->mFaces[f];
        if (face.mIndices == nullptr || face.mNumIndices < 3)
            continue;
        bool inside = true;
        for (unsigned k = 0; k < face.mNumIndices && inside; ++k)
            inside = face.mIndices[k] < mesh->mNumVertices;
        if (!inside)
            continue;
        const glm::dvec3 n = newellNormal(face.mNumIndices, [&](size_t k) {
            const aiVector3D& v = mesh->mVertices[face.mIndices[k]];
            return glm::dvec3(v.x, v.y, v.z);
        });
        const double length = glm::length(n);
        if (!(length > 0.0) || !std::isfinite(length))
            continue;
        for (unsigned k = 0; k < face.mNumIndices; ++k)
            for (int c = 0; c < 3; ++c)
                sums[3 * static_cast<size_t>(face.mIndices[k]) + static_cast<size_t>(c)] += n[c] / length;
    }
    mesh->mNormals = new aiVector3D[mesh->mNumVertices]();
    for (unsigned v = 0; v < mesh->mNumVertices; ++v) {
        const double* sum = &sums[3 * static_cast<size_t>(v)];
        const double length = std::sqrt(sum[0] * sum[0] + sum[1] * sum[1] + sum[2] * sum[2]);
        if (length > 1e-9)
            mesh->mNormals[v] = aiVector3D(static_cast<ai_real>(sum[0] / length), static_cast<ai_real>(sum[1] / length),
                                           static_cast<ai_real>(sum[2] / length));
    }
}

} // namespace

float workingScale(float largest)
{
    constexpr float farthest = 65536.0f;
    if (!(largest > 0.0f) || !std::isfinite(largest) || (largest <= farthest && largest >= 1.0f / farthest))
        return 1.0f;
    // A power of two: every coordinate keeps its digits exactly. A model
    // of subnormal coordinates alone (below 2^-126) needs more than the
    // largest power a float holds, which would turn every coordinate into
    // infinity or NaN; it stays that far from the unit scale instead.
    return std::ldexp(1.0f, std::min(-std::ilogb(largest), std::numeric_limits<float>::max_exponent - 1));
}

namespace {

void bringToWorkingScale(aiScene* scene)
{
    float largest = 0.0f;
    for (unsigned i = 0; i < scene->mNumMeshes; ++i) {
        const aiMesh* mesh = scene->mMeshes[i];
        for (unsigned v = 0; mesh != nullptr && mesh->mVertices != nullptr && v < mesh->mNumVertices; ++v)
            for (unsigned k = 0; k < 3; ++k)
                if (std::isfinite(mesh->mVertices[v][k]))
                    largest = std::max(largest, std::fabs(mesh->mVertices[v][k]));
    }
    const float scale = workingScale(largest);
    if (scale == 1.0f)
        return;
    for (unsigned i = 0; i < scene->mNumMeshes; ++i) {
        aiMesh* mesh = scene->mMeshes[i];
        for (unsigned v = 0; mesh != nullptr && mesh->mVertices != nullptr && v < mesh->mNumVertices; ++v)
            mesh->mVertices[v] *= scale;
    }
    // The nodes' moves scale with the vertices, so that the whole model
    // scales as one. The importer builds a tree; the walk is bounded anyway.
    std::vector<aiNode*> pending{scene->mRootNode};
    for (size_t visited = 0; !pending.empty() && visited < (1u << 24); ++visited) {
        aiNode* node = pending.back();
        pending.pop_back();
        if (node == nullptr)
            continue;
        node->mTransformation.a4 *= scale;
        node->mTransformation.b4 *= scale;
        node->mTransformation.c4 *= scale;
        for (unsigned c = 0; c < node->mNumChildren && node->mChildren != nullptr; ++c)
            pending.push_back(node->mChildren[c]);
    }
}

// A glTF file's meshes without normals are lit by their facets, as the
// format asks of its readers: such a mesh is most often a scan or a CAD
// export of millions of triangles, for which smoothing made normals that
// cost a tenth of its import and a third more bytes on their way to the
// GL. A mesh whose material has a normal map keeps smoothed normals: its
// map needs a tangent frame, which is made from the vertices' normals.
bool fromGltf(const aiScene* scene)
{
    aiString format;
    return scene->mMetaData != nullptr && scene->mMetaData->Get(AI_METADATA_SOURCE_FORMAT, format) &&
           std::strcmp(format.C_Str(), "glTF2 Importer") == 0;
}

bool normalMapped(const aiScene* scene, const aiMesh* mesh)
{
    return mesh->mMaterialIndex < scene->mNumMaterials && scene->mMaterials != nullptr &&
           scene->mMaterials[mesh->mMaterialIndex] != nullptr &&
           scene->mMaterials[mesh->mMaterialIndex]->GetTextureCount(aiTextureType_NORMALS) > 0;
}

} // namespace

const aiScene* readModel(Assimp::Importer& importer, const std::string& path, Assimp::IOSystem* files)
{
    const aiScene* read = readScene(importer, path, files, 0);
    if (read == nullptr)
        return nullptr;
    auto* scene = const_cast<aiScene*>(read);
    // Nothing to process: the steps would only fail on it, for reasons
    // (no materials left) that say nothing of the file.
    if (scene->mNumMeshes == 0 || scene->mMeshes == nullptr)
        return scene;
    for (unsigned i = 0; i < scene->mNumMeshes && scene->mMeshes != nullptr; ++i) {
        aiMesh* mesh = scene->mMeshes[i];
        if (mesh == nullptr || mesh->mNumFaces != 0 || mesh->mFaces != nullptr || mesh->mVertices == nullptr ||
            mesh->mNumVertices == 0)
            continue;
        mesh->mFaces = new aiFace[mesh->mNumVertices];
        mesh->mNumFaces = mesh->mNumVertices;
        for (unsigned v = 0; v < mesh->mNumVertices; ++v) {
            mesh->mFaces[v].mNumIndices = 1;
            mesh->mFaces[v].mIndices = new unsigned[1]{v};
        }
        mesh->mPrimitiveTypes = aiPrimitiveType_POINT;
    }
    bringToWorkingScale(scene);
    unsigned long long vertices = 0;
    for (unsigned i = 0; i < scene->mNumMeshes; ++i)
        if (scene->mMeshes[i] != nullptr)
            vertices += scene->mMeshes[i]->mNumVertices;
    const bool gltf = fromGltf(scene);
    for (unsigned i = 0; i < scene->mNumMeshes; ++i) {
        aiMesh* mesh = scene->mMeshes[i];
        if (mesh != nullptr && (gltf ? normalMapped(scene, mesh) : vertices > bigModelVertices))
            giveMeshNormals(mesh);
    }
    unsigned flags = vertices <= bigModelVertices ? modelImportFlags : bigModelFlags;
    if (gltf)
        flags &= ~(aiProcess_GenSmoothNormals | aiProcess_GenNormals);
    return importer.ApplyPostProcessing(flags);
}

} // namespace import
