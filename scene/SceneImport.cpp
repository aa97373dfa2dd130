// Scene import through Assimp: one static object, material and program per usable mesh.
#include "scene/SceneImport.h"

#include "gpu/ShaderProgram.h"
#include "gpu/Texture.h"
#include "scene/Material.h"
#include "scene/MeshArrays.h"
#include "scene/SceneRead.h"
#include "scene/StaticSceneObject.h"

#include <assimp/DefaultIOSystem.h>
#include <assimp/Importer.hpp>
#include <assimp/material.h>
#include <assimp/mesh.h>
#include <algorithm>
#include <assimp/scene.h>
#include <filesystem>
#include <fstream>
#include <iostream>

std::map<std::string, Texture*> textureCache;
Assimp::Importer sceneImporter;

namespace {

constexpr const char* textureDirectory = "Textures/FinalScene";

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
                                            const std::string& scenePath, TextureLookup lookup)
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
    if (importedMaterial == nullptr || aiGetMaterialTextureCount(importedMaterial, aiTextureType_DIFFUSE) == 0 ||
        aiGetMaterialTexture(importedMaterial, aiTextureType_DIFFUSE, 0, &textureName) != aiReturn_SUCCESS) {
        std::cout << "Error loading texture" << std::endl;
        return nullptr;
    }
    const std::string key(textureName.C_Str());
    Texture*& texture = textureCache[key];
    if (texture == nullptr)
        texture = new Texture(texturePath(key, scenePath, lookup));

    auto* material =
        new Material(new ShaderProgram("Shader/basicVertex.glsl", "Shader/basicFragment.glsl"), texture);
    material->setMaterialUniforms(glm::vec3(0.2f), glm::vec3(0.8f), glm::vec3(0.5f), 5.0f);
    material->setLightUniforms();
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
    for (unsigned i = 0; i < imported->mNumMeshes; ++i) {
        const aiMesh* mesh = imported->mMeshes[i];
        const aiMaterial* material =
            mesh->mMaterialIndex < imported->mNumMaterials ? imported->mMaterials[mesh->mMaterialIndex] : nullptr;
        if (scene::StaticSceneObject* object = createSceneObject(mesh, material, path, lookup))
            objects.push_back(object);
    }
    return objects;
}
