#include "scene/NodePlacement.h"

#include <assimp/scene.h>
#include <utility>

namespace scene {

namespace {

// Deeper hierarchies come only from broken or hostile files; an explicit
// stack keeps them from exhausting the call stack before they are cut.
constexpr size_t maxNodeDepth = 1024;

glm::mat4 toGlm(const aiMatrix4x4& m)
{
    // Assimp's matrices are row-major, GLM's column-major.
    return glm::mat4(m.a1, m.b1, m.c1, m.d1, m.a2, m.b2, m.c2, m.d2, m.a3, m.b3, m.c3, m.d3, m.a4, m.b4, m.c4, m.d4);
}

} // namespace

std::vector<MeshPlacement> meshPlacements(const aiScene* scene)
{
    std::vector<MeshPlacement> placements;
    if (scene == nullptr || scene->mRootNode == nullptr)
        return placements;
    struct Visit {
        const aiNode* node;
        glm::mat4 parent;
        size_t depth;
    };
    std::vector<Visit> pending{{scene->mRootNode, glm::mat4(1.0f), 0}};
    while (!pending.empty()) {
        const Visit visit = pending.back();
        pending.pop_back();
        const glm::mat4 placed = visit.parent * toGlm(visit.node->mTransformation);
        for (unsigned i = 0; i < visit.node->mNumMeshes; ++i) {
            const unsigned mesh = visit.node->mMeshes[i];
            if (mesh < scene->mNumMeshes)
                placements.push_back({mesh, placed});
        }
        if (visit.depth + 1 >= maxNodeDepth || visit.node->mChildren == nullptr)
            continue;
        // Reversed, so that children come off the stack in the file's order.
        for (unsigned i = visit.node->mNumChildren; i > 0; --i)
            if (visit.node->mChildren[i - 1] != nullptr)
                pending.push_back({visit.node->mChildren[i - 1], placed, visit.depth + 1});
    }
    return placements;
}

} // namespace scene
