// PLY files read by the reader of our own and by the importer, as the import process sends each: the same faces,
// normals, colours and material in text and both byte orders; and files that lie about themselves, which the reader
// refuses, reads as far as they hold, or leaves to the importer.
#include "ImporterAgreement.h"
#include "import/PlyReader.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <gtest/gtest.h>
#include <glm/glm.hpp>
#include <limits>

namespace {

// Values in the byte order a binary PLY file names.
template <typename T> void put(std::string& bytes, std::initializer_list<T> values, bool bigEndian = false)
{
    for (T value : values) {
        char raw[sizeof(T)];
        std::memcpy(raw, &value, sizeof raw);
        if (bigEndian)
            std::reverse(raw, raw + sizeof raw);
        bytes.append(raw, sizeof raw);
    }
}

// A pyramid over a square: the base one quad, the sides triangles sharing
// the apex, and a face whose corners coincide.
const char* const pyramidText = "ply\nformat ascii 1.0\ncomment made by hand\nelement vertex 5\n"
                                "property float x\nproperty float y\nproperty float z\n"
                                "element face 6\nproperty list uchar int vertex_indices\nend_header\n"
                                "0 0 0\n2 0 0\n2 0 2\n0 0 2\n1 1.5 1\n"
                                "4 0 1 2 3\n3 0 4 1\n3 1 4 2\n3 2 4 3\n3 3 4 0\n3 0 0 4\n";

std::string colouredBinary(bool bigEndian)
{
    std::string ply = std::string("ply\nformat ") + (bigEndian ? "binary_big_endian" : "binary_little_endian") +
                      " 1.0\nelement vertex 4\nproperty double x\nproperty double y\nproperty double z\n"
                      "property float nx\nproperty float ny\nproperty float nz\nproperty float quality\n"
                      "property uchar red\nproperty uchar green\nproperty uchar blue\nproperty uchar alpha\n"
                      "element face 2\nproperty list uchar uint vertex_indices\nproperty uchar flags\n"
                      "element note 1\nproperty list ushort char text\nend_header\n";
    const double corners[4][3] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
    for (int v = 0; v < 4; ++v) {
        put<double>(ply, {corners[v][0], corners[v][1], corners[v][2]}, bigEndian);
        put<float>(ply, {0.0f, 0.6f, 0.8f, 0.5f}, bigEndian);
        put<unsigned char>(ply, {static_cast<unsigned char>(60 * v), 200, 30, 255});
    }
    for (std::uint32_t start : {0u, 2u}) {
        put<unsigned char>(ply, {3});
        put<std::uint32_t>(ply, {0, start + 1, (start + 2) % 4}, bigEndian);
        put<unsigned char>(ply, {7});
    }
    put<std::uint16_t>(ply, {2}, bigEndian);
    return ply + "hi";
}

OwnRead readBytes(const std::string& bytes)
{
    OwnRead read;
    read.outcome = import::readPlyBytes(bytes.data(), bytes.size(), read.model, read.reason);
    return read;
}

glm::vec3 normalOf(const import::ModelMesh& mesh, const glm::vec3& position)
{
    for (size_t v = 0; v < mesh.vertexCount(); ++v)
        if (glm::vec3(mesh.positions[3 * v], mesh.positions[3 * v + 1], mesh.positions[3 * v + 2]) == position)
            return glm::vec3(mesh.normals[3 * v], mesh.normals[3 * v + 1], mesh.normals[3 * v + 2]);
    return glm::vec3(0.0f);
}

// The same faces (a quad cut, a face of coinciding corners left out), the
// same colours and the importer's two-sided white material, in text and in
// both byte orders, other properties and elements passed over; a file
// without faces as points. Normals the file lacks are the mean facing of
// the faces around each corner, each face once: the importer gives a small
// model's shared vertices the facing of one face alone.
TEST(PlyReader, GivesTheImportersModelInTextAndBothByteOrders)
{
    // Each read by the reader of our own, not handed on to the importer.
    for (const std::string& bytes : {std::string(pyramidText), colouredBinary(false), colouredBinary(true)})
        ASSERT_EQ(readBytes(bytes).outcome, import::ReadOutcome::read) << readBytes(bytes).reason;
    const import::ModelData pyramid = expectSameModel(pyramidText, "pyramid.ply", 1e-6f, false);
    ASSERT_EQ(pyramid.meshes.size(), 1u);
    EXPECT_EQ(normalOf(pyramid.meshes[0], {1.5f, 1.5f, 1.0f} ), glm::vec3(0.0f)) << "no such corner";
    const glm::vec3 apex = normalOf(pyramid.meshes[0], {1.0f, 1.5f, 1.0f});
    EXPECT_NEAR(apex.x, 0.0f, 1e-6f);
    EXPECT_NEAR(apex.y, 1.0f, 1e-6f);
    EXPECT_NEAR(apex.z, 0.0f, 1e-6f);
    // The base (facing down) and the two sides that meet at the corner.
    const glm::vec3 expected = glm::normalize(glm::vec3(0, -1, 0) + glm::normalize(glm::vec3(0, 2, -3)) +
                                              glm::normalize(glm::vec3(-3, 2, 0)));
    const glm::vec3 corner = normalOf(pyramid.meshes[0], {0.0f, 0.0f, 0.0f});
    EXPECT_NEAR(glm::distance(corner, expected), 0.0f, 1e-6f);
    expectSameModel(colouredBinary(false), "little.ply");
    expectSameModel(colouredBinary(true), "big.ply");
    expectSameModel("ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\nproperty float y\nproperty float z\n"
                    "property uchar red\nproperty uchar green\nproperty uchar blue\nend_header\n"
                    "0 0 0 255 0 0\n1 0 0 0 255 0\n0 1 0 0 0 255\n",
                    "points.ply");
}

const std::string triangleHeader = "ply\nformat binary_little_endian 1.0\nelement vertex 3\nproperty float x\n"
                                   "property float y\nproperty float z\nelement face 1\n"
                                   "property list uchar int vertex_indices\nend_header\n";

// diffuse_red/green/blue are the vertex colours some scanners write.
TEST(PlyReader, DiffuseColoursAreVertexColours)
{
    const OwnRead read = readBytes("ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\nproperty float y\n"
                                "property float z\nproperty uchar diffuse_red\nproperty uchar diffuse_green\n"
                                "property uchar diffuse_blue\nelement face 1\nproperty list uchar int vertex_index\n"
                                "end_header\n0 0 0 255 0 0\n1 0 0 255 0 0\n0 1 0 0 51 255\n3 0 1 2\n");
    ASSERT_EQ(read.outcome, import::ReadOutcome::read) << read.reason;
    ASSERT_EQ(read.model.meshes.size(), 1u);
    EXPECT_EQ(read.model.meshes[0].colours,
              (std::vector<float>{1, 0, 0, 1, 1, 0, 0, 1, 0, 0.2f, 1, 1}));
}

// Counts past what the file holds end the read at the data's end, with
// nothing reserved for them; faces naming vertices the file lacks, lists
// whose counts lie, headers that never end or cannot be read are refused
// with the reason; corners that are not finite numbers leave their faces
// out with a line; what the reader does not draw as the importer does goes
// to the importer.
TEST(PlyReader, FilesThatLieAboutThemselvesAreRefusedOrLeftToTheImporter)
{
    std::string counted = "ply\nformat binary_little_endian 1.0\nelement vertex 4000000000\nproperty float x\n"
                          "property float y\nproperty float z\nend_header\n";
    put<float>(counted, {0, 0, 0, 1, 0, 0, 0, 1, 0});
    OwnRead lying = readBytes(counted);
    EXPECT_EQ(lying.outcome, import::ReadOutcome::failed);
    EXPECT_EQ(lying.reason, "PLY: the data ends inside vertex 4 of 4000000000, or holds what is not a number there");

    std::string pastVertices = triangleHeader;
    put<float>(pastVertices, {0, 0, 0, 1, 0, 0, 0, 1, 0});
    put<unsigned char>(pastVertices, {3});
    put<int>(pastVertices, {0, 1, 7});
    EXPECT_EQ(readBytes(pastVertices).reason, "PLY: face 1 names vertex 7 of 3");

    std::string listLies = triangleHeader;
    put<float>(listLies, {0, 0, 0, 1, 0, 0, 0, 1, 0});
    put<unsigned char>(listLies, {250});
    put<int>(listLies, {0, 1, 2});
    EXPECT_EQ(readBytes(listLies).reason,
              "PLY: the data ends inside face 1 of 1, or holds what is not a number there");
    EXPECT_EQ(readBytes(triangleHeader.substr(0, triangleHeader.find("end_header"))).reason,
              "PLY: the header has no end_header line");
    EXPECT_EQ(readBytes("ply\nformat binary 2.0\nend_header\n").reason, "PLY: unknown format binary");
    EXPECT_EQ(readBytes("ply\nformat ascii 1.0\nelement vertex 1\nproperty half x\nend_header\n0\n").reason,
              "PLY: a property the header does not say how to read: x");
    EXPECT_EQ(readBytes("ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\nproperty float y\nproperty float "
                        "z\nelement face 1\nproperty list uchar int vertex_indices\nend_header\n0 0 0\n1 0 0\n0 1 0\n"
                        "3.5 0 1 2\n")
                  .outcome,
              import::ReadOutcome::failed);

    const float nan = std::numeric_limits<float>::quiet_NaN();
    std::string notFinite = "ply\nformat binary_little_endian 1.0\nelement vertex 5\nproperty float x\n"
                            "property float y\nproperty float z\nelement face 2\n"
                            "property list uchar int vertex_indices\nend_header\n";
    put<float>(notFinite, {0, 0, 0, 1, 0, 0, 0, 1, 0, nan, 5, 5, 7, 7, 7});
    put<unsigned char>(notFinite, {3});
    put<int>(notFinite, {0, 1, 2});
    put<unsigned char>(notFinite, {3});
    put<int>(notFinite, {0, 3, 1});
    OwnRead partly = readBytes(notFinite);
    ASSERT_EQ(partly.outcome, import::ReadOutcome::read) << partly.reason;
    EXPECT_EQ(partly.notes(), "Left out 1 face with coordinates that are not finite numbers\n");
    ASSERT_EQ(partly.model.meshes.size(), 1u);
    EXPECT_EQ(partly.model.meshes[0].positions, (std::vector<float>{0, 0, 0, 1, 0, 0, 0, 1, 0}))
        << "the vertices no face uses are not framed";
    EXPECT_EQ(partly.model.meshes[0].indices, (std::vector<unsigned>{0, 1, 2}));

    std::string line = triangleHeader;
    put<float>(line, {0, 0, 0, 1, 0, 0, 0, 1, 0});
    put<unsigned char>(line, {2});
    put<int>(line, {0, 1});
    EXPECT_EQ(readBytes(line).outcome, import::ReadOutcome::notHandled);
    EXPECT_EQ(readBytes("ply\nformat ascii 1.0\ncomment TextureFile wood.png\nelement vertex 1\nproperty float x\n"
                        "end_header\n0\n")
                  .outcome,
              import::ReadOutcome::notHandled);
}

} // namespace
