// STL models given by path, binary or text, read straight into the import process's arrays.
#pragma once

#include "import/FileReading.h"
#include "import/ModelData.h"

#include <functional>
#include <string>

namespace import {

// The importer reads an STL file into one vertex a corner, then its general
// steps search those millions of vertices (degenerate faces, invalid data,
// validation) and the viewer copies them twice more to light each facet by
// its winding: three seconds of a 2-million-facet file that takes a tenth of
// that to read. This reader makes the same model in one pass: one mesh
// whose corners at one point share a vertex, without normals, so that the
// viewer lights each facet by the plane of its winding (the stored normal
// is ignored, as models.md says); facets whose corners coincide left out as
// the importer leaves them out; and the importer's one grey material.
//
// A file is binary when its size is what the facet count in its header
// says (84 + 50 a facet), whatever its first words, as the importer tells;
// otherwise text when it starts with "solid" and holds no NUL byte in its
// first 512 (a binary header starting with "solid" is followed by a count
// with zero bytes), binary otherwise. Binary files with the "COLOR=" header
// of coloured STL are left to the importer.
// Reads the STL file `path` (a regular file only; `onRead` hears its size
// as it opens) into `model`: one mesh, one material, one placement, and
// notes for what was left out. Counts are trusted only as far as the file
// holds them.
ReadOutcome readStl(const std::string& path, ModelData& model, std::string& reason,
                   const std::function<void(unsigned long long)>& onRead, const ReadProgress& progress = {});

// Whether `path` names an STL file by its extension, as the importer decides.
bool isStlPath(const std::string& path);

} // namespace import
