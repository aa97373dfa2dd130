// Wavefront OBJ/MTL output with shared position, UV and normal pools and fixed number formats.
#pragma once

#include "MeshBuilder.h"

#include <cstddef>
#include <string>
#include <vector>

namespace scenegen {

struct ObjGroup {
    std::string name;
    std::string material;
    const Mesh* mesh;
};

struct ObjMaterial {
    std::string name;
    std::string diffuseTexture; // bare file name; the viewer supplies the directory
};

struct ObjStats {
    size_t positions = 0;
    size_t texcoords = 0;
    size_t normals = 0;
    size_t triangles = 0;
    size_t bytes = 0;
};

// Four decimals, trailing zeros trimmed and "-0" folded to "0": deterministic and compact.
std::string formatNumber(float value);

bool writeObj(const std::string& path, const std::string& materialLibrary, const std::vector<ObjGroup>& groups,
              ObjStats& stats);
bool writeMtl(const std::string& path, const std::vector<ObjMaterial>& materials, size_t& bytes);

} // namespace scenegen
