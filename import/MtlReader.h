// The material libraries an OBJ file names: their colours and pictures, each library read once.
#pragma once

#include "base/RegularFile.h"
#include "import/ModelData.h"
#include "import/TextureRecipe.h"

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

// What a material's statements name or say besides its factors, kept
// until every library is read: the textures are made from them then.
struct MaterialMaps {
    std::string colour;    // map_Kd
    std::string emission;  // map_Ke
    std::string bump;      // map_Bump, bump, norm, map_Kn: a normal or a height map
    float bumpScale = 1.0f; // its -bm
    std::string roughness; // map_Pr
    std::string metalness; // map_Pm
    std::string specular;  // map_Ks
    std::string opacity;   // map_d
    bool hasDissolve = false; // d: opacity
    float dissolve = 1.0f;
    bool hasTransparency = false; // Tr: one less the opacity
    float transparency = 0.0f;
    bool hasShininess = false; // Ns, the Phong exponent, read as roughness where Pr is not given
    float shininess = 0.0f;
    bool hasRoughness = false; // Pr
    bool hasMetalness = false; // Pm
    bool hasEmission = false;  // Ke
    // By ModelMaterial's texture slot: a map given with "-clamp on", not
    // repeated past the edges of its coordinates' unit square.
    bool clamped[materialTextureSlots] = {};
};

// The materials of every library read so far, by name, with their maps.
struct MaterialLibrary {
    std::vector<ModelMaterial> materials;
    std::vector<MaterialMaps> maps;
    std::map<std::string, unsigned> byName;
};

// MTL text into `library`; a material named again is written over. Read:
// Kd (the base colour, linear, which map_Kd stands in for), Ks (as the
// specular weight: 0.5 is the common 4 %), Ns (as roughness), Ke and map_Ke,
// the bump and normal maps with -bm, and the PBR statements Pr, Pm, map_Pr
// and map_Pm, besides map_Ks, and the opacity d (or Tr, its complement) and
// its map map_d.
void readMaterialText(const char* text, size_t size, MaterialLibrary& library);

// The library's materials with their maps made into textures, added to
// `textures` (each once), and their factors settled: roughness from Pr, or
// else Ns, or else 1 (map_Pr alone: 1, which the map scales); metalness
// from Pm, or 1 for map_Pm alone; emission white where map_Ke is given
// without Ke or with a black one; a surface less than opaque, or with an
// opacity map, drawn see-through over what is behind it.
std::vector<ModelMaterial> settledMaterials(const MaterialLibrary& library, std::vector<TextureRequest>& textures);

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
