// Importing the built-in scene file into scene objects, with the texture cache every scene shares.
#pragma once

#include <map>
#include <string>
#include <vector>

struct aiMesh;
struct aiMaterial;
class Texture;

namespace Assimp {
class Importer;
}

namespace scene {
class SceneObject;
class StaticSceneObject;
} // namespace scene

// Keyed by the texture path exactly as the material names it; each image is
// decoded once however many meshes use it. A model's pictures and colours
// are kept here too, under keys no material can name.
extern std::map<std::string, Texture*> textureCache;
extern Assimp::Importer sceneImporter;

// Every usable mesh of the built-in scene file at `path` as a new object,
// in mesh order, its textures looked up in the scene's folder. A missing or
// unreadable file gives an empty list and one line of output.
std::vector<scene::SceneObject*> importScene(const std::string& path);

// A new object for `mesh` of the built-in scene, or null (with one line of
// output) when findMeshProblem finds it undrawable or it has no diffuse
// texture.
scene::StaticSceneObject* createSceneObject(const aiMesh* mesh, const aiMaterial* importedMaterial);

// Whether `path` names a regular file that can be opened; the reason when not.
bool canOpenModel(const std::string& path, std::string& reason);
