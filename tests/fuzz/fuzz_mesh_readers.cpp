// fuzz_mesh_readers: any bytes as a model file read by the import process's STL or PLY reader (the PLY one for
// bytes that start with "ply"), from a file, as a model given by path is; what it hands over must be what the
// upload trusts, an STL facet must keep vertices of its own with a unit normal at every corner, every mesh one
// placement, and a failure must say why.
#include "MeshChecks.h"
#include "import/PlyReader.h"
#include "import/StlReader.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <glm/glm.hpp>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const bool ply = size >= 3 && std::memcmp(data, "ply", 3) == 0;
    static const std::string path = "/tmp/brassfern-fuzz-mesh-" + std::to_string(::getpid());
    const std::string file = path + (ply ? ".ply" : ".stl");
    FILE* out = std::fopen(file.c_str(), "wb");
    if (out == nullptr)
        return 0;
    const bool written = std::fwrite(data, 1, size, out) == size;
    std::fclose(out);
    if (!written)
        return 0;
    import::ModelData model;
    std::string reason;
    const import::ReadOutcome outcome = ply ? import::readPly(file, model, reason, [](unsigned long long) {})
                                            : import::readStl(file, model, reason, [](unsigned long long) {});
    if (outcome == import::ReadOutcome::failed && reason.empty())
        broken("a failure without a reason");
    if (outcome != import::ReadOutcome::read)
        return 0;
    checkMeshes(model.meshes, model.materials.size());
    if (model.placements.size() != model.meshes.size())
        broken("placements");
    for (const import::ModelMesh& mesh : model.meshes) {
        for (float value : mesh.colours)
            if (!(value >= 0.0f && value <= 1.0f))
                broken("a colour outside [0, 1]");
        if (ply)
            continue;
        if (mesh.normals.size() != mesh.positions.size() || mesh.indices.size() != mesh.vertexCount())
            broken("a facet's vertices are not its own");
        for (size_t i = 0; i < mesh.normals.size(); i += 3)
            if (std::abs(glm::length(glm::vec3(mesh.normals[i], mesh.normals[i + 1], mesh.normals[i + 2])) - 1.0f) >
                1e-3f)
                broken("a normal that is not a unit vector");
    }
    return 0;
}
