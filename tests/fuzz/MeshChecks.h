// What the fuzzers of the readers of our own check of every mesh a reader hands over: what the upload trusts.
#pragma once

#include "import/ModelData.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

[[noreturn]] inline void broken(const char* what)
{
    std::fprintf(stderr, "broken invariant: %s\n", what);
    std::abort();
}

// Arrays of matching lengths, indices below the vertex count, whole faces,
// materials that exist, finite positions and normals.
inline void checkMeshes(const std::vector<import::ModelMesh>& meshes, size_t materials)
{
    for (const import::ModelMesh& mesh : meshes) {
        const size_t vertices = mesh.vertexCount();
        const unsigned perFace = static_cast<unsigned>(mesh.primitive);
        if (mesh.positions.size() != 3 * vertices || vertices == 0)
            broken("positions");
        if (!mesh.normals.empty() && mesh.normals.size() != 3 * vertices)
            broken("normals");
        if (!mesh.texCoords.empty() && mesh.texCoords.size() != 2 * vertices)
            broken("texture coordinates");
        if (!mesh.colours.empty() && mesh.colours.size() != 4 * vertices)
            broken("colours");
        if (perFace < 1 || perFace > 3 || mesh.indices.empty() || mesh.indices.size() % perFace != 0)
            broken("faces");
        if (mesh.material >= materials)
            broken("material");
        for (unsigned index : mesh.indices)
            if (index >= vertices)
                broken("index past the vertices");
        for (float value : mesh.positions)
            if (!std::isfinite(value))
                broken("position not finite");
        for (float value : mesh.normals)
            if (!std::isfinite(value))
                broken("normal not finite");
    }
}
