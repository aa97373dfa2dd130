// Importing the scene file into scene objects, with the shared texture cache.
#pragma once

#include "scene/TexturePath.h"

#include <map>
#include <string>
#include <vector>

struct aiMesh;
struct aiMaterial;
class ShaderProgram;
class Texture;

namespace Assimp {
class Importer;
}

namespace scene {
class ImportProcess;
class SceneObject;
class StaticSceneObject;
struct ModelData;
} // namespace scene

// Keyed by the texture path exactly as the material names it; each image is
// decoded once however many meshes use it. A model's pictures and colours
// are kept here too, under keys no material can name.
extern std::map<std::string, Texture*> textureCache;
// The one program every mesh of a model shares (the built-in scene builds
// one program per object and leaves this empty).
extern std::vector<ShaderProgram*> sharedScenePrograms;
extern Assimp::Importer sceneImporter;

// Every usable mesh of the file at `path` as a new object. The built-in
// scene (sceneFolder) is read here, in mesh order; a model (besideModel)
// as importModel reads it. A missing or unreadable file gives an empty list
// and one line of output.
std::vector<scene::SceneObject*> importScene(const std::string& path,
                                             TextureLookup lookup = TextureLookup::sceneFolder);

// A new object for `mesh` of the built-in scene, or null (with one line of
// output) when findMeshProblem finds it undrawable or it has no diffuse
// texture.
scene::StaticSceneObject* createSceneObject(const aiMesh* mesh, const aiMaterial* importedMaterial);

enum class ModelOutcome {
    shown,     // at least one object to draw
    empty,     // imported, but nothing in it can be drawn
    notOpened, // the file is missing or not a regular file
    failed,    // the import failed; the reason went to standard error
};

// A model given by path, read by an import process (`started`, when the
// caller started one early, or a new one), as objects placed by the
// file's nodes, not yet framed. Prints what the Could-not-open and
// Import-failed lines of the built-in scene print, the import's notes, and
// a line when nothing can be drawn; reasons go to standard error.
std::vector<scene::SceneObject*> importModel(const std::string& path, scene::ImportProcess* started,
                                             ModelOutcome& outcome);

// The objects of an imported model, every one sharing one program. Each
// mesh's arrays are emptied once the GPU holds them: a big model is not
// kept three times over.
std::vector<scene::SceneObject*> createModelObjects(scene::ModelData& model);

// Whether `path` names a regular file that can be opened; the reason when not.
bool canOpenModel(const std::string& path, std::string& reason);
