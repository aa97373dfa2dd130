// fuzz_obj_reader: any bytes as a model's OBJ text, read by the import process's OBJ reader; what it
// hands over must be what the upload trusts: arrays of matching lengths, indices below the vertex count,
// whole faces, finite positions and normals.
#include "import/ObjReader.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

[[noreturn]] void broken(const char* what)
{
    std::fprintf(stderr, "broken invariant: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    import::ObjModel model;
    std::string reason;
    if (!import::readObjText(reinterpret_cast<const char*>(data), size, "fuzz.obj", model, reason,
                            [](unsigned long long) {})) {
        if (reason.empty())
            broken("a failure without a reason");
        return 0;
    }
    for (const import::ModelMesh& mesh : model.meshes) {
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
        if (mesh.material >= model.materials.size())
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
    for (const import::ModelMaterial& material : model.materials)
        for (int slot = 0; slot < import::materialTextureSlots; ++slot)
            if (import::textureSlot(material, slot) >= static_cast<int>(model.textures.size()))
                broken("texture");
    return 0;
}
