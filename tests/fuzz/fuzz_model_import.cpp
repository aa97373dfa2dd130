// fuzz_model_import: any bytes as a GLB model given by path, read as the import process reads it (the
// same I/O layer, every picture inside it through the header check and the decoder) and handed over as
// the viewer receives it. The stream must end complete or with the importer's reason: a cut stream
// would mean the records the viewer checks were not what the writer meant.
#include "scene/ImportProcess.h"
#include "scene/ModelTransfer.h"

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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool ready = (ilInit(), true);
    (void)ready;
    FILE* stream = std::tmpfile();
    if (stream == nullptr)
        return 0;
    scene::ImportProgress progress;
    scene::sendModel(modelName, fileno(stream), &progress, [](unsigned long long) {},
                     new OneFile(std::string(reinterpret_cast<const char*>(data), size)));
    lseek(fileno(stream), 0, SEEK_SET);
    scene::ModelData model;
    const scene::TransferResult result = scene::readTransfer(fileno(stream), model);
    std::fclose(stream);
    if (result.outcome == scene::TransferResult::Outcome::cut) {
        std::fprintf(stderr, "the stream was cut: %s\n", result.reason.c_str());
        std::abort();
    }
    return 0;
}
