// fuzz_obj_reader: any bytes as a model's OBJ text, read by the import process's OBJ reader; what it
// hands over must be what the upload trusts: arrays of matching lengths, indices below the vertex count,
// whole faces, finite positions and normals.
#include "MeshChecks.h"
#include "import/ObjReader.h"

#include <cstdint>
#include <string>


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
    checkMeshes(model.meshes, model.materials.size());
    for (const import::ModelMaterial& material : model.materials)
        for (int slot = 0; slot < import::materialTextureSlots; ++slot)
            if (import::textureSlot(material, slot) >= static_cast<int>(model.textures.size()))
                broken("texture");
    return 0;
}
