// Wavefront OBJ models given by path, read straight into the import process's arrays.
#pragma once

#include "import/FileReading.h"
#include "import/ModelData.h"
#include "import/TextureRecipe.h"

#include <functional>
#include <string>
#include <vector>

namespace import {

// The importer's general path builds a node tree, then joins identical
// vertices by value, sorts them for its cache model and makes normals by
// searching neighbours in space: seven seconds and two thirds of a gigabyte
// for a mesh of two million triangles. An OBJ file already says which
// corners share a vertex, so this reader joins corners by the indices they
// name and smooths normals over the faces that share a position index,
// in one pass over the text and one over the faces.
struct ObjModel {
    // Faces of one material name and one kind (triangles, lines or points)
    // share a mesh, however the file groups them into objects.
    std::vector<ModelMesh> meshes;
    // The file's materials, then the one for faces that name none or one
    // the libraries lack; their texture slots index `textures`.
    std::vector<ModelMaterial> materials;
    // The textures the materials ask for, each once, their images named as
    // the libraries name them.
    std::vector<TextureRequest> textures;
    std::vector<std::string> notes;
};

// Reads the OBJ text `path` and the material libraries it names (regular
// files only; `onRead` hears each file's size as it opens). False, with the
// reason, when the model file cannot be read or is one the importer refuses
// as a whole: a face names a position the file does not have, or an index
// 0, or a vertex has the weight 0. Faces that cannot be read are left out
// with a note; texture coordinates and normals that faces name but the file
// lacks are left out as the importer leaves them out.
bool readObj(const std::string& path, ObjModel& model, std::string& reason,
             const std::function<void(unsigned long long)>& onRead, ReadProgress progress = {});

// The same from text in memory; material libraries are looked up beside
// `path`.
bool readObjText(const char* text, size_t size, const std::string& path, ObjModel& model, std::string& reason,
                 const std::function<void(unsigned long long)>& onRead);

// Whether `path` names an OBJ file by its extension, as the importer decides.
bool isObjPath(const std::string& path);

} // namespace import
