// A model given by path made into scene objects from what its import process hands over.
#pragma once

#include <string>
#include <vector>

class ShaderProgram;

namespace import {
class ImportProcess;
struct ModelData;
} // namespace import

namespace scene {
class SceneObject;
}

// The one program every mesh of a model shares (the built-in scene builds
// one program per object and leaves this empty).
extern std::vector<ShaderProgram*> sharedScenePrograms;

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
std::vector<scene::SceneObject*> importModel(const std::string& path, import::ImportProcess* started,
                                             ModelOutcome& outcome);

// The objects of an imported model, every one sharing one program. Each
// mesh's arrays are emptied once the GPU holds them: a big model is not
// kept three times over.
std::vector<scene::SceneObject*> createModelObjects(import::ModelData& model);

