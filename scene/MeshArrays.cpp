// Checking an imported mesh and copying it into the arrays its buffers are filled from.
#include "scene/MeshArrays.h"

#include <assimp/mesh.h>
#include <climits>

namespace scene {

MeshProblem findMeshProblem(const aiMesh* mesh)
{
    if (mesh->mVertices == nullptr || mesh->mNumVertices == 0 || mesh->mFaces == nullptr || mesh->mNumFaces == 0)
        return MeshProblem::notTriangles;
    // The index count is stored in 32 bits.
    if (mesh->mNumFaces > UINT_MAX / 3)
        return MeshProblem::notTriangles;
    bool inRange = true;
    for (unsigned j = 0; j < mesh->mNumFaces; ++j) {
        const aiFace& face = mesh->mFaces[j];
        if (face.mNumIndices != 3 || face.mIndices == nullptr)
            return MeshProblem::notTriangles;
        for (unsigned k = 0; k < 3; ++k)
            inRange = inRange && face.mIndices[k] < mesh->mNumVertices;
    }
    return inRange ? MeshProblem::none : MeshProblem::indexOutOfRange;
}

MeshArrays copyMeshArrays(const aiMesh* mesh)
{
    MeshArrays arrays;
    const size_t vertexCount = mesh->mNumVertices;
    arrays.vertexCount = mesh->mNumVertices;
    arrays.positions = new float[3 * vertexCount];
    arrays.normals = new float[3 * vertexCount]();
    arrays.texCoords = new float[2 * vertexCount]();
    const aiVector3D* uvs = mesh->mTextureCoords[0];
    for (size_t i = 0; i < vertexCount; ++i) {
        arrays.positions[3 * i + 0] = mesh->mVertices[i].x;
        arrays.positions[3 * i + 1] = mesh->mVertices[i].y;
        arrays.positions[3 * i + 2] = mesh->mVertices[i].z;
        if (mesh->mNormals != nullptr) {
            arrays.normals[3 * i + 0] = mesh->mNormals[i].x;
            arrays.normals[3 * i + 1] = mesh->mNormals[i].y;
            arrays.normals[3 * i + 2] = mesh->mNormals[i].z;
        }
        if (uvs != nullptr) {
            arrays.texCoords[2 * i + 0] = uvs[i].x;
            arrays.texCoords[2 * i + 1] = uvs[i].y;
        }
    }

    arrays.indexCount = 3 * mesh->mNumFaces;
    arrays.indices = new unsigned[arrays.indexCount];
    for (unsigned j = 0; j < mesh->mNumFaces; ++j) {
        for (unsigned k = 0; k < 3; ++k)
            arrays.indices[3 * j + k] = mesh->mFaces[j].mIndices[k];
    }
    return arrays;
}

void deleteMeshArrays(MeshArrays& arrays)
{
    delete[] arrays.positions;
    delete[] arrays.normals;
    delete[] arrays.texCoords;
    delete[] arrays.colours;
    delete[] arrays.tangents;
    delete[] arrays.texCoords1;
    delete[] arrays.indices;
    arrays = MeshArrays();
}

} // namespace scene
