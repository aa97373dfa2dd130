// Tangents for normal maps where the file gives none, made as the MikkTSpace convention makes them.
#pragma once

#include "import/ModelData.h"

namespace import {

// Whether `mesh` can carry tangents: triangles with a normal and a texture
// coordinate at every vertex.
bool canCarryTangents(const ModelMesh& mesh);

// Gives `mesh` (which canCarryTangents) a tangent at every vertex, as the
// MikkTSpace convention that normal maps are baked against makes them:
// each triangle's direction of increasing u from its positions and texture
// coordinates, made perpendicular to the vertex normal, summed over the
// triangles around the vertex weighted by their angle there, and made
// perpendicular to the normal again. w is +1 where the texture lies on the
// surface as seen from the front, -1 where it is mirrored (a texture shared
// by both halves of a symmetric model). The triangles around a vertex that
// map the texture each way are summed apart, and the vertex is split in
// two where both kinds meet, so that mirrored halves are lit alike.
// Triangles whose texture coordinates have no area add nothing; a vertex
// with nothing summed gets any direction across its normal.
void generateTangents(ModelMesh& mesh);

} // namespace import
