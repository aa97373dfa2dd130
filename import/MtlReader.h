// The material libraries an OBJ file names: their colours and pictures, each library read once.
#pragma once

#include "base/RegularFile.h"
#include "import/ModelData.h"

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace import {

// The colour of a material that names none, and of faces without a
// material, as the importer gives them: models were made to look right in it.
constexpr float defaultGrey = 0.6f;

// A material library is a page of text; past this it is not one.
constexpr unsigned long long maxLibraryBytes = 64ULL << 20;

// The materials of every library read so far, by name; `texture` indexes
// `textureNames`, the pictures as the libraries name them (map_Kd), each once.
struct MaterialLibrary {
    std::vector<ModelMaterial> materials;
    std::map<std::string, unsigned> byName;
    std::vector<std::string> textureNames;
    std::map<std::string, int> textureByName;
};

// MTL text into `library`; a material named again is written over.
void readMaterialText(const char* text, size_t size, MaterialLibrary& library);

// The libraries named by the OBJ file `modelPath`, looked up beside it.
// One file named many ways ("a.mtl", "./a.mtl", "b/../a.mtl", a link) is
// read and counted to the import's budget once: it is known by the file it
// opens, not by its name. A library that cannot be read gets a line in
// `notes`, since its materials then show the default grey.
class MaterialLibraries {
public:
    MaterialLibraries(const std::string& modelPath, const std::function<void(unsigned long long)>& onRead,
                      std::vector<std::string>& notes);

    // The names of one "mtllib" statement.
    void load(const std::string& names);
    // After the last: the lines past the first few notes, counted.
    void finish();

    const MaterialLibrary& contents() const { return library; }

private:
    void loadOne(const std::string& name);
    void cannotRead(const std::string& path, const std::string& reason);

    const std::string& modelPath;
    const std::function<void(unsigned long long)>& onRead;
    std::vector<std::string>& notes;
    MaterialLibrary library;
    std::set<FileIdentity> opened;
    // Paths, as lexically normal, that could not be read and were told.
    std::set<std::string> failed;
};

} // namespace import
