// A model given by path made into scene objects from what its import process hands over.
#pragma once

#include "import/ImportProcess.h"
#include "import/LoadProgress.h"

#include <memory>
#include <string>
#include <vector>

class ShaderProgram;
class Texture;

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
    loading,   // still on its way: a window shows it once it is there
};

// A model given by path on its way in: its import process, whose stream
// the frame loop takes between frames, then its pictures' upload, one a
// frame; and the progress line.
class ModelLoad {
public:
    // Reads `path` in `started` (an import the caller started early) or in
    // a process of its own. A file that cannot be opened starts none, and
    // `finish` says so.
    explicit ModelLoad(const std::string& path, std::unique_ptr<import::ImportProcess> started = nullptr);
    // A load given up before `finish`: its process ends, its line goes.
    ~ModelLoad();
    ModelLoad(const ModelLoad&) = delete;
    ModelLoad& operator=(const ModelLoad&) = delete;

    // Takes what has arrived, for about `seconds` at most, without waiting
    // on the import; once it is over, uploads one of its pictures. True
    // once `finish` would not wait. The GL's thread only.
    bool receive(double seconds);

    // The model as objects placed by the file's nodes, not yet framed,
    // once the import is over (waiting for it, within its budget, where it
    // is not). Prints what the Could-not-open and Import-failed lines of the
    // built-in scene print, the import's notes, and a line when nothing can
    // be drawn; reasons go to standard error. The GL's thread only.
    std::vector<scene::SceneObject*> finish(ModelOutcome& outcome);

    // Gives the pictures uploaded so far back to the GL, for a load given
    // up while the GL is still there.
    void dropPictures();

    std::string path;
    std::string openFailure; // why the file cannot be opened, when it cannot
    std::unique_ptr<import::ImportProcess> process;
    std::unique_ptr<import::LoadProgress> progress; // reads the process's page: goes first
    // Once the import is over: whether it gave a model, which, or why not.
    bool collected = false;
    bool imported = false;
    import::ModelData model;
    std::string reason;
    std::vector<Texture*> pictures; // of model.images, in order; null where too big for the GL
    bool finished = false;
};

// A model given by path read whole, by `started` where the caller started
// its import early: ModelLoad's `finish` at once.
std::vector<scene::SceneObject*> importModel(const std::string& path, std::unique_ptr<import::ImportProcess> started,
                                             ModelOutcome& outcome);

// One of a model's pictures as a texture; null, for a line of its own,
// when it is bigger than the GL takes.
Texture* uploadPicture(const import::ModelImage& image);

// The objects of an imported model, every one sharing one program, its
// pictures those of `uploaded` and the rest uploaded now. Each mesh's
// arrays are emptied once the GPU holds them: a big model is not kept
// three times over.
std::vector<scene::SceneObject*> createModelObjects(import::ModelData& model, std::vector<Texture*> uploaded = {});

