// Where a file's node hierarchy places each of its meshes.
#pragma once

#include <glm/glm.hpp>
#include <vector>

struct aiScene;

namespace import {

struct MeshPlacement {
    unsigned meshIndex;
    glm::mat4 modelMatrix;
};

struct PlacementLimits {
    // Deeper hierarchies come only from broken or hostile files.
    size_t maxDepth = 1024;
    // Nodes that share children multiply: twenty levels of two references
    // to one child place a mesh a million times, each a draw of its own.
    size_t maxPlacements = 16384;
};

struct Placements {
    std::vector<MeshPlacement> placements;
    size_t nodesTooDeep = 0;     // nodes left out below maxDepth, with their subtrees
    bool placementsCut = false;  // more placements than maxPlacements
};

// Every mesh reference of every node, depth first from the root, with the
// product of the node transforms down to it (computed in double precision):
// a mesh that several nodes use is placed several times. References to
// meshes the file does not have are left out, and the walk keeps within
// `limits`, saying what it cut. An explicit stack, never the call stack,
// holds the nodes still to visit.
Placements meshPlacements(const aiScene* scene, const PlacementLimits& limits = PlacementLimits());

} // namespace import
