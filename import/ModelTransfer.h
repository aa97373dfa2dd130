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
    // without losing the model. The import sends it once the importer and
    // all it held are gone: a crash in their clean-up cuts the geometry.
    bool geometryDone();
    bool image(unsigned texture, const ModelImage& image);
    bool textureFailed(unsigned texture, const std::string& reason);
    // The last record: the model is complete, or the import failed.
    bool end();
    bool failure(const std::string& reason);
    // False once a write failed.
    bool writing() const { return good; }

    // For the tests alone (see BRASSFERN_TEST_STALL_IMPORT in ImportProcess.h):
    // once a writer has written this many bytes, its process stops itself,
    // as one stalled by a bug or a debugger would. 0: never.
    static unsigned long long stallAfterBytes;
    // For the tests alone (see BRASSFERN_TEST_ABORT_IMPORT): called, when
    // set, before a writer writes its first image or texture failure.
    static void (*beforeFirstTexture)();

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
    unsigned long long written = 0;
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

// Reads the records as their bytes arrive, in pieces of any size, checking
// each against what came before (counts, indices, sizes, the ModelLimits),
// so that what reaches the GPU is consistent whatever the import process
// wrote. Arrays grow as their bytes arrive: a count that lies cannot make
// the viewer allocate more than the stream really holds. Nothing waits
// here, so that the viewer can take a stream between its frames.
class TransferReader {
public:
    explicit TransferReader(ModelData& model) : model(model) {}
    TransferReader(const TransferReader&) = delete;
    TransferReader& operator=(const TransferReader&) = delete;

    // The next bytes of the stream. False once it is over (its last record
    // came, or it held what no writer writes): the rest is not wanted.
    bool take(const unsigned char* data, size_t size);
    // The stream has no more: one without its last record was cut.
    void end();
    bool over() const { return done; }

    TransferResult result;

private:
    // An array whose bytes are still coming, one of the mesh's or the image's.
    struct ArrayFill {
        std::vector<float>* floats = nullptr;
        std::vector<unsigned>* indices = nullptr;
        std::vector<unsigned char>* bytes = nullptr;
        unsigned long long count = 0; // elements the record announced
        unsigned long long received = 0; // bytes
        size_t elementSize() const;
        unsigned char* resize(size_t elements) const;
        size_t size() const;
    };
    class Cursor;

    size_t consume(const unsigned char* data, size_t size);
    bool piece(Cursor& in);
    bool record(char tag, Cursor& in);
    bool meshHeader(Cursor& in);
    bool imageHeader(Cursor& in);
    bool geometryRecord(char tag, Cursor& in);
    bool materialRecord(Cursor& in);
    bool smallRecord(char tag, Cursor& in);
    bool startArray(unsigned long long count);
    size_t fill(const unsigned char* data, size_t size);
    void arrayFilled();
    bool withinLimit(size_t count, size_t limit, const char* what);
    bool cut(const std::string& reason);

    ModelData& model;
    bool done = false;
    // Bytes of a piece of a record that has not come whole yet.
    std::vector<unsigned char> staged;
    // The mesh or image record whose arrays are coming: its tag, 0 between records.
    char open = 0;
    ModelMesh mesh;
    int meshArrays = 0; // of the mesh's seven, those read
    int imageArrays = 0; // of the image's two (its pixels, its mipmaps), those read
    ModelImage image;
    unsigned imageTexture = 0;
    bool filling = false;
    ArrayFill array;
    // Textures arrive, or fail, in order.
    size_t texturesResolved = 0;
    size_t placementRecords = 0;
};

// Reads records from `fd`, waiting for them, until the last one or the end
// of the stream, as TransferReader checks them.
TransferResult readTransfer(int fd, ModelData& model);

} // namespace import
