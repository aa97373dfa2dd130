// OBJ bytes through the viewer's reading of the scene, the drawable check and the copy, judged by what the GPU would be handed.
#pragma once

#include "scene/MeshArrays.h"

#include <string>
#include <vector>

struct ObjOutcome {
    bool imported = false;
    std::vector<scene::MeshProblem> problems; // one per mesh, in mesh order
};

// Empty when every mesh the check lets through copies into arrays whose
// counts match the mesh and whose indices stay below the vertex count;
// otherwise what broke, naming the mesh.
std::string checkObjBytes(const std::string& bytes, ObjOutcome* outcome = nullptr);
