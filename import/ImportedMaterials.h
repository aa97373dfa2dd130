// The importer's materials as the viewer's surfaces: glTF's metallic-roughness as the file gives it, other formats' colours, specular and maps mapped onto it.
#pragma once

#include "import/GltfExtras.h"
#include "import/ModelData.h"
#include "import/TextureSources.h"

#include <string>
#include <vector>

struct aiScene;

namespace import {

// Where the image a material of `file` (read from `scenePath`) names is:
// inside the file, or beside it.
ImageSource importedImage(const aiScene* file, const std::string& name, const std::string& scenePath);

// The file's materials, with one more at the end for meshes that name none
// of them; the textures they show are added to `textures`. A material with
// a metallic factor is glTF's: its base colour, metallic and roughness
// factors, metallic-roughness texture, normal texture and scale, occlusion
// texture and strength and emission are read as they are, the emission
// scaled by the strength `gltfExtras` gives (by material, 1 past its end). A
// specular-glossiness one is read for its diffuse colour and texture and its
// glossiness. Any other is a classic one: its diffuse colour (which its
// picture and vertex colours stand in for), its specular colour as the
// specular weight (0.5 for the common 4 %), its shininess (a Phong
// exponent) as roughness, its specular map, its normal or height map and
// bump scale, and its emission (white where a map is given without a
// colour). Each texture is read as the material says: its wrapping and
// filters, its set of texture coordinates (as the file numbers them; see
// settleUvSets), and for glTF its KHR_texture_transform from `gltfExtras`.
std::vector<ModelMaterial> readMaterials(const aiScene* file, TextureSources& textures,
                                         const std::vector<GltfMaterialExtras>& gltfExtras);

// A material's textures read set 0 and at most one other set, which the
// meshes of it carry as their texCoords1. For each material, that other set
// as the file numbers it (0 for none); its textures' sets are made 0 or 1.
// A texture naming a third set reads set 0, with a line in `notes`.
std::vector<unsigned> settleUvSets(std::vector<ModelMaterial>& materials, std::vector<std::string>& notes);

// The roughness whose highlight is as wide as that of a Phong exponent,
// through the Beckmann width sqrt(2 / (exponent + 2)).
float roughnessOfShininess(float exponent);

} // namespace import
