// OBJ files that once broke the reader, each read by the reader and by the importer: the same model, or where
// the reader departs on purpose, the model the file's writer meant.
#include "import/ObjReader.h"
#include "import/SceneRead.h"

#include <assimp/Importer.hpp>
#include <assimp/config.h>
#include <assimp/scene.h>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <glm/glm.hpp>
#include <gtest/gtest.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const std::string square = "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n";

// Triangles, their area and bounds.
struct Reading {
    bool opened = false;
    size_t triangles = 0;
    double area = 0.0;
    glm::dvec3 low{1e300};
    glm::dvec3 high{-1e300};

    void add(const glm::dvec3& a, const glm::dvec3& b, const glm::dvec3& c)
    {
        ++triangles;
        area += 0.5 * glm::length(glm::cross(b - a, c - a));
        low = glm::min(glm::min(glm::min(low, a), b), c);
        high = glm::max(glm::max(glm::max(high, a), b), c);
    }
};

glm::dvec3 at(const std::vector<float>& values, unsigned vertex)
{
    return glm::dvec3(values[3 * vertex], values[3 * vertex + 1], values[3 * vertex + 2]);
}

struct Both {
    import::ObjModel ours;
    Reading mine;
    Assimp::Importer importer;
    const aiScene* theirs = nullptr;
    Reading its;
};

// The file `text` read both ways.
void readBoth(const std::string& text, Both& both)
{
    const fs::path path = fs::temp_directory_path() / ("brassfern-agree-" + std::to_string(::getpid()) + ".obj");
    std::ofstream(path, std::ios::binary) << text;
    std::string reason;
    both.mine.opened = import::readObj(path.string(), both.ours, reason, [](unsigned long long) {});
    for (const import::ModelMesh& mesh : both.ours.meshes)
        for (size_t i = 0; mesh.primitive == import::Primitive::triangles && i < mesh.indices.size(); i += 3)
            both.mine.add(at(mesh.positions, mesh.indices[i]), at(mesh.positions, mesh.indices[i + 1]),
                          at(mesh.positions, mesh.indices[i + 2]));
    both.importer.SetPropertyBool(AI_CONFIG_PP_FD_REMOVE, true);
    both.importer.SetPropertyBool(AI_CONFIG_PP_FD_CHECKAREA, false);
    both.theirs = import::readModel(both.importer, path.string(), new import::RegularFilesIOSystem);
    fs::remove(path);
    both.its.opened = both.theirs != nullptr;
    for (unsigned m = 0; both.theirs != nullptr && m < both.theirs->mNumMeshes; ++m) {
        const aiMesh* mesh = both.theirs->mMeshes[m];
        auto point = [&](unsigned index) {
            const aiVector3D& v = mesh->mVertices[index];
            return glm::dvec3(v.x, v.y, v.z);
        };
        for (unsigned f = 0; f < mesh->mNumFaces; ++f)
            if (mesh->mFaces[f].mNumIndices == 3)
                both.its.add(point(mesh->mFaces[f].mIndices[0]), point(mesh->mFaces[f].mIndices[1]),
                             point(mesh->mFaces[f].mIndices[2]));
    }
}

// A "C": an arc of a ring, outer edge then inner, as one face.
std::string ringArc(size_t corners)
{
    std::string text;
    std::string face = "f";
    for (size_t i = 0; i < corners; ++i) {
        const size_t k = i < corners / 2 ? i : corners - 1 - i;
        const double angle = 0.2 + 5.8 * static_cast<double>(k) / static_cast<double>(corners / 2 - 1);
        const double radius = i < corners / 2 ? 2.0 : 1.5;
        text += "v " + std::to_string(radius * std::cos(angle)) + " " + std::to_string(radius * std::sin(angle));
        text += " 0\n";
        face += " " + std::to_string(i + 1);
    }
    return text + face + "\n";
}

struct AgreementCase {
    const char* name;
    std::string text;
    // What else both must show alike; may be empty.
    std::function<void(const Both&)> alike;
};

void PrintTo(const AgreementCase& c, std::ostream* os)
{
    *os << c.name;
}

class ObjImporterAgreement : public testing::TestWithParam<AgreementCase> {
};

TEST_P(ObjImporterAgreement, OpensWhatTheImporterOpensWithTheSameTriangles)
{
    Both both;
    readBoth(GetParam().text, both);
    ASSERT_EQ(both.mine.opened, both.its.opened);
    EXPECT_EQ(both.mine.triangles, both.its.triangles);
    EXPECT_NEAR(both.mine.area, both.its.area, 1e-5 * std::max(1.0, both.its.area));
    if (both.its.triangles > 0) {
        EXPECT_LT(glm::length(both.mine.low - both.its.low), 1e-5);
        EXPECT_LT(glm::length(both.mine.high - both.its.high), 1e-5);
    }
    if (GetParam().alike)
        GetParam().alike(both);
}

INSTANTIATE_TEST_SUITE_P(
    Hostile, ObjImporterAgreement,
    testing::Values(
        // The importer leaves the texture coordinates out of the one object
        // whose face names one too many; the other keeps its picture.
        AgreementCase{"TextureCoordinatePastTheFile",
                      square + "vt 0 0\nvt 1 0\nvt 1 1\no kept\nf 1/1 2/2 3/3\no dropped\nf 1/1 3/3 4/9\n",
                      [](const Both& both) {
                          ASSERT_EQ(both.theirs->mNumMeshes, 2u);
                          EXPECT_TRUE(both.theirs->mMeshes[0]->HasTextureCoords(0));
                          EXPECT_FALSE(both.theirs->mMeshes[1]->HasTextureCoords(0));
                          const import::ModelMesh& mesh = both.ours.meshes.at(0);
                          ASSERT_EQ(mesh.texCoords.size(), 2 * mesh.vertexCount());
                          const std::vector<float> kept = {0, 0, 1, 0, 1, 1};
                          for (size_t k = 0; k < 6; ++k) {
                              EXPECT_EQ(mesh.texCoords[2 * mesh.indices[k / 2] + k % 2], kept[k]);
                              EXPECT_EQ(mesh.texCoords[2 * mesh.indices[3 + k / 2] + k % 2], 0.0f);
                          }
                      }},
        // Normals named past the start are made from the faces instead.
        AgreementCase{"NormalCountedBackPastTheStart", square + "vn 0 1 0\nf 1//1 2//1 3//-2\n",
                      [](const Both& both) {
                          const import::ModelMesh& mesh = both.ours.meshes.at(0);
                          const aiMesh* theirs = both.theirs->mMeshes[0];
                          ASSERT_TRUE(theirs->HasNormals());
                          for (unsigned v = 0; v < mesh.vertexCount(); ++v)
                              EXPECT_EQ(glm::vec3(at(mesh.normals, v)), glm::vec3(0, 0, 1));
                          for (unsigned v = 0; v < theirs->mNumVertices; ++v)
                              EXPECT_EQ(theirs->mNormals[v].z, 1.0f);
                      }},
        AgreementCase{"VerticesWithAWeight", "v 0 0 0 2\nv 2 0 0 2\nv 0 2 0 0.25\nf 1 2 3\n", nullptr},
        AgreementCase{"VertexOfWeightZero", "v 0 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n", nullptr},
        AgreementCase{"FaceContinuedOnTheNextLine", square + "f 1 2 \\\n3 4\n", nullptr},
        AgreementCase{"FaceContinuedWithWindowsLineEnds",
                      "v 0 0 0\r\nv 1 0 0\r\nv 1 1 0\r\nv 0 1 0\r\nf 1 2 \\\r\n3 4\r\n", nullptr},
        AgreementCase{"CommentContinuedOverAFace", square + "f 1 2 3\n# made by hand \\\nf 1 3 4\n", nullptr},
        AgreementCase{"OldMacLineEnds", "v 0 0 0\rv 1 0 0\rv 1 1 0\rv 0 1 0\rf 1 2 3\rf 1 3 4\r", nullptr},
        AgreementCase{"ConcaveFaceOfAThousandCorners", ringArc(1000), nullptr},
        AgreementCase{"MostNegativePositionIndex", square + "f 1 2 -9223372036854775808\n", nullptr}),
    [](const testing::TestParamInfo<AgreementCase>& info) { return std::string(info.param.name); });

// Where the importer glues a continued line onto the next ("2\" and "3"
// read "23") or takes a huge index for another one, the reader reads what
// the writer meant: the triangle, without texture coordinates it lacks.
TEST(ObjReaderDeparture, ContinuedLinesPartWordsAndHugeIndicesNameNothing)
{
    const std::string cases[] = {square + "f 1 2\\\n3\n", square + "f 1 \\\n2 \\\n3\n",
                                 square + "vt 0 0\nf 1/1 2/-9223372036854775808 3/1\n"};
    for (const std::string& text : cases) {
        Both both;
        readBoth(text, both);
        ASSERT_TRUE(both.mine.opened) << text;
        EXPECT_EQ(both.mine.triangles, 1u) << text;
        EXPECT_NEAR(both.mine.area, 0.5, 1e-9) << text;
        EXPECT_TRUE(both.ours.meshes.at(0).texCoords.empty()) << text;
    }
}

} // namespace
