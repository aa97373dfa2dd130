// What the importer leaves out of a glTF file's materials, read from the file's own JSON.
#pragma once

#include <string>
#include <vector>

namespace import {

// The importer of this version reads a glTF material's emissive colour but
// not KHR_materials_emissive_strength, which scales it past 1. For each of
// the file's materials in order, the strength it gives, 1 where it gives
// none. Empty for a file that is not glTF, cannot be read, or whose JSON is
// broken or past 64 MB: its emission is then as the importer reads it.
std::vector<float> gltfEmissiveStrengths(const std::string& path);

// The same from the JSON text of a glTF file.
std::vector<float> emissiveStrengthsOfJson(const std::string& json);

} // namespace import
