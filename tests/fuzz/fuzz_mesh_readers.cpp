// fuzz_mesh_readers: any bytes as a model file read by the import process's STL or PLY reader (the PLY one for
// bytes that start with "ply"), from a file, as a model given by path is; what it hands over must be what the
// upload trusts, an STL mesh must carry no normals and have three vertices apart in every facet,
// every mesh one placement, and a failure must say why.
#include "MeshChecks.h"
#include "import/PlyReader.h"
#include "import/StlReader.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
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
        // Lit by its facets' planes: no normals, and each facet's corners
        // three vertices apart (the points they were read as may meet once
        // scaled, which harms nothing).
        if (!mesh.normals.empty())
            broken("an STL mesh with normals");
        for (size_t i = 0; i + 2 < mesh.indices.size(); i += 3)
            if (mesh.indices[i] == mesh.indices[i + 1] || mesh.indices[i + 1] == mesh.indices[i + 2] ||
                mesh.indices[i] == mesh.indices[i + 2])
                broken("a facet whose corners share a vertex");
    }
    return 0;
}
