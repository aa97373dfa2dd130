// The import process's stream: a model goes through whole, a stream cut after the geometry still gives the
// model, and nothing the stream holds can make the viewer accept inconsistent arrays or allocate what never came.
#include "import/ModelTransfer.h"

#include <chrono>
#include <cstdio>
#include <functional>
#include <gtest/gtest.h>
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
    out.image(1, {1, 1, {1, 2, 3, 4}});
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
    EXPECT_EQ(model.images[0].pixels, (std::vector<unsigned char>{1, 2, 3, 4}));
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

} // namespace
