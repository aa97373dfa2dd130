// Reading each of the importer's materials into the metallic-roughness surface the viewer lights.
#include "import/ImportedMaterials.h"

#include "base/Printable.h"
#include "import/TexturePath.h"

#include <algorithm>
#include <assimp/GltfMaterial.h>
#include <assimp/material.h>
#include <assimp/scene.h>
#include <assimp/texture.h>
#include <cmath>
#include <cstring>
#include <filesystem>

namespace import {

namespace {

// The first texture of `type`, as the material names it; "" for none.
std::string textureName(const aiMaterial* material, aiTextureType type)
{
    aiString name;
    if (aiGetMaterialTextureCount(material, type) > 0 &&
        aiGetMaterialTexture(material, type, 0, &name) == aiReturn_SUCCESS && name.length > 0)
        return name.C_Str();
    return "";
}

// The first texture of any of `types`.
std::string textureName(const aiMaterial* material, std::initializer_list<aiTextureType> types)
{
    for (aiTextureType type : types) {
        std::string name = textureName(material, type);
        if (!name.empty())
            return name;
    }
    return "";
}

bool readFloat(const aiMaterial* material, const char* key, unsigned type, unsigned index, float& value)
{
    ai_real read = 0;
    if (aiGetMaterialFloat(material, key, type, index, &read) != aiReturn_SUCCESS || !std::isfinite(read))
        return false;
    value = static_cast<float>(read);
    return true;
}

// Alpha is kept where `colour` is a base colour, whose alpha is opacity.
bool readColour(const aiMaterial* material, const char* key, unsigned type, unsigned index, glm::vec4& colour,
                bool withAlpha = false)
{
    aiColor4D read;
    if (aiGetMaterialColor(material, key, type, index, &read) != aiReturn_SUCCESS)
        return false;
    colour = glm::vec4(read.r, read.g, read.b, withAlpha && std::isfinite(read.a) ? read.a : 1.0f);
    return true;
}

int addTexture(TextureSources& textures, TextureUse use, std::vector<std::string> names, float bumpScale = 1.0f)
{
    TextureRequest request;
    request.use = use;
    request.names = std::move(names);
    request.bumpScale = bumpScale;
    return textures.add(request);
}

// glTF's metallic-roughness material, or a specular-glossiness one read as
// far as it maps onto it.
void readMetalRough(const aiMaterial* imported, TextureSources& textures, ModelMaterial& material)
{
    float glossiness = 0.0f;
    if (readFloat(imported, AI_MATKEY_GLOSSINESS_FACTOR, glossiness)) {
        readColour(imported, AI_MATKEY_COLOR_DIFFUSE, material.diffuse, true);
        material.metallic = 0.0f;
        material.roughness = 1.0f - std::clamp(glossiness, 0.0f, 1.0f);
        material.texture = addTexture(textures, TextureUse::colour, {textureName(imported, aiTextureType_DIFFUSE)});
        return;
    }
    if (!readColour(imported, AI_MATKEY_BASE_COLOR, material.diffuse, true))
        readColour(imported, AI_MATKEY_COLOR_DIFFUSE, material.diffuse, true);
    readFloat(imported, AI_MATKEY_METALLIC_FACTOR, material.metallic);
    readFloat(imported, AI_MATKEY_ROUGHNESS_FACTOR, material.roughness);
    material.texture = addTexture(textures, TextureUse::colour,
                                  {textureName(imported, {aiTextureType_BASE_COLOR, aiTextureType_DIFFUSE})});
    // glTF's one image holds both; other formats' separate maps are packed.
    const std::string packed = textureName(imported, aiTextureType_UNKNOWN);
    material.surfaceTexture =
        !packed.empty() ? addTexture(textures, TextureUse::metalRough, {packed})
                        : addTexture(textures, TextureUse::surface,
                                     {textureName(imported, aiTextureType_DIFFUSE_ROUGHNESS),
                                      textureName(imported, aiTextureType_METALNESS), ""});
    const std::string occlusion = textureName(imported, {aiTextureType_LIGHTMAP, aiTextureType_AMBIENT_OCCLUSION});
    // glTF keeps occlusion in the red of the same image, often: read once.
    material.occlusionTexture = !occlusion.empty() && occlusion == packed
                                    ? material.surfaceTexture
                                    : addTexture(textures, TextureUse::data, {occlusion});
    const aiTextureType occlusionType = textureName(imported, aiTextureType_LIGHTMAP).empty()
                                            ? aiTextureType_AMBIENT_OCCLUSION
                                            : aiTextureType_LIGHTMAP;
    readFloat(imported, AI_MATKEY_GLTF_TEXTURE_STRENGTH(occlusionType, 0), material.occlusionStrength);
}

// A classic material: Phong's colours and exponent, and the maps that go with them.
void readClassic(const aiMaterial* imported, TextureSources& textures, ModelMaterial& material)
{
    readColour(imported, AI_MATKEY_COLOR_DIFFUSE, material.diffuse);
    material.colourMultiplies = false;
    material.texture = addTexture(textures, TextureUse::colour,
                                  {textureName(imported, {aiTextureType_DIFFUSE, aiTextureType_BASE_COLOR})});
    glm::vec4 specular(0.5f);
    if (readColour(imported, AI_MATKEY_COLOR_SPECULAR, specular)) {
        float strength = 1.0f;
        readFloat(imported, AI_MATKEY_SHININESS_STRENGTH, strength);
        material.specular = 2.0f * std::max(strength, 0.0f) * (specular.r + specular.g + specular.b) / 3.0f;
    }
    float shininess = 0.0f;
    material.roughness = readFloat(imported, AI_MATKEY_SHININESS, shininess) ? roughnessOfShininess(shininess) : 1.0f;
    material.metallic = 0.0f;
    material.surfaceTexture =
        addTexture(textures, TextureUse::surface, {"", "", textureName(imported, aiTextureType_SPECULAR)});
    material.occlusionTexture =
        addTexture(textures, TextureUse::data, {textureName(imported, aiTextureType_AMBIENT_OCCLUSION)});
}

// A normal map, or a height map made into one, and its scale.
void readNormals(const aiMaterial* imported, TextureSources& textures, ModelMaterial& material)
{
    const bool normals = !textureName(imported, aiTextureType_NORMALS).empty();
    const aiTextureType type = normals ? aiTextureType_NORMALS : aiTextureType_HEIGHT;
    float scale = 1.0f;
    if (!readFloat(imported, AI_MATKEY_GLTF_TEXTURE_SCALE(type, 0), scale))
        readFloat(imported, AI_MATKEY_BUMPSCALING, scale);
    material.normalTexture = addTexture(textures, TextureUse::normal, {textureName(imported, type)}, scale);
    material.normalScale = scale;
}

// How the surface's alpha shows. glTF says so in its alpha mode; other
// formats give an opacity, and maybe an opacity map, which make the
// surface see-through.
void readAlpha(const aiMaterial* imported, TextureSources& textures, ModelMaterial& material)
{
    aiString mode;
    if (aiGetMaterialString(imported, AI_MATKEY_GLTF_ALPHAMODE, &mode) == aiReturn_SUCCESS) {
        const std::string name = mode.C_Str();
        material.alphaMode = name == "MASK" ? AlphaMode::mask : name == "BLEND" ? AlphaMode::blend : AlphaMode::opaque;
        readFloat(imported, AI_MATKEY_GLTF_ALPHACUTOFF, material.alphaCutoff);
        return;
    }
    material.diffuse.a = 1.0f;
    float opacity = 1.0f;
    // Wholly invisible is an exporter's slip (transparency written where
    // opacity is meant), not what anyone modelled.
    if (readFloat(imported, AI_MATKEY_OPACITY, opacity) && opacity > 0.0f && opacity < 1.0f) {
        material.diffuse.a = opacity;
        material.alphaMode = AlphaMode::blend;
    }
    const std::string opacityMap = textureName(imported, aiTextureType_OPACITY);
    if (opacityMap.empty())
        return;
    const std::string colourMap = textureName(imported, {aiTextureType_DIFFUSE, aiTextureType_BASE_COLOR});
    material.texture = addTexture(textures, TextureUse::colourOpacity, {colourMap, opacityMap});
    material.alphaMode = AlphaMode::blend;
    // White with holes where the colour has no picture: the colour tints it.
    if (colourMap.empty())
        material.colourMultiplies = true;
}

void readEmission(const aiMaterial* imported, TextureSources& textures, float strength, ModelMaterial& material)
{
    glm::vec4 emissive(0.0f);
    readColour(imported, AI_MATKEY_COLOR_EMISSIVE, emissive);
    float intensity = 1.0f;
    if (readFloat(imported, AI_MATKEY_EMISSIVE_INTENSITY, intensity))
        strength *= intensity;
    material.emissiveTexture =
        addTexture(textures, TextureUse::colour, {textureName(imported, {aiTextureType_EMISSIVE,
                                                                          aiTextureType_EMISSION_COLOR})});
    // A classic format's map is its emission; its colour, often left black, only tints it.
    if (!material.colourMultiplies && material.emissiveTexture >= 0 && glm::vec3(emissive) == glm::vec3(0.0f))
        emissive = glm::vec4(1.0f);
    material.emissive = glm::max(glm::vec3(emissive), glm::vec3(0.0f)) * std::max(strength, 0.0f);
}

// The importer's texture types each slot's texture is looked for under, in
// ModelMaterial's slot order.
const std::vector<aiTextureType> slotTypes[materialTextureSlots] = {
    {aiTextureType_BASE_COLOR, aiTextureType_DIFFUSE},
    {aiTextureType_UNKNOWN, aiTextureType_DIFFUSE_ROUGHNESS, aiTextureType_METALNESS, aiTextureType_SPECULAR},
    {aiTextureType_NORMALS, aiTextureType_HEIGHT},
    {aiTextureType_LIGHTMAP, aiTextureType_AMBIENT_OCCLUSION},
    {aiTextureType_EMISSIVE, aiTextureType_EMISSION_COLOR}};

TextureWrap wrapOf(int mode)
{
    switch (mode) {
    case aiTextureMapMode_Clamp:
    case aiTextureMapMode_Decal: // nothing past the edge: the edge's texels are the nearest to it
        return TextureWrap::clampToEdge;
    case aiTextureMapMode_Mirror:
        return TextureWrap::mirroredRepeat;
    default:
        return TextureWrap::repeat;
    }
}

// glTF's sampler filters, which are the GL's own numbers; `unset` for one it does not give.
TextureFilter filterOf(int glFilter, TextureFilter unset)
{
    switch (glFilter) {
    case 0x2600:
        return TextureFilter::nearest;
    case 0x2601:
        return TextureFilter::linear;
    case 0x2700:
        return TextureFilter::nearestMipmapNearest;
    case 0x2701:
        return TextureFilter::linearMipmapNearest;
    case 0x2702:
        return TextureFilter::nearestMipmapLinear;
    case 0x2703:
        return TextureFilter::linearMipmapLinear;
    default:
        return unset;
    }
}

// How `imported` reads the texture of its first of `types` that has one.
TextureMapping mappingOf(const aiMaterial* imported, const std::vector<aiTextureType>& types)
{
    TextureMapping mapping;
    for (aiTextureType type : types) {
        if (textureName(imported, type).empty())
            continue;
        int value = 0;
        if (aiGetMaterialInteger(imported, AI_MATKEY_UVWSRC(type, 0), &value) == aiReturn_SUCCESS && value >= 0)
            mapping.uvSet = static_cast<unsigned>(value);
        if (aiGetMaterialInteger(imported, AI_MATKEY_MAPPINGMODE_U(type, 0), &value) == aiReturn_SUCCESS)
            mapping.wrapU = wrapOf(value);
        if (aiGetMaterialInteger(imported, AI_MATKEY_MAPPINGMODE_V(type, 0), &value) == aiReturn_SUCCESS)
            mapping.wrapV = wrapOf(value);
        if (aiGetMaterialInteger(imported, AI_MATKEY_GLTF_MAPPINGFILTER_MAG(type, 0), &value) == aiReturn_SUCCESS)
            mapping.magnify = filterOf(value, mapping.magnify);
        if (mapping.magnify != TextureFilter::nearest)
            mapping.magnify = TextureFilter::linear; // magnifying reads no mipmaps
        if (aiGetMaterialInteger(imported, AI_MATKEY_GLTF_MAPPINGFILTER_MIN(type, 0), &value) == aiReturn_SUCCESS)
            mapping.minify = filterOf(value, mapping.minify);
        break;
    }
    return mapping;
}

// Each texture's mapping as the file gives it; a texture slot left empty
// keeps the default, so that materials that look alike compare alike.
void readMappings(const aiMaterial* imported, const GltfMaterialExtras* gltf, ModelMaterial& material)
{
    for (int slot = 0; slot < materialTextureSlots; ++slot) {
        TextureMapping& mapping = material.mappings[slot];
        mapping = TextureMapping();
        if (textureSlot(material, slot) < 0)
            continue;
        mapping = mappingOf(imported, slotTypes[slot]);
        if (gltf == nullptr || !gltf->transforms[slot].given)
            continue;
        applyGltfTransform(gltf->transforms[slot], mapping);
        if (gltf->transforms[slot].texCoord >= 0)
            mapping.uvSet = static_cast<unsigned>(gltf->transforms[slot].texCoord);
    }
}

const char* const slotNames[materialTextureSlots] = {"base colour", "surface", "normal", "occlusion", "emissive"};

} // namespace

ImageSource importedImage(const aiScene* file, const std::string& name, const std::string& scenePath)
{
    ImageSource source;
    source.name = printable(name + " in " + std::filesystem::path(scenePath).filename().string());
    source.embeddedName = name;
    const aiTexture* embedded = file->GetEmbeddedTexture(name.c_str());
    if (embedded == nullptr) {
        source.path = texturePath(name, scenePath, TextureLookup::besideModel);
        source.name = printable(source.path);
        return source;
    }
    source.embedded = true;
    if (embedded->mHeight == 0) {
        const auto* data = reinterpret_cast<const unsigned char*>(embedded->pcData);
        if (data != nullptr)
            source.bytes.assign(data, data + embedded->mWidth);
        // The format's hint stands in for an extension (TGA has no signature).
        source.embeddedName = name + "." + std::string(embedded->achFormatHint, strnlen(embedded->achFormatHint, 9));
        return source;
    }
    const unsigned long long texels = static_cast<unsigned long long>(embedded->mWidth) * embedded->mHeight;
    if (embedded->pcData != nullptr && texels <= (1ULL << 26)) {
        source.rawWidth = static_cast<int>(embedded->mWidth);
        source.rawHeight = static_cast<int>(embedded->mHeight);
        const auto* data = reinterpret_cast<const unsigned char*>(embedded->pcData);
        source.bytes.assign(data, data + 4 * texels);
    }
    return source;
}

float roughnessOfShininess(float exponent)
{
    if (!std::isfinite(exponent) || exponent <= 0.0f)
        return 1.0f;
    return std::clamp(std::pow(2.0f / (exponent + 2.0f), 0.25f), 0.0f, 1.0f);
}

std::vector<ModelMaterial> readMaterials(const aiScene* file, TextureSources& textures,
                                         const std::vector<GltfMaterialExtras>& gltfExtras)
{
    std::vector<ModelMaterial> materials;
    for (unsigned i = 0; i < file->mNumMaterials && file->mMaterials != nullptr; ++i) {
        const aiMaterial* imported = file->mMaterials[i];
        ModelMaterial material;
        if (imported == nullptr) {
            materials.push_back(material);
            continue;
        }
        int twoSided = 0;
        if (aiGetMaterialInteger(imported, AI_MATKEY_TWOSIDED, &twoSided) == aiReturn_SUCCESS)
            material.twoSided = twoSided != 0;
        float metallic = 0.0f;
        if (readFloat(imported, AI_MATKEY_METALLIC_FACTOR, metallic) ||
            readFloat(imported, AI_MATKEY_GLOSSINESS_FACTOR, metallic))
            readMetalRough(imported, textures, material);
        else
            readClassic(imported, textures, material);
        readNormals(imported, textures, material);
        readAlpha(imported, textures, material);
        const GltfMaterialExtras* gltf = i < gltfExtras.size() ? &gltfExtras[i] : nullptr;
        readEmission(imported, textures, gltf != nullptr ? gltf->emissiveStrength : 1.0f, material);
        readMappings(imported, gltf, material);
        materials.push_back(material);
    }
    materials.push_back(ModelMaterial());
    return materials;
}

std::vector<unsigned> settleUvSets(std::vector<ModelMaterial>& materials, std::vector<std::string>& notes)
{
    std::vector<unsigned> secondSets;
    for (size_t i = 0; i < materials.size(); ++i) {
        ModelMaterial& material = materials[i];
        unsigned second = 0;
        for (const TextureMapping& mapping : material.mappings)
            if (mapping.uvSet != 0 && (second == 0 || mapping.uvSet < second))
                second = mapping.uvSet;
        for (int slot = 0; slot < materialTextureSlots; ++slot) {
            TextureMapping& mapping = material.mappings[slot];
            if (mapping.uvSet != 0 && mapping.uvSet != second)
                notes.push_back("Material " + std::to_string(i) + " reads its " + slotNames[slot] +
                                " texture through texture coordinate set " + std::to_string(mapping.uvSet) +
                                " besides set " + std::to_string(second) +
                                ": a material reads at most two sets; set 0 is read instead");
            mapping.uvSet = mapping.uvSet != 0 && mapping.uvSet == second ? 1 : 0;
        }
        secondSets.push_back(second);
    }
    return secondSets;
}

} // namespace import
