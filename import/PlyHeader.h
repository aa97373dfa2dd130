// A PLY file's header made to say what the importer understands: scanners' diffuse colours as vertex colours.
#pragma once

#include <cstddef>

namespace import {

// Several scanners write a vertex's colour as `diffuse_red`, `diffuse_green`,
// `diffuse_blue` (and `diffuse_alpha`) instead of `red`, `green`, `blue`,
// `alpha`. The importer (Assimp 5.2.5) reads those names for the properties
// of a `material` element only, and drops them on a vertex. Here, in the
// header of a PLY file held in `bytes`, each such property of the `vertex`
// element loses its `diffuse_` where the element has no property of that
// channel already (`red` or `r`, `green` or `g`, `blue` or `b`, `alpha`),
// so that the importer reads it as the colour it is, in whatever type it is
// stored (uchar 0 to 255, float 0 to 1...). The header is text in ASCII and
// binary PLY alike, and the data after `end_header` is not touched: a
// binary body is found after the header's last line, however long the
// header is. Bytes that are not a PLY file, or whose header has no end,
// stay as they are. Returns the length of the bytes now, never more than
// `length`.
size_t plyDiffuseAsVertexColours(unsigned char* bytes, size_t length);

} // namespace import
