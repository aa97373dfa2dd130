// Walking a file's node hierarchy, within bounds, to the placement of every mesh.
#include "import/NodePlacement.h"

#include <assimp/scene.h>

namespace import {

namespace {

glm::dmat4 toGlm(const aiMatrix4x4& m)
{
    // Assimp's matrices are row-major, GLM's column-major.
    return glm::dmat4(m.a1, m.b1, m.c1, m.d1, m.a2, m.b2, m.c2, m.d2, m.a3, m.b3, m.c3, m.d3, m.a4, m.b4, m.c4, m.d4);
}

} // namespace

Placements meshPlacements(const aiScene* scene, const PlacementLimits& limits)
{
    Placements result;
    if (scene == nullptr || scene->mRootNode == nullptr)
        return result;
    struct Visit {
        const aiNode* node;
        glm::dmat4 parent;
        size_t depth;
    };
    std::vector<Visit> pending{{scene->mRootNode, glm::dmat4(1.0), 0}};
    while (!pending.empty()) {
        const Visit visit = pending.back();
        pending.pop_back();
        const glm::dmat4 placed = visit.parent * toGlm(visit.node->mTransformation);
        for (unsigned i = 0; i < visit.node->mNumMeshes && visit.node->mMeshes != nullptr; ++i) {
            const unsigned mesh = visit.node->mMeshes[i];
            if (mesh >= scene->mNumMeshes)
                continue;
            if (result.placements.size() == limits.maxPlacements) {
                result.placementsCut = true;
                return result;
            }
            result.placements.push_back({mesh, glm::mat4(placed)});
        }
        if (visit.node->mChildren == nullptr)
            continue;
        if (visit.depth + 1 >= limits.maxDepth) {
            result.nodesTooDeep += visit.node->mNumChildren;
            continue;
        }
        // Reversed, so that children come off the stack in the file's order.
        for (unsigned i = visit.node->mNumChildren; i > 0; --i)
            if (visit.node->mChildren[i - 1] != nullptr)
                pending.push_back({visit.node->mChildren[i - 1], placed, visit.depth + 1});
    }
    return result;
}

} // namespace import
