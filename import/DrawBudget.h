// The draws a model costs the viewer each frame, kept in bounds: meshes drawn alike merged, the rest cut with a line.
#pragma once

#include "import/ModelData.h"

#include <cstddef>
#include <vector>

namespace import {

struct DrawBudget {
    // Each placement is a draw in the shadow pass and one in the geometry
    // pass of every frame, and a software rasterizer spends tens of
    // microseconds on each: 300 000 of them took 20 s a frame. A model of at
    // most this many placements, within ModelLimits, is sent as it was read.
    size_t drawsLeftAlone = 1024;
    // A merged mesh grows to about this many vertices; a mesh this big on
    // its own is drawn alone, for copying it would save no draw.
    size_t mergedVertices = size_t(1) << 20;
    // What copies of meshes placed more than once may add, in vertices: a
    // mesh placed 16 384 times is copied whole each time it is merged.
    size_t copiedVertices = size_t(1) << 22;
};

// Whether a model of these counts is sent exactly as it was read.
bool withinDrawBudget(size_t placements, size_t meshes, size_t materials, size_t textures,
                      const DrawBudget& budget = DrawBudget());

// Fits `model`, its pictures not yet decoded (images empty, textures named),
// within `budget` and ModelLimits; one within them is left exactly as it is.
// Otherwise meshes drawn alike are merged into meshes of their own, placed
// where they stand: alike are faces of one primitive, one side or both, and
// either the same picture (with the same colour behind it, shown when the
// picture fails) or no picture at all, whose colour then travels in the
// vertex colours. What is still past the limits is left out with a line in
// `model.notes`, and meshes, materials and textures that no placement
// reaches any more are dropped. Returns the textures kept: indices into the
// textures the model had, in their new order.
std::vector<size_t> fitDrawBudget(ModelData& model, const DrawBudget& budget = DrawBudget());

} // namespace import
