// PLY models given by path, text or binary of either byte order, read straight into the import process's arrays.
#pragma once

#include "import/FileReading.h"
#include "import/ModelData.h"

#include <functional>
#include <string>

namespace import {

// The importer reads a PLY file value by value through a tree of its own,
// then its general steps search every vertex: a text file of two million
// triangles took it a minute. This reader makes the same model in one pass
// over the values: one mesh of the file's vertices (positions, normals,
// colours from red/green/blue/alpha, r/g/b/a or diffuse_red/green/blue)
// and faces (polygons cut as the OBJ reader cuts them; faces whose corners
// coincide left out, as the importer leaves them out), or of points where
// the file has no faces; normals made where the file has none, as the
// importer makes them (over the faces around each position, or around each
// vertex in a model past bigModelVertices); the importer's one white,
// two-sided material. Other elements and properties are passed over.
//
// Left to the importer: files whose header names a texture ("comment
// TextureFile"), materials, triangle strips, texture coordinates or colours
// by face, and faces of fewer than three corners (points and lines).
//
// Refused, with the reason, as the importer refuses them: a header without
// "end_header" or with what it cannot read, data that ends before the
// elements the header counts, and a face that names a vertex the file does
// not have. Counts are trusted only as far as the file holds them.
ReadOutcome readPly(const std::string& path, ModelData& model, std::string& reason,
                    const std::function<void(unsigned long long)>& onRead, const ReadProgress& progress = {});

// The same from bytes in memory.
ReadOutcome readPlyBytes(const char* bytes, size_t size, ModelData& model, std::string& reason,
                         const ReadProgress& progress = {});

// Whether `path` names a PLY file by its extension, as the importer decides.
bool isPlyPath(const std::string& path);

} // namespace import
