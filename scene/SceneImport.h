// Importing the scene file into scene objects, with the shared texture cache.
#pragma once

#include <map>
#include <string>
#include <vector>

struct aiMesh;
struct aiMaterial;
struct aiScene;
class ShaderProgram;
class Texture;

namespace Assimp {
class Importer;
}

namespace scene {
class SceneObject;
class StaticSceneObject;
} // namespace scene

// Keyed by the texture path exactly as the material names it; each image is
// decoded once however many meshes use it.
extern std::map<std::string, Texture*> textureCache;
// The programs a model's meshes share, one per set of material constants;
// the built-in scene builds one program per object and leaves this empty.
extern std::vector<ShaderProgram*> sharedScenePrograms;
extern Assimp::Importer sceneImporter;

// Where the texture files a scene's materials name are.
enum class TextureLookup {
    // Under Textures/FinalScene, the name appended as written: the built-in
    // scene's layout.
    sceneFolder,
    // Relative to the scene file's own folder, with backslashes read as the
    // separators that models written on Windows mean them to be.
    besideModel,
};

// The file the texture `name` of the scene at `scenePath` stands for.
std::string texturePath(const std::string& name, const std::string& scenePath, TextureLookup lookup);

// Every usable mesh of the file at `path` as a new object: for the built-in
// scene in mesh order, for a model (besideModel) once per node that uses it,
// placed by the node hierarchy. A missing or unreadable file gives an empty
// list and one line of output.
std::vector<scene::SceneObject*> importScene(const std::string& path,
                                             TextureLookup lookup = TextureLookup::sceneFolder);

// A new object for `mesh`, or null (with one line of output) when
// findMeshProblem finds it undrawable or, in the built-in scene, when it has
// no diffuse texture. Texture names are read as `lookup` says for the scene
// at `scenePath`. A model's mesh without a diffuse texture shows its
// material's diffuse colour, and a texture `file` carries inside itself is
// read from there.
scene::StaticSceneObject* createSceneObject(const aiMesh* mesh, const aiMaterial* importedMaterial,
                                            const std::string& scenePath = "",
                                            TextureLookup lookup = TextureLookup::sceneFolder,
                                            const aiScene* file = nullptr);
