// Scene import through Assimp: one static object, material and program per usable mesh.
#include "scene/SceneImport.h"

#include "gpu/ShaderProgram.h"
#include "gpu/Texture.h"
#include "scene/Material.h"
#include "scene/MeshArrays.h"
#include "scene/NodePlacement.h"
#include "scene/SceneRead.h"
#include "scene/StaticSceneObject.h"

#include <assimp/DefaultIOSystem.h>
#include <assimp/Importer.hpp>
#include <assimp/material.h>
#include <assimp/mesh.h>
#include <assimp/scene.h>
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <vector>

std::map<std::string, Texture*> textureCache;
std::vector<ShaderProgram*> sharedScenePrograms;
Assimp::Importer sceneImporter;

namespace {

constexpr const char* textureDirectory = "Textures/FinalScene";

// A model's surface without an image shows its material's diffuse colour,
// as a one-texel texture shared by every surface of that colour. The cache
// key cannot be a name a material gives: names hold no line breaks.
Texture* colourTexture(const aiMaterial* material)
{
    aiColor4D colour(0.8f, 0.8f, 0.8f, 1.0f);
    if (material != nullptr)
        aiGetMaterialColor(material, AI_MATKEY_COLOR_DIFFUSE, &colour);
    unsigned char texel[4];
    const float channels[4] = {colour.r, colour.g, colour.b, 1.0f};
    for (int i = 0; i < 4; ++i) {
        const float value = std::isfinite(channels[i]) ? std::clamp(channels[i], 0.0f, 1.0f) : 0.0f;
        texel[i] = static_cast<unsigned char>(std::lround(value * 255.0f));
    }
    const std::string key = "\ndiffuse colour " + std::to_string(texel[0]) + " " + std::to_string(texel[1]) + " " +
                            std::to_string(texel[2]);
    Texture*& texture = textureCache[key];
    if (texture == nullptr)
        texture = new Texture(1, 1, texel);
    return texture;
}

// A texture the model file carries inside itself (glTF binary buffers, FBX),
// named "*0", "*1"... or by its original file name.
Texture* embeddedTexture(const aiTexture* embedded, const std::string& name)
{
    if (embedded->mHeight == 0)
        return new Texture(name, reinterpret_cast<const unsigned char*>(embedded->pcData), embedded->mWidth);
    // Raw texels, blue-green-red-alpha.
    const size_t count = static_cast<size_t>(embedded->mWidth) * embedded->mHeight;
    std::vector<unsigned char> pixels(4 * count);
    for (size_t i = 0; i < count; ++i) {
        const aiTexel& texel = embedded->pcData[i];
        pixels[4 * i + 0] = texel.r;
        pixels[4 * i + 1] = texel.g;
        pixels[4 * i + 2] = texel.b;
        pixels[4 * i + 3] = texel.a;
    }
    return new Texture(static_cast<int>(embedded->mWidth), static_cast<int>(embedded->mHeight), pixels.data());
}

} // namespace

std::string texturePath(const std::string& name, const std::string& scenePath, TextureLookup lookup)
{
    if (lookup == TextureLookup::sceneFolder)
        return std::string(textureDirectory) + "/" + name;
    std::string portable = name;
    std::replace(portable.begin(), portable.end(), '\\', '/');
    // An absolute name stays as it is; "./" and "../" fold into the folder.
    return (std::filesystem::path(scenePath).parent_path() / portable).lexically_normal().string();
}

scene::StaticSceneObject* createSceneObject(const aiMesh* mesh, const aiMaterial* importedMaterial,
                                            const std::string& scenePath, TextureLookup lookup,
                                            const aiScene* file)
{
    switch (scene::findMeshProblem(mesh)) {
    case scene::MeshProblem::none:
        break;
    case scene::MeshProblem::notTriangles:
        std::cout << "Skipping mesh without triangles: " << mesh->mName.C_Str() << std::endl;
        return nullptr;
    case scene::MeshProblem::indexOutOfRange:
        std::cout << "Skipping mesh with invalid indices: " << mesh->mName.C_Str() << std::endl;
        return nullptr;
    }
    aiString textureName;
    Texture* texture = nullptr;
    if (importedMaterial == nullptr || aiGetMaterialTextureCount(importedMaterial, aiTextureType_DIFFUSE) == 0 ||
        aiGetMaterialTexture(importedMaterial, aiTextureType_DIFFUSE, 0, &textureName) != aiReturn_SUCCESS) {
        if (lookup == TextureLookup::sceneFolder) {
            std::cout << "Error loading texture" << std::endl;
            return nullptr;
        }
        texture = colourTexture(importedMaterial);
    } else {
        const std::string key(textureName.C_Str());
        Texture*& cached = textureCache[key];
        if (cached == nullptr) {
            const aiTexture* embedded =
                lookup == TextureLookup::besideModel && file != nullptr ? file->GetEmbeddedTexture(key.c_str()) : nullptr;
            cached = embedded != nullptr ? embeddedTexture(embedded, key) : new Texture(texturePath(key, scenePath, lookup));
        }
        texture = cached;
    }

    if (lookup == TextureLookup::sceneFolder) {
        auto* material =
            new Material(new ShaderProgram("Shader/basicVertex.glsl", "Shader/basicFragment.glsl"), texture);
        material->setMaterialUniforms(glm::vec3(0.2f), glm::vec3(0.8f), glm::vec3(0.5f), 5.0f);
        material->setLightUniforms();
        return new scene::StaticSceneObject(mesh, material);
    }
    // Every material of a model has the same lighting constants, so its
    // meshes share one program: a program per mesh costs most of a
    // megabyte, and a model of ten thousand parts would need gigabytes.
    const bool first = sharedScenePrograms.empty();
    if (first)
        sharedScenePrograms.push_back(new ShaderProgram("Shader/basicVertex.glsl", "Shader/basicFragment.glsl"));
    auto* material = new Material(sharedScenePrograms.front(), texture);
    material->sharedProgram = true;
    if (first) {
        material->setMaterialUniforms(glm::vec3(0.2f), glm::vec3(0.8f), glm::vec3(0.5f), 5.0f);
        material->setLightUniforms();
    }
    return new scene::StaticSceneObject(mesh, material);
}

std::vector<scene::SceneObject*> importScene(const std::string& path, TextureLookup lookup)
{
    std::vector<scene::SceneObject*> objects;
    {
        // A directory opens like a file on this platform but has nothing to read.
        std::error_code error;
        std::ifstream probe(path);
        if (probe.fail() || std::filesystem::is_directory(path, error)) {
            std::cout << "Could not open file: " << path << std::endl;
            return objects;
        }
    }
    const aiScene* imported = scene::readScene(sceneImporter, path, new Assimp::DefaultIOSystem);
    if (imported == nullptr) {
        std::cout << "Import failed" << path << std::endl;
        return objects;
    }
    if (imported->mMeshes == nullptr)
        return objects;
    const auto materialOf = [imported](const aiMesh* mesh) -> const aiMaterial* {
        return mesh->mMaterialIndex < imported->mNumMaterials ? imported->mMaterials[mesh->mMaterialIndex] : nullptr;
    };
    if (lookup == TextureLookup::sceneFolder) {
        for (unsigned i = 0; i < imported->mNumMeshes; ++i) {
            const aiMesh* mesh = imported->mMeshes[i];
            if (scene::StaticSceneObject* object = createSceneObject(mesh, materialOf(mesh), path, lookup))
                objects.push_back(object);
        }
        return objects;
    }
    // A model is placed by its nodes, as formats with a hierarchy (glTF, FBX,
    // Collada) place their meshes.
    for (const scene::MeshPlacement& placement : scene::meshPlacements(imported)) {
        const aiMesh* mesh = imported->mMeshes[placement.meshIndex];
        if (mesh == nullptr)
            continue;
        if (scene::StaticSceneObject* object = createSceneObject(mesh, materialOf(mesh), path, lookup, imported)) {
            object->modelMatrix = placement.modelMatrix;
            objects.push_back(object);
        }
    }
    return objects;
}
