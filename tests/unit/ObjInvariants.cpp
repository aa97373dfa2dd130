// The import path of the viewer without its GL half, with every property a draw relies on checked.
#include "ObjInvariants.h"

#include "import/SceneRead.h"

#include <assimp/Importer.hpp>
#include <assimp/MemoryIOWrapper.h>
#include <assimp/scene.h>
#include <cstring>
#include <sstream>

namespace {

// Every name the importer asks for is there and holds the same bytes: the
// scene, any library its "mtllib" names and the library it falls back to,
// so that one input drives both the scene and the material reader.
class SameBytesFiles : public Assimp::IOSystem {
public:
    explicit SameBytesFiles(const std::string& bytes) : bytes(bytes) {}
    bool Exists(const char*) const override { return true; }
    char getOsSeparator() const override { return '/'; }
    Assimp::IOStream* Open(const char*, const char*) override
    {
        return new Assimp::MemoryIOStream(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    }
    void Close(Assimp::IOStream* stream) override { delete stream; }

private:
    const std::string& bytes;
};

// Bitwise, so that NaN must also come through unchanged.
bool sameFloats(const float* copied, const aiVector3D& source, int components)
{
    const float original[3] = {source.x, source.y, source.z};
    return std::memcmp(copied, original, components * sizeof(float)) == 0;
}

std::string checkArrays(const aiMesh* mesh, const scene::MeshArrays& arrays)
{
    std::ostringstream broken;
    if (arrays.vertexCount != mesh->mNumVertices || arrays.indexCount != 3 * mesh->mNumFaces)
        broken << "counts " << arrays.vertexCount << "/" << arrays.indexCount << " for " << mesh->mNumVertices
               << " vertices and " << mesh->mNumFaces << " faces";
    else if (!arrays.positions || !arrays.normals || !arrays.texCoords || !arrays.indices)
        broken << "an array is missing";
    if (!broken.str().empty())
        return broken.str();
    for (unsigned i = 0; i < arrays.indexCount; ++i) {
        if (arrays.indices[i] >= arrays.vertexCount) {
            broken << "index " << i << " is " << arrays.indices[i] << " of " << arrays.vertexCount << " vertices";
            return broken.str();
        }
    }
    const aiVector3D* uvs = mesh->mTextureCoords[0];
    for (unsigned v = 0; v < arrays.vertexCount; ++v) {
        const bool same = sameFloats(&arrays.positions[3 * v], mesh->mVertices[v], 3) &&
                          (!mesh->mNormals || sameFloats(&arrays.normals[3 * v], mesh->mNormals[v], 3)) &&
                          (!uvs || sameFloats(&arrays.texCoords[2 * v], uvs[v], 2));
        if (!same) {
            broken << "vertex " << v << " differs from the mesh";
            return broken.str();
        }
    }
    return "";
}

} // namespace

std::string checkObjBytes(const std::string& bytes, ObjOutcome* outcome)
{
    // One importer for every call: building one registers every format and step.
    static Assimp::Importer importer;
    const aiScene* imported = import::readScene(importer, "scene.obj", new SameBytesFiles(bytes));
    ObjOutcome result;
    result.imported = imported != nullptr;
    std::string broken;
    for (unsigned i = 0; imported && imported->mMeshes && i < imported->mNumMeshes && broken.empty(); ++i) {
        const aiMesh* mesh = imported->mMeshes[i];
        const scene::MeshProblem problem = scene::findMeshProblem(mesh);
        result.problems.push_back(problem);
        if (problem != scene::MeshProblem::none)
            continue;
        scene::MeshArrays arrays = scene::copyMeshArrays(mesh);
        const std::string why = checkArrays(mesh, arrays);
        if (!why.empty())
            broken = "mesh " + std::to_string(i) + " '" + mesh->mName.C_Str() + "': " + why;
        scene::deleteMeshArrays(arrays);
    }
    // Nothing held between calls, so that a fuzzer's leak check sees each input on its own.
    importer.FreeScene();
    if (outcome)
        *outcome = result;
    return broken;
}
