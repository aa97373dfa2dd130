// Where a file's node hierarchy places each of its meshes.
#pragma once

#include <glm/glm.hpp>
#include <vector>

struct aiScene;

namespace scene {

struct MeshPlacement {
    unsigned meshIndex;
    glm::mat4 modelMatrix;
};

// Every mesh reference of every node, depth first from the root, with the
// product of the node transforms down to it: a mesh that several nodes use
// is placed several times. References to meshes the file does not have are
// left out, and so are node chains deeper than the file could mean.
std::vector<MeshPlacement> meshPlacements(const aiScene* scene);

} // namespace scene
