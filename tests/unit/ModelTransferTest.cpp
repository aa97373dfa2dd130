// The import process's stream: a model goes through whole, in pieces of any size, a stream cut after the geometry
// still gives the model, and nothing the stream holds can make the viewer accept inconsistent arrays, more than a
// model may bring, or allocate what never came.
#include "import/ModelTransfer.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

namespace {

using import::ModelData;
using import::TransferResult;
using import::TransferWriter;
using Outcome = TransferResult::Outcome;

// A file to write records to and read them back from.
class Stream {
public:
    Stream() : file(std::tmpfile()) {}
    ~Stream() { std::fclose(file); }
    int fd() const { return fileno(file); }
    TransferResult read(ModelData& model) const
    {
        lseek(fd(), 0, SEEK_SET);
        return import::readTransfer(fd(), model);
    }
    void raw(const std::string& bytes) const { ASSERT_EQ(write(fd(), bytes.data(), bytes.size()), ssize_t(bytes.size())); }
    std::string bytes() const
    {
        std::string all(static_cast<size_t>(lseek(fd(), 0, SEEK_END)), '\0');
        EXPECT_EQ(pread(fd(), all.data(), all.size(), 0), ssize_t(all.size()));
        return all;
    }

private:
    FILE* file;
};

import::ModelMesh triangle(unsigned material)
{
    import::ModelMesh mesh;
    mesh.name = "triangle";
    mesh.material = material;
    mesh.positions = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    mesh.texCoords = {0, 0, 1, 0, 0, 1};
    mesh.colours = {1, 0, 0, 1, 0, 1, 0, 1, 0, 0, 1, 1};
    mesh.indices = {0, 1, 2};
    return mesh;
}

void writeGeometry(TransferWriter& out)
{
    out.note("a note");
    out.texture({"wood.png", -1});
    out.texture({"stone.png", -1});
    import::ModelMaterial material;
    material.texture = 1;
    material.twoSided = true;
    out.material(material);
    out.mesh(triangle(0));
    out.placement({0, glm::mat4(2.0f)});
    out.geometryDone();
}

TEST(ModelTransfer, AModelArrivesWholeWithItsPicturesAndNotes)
{
    Stream stream;
    TransferWriter out(stream.fd());
    writeGeometry(out);
    out.textureFailed(0, "no such file");
    import::ModelImage picture{2, 1, {1, 2, 3, 4, 5, 6, 7, 8}};
    picture.mipmaps = {3, 4, 5, 6};
    out.image(1, picture);
    ASSERT_TRUE(out.end());

    ModelData model;
    const TransferResult result = stream.read(model);
    ASSERT_EQ(result.outcome, Outcome::complete) << result.reason;
    ASSERT_EQ(model.meshes.size(), 1u);
    EXPECT_EQ(model.meshes[0].colours.size(), 12u);
    EXPECT_EQ(model.meshes[0].indices, (std::vector<unsigned>{0, 1, 2}));
    EXPECT_TRUE(model.materials[0].twoSided);
    EXPECT_EQ(model.placements[0].transform, glm::mat4(2.0f));
    EXPECT_EQ(model.textures[0].image, -1);
    ASSERT_EQ(model.textures[1].image, 0);
    EXPECT_EQ(model.images[0].pixels, (std::vector<unsigned char>{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(model.images[0].mipmaps, (std::vector<unsigned char>{3, 4, 5, 6}));
    EXPECT_EQ(model.notes, (std::vector<std::string>{
                               "a note", "Could not load texture wood.png: no such file; its meshes show their colour"}));
}

TEST(ModelTransfer, AStreamCutWhileTexturesWereReadKeepsTheModel)
{
    Stream stream;
    TransferWriter out(stream.fd());
    writeGeometry(out);
    out.textureFailed(0, "no such file");

    ModelData model;
    const TransferResult result = stream.read(model);
    EXPECT_EQ(result.outcome, Outcome::cut);
    EXPECT_TRUE(result.geometryComplete);
    EXPECT_EQ(result.pendingTexture, 1);
    EXPECT_EQ(model.meshes.size(), 1u);
}

TEST(ModelTransfer, AFailureCarriesTheImportersReason)
{
    Stream stream;
    TransferWriter(stream.fd()).failure("Validation failed");
    ModelData model;
    const TransferResult result = stream.read(model);
    EXPECT_EQ(result.outcome, Outcome::failed);
    EXPECT_EQ(result.reason, "Validation failed");
}

// Records no writer writes, each cut at the first inconsistency.
TEST(ModelTransfer, InconsistentRecordsEndTheStream)
{
    const auto cutBy = [](const std::function<void(TransferWriter&)>& write) {
        Stream stream;
        TransferWriter out(stream.fd());
        write(out);
        out.end();
        ModelData model;
        const TransferResult result = stream.read(model);
        return result.outcome == Outcome::cut && !result.reason.empty();
    };
    EXPECT_TRUE(cutBy([](TransferWriter& out) { out.mesh(triangle(0)); })) << "a mesh before any material";
    EXPECT_TRUE(cutBy([](TransferWriter& out) {
        out.material({});
        import::ModelMesh mesh = triangle(0);
        mesh.indices = {0, 1, 3};
        out.mesh(mesh);
    })) << "an index past the vertices";
    EXPECT_TRUE(cutBy([](TransferWriter& out) {
        out.material({});
        import::ModelMesh mesh = triangle(0);
        mesh.colours.pop_back();
        out.mesh(mesh);
    })) << "colours of another count";
    EXPECT_TRUE(cutBy([](TransferWriter& out) {
        out.material({});
        out.mesh(triangle(0));
        out.placement({1, glm::mat4(1.0f)});
    })) << "a placement of a mesh not sent";
    EXPECT_TRUE(cutBy([](TransferWriter& out) {
        out.texture({"a.png", -1});
        out.geometryDone();
        out.image(0, {2, 2, {1, 2, 3, 4}});
    })) << "fewer pixels than the size says";
    EXPECT_TRUE(cutBy([](TransferWriter& out) {
        out.texture({"a.png", -1});
        out.geometryDone();
        import::ModelImage image{2, 2, std::vector<unsigned char>(16, 7)};
        image.mipmaps = {1, 2, 3};
        out.image(0, image);
    })) << "mipmaps of another size than the image's";
    EXPECT_TRUE(cutBy([](TransferWriter& out) {
        out.geometryDone();
        out.textureFailed(0, "never announced");
    })) << "a texture the geometry never named";
}

TEST(ModelTransfer, ACountThatLiesAllocatesNoMoreThanArrived)
{
    Stream stream;
    TransferWriter out(stream.fd());
    out.material({});
    ASSERT_TRUE(out.end());
    // A mesh record whose positions claim sixteen billion floats, then nothing.
    std::string record = "G";
    record.append(4, '\0');                                  // no name
    record.append("\x03\0\0\0\0\0\0\0", 8);                  // triangles, material 0
    const unsigned long long count = 1ULL << 34;
    record.append(reinterpret_cast<const char*>(&count), 8);
    record.append(64, '\0');
    lseek(stream.fd(), -1, SEEK_END); // over the end record
    stream.raw(record);

    ModelData model;
    const auto start = std::chrono::steady_clock::now();
    const TransferResult result = stream.read(model);
    EXPECT_EQ(result.outcome, Outcome::cut);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

// The viewer takes the stream as the pipe gives it, between frames: any cut
// between two pieces, inside a number, a text or an array, changes nothing.
TEST(ModelTransfer, AStreamTakenInPiecesOfAnySizeGivesTheSameModel)
{
    Stream stream;
    TransferWriter out(stream.fd());
    out.note(std::string(60000, 'n')); // longer than most pieces
    writeGeometry(out);
    out.textureFailed(0, "no such file");
    import::ModelImage picture{300, 200, std::vector<unsigned char>(4 * 300 * 200)};
    for (size_t i = 0; i < picture.pixels.size(); ++i)
        picture.pixels[i] = static_cast<unsigned char>(i * 7);
    out.image(1, picture);
    ASSERT_TRUE(out.end());
    const std::string bytes = stream.bytes();

    for (size_t piece : {size_t(1), size_t(7), size_t(4093), size_t(65536), bytes.size()}) {
        ModelData model;
        import::TransferReader reader(model);
        for (size_t at = 0; at < bytes.size(); at += piece)
            reader.take(reinterpret_cast<const unsigned char*>(bytes.data()) + at, std::min(piece, bytes.size() - at));
        ASSERT_TRUE(reader.over()) << piece;
        EXPECT_EQ(reader.result.outcome, Outcome::complete) << piece << ": " << reader.result.reason;
        ASSERT_EQ(model.meshes.size(), 1u) << piece;
        EXPECT_EQ(model.meshes[0].positions, triangle(0).positions) << piece;
        EXPECT_EQ(model.meshes[0].colours, triangle(0).colours) << piece;
        EXPECT_EQ(model.placements[0].transform, glm::mat4(2.0f)) << piece;
        ASSERT_EQ(model.images.size(), 1u) << piece;
        EXPECT_EQ(model.images[0].pixels, picture.pixels) << piece;
        EXPECT_EQ(model.notes.size(), 3u) << piece;
    }
}

struct LimitCase {
    const char* what;
    size_t limit;
    // Writes `count` records of the kind, and what they need before them.
    std::function<void(TransferWriter&, size_t count)> write;
};

// One record more than a model may bring is refused with the limit, however
// the records are otherwise in order; the limit itself is taken.
TEST(ModelTransfer, AStreamPastTheModelLimitsIsRefusedWithTheLimit)
{
    using import::ModelLimits;
    const LimitCase cases[] = {
        {"textures", ModelLimits::textures,
         [](TransferWriter& out, size_t count) {
             for (size_t i = 0; i < count; ++i)
                 out.texture({"t.png", -1});
         }},
        {"materials", ModelLimits::materials,
         [](TransferWriter& out, size_t count) {
             for (size_t i = 0; i < count; ++i)
                 out.material({});
         }},
        {"meshes", ModelLimits::meshes,
         [](TransferWriter& out, size_t count) {
             out.material({});
             for (size_t i = 0; i < count; ++i)
                 out.mesh(triangle(0));
         }},
        {"placements", ModelLimits::placements,
         [](TransferWriter& out, size_t count) {
             out.material({});
             out.mesh(triangle(0));
             for (size_t i = 0; i < count; ++i)
                 out.placement({0, glm::mat4(1.0f)});
         }},
    };
    for (const LimitCase& c : cases) {
        for (size_t count : {c.limit, c.limit + 1}) {
            Stream stream;
            TransferWriter out(stream.fd());
            c.write(out, count);
            out.geometryDone();
            for (size_t texture = 0; c.what == std::string("textures") && texture < count; ++texture)
                out.textureFailed(static_cast<unsigned>(texture), "none");
            ASSERT_TRUE(out.end());
            ModelData model;
            const TransferResult result = stream.read(model);
            if (count == c.limit) {
                EXPECT_EQ(result.outcome, Outcome::complete) << c.what << ": " << result.reason;
                continue;
            }
            EXPECT_EQ(result.outcome, Outcome::cut) << c.what;
            EXPECT_FALSE(result.geometryComplete) << c.what;
            EXPECT_EQ(result.reason, "the model brings more than " + std::to_string(c.limit) + " " + c.what +
                                         ", more than the viewer takes");
        }
    }
}

} // namespace

namespace {

// A material's every factor and map arrives as sent, with its textures in
// the colour space each use needs; what the lighting cannot take (numbers
// that are not finite or out of range, a map read in the wrong space, a
// tangent array of another count) does not get through.
TEST(ModelTransfer, MaterialsArriveWholeAndWithinWhatTheLightingTakes)
{
    import::ModelMaterial sent;
    sent.diffuse = glm::vec4(0.2f, 0.4f, 0.6f, 1.0f);
    sent.texture = 0;
    sent.metallic = 0.75f;
    sent.roughness = 0.25f;
    sent.specular = 0.5f;
    sent.surfaceTexture = 1;
    sent.normalTexture = 2;
    sent.normalScale = -0.5f;
    sent.occlusionTexture = 1;
    sent.occlusionStrength = 0.3f;
    sent.emissive = glm::vec3(4.0f, 2.0f, 0.0f);
    sent.emissiveTexture = 3;
    sent.alphaMode = import::AlphaMode::mask;
    sent.alphaCutoff = 0.3f;
    import::TextureMapping& mapping = sent.mappings[2];
    mapping.uvSet = 1;
    mapping.wrapU = import::TextureWrap::clampToEdge;
    mapping.wrapV = import::TextureWrap::mirroredRepeat;
    mapping.magnify = import::TextureFilter::nearest;
    mapping.minify = import::TextureFilter::nearestMipmapLinear;
    const float turned[6] = {0.0f, -0.5f, 0.5f, 0.0f, 0.0f, 1.0f};
    std::copy_n(turned, 6, mapping.transform);
    const auto send = [](const import::ModelMaterial& material, const import::ModelMesh& mesh,
                         import::ColourSpace normalSpace, ModelData& model) {
        Stream stream;
        TransferWriter out(stream.fd());
        out.texture({"colour.png", -1, import::ColourSpace::srgb});
        out.texture({"surface.png", -1, import::ColourSpace::linear});
        out.texture({"normal.png", -1, normalSpace});
        out.texture({"glow.png", -1, import::ColourSpace::srgb});
        out.material(material);
        out.mesh(mesh);
        out.geometryDone();
        for (unsigned texture = 0; texture < 4; ++texture)
            out.textureFailed(texture, "not drawn here");
        out.end();
        return stream.read(model);
    };
    import::ModelMesh mesh = triangle(0);
    mesh.tangents = {1, 0, 0, 1, 1, 0, 0, -1, 1, 0, 0, 1};
    mesh.texCoords1 = {0.5f, 0.5f, 1, 0.5f, 0.5f, 1};

    ModelData model;
    ASSERT_EQ(send(sent, mesh, import::ColourSpace::linear, model).outcome, Outcome::complete);
    const import::ModelMaterial& got = model.materials.at(0);
    EXPECT_EQ(got.diffuse, sent.diffuse);
    EXPECT_EQ(got.metallic, sent.metallic);
    EXPECT_EQ(got.roughness, sent.roughness);
    EXPECT_EQ(got.specular, sent.specular);
    EXPECT_EQ(got.normalScale, sent.normalScale);
    EXPECT_EQ(got.occlusionStrength, sent.occlusionStrength);
    EXPECT_EQ(got.emissive, sent.emissive);
    EXPECT_EQ(got.alphaMode, sent.alphaMode);
    EXPECT_EQ(got.alphaCutoff, sent.alphaCutoff);
    EXPECT_EQ((std::vector<int>{got.texture, got.surfaceTexture, got.normalTexture, got.occlusionTexture,
                                got.emissiveTexture}),
              (std::vector<int>{0, 1, 2, 1, 3}));
    EXPECT_EQ(model.meshes.at(0).tangents, mesh.tangents);
    EXPECT_TRUE(got.mappings == sent.mappings);
    EXPECT_EQ(model.meshes.at(0).texCoords1, mesh.texCoords1);

    import::ModelMaterial wild = sent;
    wild.metallic = std::nanf("");
    wild.roughness = 7.0f;
    wild.emissive = glm::vec3(INFINITY, -1.0f, 1e30f);
    wild.alphaMode = static_cast<import::AlphaMode>(7);
    wild.alphaCutoff = std::nanf("");
    wild.mappings[0].transform[4] = std::nanf("");
    ModelData clamped;
    ASSERT_EQ(send(wild, mesh, import::ColourSpace::linear, clamped).outcome, Outcome::complete);
    EXPECT_EQ(clamped.materials.at(0).metallic, 0.0f);
    EXPECT_EQ(clamped.materials.at(0).roughness, 1.0f);
    EXPECT_EQ(clamped.materials.at(0).emissive, glm::vec3(0.0f, 0.0f, 65504.0f));
    EXPECT_EQ(clamped.materials.at(0).alphaMode, import::AlphaMode::opaque);
    EXPECT_EQ(clamped.materials.at(0).alphaCutoff, 0.5f);
    EXPECT_FALSE(clamped.materials.at(0).mappings[0].transformed()) << "a transform that is not finite is dropped";

    // What the GL would refuse, or read past a buffer for, ends the stream.
    for (const auto& [unknown, why] : std::vector<std::pair<std::function<void(import::TextureMapping&)>, const char*>>{
             {[](import::TextureMapping& m) { m.wrapV = static_cast<import::TextureWrap>(7); }, "a wrap mode"},
             {[](import::TextureMapping& m) { m.magnify = import::TextureFilter::linearMipmapLinear; }, "a filter"},
             {[](import::TextureMapping& m) { m.uvSet = 2; }, "a third set"}}) {
        import::ModelMaterial odd = sent;
        unknown(odd.mappings[4]);
        ModelData refused;
        EXPECT_EQ(send(odd, mesh, import::ColourSpace::linear, refused).outcome, Outcome::cut) << why;
    }
    import::ModelMesh shortSet = mesh;
    shortSet.texCoords1.pop_back();
    ModelData wrongSet;
    EXPECT_EQ(send(sent, shortSet, import::ColourSpace::linear, wrongSet).outcome, Outcome::cut);

    ModelData wrongSpace;
    EXPECT_EQ(send(sent, mesh, import::ColourSpace::srgb, wrongSpace).outcome, Outcome::cut);
    mesh.tangents.pop_back();
    ModelData wrongCount;
    EXPECT_EQ(send(sent, mesh, import::ColourSpace::linear, wrongCount).outcome, Outcome::cut);
}

} // namespace
