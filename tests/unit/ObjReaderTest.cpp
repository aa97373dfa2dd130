// The OBJ reader: vertices joined by the corners the file names, polygons cut into triangles that cover them,
// normals made as the importer makes them, materials from the libraries, and the importer's geometry for every
// corpus file it reads.
#include "import/ObjReader.h"
#include "import/SceneRead.h"

#include <algorithm>
#include <assimp/Importer.hpp>
#include <assimp/config.h>
#include <assimp/scene.h>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <glm/glm.hpp>
#include <gtest/gtest.h>
#include <string>

namespace fs = std::filesystem;

namespace {

using import::ModelMesh;
using import::ObjModel;
using import::Primitive;

const auto ignoreReads = [](unsigned long long) {};

// A folder of its own for files a test writes, gone with the test.
class Folder {
public:
    Folder() : root(fs::temp_directory_path() / ("brassfern-obj-" + std::to_string(::getpid()) + "-" + std::to_string(count++)))
    {
        fs::create_directories(root);
    }
    ~Folder() { fs::remove_all(root); }
    std::string write(const std::string& name, const std::string& text) const
    {
        std::ofstream(root / name, std::ios::binary) << text;
        return (root / name).string();
    }

    fs::path root;

private:
    static inline int count = 0;
};

ObjModel read(const std::string& text, const std::string& path = "model.obj")
{
    ObjModel model;
    std::string reason;
    EXPECT_TRUE(import::readObjText(text.data(), text.size(), path, model, reason, ignoreReads)) << reason;
    return model;
}

glm::vec3 position(const ModelMesh& mesh, unsigned vertex)
{
    return glm::vec3(mesh.positions[3 * vertex], mesh.positions[3 * vertex + 1], mesh.positions[3 * vertex + 2]);
}

glm::vec3 normal(const ModelMesh& mesh, unsigned vertex)
{
    return glm::vec3(mesh.normals[3 * vertex], mesh.normals[3 * vertex + 1], mesh.normals[3 * vertex + 2]);
}

const ModelMesh* meshOf(const ObjModel& model, Primitive primitive)
{
    for (const ModelMesh& mesh : model.meshes)
        if (mesh.primitive == primitive)
            return &mesh;
    return nullptr;
}

// Signed area in the plane z = 0.
double area(const glm::dvec2& a, const glm::dvec2& b, const glm::dvec2& c)
{
    return 0.5 * ((b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x));
}

bool inside(const std::vector<glm::dvec2>& polygon, const glm::dvec2& p)
{
    bool in = false;
    for (size_t i = 0, j = polygon.size() - 1; i < polygon.size(); j = i++)
        if ((polygon[i].y > p.y) != (polygon[j].y > p.y) &&
            p.x < (polygon[j].x - polygon[i].x) * (p.y - polygon[i].y) / (polygon[j].y - polygon[i].y) + polygon[i].x)
            in = !in;
    return in;
}

TEST(ObjReader, CornersShareAVertexOnlyWhenTheyNameTheSameThree)
{
    const ObjModel model = read("v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n"
                                "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\nvt 0.5 0.5\nvn 0 0 1\n"
                                "f 1/1/1 2/2/1 3/3/1\nf 1/1/1 3/3/1 4/4/1\n"
                                // The same position with another texture coordinate: a vertex of its own.
                                "f -4/-1/-1 -3/2/1 -2/3/1\n");
    ASSERT_EQ(model.meshes.size(), 1u);
    const ModelMesh& mesh = model.meshes[0];
    EXPECT_EQ(mesh.vertexCount(), 5u);
    ASSERT_EQ(mesh.indices.size(), 9u);
    EXPECT_EQ(mesh.indices[0], mesh.indices[3]);
    EXPECT_EQ(mesh.indices[2], mesh.indices[4]);
    EXPECT_NE(mesh.indices[6], mesh.indices[0]);
    EXPECT_EQ(position(mesh, mesh.indices[6]), position(mesh, mesh.indices[0]));
    EXPECT_EQ(mesh.texCoords[2 * mesh.indices[6]], 0.5f);
    EXPECT_EQ(mesh.indices[7], mesh.indices[1]);
    ASSERT_EQ(mesh.normals.size(), 3 * mesh.vertexCount());
    EXPECT_EQ(normal(mesh, 0), glm::vec3(0, 0, 1));
}

TEST(ObjReader, PolygonsAreCutIntoTrianglesThatCoverThemExactly)
{
    // An L of six corners (concave at the fourth), a convex pentagon, and a
    // quad whose fan from the first corner would leave it.
    const std::vector<std::vector<glm::dvec2>> polygons = {
        {{0, 0}, {4, 0}, {4, 1}, {1, 1}, {1, 3}, {0, 3}},
        {{10, 0}, {12, 0}, {13, 1}, {11, 3}, {9, 1}},
        {{20, 0}, {21, 2}, {22, 0}, {21, 4}},
    };
    std::string text;
    size_t vertex = 1;
    for (const auto& polygon : polygons) {
        std::string face = "f";
        for (const glm::dvec2& p : polygon) {
            text += "v " + std::to_string(p.x) + " " + std::to_string(p.y) + " 0\n";
            face += " " + std::to_string(vertex++);
        }
        text += face + "\n";
    }
    const ObjModel model = read(text);
    ASSERT_EQ(model.meshes.size(), 1u);
    const ModelMesh& mesh = model.meshes[0];
    ASSERT_EQ(mesh.indices.size(), 3u * (4 + 3 + 2));
    for (const auto& polygon : polygons) {
        double polygonArea = 0.0;
        for (size_t i = 0; i < polygon.size(); ++i)
            polygonArea += area({0, 0}, polygon[i], polygon[(i + 1) % polygon.size()]);
        double covered = 0.0;
        for (size_t t = 0; t < mesh.indices.size(); t += 3) {
            glm::dvec2 corner[3];
            for (int k = 0; k < 3; ++k)
                corner[k] = glm::dvec2(glm::vec2(position(mesh, mesh.indices[t + size_t(k)])));
            const glm::dvec2 centre = (corner[0] + corner[1] + corner[2]) / 3.0;
            if (std::fabs(centre.x - polygon[0].x) > 5.0)
                continue;
            const double a = area(corner[0], corner[1], corner[2]);
            EXPECT_GT(a, 0.0) << "a triangle turned over";
            EXPECT_TRUE(inside(polygon, centre)) << "a triangle outside its polygon";
            covered += a;
        }
        EXPECT_NEAR(covered, polygonArea, 1e-5);
    }
}

TEST(ObjReader, NormalsTheFileLacksAreTheMeanFacingOfThePolygonsAround)
{
    // A unit cube of eight shared corners in quads: each corner's normal
    // points along the diagonal, as the importer's does.
    const ObjModel cube = read("v 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0\nv 0 0 1\nv 1 0 1\nv 0 1 1\nv 1 1 1\n"
                               "f 1 3 4 2\nf 5 6 8 7\nf 1 2 6 5\nf 3 7 8 4\nf 1 5 7 3\nf 2 4 8 6\n");
    ASSERT_EQ(cube.meshes.size(), 1u);
    const ModelMesh& mesh = cube.meshes[0];
    ASSERT_EQ(mesh.vertexCount(), 8u);
    for (unsigned v = 0; v < 8; ++v) {
        const glm::vec3 outward = glm::normalize(position(mesh, v) - glm::vec3(0.5f));
        EXPECT_GT(glm::dot(normal(mesh, v), outward), 0.9999f) << v;
    }
    // Normals the file gives stay as they are; a point has none.
    const ObjModel given = read("v 0 0 0\nv 1 0 0\nv 0 1 0\nvn 0 0 -1\nf 1//1 2//1 3//1\np 1\n");
    const ModelMesh* faces = meshOf(given, Primitive::triangles);
    ASSERT_NE(faces, nullptr);
    EXPECT_EQ(normal(*faces, 0), glm::vec3(0, 0, -1));
    ASSERT_NE(meshOf(given, Primitive::points), nullptr);
    EXPECT_TRUE(meshOf(given, Primitive::points)->normals.empty());
}

TEST(ObjReader, MaterialsComeFromTheLibrariesAndGroupFacesByMaterial)
{
    Folder folder;
    folder.write("lib.mtl", "map_Kd before-any-material.png\n"
                            "newmtl red\nKd 1 0 0\nmap_Kd -s 1 1 1 -bm 0.5 -clamp on my picture.png\n"
                            "newmtl blue\nKd 0 0 1\nnewmtl plain\nKs 1 1 1\n");
    const std::string path = folder.write(
        "model.obj", "mtllib lib.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\n"
                     "f 1 2 3\n"
                     "o first\nusemtl red\nf 1 2 3\no second\nusemtl blue\nf 1 2 3\nusemtl red\nf 1 3 2\n"
                     "usemtl nowhere\nf 1 2 3\nusemtl plain\nf 2 3 1\n");
    ObjModel model;
    std::string reason;
    ASSERT_TRUE(import::readObj(path, model, reason, ignoreReads)) << reason;
    ASSERT_EQ(model.textures.size(), 1u);
    EXPECT_EQ(model.textures[0].names, std::vector<std::string>{"my picture.png"});
    EXPECT_EQ(model.textures[0].use, import::TextureUse::colour);
    ASSERT_EQ(model.materials.size(), 4u); // red, blue, plain and the one for faces without
    EXPECT_EQ(model.materials[0].diffuse, glm::vec4(1, 0, 0, 1));
    EXPECT_EQ(model.materials[0].texture, 0);
    EXPECT_EQ(model.materials[1].texture, -1);
    // A material that gives no colour, and faces that name none or one no
    // library has, are the importer's grey.
    EXPECT_EQ(model.materials[2].diffuse, glm::vec4(0.6f, 0.6f, 0.6f, 1));
    EXPECT_EQ(model.materials[3].diffuse, glm::vec4(0.6f, 0.6f, 0.6f, 1));
    // One mesh a material name: red's two runs together.
    std::vector<size_t> facesOf(model.materials.size(), 0);
    for (const ModelMesh& mesh : model.meshes)
        facesOf[mesh.material] += mesh.indices.size() / 3;
    EXPECT_EQ(model.meshes.size(), 5u);
    EXPECT_EQ(facesOf, (std::vector<size_t>{2, 1, 1, 2}));

    // A library named wrongly is looked for under the model's own name.
    Folder misnamed;
    misnamed.write("model.mtl", "newmtl red\nKd 1 0 0\n");
    const std::string other = misnamed.write("model.obj", "mtllib model.mat\nusemtl red\nv 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
    ObjModel found;
    ASSERT_TRUE(import::readObj(other, found, reason, ignoreReads)) << reason;
    EXPECT_EQ(found.materials[found.meshes.at(0).material].diffuse, glm::vec4(1, 0, 0, 1));
}

TEST(ObjReader, PointsLinesCloudsAndColoursKeepWhatTheFileSays)
{
    const ObjModel mixed = read("v 0 0 0 1 0 0\nv 1 0 0\nv 0 1 0 0 0 1\nl 1 2 3\np 1 3\nf 2\n");
    const ModelMesh* lines = meshOf(mixed, Primitive::lines);
    ASSERT_NE(lines, nullptr);
    EXPECT_EQ(lines->indices.size(), 4u);
    const ModelMesh* points = meshOf(mixed, Primitive::points);
    ASSERT_NE(points, nullptr);
    EXPECT_EQ(points->indices.size(), 3u); // "p 1 3" and the face of one corner
    // A vertex without a colour among coloured ones is white.
    ASSERT_EQ(lines->colours.size(), 4 * lines->vertexCount());
    std::vector<glm::vec4> colours;
    for (unsigned index : lines->indices)
        colours.emplace_back(lines->colours[4 * index], lines->colours[4 * index + 1], lines->colours[4 * index + 2],
                             lines->colours[4 * index + 3]);
    EXPECT_EQ(colours[0], glm::vec4(1, 0, 0, 1));
    EXPECT_EQ(colours[1], glm::vec4(1, 1, 1, 1));
    EXPECT_EQ(colours[3], glm::vec4(0, 0, 1, 1));

    const ObjModel cloud = read("v 0 0 0\nv 1 2 3\nv 4 5 6\n");
    ASSERT_EQ(cloud.meshes.size(), 1u);
    EXPECT_EQ(cloud.meshes[0].primitive, Primitive::points);
    EXPECT_EQ(cloud.meshes[0].indices.size(), 3u);
}

TEST(ObjReader, PositionsPastTheFileAndIndicesZeroFailTheImportAndUnreadableFacesAreLeftOut)
{
    // Texture coordinates and normals past the file are the importer's to
    // leave out, not to fail on: see ObjImporterAgreement.
    const std::pair<const char*, const char*> failing[] = {
        {"f 1 2 3\n", "OBJ: vertex index out of range"},
        {"v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 4\n", "OBJ: vertex index out of range"},
        {"v 0 0 0\nv 1 0 0\nv 0 1 0\nf 0 1 2\n", "OBJ: vertex index out of range"},
        {"v 0 0 0\nv 1 0 0\nv 0 1 0\nf -4 1 2\n", "OBJ: vertex index out of range"},
        {"v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nf 1/1 2/0 3/1\n", "OBJ: texture coordinate index out of range"},
        {"v 0 0 0\nv 1 0 0\nv 0 1 0\nvn 0 0 1\nf 1//1 2//0 3//1\n", "OBJ: normal index out of range"},
        {"v 0 0 0\nv 1 0 0\nf 99999999999 1 2\n", "OBJ: vertex index out of range"},
    };
    for (const auto& [text, why] : failing) {
        ObjModel model;
        std::string reason;
        EXPECT_FALSE(import::readObjText(text, std::strlen(text), "model.obj", model, reason, ignoreReads)) << text;
        EXPECT_EQ(reason, why) << text;
    }
    const ObjModel kept = read("v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 x 3\nf 1 2 3x\nf 1 2 3\n");
    ASSERT_EQ(kept.meshes.size(), 1u);
    EXPECT_EQ(kept.meshes[0].indices.size(), 3u);
    EXPECT_EQ(kept.notes, std::vector<std::string>{"Left out 2 faces whose corners cannot be read"});
}

TEST(ObjReader, TextEndsAndLongLinesAndFarScalesReadAlike)
{
    Folder folder;
    // Windows line ends, no end at the last line, and one face line longer
    // than the reader's buffer of a few megabytes.
    std::string text = "v 0 0 0\r\nv 1e19 0 0\r\nv 0 1e19 0\r\n";
    std::string face = "f";
    while (face.size() < (5u << 20))
        face += " 1 2 3";
    text += face + "\r\nf 1 2 3";
    ObjModel model;
    std::string reason;
    ASSERT_TRUE(import::readObj(folder.write("long.obj", text), model, reason, ignoreReads)) << reason;
    ASSERT_EQ(model.meshes.size(), 1u);
    const ModelMesh& mesh = model.meshes[0];
    EXPECT_EQ(mesh.vertexCount(), 3u);
    // The far-off model came nearer by a power of two: digits kept exactly.
    const float largest = *std::max_element(mesh.positions.begin(), mesh.positions.end());
    EXPECT_LE(largest, 65536.0f);
    int exponent = 0;
    EXPECT_EQ(std::frexp(1e19f / largest, &exponent), 0.5f);
    EXPECT_FALSE(mesh.normals.empty());
    for (float value : mesh.normals)
        EXPECT_TRUE(std::isfinite(value));
}

// The importer's figures for a model: triangles' total area, their bounds,
// and how many lines and points.
struct Geometry {
    double area = 0.0;
    glm::dvec3 low{1e300}, high{-1e300};
    size_t lines = 0;
    size_t points = 0;
};

void addTriangle(Geometry& geometry, const glm::dvec3& a, const glm::dvec3& b, const glm::dvec3& c)
{
    geometry.area += 0.5 * glm::length(glm::cross(b - a, c - a));
    for (const glm::dvec3& p : {a, b, c}) {
        geometry.low = glm::min(geometry.low, p);
        geometry.high = glm::max(geometry.high, p);
    }
}

TEST(ObjReader, ReadsTheGeometryTheImporterReadsFromEveryCorpusFile)
{
    const fs::path corpus = fs::path(BRASSFERN_TESTDATA_DIR) / "obj-corpus";
    size_t compared = 0;
    for (const auto& entry : fs::recursive_directory_iterator(corpus)) {
        if (entry.path().extension() != ".obj")
            continue;
        const std::string path = entry.path().string();
        Assimp::Importer importer;
        importer.SetPropertyBool(AI_CONFIG_PP_FD_REMOVE, true);
        importer.SetPropertyBool(AI_CONFIG_PP_FD_CHECKAREA, false);
        const aiScene* imported = import::readModel(importer, path, new import::RegularFilesIOSystem);
        ObjModel ours;
        std::string reason;
        const bool read = import::readObj(path, ours, reason, ignoreReads);
        if (imported == nullptr || imported->mNumMeshes == 0) {
            // What the importer refuses may still be read, but not as a failure the other way.
            continue;
        }
        ASSERT_TRUE(read) << path << ": " << reason;
        Geometry theirs;
        for (unsigned m = 0; m < imported->mNumMeshes; ++m) {
            const aiMesh* mesh = imported->mMeshes[m];
            for (unsigned f = 0; f < mesh->mNumFaces; ++f) {
                const aiFace& face = mesh->mFaces[f];
                auto at = [&](unsigned k) {
                    const aiVector3D& v = mesh->mVertices[face.mIndices[k]];
                    return glm::dvec3(v.x, v.y, v.z);
                };
                if (face.mNumIndices == 3)
                    addTriangle(theirs, at(0), at(1), at(2));
                else if (face.mNumIndices == 2)
                    ++theirs.lines;
                else if (face.mNumIndices == 1)
                    ++theirs.points;
            }
        }
        Geometry mine;
        for (const ModelMesh& mesh : ours.meshes) {
            const unsigned perFace = static_cast<unsigned>(mesh.primitive);
            for (size_t i = 0; i < mesh.indices.size(); i += perFace) {
                if (perFace == 3)
                    addTriangle(mine, position(mesh, mesh.indices[i]), position(mesh, mesh.indices[i + 1]),
                                position(mesh, mesh.indices[i + 2]));
                else if (perFace == 2)
                    ++mine.lines;
                else
                    ++mine.points;
            }
        }
        EXPECT_NEAR(mine.area, theirs.area, 1e-4 * std::max(1.0, theirs.area)) << path;
        if (theirs.area > 0.0) {
            EXPECT_LT(glm::length(mine.low - theirs.low), 1e-4) << path;
            EXPECT_LT(glm::length(mine.high - theirs.high), 1e-4) << path;
        }
        EXPECT_EQ(mine.lines, theirs.lines) << path;
        EXPECT_EQ(mine.points, theirs.points) << path;
        ++compared;
    }
    EXPECT_GE(compared, 20u);
}

} // namespace
