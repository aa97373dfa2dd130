// Which meshes may reach the GPU and what their arrays hold.
#include "scene/MeshArrays.h"

#include <assimp/mesh.h>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <memory>
#include <ostream>

namespace scene {

void PrintTo(MeshProblem problem, std::ostream* out)
{
    const char* names[] = {"none", "notTriangles", "indexOutOfRange"};
    *out << names[static_cast<int>(problem)];
}

} // namespace scene

namespace {

using scene::MeshProblem;

constexpr float inf = std::numeric_limits<float>::infinity();
constexpr float nan = std::numeric_limits<float>::quiet_NaN();

// Arrays from new[], as the importer leaves them, so that aiMesh frees them.
std::unique_ptr<aiMesh> makeMesh(const std::vector<aiVector3D>& vertices, const std::vector<std::vector<unsigned>>& faces)
{
    auto mesh = std::make_unique<aiMesh>();
    mesh->mNumVertices = static_cast<unsigned>(vertices.size());
    if (!vertices.empty()) {
        mesh->mVertices = new aiVector3D[vertices.size()];
        std::copy(vertices.begin(), vertices.end(), mesh->mVertices);
    }
    mesh->mNumFaces = static_cast<unsigned>(faces.size());
    if (!faces.empty())
        mesh->mFaces = new aiFace[faces.size()];
    for (size_t f = 0; f < faces.size(); ++f) {
        mesh->mFaces[f].mNumIndices = static_cast<unsigned>(faces[f].size());
        mesh->mFaces[f].mIndices = new unsigned[faces[f].size()];
        std::copy(faces[f].begin(), faces[f].end(), mesh->mFaces[f].mIndices);
    }
    return mesh;
}

const std::vector<aiVector3D> triangle = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};

struct ProblemCase {
    const char* name;
    std::vector<aiVector3D> vertices;
    std::vector<std::vector<unsigned>> faces;
    MeshProblem expected;
};

TEST(MeshProblem, OnlyTrianglesWithIndicesBelowTheVertexCountAreDrawable)
{
    const ProblemCase cases[] = {
        {"one triangle", triangle, {{0, 1, 2}}, MeshProblem::none},
        {"index at the vertex count", triangle, {{0, 1, 3}}, MeshProblem::indexOutOfRange},
        {"largest index", triangle, {{0, 1, 2}, {0xFFFFFFFFu, 1, 2}}, MeshProblem::indexOutOfRange},
        {"index of a vertex not there", {}, {{0, 1, 2}}, MeshProblem::notTriangles},
        {"no faces", triangle, {}, MeshProblem::notTriangles},
        {"a line among triangles", triangle, {{0, 1, 2}, {0, 1}}, MeshProblem::notTriangles},
        {"a point", triangle, {{0}}, MeshProblem::notTriangles},
        {"a quad", {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {{0, 1, 2, 3}}, MeshProblem::notTriangles},
    };
    for (const ProblemCase& c : cases) {
        const std::unique_ptr<aiMesh> mesh = makeMesh(c.vertices, c.faces);
        EXPECT_EQ(scene::findMeshProblem(mesh.get()), c.expected) << c.name;
    }
}

TEST(MeshProblem, FaceClaimingThreeIndicesWithoutAnyIsNotATriangle)
{
    const std::unique_ptr<aiMesh> mesh = makeMesh(triangle, {{0, 1, 2}});
    delete[] mesh->mFaces[0].mIndices;
    mesh->mFaces[0].mIndices = nullptr;
    EXPECT_EQ(scene::findMeshProblem(mesh.get()), MeshProblem::notTriangles);
}

TEST(MeshArrays, CopiesEveryValueEvenNonFiniteAndZeroFillsWhatIsMissing)
{
    const std::unique_ptr<aiMesh> mesh =
        makeMesh({{1e38f, -1e38f, 0}, {nan, inf, -inf}, {0, 1, 2}, {3, 4, 5}}, {{0, 1, 2}, {3, 2, 1}});
    scene::MeshArrays arrays = scene::copyMeshArrays(mesh.get());
    ASSERT_EQ(arrays.vertexCount, 4u);
    ASSERT_EQ(arrays.indexCount, 6u);
    EXPECT_EQ(std::vector<unsigned>(arrays.indices, arrays.indices + 6), (std::vector<unsigned>{0, 1, 2, 3, 2, 1}));
    EXPECT_EQ(arrays.positions[0], 1e38f);
    EXPECT_EQ(arrays.positions[1], -1e38f);
    EXPECT_TRUE(std::isnan(arrays.positions[3]));
    EXPECT_EQ(arrays.positions[4], inf);
    EXPECT_EQ(arrays.positions[5], -inf);
    EXPECT_EQ(arrays.positions[11], 5.0f);
    EXPECT_EQ(std::vector<float>(arrays.normals, arrays.normals + 12), std::vector<float>(12, 0.0f));
    EXPECT_EQ(std::vector<float>(arrays.texCoords, arrays.texCoords + 8), std::vector<float>(8, 0.0f));
    scene::deleteMeshArrays(arrays);
}

TEST(MeshArrays, TakesNormalsAndTheFirstUvChannelWithoutItsThirdComponent)
{
    const std::unique_ptr<aiMesh> mesh = makeMesh(triangle, {{2, 1, 0}});
    mesh->mNormals = new aiVector3D[3]{{0, 0, 1}, {0, 1, 0}, {1, 0, 0}};
    mesh->mTextureCoords[0] = new aiVector3D[3]{{0.5f, 0.25f, 9}, {1, 0, 9}, {0, 1, 9}};
    mesh->mTextureCoords[1] = new aiVector3D[3]{{7, 7, 7}, {7, 7, 7}, {7, 7, 7}};
    scene::MeshArrays arrays = scene::copyMeshArrays(mesh.get());
    EXPECT_EQ(std::vector<float>(arrays.normals, arrays.normals + 9), (std::vector<float>{0, 0, 1, 0, 1, 0, 1, 0, 0}));
    EXPECT_EQ(std::vector<float>(arrays.texCoords, arrays.texCoords + 6),
              (std::vector<float>{0.5f, 0.25f, 1, 0, 0, 1}));
    scene::deleteMeshArrays(arrays);
}

} // namespace
