// The stream in which the import process hands a model to the viewer, record by record.
#pragma once

#include "import/ModelData.h"

#include <string>
#include <vector>

namespace import {

// Writes records to a pipe or file. Every call returns false once a write
// failed (the reader went away); later calls then do nothing.
class TransferWriter {
public:
    explicit TransferWriter(int fd) : fd(fd) {}
    TransferWriter(const TransferWriter&) = delete;
    TransferWriter& operator=(const TransferWriter&) = delete;

    // The geometry, in this order: textures and materials before the meshes
    // that name them, meshes before their placements; notes anywhere.
    bool note(const std::string& line);
    bool texture(const ModelTexture& texture);
    bool material(const ModelMaterial& material);
    bool mesh(const ModelMesh& mesh);
    bool placement(const ModelPlacement& placement);
    // After it, only images and texture failures: what follows can be lost
    // without losing the model.
    bool geometryDone();
    bool image(unsigned texture, const ModelImage& image);
    bool textureFailed(unsigned texture, const std::string& reason);
    // The last record: the model is complete, or the import failed.
    bool end();
    bool failure(const std::string& reason);

private:
    bool tag(char tag);
    bool bytes(const void* data, size_t size);
    bool u32(unsigned value);
    bool u64(unsigned long long value);
    bool text(const std::string& value);
    template <typename T> bool array(const std::vector<T>& values);
    bool flush();

    int fd;
    bool good = true;
    std::vector<unsigned char> buffer;
};

struct TransferResult {
    enum class Outcome {
        complete, // the end record arrived
        failed,   // the import process reported a failure, in `reason`
        cut,      // the stream ended early, or held what no writer writes
    } outcome = Outcome::cut;
    std::string reason;
    // Whether everything before geometryDone arrived: a stream cut after it
    // still holds the whole model, only some textures are missing.
    bool geometryComplete = false;
    // The texture being sent or decoded when the stream ended, -1 for none.
    int pendingTexture = -1;
};

// Reads records from `fd` until the last one or the end of the stream,
// checking each against what came before (counts, indices, sizes), so that
// what reaches the GPU is consistent whatever the import process wrote.
// Arrays grow as their bytes arrive: a count that lies cannot make the
// viewer allocate more than the stream really holds.
TransferResult readTransfer(int fd, ModelData& model);

} // namespace import
