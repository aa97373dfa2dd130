// fuzz_stl_reader: any bytes as an STL file, read by the import process's STL reader from a file, as a
// model given by path is; what it hands over must be what the upload trusts, with a unit normal at every
// corner, one placement a mesh, and a failure must say why.
#include "MeshChecks.h"
#include "import/StlReader.h"

#include <cstdint>
#include <cstdio>
#include <glm/glm.hpp>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string path = "/tmp/brassfern-fuzz-stl-" + std::to_string(::getpid()) + ".stl";
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return 0;
    const bool written = std::fwrite(data, 1, size, file) == size;
    std::fclose(file);
    if (!written)
        return 0;
    import::ModelData model;
    std::string reason;
    const import::ReadOutcome outcome = import::readStl(path, model, reason, [](unsigned long long) {});
    if (outcome == import::ReadOutcome::failed && reason.empty())
        broken("a failure without a reason");
    if (outcome != import::ReadOutcome::read)
        return 0;
    checkMeshes(model.meshes, model.materials.size());
    if (model.placements.size() != model.meshes.size())
        broken("placements");
    for (const import::ModelMesh& mesh : model.meshes) {
        if (mesh.normals.size() != mesh.positions.size() || mesh.indices.size() != mesh.vertexCount())
            broken("a facet's vertices are not its own");
        for (size_t i = 0; i < mesh.normals.size(); i += 3)
            if (std::abs(glm::length(glm::vec3(mesh.normals[i], mesh.normals[i + 1], mesh.normals[i + 2])) - 1.0f) >
                1e-3f)
                broken("a normal that is not a unit vector");
    }
    return 0;
}
