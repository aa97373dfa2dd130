// fuzz_model_import: a GLB model given by path whose picture (and a few of whose choices) come from the
// input, read as the import process reads it (the same I/O layer, the picture through the header check
// and the decoder) and handed over as the viewer receives it. The stream must end complete or with the
// importer's reason: a cut stream would mean the records the viewer checks were not what was meant.
// The GLB around the picture is always well formed: the importer's own glTF parser falls over on
// malformed JSON within a few hundred runs, which the viewer survives only because it reads models in
// a process of their own; here it would hide everything behind it.
#include "import/ImportProcess.h"
#include "import/ModelReader.h"
#include "import/ModelTransfer.h"

#include <IL/il.h>
#include <assimp/IOSystem.hpp>
#include <assimp/MemoryIOWrapper.h>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

constexpr const char* modelName = "model.glb";

// The model's bytes under its name; nothing else exists.
class OneFile : public Assimp::IOSystem {
public:
    explicit OneFile(std::string bytes) : bytes(std::move(bytes)) {}
    bool Exists(const char* file) const override { return std::strcmp(file, modelName) == 0; }
    char getOsSeparator() const override { return '/'; }
    Assimp::IOStream* Open(const char* file, const char* mode) override
    {
        if (!Exists(file) || mode == nullptr || mode[0] != 'r')
            return nullptr;
        return new Assimp::MemoryIOStream(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    }
    void Close(Assimp::IOStream* stream) override { delete stream; }

private:
    std::string bytes;
};

template <typename T> void put(std::string& bytes, std::initializer_list<T> values)
{
    for (T value : values)
        bytes.append(reinterpret_cast<const char*>(&value), sizeof value);
}

void pad(std::string& bytes, char with)
{
    while (bytes.size() % 4 != 0)
        bytes += with;
}

// A square with `picture` in its binary chunk. `choices`: bits 0-1 the MIME
// type, 2 two-sided, 3 vertex colours, 4 a mirroring node, 5 a second
// material naming the same picture.
std::string glb(unsigned char choices, const std::string& picture)
{
    static const char* const mimes[] = {"image/png", "image/jpeg", "image/bmp", "image/tga"};
    std::string buffer;
    put<float>(buffer, {-1, -1, 0, 1, -1, 0, 1, 1, 0, -1, 1, 0});
    put<float>(buffer, {0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1});
    put<float>(buffer, {0, 1, 1, 1, 1, 0, 0, 0});
    put<float>(buffer, {1, 0, 0, 1, 0, 1, 0, 1, 0, 0, 1, 1, 1, 1, 1, 1});
    put<std::uint16_t>(buffer, {0, 1, 2, 0, 2, 3, 0, 0});
    const size_t pictureOffset = buffer.size();
    buffer += picture;
    pad(buffer, '\0');
    const bool colours = choices & 8;
    const std::string material =
        std::string(R"({"doubleSided":)") + (choices & 4 ? "true" : "false") +
        R"(,"pbrMetallicRoughness":{"baseColorTexture":{"index":0}}})";
    std::string json =
        R"({"asset":{"version":"2.0"},"scene":0,"scenes":[{"nodes":[0]}],"nodes":[{"children":[1,2]},)"
        R"({"mesh":0},{"mesh":)" + std::string(choices & 32 ? "1" : "0") + R"(,"scale":[)" +
        (choices & 16 ? "-1" : "1") + R"(,1,1],"translation":[3,0,0]}],"meshes":[)" +
        R"({"primitives":[{"attributes":{"POSITION":0,"NORMAL":1,"TEXCOORD_0":2)" + (colours ? R"(,"COLOR_0":3)" : "") +
        R"(},"indices":4,"material":0}]},{"primitives":[{"attributes":{"POSITION":0,"TEXCOORD_0":2},"indices":4,)"
        R"("material":1}]}],"materials":[)" + material + "," + material + R"(],"textures":[{"source":0}],)"
        R"("images":[{"bufferView":5,"mimeType":")" + mimes[choices & 3] + R"("}],"buffers":[{"byteLength":)" +
        std::to_string(buffer.size()) + R"(}],"bufferViews":[{"buffer":0,"byteOffset":0,"byteLength":48},)"
        R"({"buffer":0,"byteOffset":48,"byteLength":48},{"buffer":0,"byteOffset":96,"byteLength":32},)"
        R"({"buffer":0,"byteOffset":128,"byteLength":64},{"buffer":0,"byteOffset":192,"byteLength":12},)"
        R"({"buffer":0,"byteOffset":)" + std::to_string(pictureOffset) + R"(,"byteLength":)" +
        std::to_string(picture.size()) + R"(}],"accessors":[)"
        R"({"bufferView":0,"componentType":5126,"count":4,"type":"VEC3"},)"
        R"({"bufferView":1,"componentType":5126,"count":4,"type":"VEC3"},)"
        R"({"bufferView":2,"componentType":5126,"count":4,"type":"VEC2"},)"
        R"({"bufferView":3,"componentType":5126,"count":4,"type":"VEC4"},)"
        R"({"bufferView":4,"componentType":5123,"count":6,"type":"SCALAR"}]})";
    pad(json, ' ');
    std::string bytes;
    put<std::uint32_t>(bytes, {0x46546C67u, 2u, static_cast<std::uint32_t>(28 + json.size() + buffer.size())});
    put<std::uint32_t>(bytes, {static_cast<std::uint32_t>(json.size()), 0x4E4F534Au});
    bytes += json;
    put<std::uint32_t>(bytes, {static_cast<std::uint32_t>(buffer.size()), 0x004E4942u});
    return bytes + buffer;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool ready = (ilInit(), true);
    (void)ready;
    if (size < 1)
        return 0;
    FILE* stream = std::tmpfile();
    if (stream == nullptr)
        return 0;
    import::ImportProgress progress;
    import::sendModel(modelName, fileno(stream), &progress, [](unsigned long long) {},
                     new OneFile(glb(data[0], std::string(reinterpret_cast<const char*>(data + 1), size - 1))));
    lseek(fileno(stream), 0, SEEK_SET);
    import::ModelData model;
    const import::TransferResult result = import::readTransfer(fileno(stream), model);
    std::fclose(stream);
    if (result.outcome == import::TransferResult::Outcome::cut) {
        std::fprintf(stderr, "the stream was cut: %s\n", result.reason.c_str());
        std::abort();
    }
    return 0;
}
