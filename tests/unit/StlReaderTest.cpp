// STL files read by the reader of our own and by the importer, as the import process sends each: the same facets,
// normals and material; and files that lie about themselves, which the reader refuses or reads as far as they hold.
#include "ImporterAgreement.h"
#include "import/StlReader.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <gtest/gtest.h>
#include <limits>

namespace {

using Facet = std::array<float, 9>;

std::string binaryStl(const std::vector<Facet>& facets, std::string header = "binary",
                      long long claimed = -1)
{
    header.resize(80, ' ');
    std::string bytes = header;
    const std::uint32_t count = static_cast<std::uint32_t>(claimed >= 0 ? claimed : static_cast<long long>(facets.size()));
    bytes.append(reinterpret_cast<const char*>(&count), 4);
    for (const Facet& facet : facets) {
        const float normal[3] = {0.0f, 0.0f, -1.0f}; // wrong on purpose: the winding decides
        bytes.append(reinterpret_cast<const char*>(normal), sizeof normal);
        bytes.append(reinterpret_cast<const char*>(facet.data()), sizeof(float) * 9);
        bytes.append(2, '\0');
    }
    return bytes;
}

std::string textStl(const std::vector<Facet>& facets, const char* name = "part")
{
    std::string text = std::string("solid ") + name + "\n";
    for (const Facet& f : facets) {
        char facet[512];
        std::snprintf(facet, sizeof facet,
                      "  facet normal 0 0 0\n    outer loop\n      vertex %.9g %.9g %.9g\n      vertex %.9g %.9g "
                      "%.9g\n      vertex %.9g %.9g %.9g\n    endloop\n  endfacet\n",
                      f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7], f[8]);
        text += facet;
    }
    return text + "endsolid " + name + "\n";
}

// A closed tetrahedron, wound outward but for one facet, which faces in.
std::vector<Facet> tetrahedron(float scale = 1.0f)
{
    const float s = scale;
    return {Facet{0, 0, 0, 0, s, 0, s, 0, 0}, Facet{0, 0, 0, s, 0, 0, 0, 0, s}, Facet{0, 0, 0, 0, 0, s, 0, s, 0},
            Facet{s, 0, 0, 0, s, 0, 0, 0, s}, Facet{s, 0, 0, 0, 0, s, 0, s, 0}};
}

size_t facets(const OwnRead& read)
{
    return read.model.meshes.empty() ? 0 : read.model.meshes[0].indices.size() / 3;
}

OwnRead readBytes(const std::string& bytes)
{
    TempFile file(bytes, "model.stl");
    OwnRead read;
    read.outcome = import::readStl(file.path.string(), read.model, read.reason, [](unsigned long long) {});
    return read;
}

// The same triangles, normals (each facet's winding's, whatever the file
// stores) and material as the importer gives, binary or text: facets whose
// corners coincide left out, a facet of no area kept, coordinates far from
// the unit scale brought near it (subnormal ones too), several solids in
// one text.
TEST(StlReader, GivesTheImportersModelInBothEncodings)
{
    std::vector<Facet> facets = tetrahedron();
    facets.push_back({2, 0, 0, 2, 0, 0, 3, 1, 0}); // two corners coincide
    facets.push_back({0, 2, 0, 1, 2, 0, 2, 2, 0}); // in a line
    for (const std::string& bytes : {binaryStl(facets), textStl(facets)}) {
        const OwnRead read = readBytes(bytes);
        ASSERT_EQ(read.outcome, import::ReadOutcome::read) << "read by the reader of our own";
        // Corners at one point share a vertex: the tetrahedron's four and
        // the three of the facet of no area; the normals are the facets'.
        EXPECT_EQ(read.model.meshes[0].vertexCount(), 7u);
        EXPECT_TRUE(read.model.meshes[0].normals.empty());
    }
    expectSameModel(binaryStl(facets), "binary.stl");
    expectSameModel(textStl(facets), "text.stl");
    // A binary header may start as text does; its size tells it apart.
    expectSameModel(binaryStl(facets, "solid made by a writer that starts binary files so"), "solid.stl");
    expectSameModel(binaryStl(tetrahedron(3e22f)), "large.stl");
    expectSameModel(textStl(tetrahedron(2e-21f)), "small.stl");
    // Subnormal coordinates alone: once scaled to infinity and NaN.
    expectSameModel(binaryStl(tetrahedron(3e-41f)), "subnormal.stl");
    expectSameModel(textStl(tetrahedron(), "first") + textStl({Facet{5, 5, 5, 6, 5, 5, 5, 6, 5}}, "second"),
                    "solids.stl");
}

// Counts the header claims past what the file holds are refused before
// anything is made of them (no gigabytes reserved for a 134-byte file);
// bytes past the facets are noted; not-a-number corners, text facets
// without three readable vertices, and a file of neither encoding each get
// their line; coloured STL is left to the importer.
TEST(StlReader, FilesThatLieAboutThemselvesAreRefusedOrReadAsFarAsTheyHold)
{
    const std::vector<Facet> one = {Facet{0, 0, 0, 1, 0, 0, 0, 1, 0}};
    OwnRead lying = readBytes(binaryStl(one, "binary", 0xFFFFFFFFll));
    EXPECT_EQ(lying.outcome, import::ReadOutcome::failed);
    EXPECT_EQ(lying.reason, "STL: the header names 4294967295 facets (214748364834 bytes), but the file holds 134 bytes");
    OwnRead cut = readBytes(binaryStl(tetrahedron()).substr(0, 84 + 50 * 4 + 20));
    EXPECT_EQ(cut.outcome, import::ReadOutcome::failed);
    EXPECT_NE(cut.reason.find("names 5 facets"), std::string::npos) << cut.reason;

    OwnRead trailing = readBytes(binaryStl(tetrahedron()) + "trailing");
    EXPECT_EQ(trailing.outcome, import::ReadOutcome::read);
    EXPECT_EQ(facets(trailing), 5u);
    EXPECT_EQ(trailing.notes(), "Left out the 8 bytes after the 5 facets the header names\n");

    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    std::vector<Facet> odd = tetrahedron();
    odd.push_back({nan, 0, 0, 1, 0, 0, 0, 1, 0});
    odd.push_back({0, 0, 0, 1, inf, 0, 0, 1, 0});
    for (const std::string& bytes : {binaryStl(odd), textStl(odd)}) {
        OwnRead read = readBytes(bytes);
        EXPECT_EQ(read.outcome, import::ReadOutcome::read);
        EXPECT_EQ(facets(read), 5u);
        EXPECT_EQ(read.notes(), "Left out 2 facets with coordinates that are not finite numbers\n");
        for (float value : read.model.meshes[0].positions)
            EXPECT_TRUE(std::isfinite(value));
    }

    OwnRead broken = readBytes("solid s\nfacet normal 0 0 1\nouter loop\nvertex 0 0 0\nvertex 1 0 0\nendloop\nendfacet\n"
                            "facet\nvertex 0 0 0\nvertex 1 0 0\nvertex 0 1 0\nvertex 1 1 0\nendfacet\n"
                            "facet\nvertex 0 0 0\nvertex 1 zero 0\nvertex 0 1 0\nendfacet\n"
                            "facet\nvertex 0 0 0\nvertex 1e39 0 0\nvertex 0 1 0\nendfacet\n"
                            "facet\nvertex 0 0 0\nvertex 1 0 0\nvertex 0 1 0\n");
    EXPECT_EQ(broken.outcome, import::ReadOutcome::read);
    EXPECT_EQ(facets(broken), 1u) << "the last facet, its endfacet missing at the end of the file";
    EXPECT_EQ(broken.model.meshes[0].name, "s");
    EXPECT_EQ(broken.notes(), "Left out 3 facets without exactly three vertices that can be read\n"
                              "Left out 1 facet with coordinates that are not finite numbers\n");

    OwnRead empty = readBytes("solid nothing\nendsolid nothing\n");
    EXPECT_EQ(empty.outcome, import::ReadOutcome::read);
    EXPECT_TRUE(empty.model.meshes.empty() && empty.model.placements.empty());

    EXPECT_EQ(readBytes("neither").outcome, import::ReadOutcome::failed);
    EXPECT_EQ(readBytes("").outcome, import::ReadOutcome::failed);
    // A binary file cut inside its first facets, though it starts with
    // "solid": the zero bytes of its count say it is not text.
    OwnRead cutSolid = readBytes(binaryStl(tetrahedron(), "solid cut").substr(0, 150));
    EXPECT_EQ(cutSolid.outcome, import::ReadOutcome::failed);
    EXPECT_NE(cutSolid.reason.find("names 5 facets"), std::string::npos) << cutSolid.reason;
    EXPECT_EQ(readBytes(binaryStl(one, "COLOR=\x80\x80\x80\xff")).outcome, import::ReadOutcome::notHandled);
}

} // namespace
