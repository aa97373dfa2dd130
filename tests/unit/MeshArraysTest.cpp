// Which meshes may reach the GPU, what their arrays hold, and what hostile OBJ text turns into on the way there.
#include "ObjInvariants.h"
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

// Hostile OBJ text read as the viewer reads its scene. Out-of-range vertex
// indices make the importer give up (the viewer prints "Import failed"), and
// a non-finite position drops the mesh; both outcomes are the importer's, so
// a new version may move a row, but never past the invariants.
struct ObjCase {
    const char* name;
    std::string text;
    bool imported;
    std::vector<MeshProblem> problems;
};

const std::string threeVertices = "v 0 0 0\nv 1 0 0\nv 0 1 0\n";

TEST(HostileObj, ReachesTheUploadOnlyWithIndicesInRange)
{
    const std::vector<MeshProblem> drawable = {MeshProblem::none};
    const ObjCase cases[] = {
        {"index past the vertices", threeVertices + "f 1 2 99999\n", false, {}},
        {"index 2^32 - 1", threeVertices + "f 1 2 4294967295\n", false, {}},
        {"index past 64 bits", threeVertices + "f 1 2 99999999999999999999\n", false, {}},
        {"index zero", threeVertices + "f 0 1 2\n", false, {}},
        {"relative indices", threeVertices + "f -3 -2 -1\n", true, drawable},
        {"relative index before the first vertex", threeVertices + "f -1 -2 -4\n", false, {}},
        {"relative index -2^31", threeVertices + "f 1 2 -2147483648\n", false, {}},
        {"quad with an index past the vertices", threeVertices + "v 1 1 0\nf 1 2 3 99\n", false, {}},
        {"line with an index past the vertices", threeVertices + "l 1 9\n", false, {}},
        {"texture and normal indices past theirs", threeVertices + "vt 0 0\nvn 0 0 1\nf 1/5/9 2/1/1 3/1/1\n", true,
         drawable},
        {"coordinates of 1e38", "v 1e38 0 0\nv 0 1e38 0\nv 0 0 1e38\nf 1 2 3\n", true, drawable},
        {"coordinates of 3.4e38 with normals that overflow",
         "v 3.4e38 3.4e38 3.4e38\nv -3.4e38 3.4e38 0\nv 0 -3.4e38 3.4e38\nf 1 2 3\n", true, drawable},
        {"coordinates past float", "v 1e39 0 0\nv 0 1e39 0\nv 0 0 -1e39\nf 1 2 3\n", false, {}},
        {"NaN coordinate", "v nan 0 0\nv 0 1 0\nv 0 0 1\nf 1 2 3\n", false, {}},
        {"infinite coordinates", "v inf 0 0\nv 0 -inf 0\nv 0 0 1\nf 1 2 3\n", false, {}},
        {"NaN normal and texture coordinate", threeVertices + "vt nan inf\nvn nan 0 1\nf 1/1/1 2/1/1 3/1/1\n", true,
         drawable},
        {"finite mesh beside a NaN one", "o a\n" + threeVertices + "f 1 2 3\no b\nv nan 0 0\nv 1 1 1\nv 2 2 2\nf 4 5 6\n",
         true, drawable},
        // Every library the file names holds the same text, so these lines
        // also come before the library's first material.
        {"texture map before the first material", "mtllib a.mtl\nmap_Kd a.png\n" + threeVertices + "f 1 2 3\n", true,
         drawable},
        {"texture map before the first material of the scene as its own library",
         "mtllib scene.obj\nmap_Kd a.png\n" + threeVertices + "f 1 2 3\n", true, drawable},
        {"anisotropy before the first material", "a 1\n" + threeVertices + "f 1 2 3\n", true, drawable},
        {"triangle of one vertex", threeVertices + "f 1 1 1\n", true, {MeshProblem::notTriangles}},
        {"face without indices", threeVertices + "f\n", true, {MeshProblem::notTriangles}},
    };
    for (const ObjCase& c : cases) {
        ObjOutcome outcome;
        EXPECT_EQ(checkObjBytes(c.text, &outcome), "") << c.name;
        EXPECT_EQ(outcome.imported, c.imported) << c.name;
        EXPECT_EQ(outcome.problems, c.problems) << c.name;
    }
}

} // namespace
