// A model file as the viewer receives it through a reader of our own and through the importer, for tests that
// hold the two to the same model.
#pragma once

#include "import/FileReading.h"
#include "import/ModelData.h"
#include "import/ModelTransfer.h"

#include <filesystem>
#include <string>
#include <vector>

// What a reader of our own made of a file, and the lines it left.
struct OwnRead {
    import::ReadOutcome outcome = import::ReadOutcome::failed;
    import::ModelData model;
    std::string reason;
    std::string notes() const;
};

// A file of `bytes` in the temporary folder for as long as it lives.
class TempFile {
public:
    TempFile(const std::string& bytes, const std::string& name);
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    const std::filesystem::path path;
};

// The model at `path` as the import process sends it: through the reader of
// our own, or (with `importer`) through the importer.
import::TransferResult received(const std::filesystem::path& path, bool importer, import::ModelData& model);

// Every face drawn (or point, or line), placed: each corner's position,
// normal (unless left out) and colour, the faces in an order of their own.
std::vector<std::vector<float>> drawnFaces(const import::ModelData& model, bool normals = true);

// The file read both ways gives the same faces (within `tolerance`; their
// normals too, unless left out) and materials. Returns ours.
import::ModelData expectSameModel(const std::string& bytes, const std::string& name, float tolerance = 1e-6f,
                                  bool normals = true);
