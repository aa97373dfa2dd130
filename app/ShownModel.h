// The model given by path as the viewer shows it: framed, standing on its ground, seen from the start view.
#pragma once

#include <vector>

namespace scene {
class SceneObject;
}

// Puts `objects` in place of the scene objects shown (deleting those), placed
// where the start view frames them, with the ground under them; the view
// goes back to the start view unless the tour is playing, which keeps its
// own. Start-up and every later model go through here.
void showModel(std::vector<scene::SceneObject*> objects);

// The stage a model stands on, made once. It owes nothing to the model, so
// a picture's start-up makes it while the import process works.
void makeStage();
