// Meshes placed by the node hierarchy, as glTF and FBX files place them.
#include "import/NodePlacement.h"

#include <assimp/scene.h>
#include <gtest/gtest.h>

TEST(NodePlacement, ChildTransformsComposeWithTheirParentsAndBadReferencesAreLeftOut)
{
    aiScene file;
    file.mNumMeshes = 2;
    file.mMeshes = new aiMesh*[2]{new aiMesh, new aiMesh};
    file.mRootNode = new aiNode("root");
    aiMatrix4x4::Translation(aiVector3D(10.0f, 0.0f, 0.0f), file.mRootNode->mTransformation);
    auto* child = new aiNode("child");
    aiMatrix4x4::Scaling(aiVector3D(2.0f), child->mTransformation);
    child->mNumMeshes = 3;
    child->mMeshes = new unsigned[3]{1, 7, 0};
    auto* sibling = new aiNode("sibling");
    sibling->mNumMeshes = 1;
    sibling->mMeshes = new unsigned[1]{1};
    aiNode* children[] = {child, sibling};
    file.mRootNode->addChildren(2, children);

    const auto placements = import::meshPlacements(&file).placements;
    ASSERT_EQ(placements.size(), 3u);
    EXPECT_EQ(placements[0].meshIndex, 1u);
    EXPECT_EQ(placements[1].meshIndex, 0u);
    EXPECT_EQ(placements[2].meshIndex, 1u);
    // Scaled by the child, then moved by the root: (1, 1, 1) lands at (12, 2, 2).
    const glm::vec4 placed = placements[0].modelMatrix * glm::vec4(1.0f, 1.0f, 1.0f, 1.0f);
    EXPECT_EQ(glm::vec3(placed), glm::vec3(12.0f, 2.0f, 2.0f));
    EXPECT_EQ(glm::vec3(placements[2].modelMatrix * glm::vec4(1.0f)), glm::vec3(11.0f, 1.0f, 1.0f));
    EXPECT_TRUE(import::meshPlacements(nullptr).placements.empty());
}

// A chain deeper than the walk goes, and one node that places a mesh more
// often than the walk places meshes at all: both cut, and both say so.
TEST(NodePlacement, DepthAndPlacementsStayWithinTheirLimits)
{
    aiScene file;
    file.mNumMeshes = 1;
    file.mMeshes = new aiMesh*[1]{new aiMesh};
    file.mRootNode = new aiNode("root");
    file.mRootNode->mNumMeshes = 20000;
    file.mRootNode->mMeshes = new unsigned[20000]();
    aiNode* parent = file.mRootNode;
    for (int depth = 1; depth < 3000; ++depth) {
        auto* child = new aiNode("link");
        child->mNumMeshes = 1;
        child->mMeshes = new unsigned[1]{0};
        parent->addChildren(1, &child);
        parent = child;
    }

    const import::PlacementLimits limits{1024, 16384};
    const import::Placements walk = import::meshPlacements(&file, limits);
    EXPECT_TRUE(walk.placementsCut);
    EXPECT_EQ(walk.placements.size(), 16384u);

    import::PlacementLimits roomy = limits;
    roomy.maxPlacements = 1u << 20;
    const import::Placements deep = import::meshPlacements(&file, roomy);
    EXPECT_FALSE(deep.placementsCut);
    EXPECT_EQ(deep.nodesTooDeep, 1u);
    // The root's references and one for each of the 1023 levels below it.
    EXPECT_EQ(deep.placements.size(), 20000u + 1023u);
}
