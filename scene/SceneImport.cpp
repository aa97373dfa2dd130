// The built-in scene through Assimp, a program per object, with the texture cache every scene shares.
#include "scene/SceneImport.h"

#include "base/Printable.h"
#include "base/RegularFile.h"
#include "gpu/ShaderProgram.h"
#include "gpu/Texture.h"
#include "import/SceneRead.h"
#include "import/TexturePath.h"
#include "scene/Material.h"
#include "scene/MeshArrays.h"
#include "scene/StaticSceneObject.h"

#include <assimp/Importer.hpp>
#include <assimp/material.h>
#include <assimp/mesh.h>
#include <assimp/scene.h>
#include <iostream>

std::map<std::string, Texture*> textureCache;
Assimp::Importer sceneImporter;

scene::StaticSceneObject* createSceneObject(const aiMesh* mesh, const aiMaterial* importedMaterial)
{
    switch (scene::findMeshProblem(mesh)) {
    case scene::MeshProblem::none:
        break;
    case scene::MeshProblem::notTriangles:
        std::cout << "Skipping mesh without triangles: " << printable(mesh->mName.C_Str()) << std::endl;
        return nullptr;
    case scene::MeshProblem::indexOutOfRange:
        std::cout << "Skipping mesh with invalid indices: " << printable(mesh->mName.C_Str()) << std::endl;
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
        texture = new Texture(texturePath(key, "", TextureLookup::sceneFolder));
    auto* material = new Material(new ShaderProgram("Shader/basicVertex.glsl", "Shader/basicFragment.glsl"), texture);
    material->setMaterialUniforms(glm::vec3(0.2f), glm::vec3(0.8f), glm::vec3(0.5f), 5.0f);
    material->setLightUniforms();
    return new scene::StaticSceneObject(mesh, material);
}

bool canOpenModel(const std::string& path, std::string& reason)
{
    const RegularFile file(path);
    reason = file.failure();
    return file.isOpen();
}

std::vector<scene::SceneObject*> importScene(const std::string& path)
{
    std::vector<scene::SceneObject*> objects;
    std::string reason;
    if (!canOpenModel(path, reason)) {
        std::cout << "Could not open file: " << printable(path) << std::endl;
        return objects;
    }
    const aiScene* imported = import::readScene(sceneImporter, path, new import::RegularFilesIOSystem);
    if (imported == nullptr) {
        // The path follows the words directly: this line has always read so.
        std::cout << "Import failed" << printable(path) << std::endl;
        return objects;
    }
    if (imported->mMeshes == nullptr)
        return objects;
    for (unsigned i = 0; i < imported->mNumMeshes; ++i) {
        const aiMesh* mesh = imported->mMeshes[i];
        const aiMaterial* material =
            mesh->mMaterialIndex < imported->mNumMaterials ? imported->mMaterials[mesh->mMaterialIndex] : nullptr;
        if (scene::StaticSceneObject* object = createSceneObject(mesh, material))
            objects.push_back(object);
    }
    return objects;
}
