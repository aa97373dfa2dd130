// What the importer leaves out of a glTF file's materials, read from the file's own JSON.
#pragma once

#include "import/ModelData.h"

#include <string>
#include <vector>

namespace import {

// KHR_texture_transform on one texture of a material, as the file gives
// it: in glTF's texture coordinates, whose v runs down the image.
struct GltfTextureTransform {
    bool given = false;
    float offset[2] = {0.0f, 0.0f};
    float rotation = 0.0f; // radians
    float scale[2] = {1.0f, 1.0f};
    int texCoord = -1; // the set read instead of the one the texture names; -1: none given
};

// What the importer of this version leaves out of a glTF material. It
// reads the emissive colour but not KHR_materials_emissive_strength, which
// scales it past 1; and it passes KHR_texture_transform on without its
// texCoord, recast about the texture's centre in a form of its own that
// would have to be undone: it is read here as the file writes it.
struct GltfMaterialExtras {
    float emissiveStrength = 1.0f;
    GltfTextureTransform transforms[materialTextureSlots]; // by ModelMaterial's texture slot
};

// For each of the file's materials in order, what it gives. Empty for a
// file that is not glTF, cannot be read, or whose JSON is broken or past
// 64 MB: its materials are then as the importer reads them.
std::vector<GltfMaterialExtras> gltfMaterialExtras(const std::string& path);

// The same from the JSON text of a glTF file.
std::vector<GltfMaterialExtras> materialExtrasOfJson(const std::string& json);

// `transform` (offset, rotation and scale; not its texCoord) as `mapping`'s
// transform, which works on the coordinates meshes carry, v up.
void applyGltfTransform(const GltfTextureTransform& transform, TextureMapping& mapping);

} // namespace import
