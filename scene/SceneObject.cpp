// Mesh upload into per-attribute buffers, and the release of everything an object owns.
#include "scene/SceneObject.h"

#include "gpu/ShaderProgram.h"
#include "scene/Material.h"

#include <assimp/mesh.h>

namespace scene {

namespace {

GLuint makeBuffer(GLenum target, size_t bytes, const void* data)
{
    GLuint buffer = 0;
    glGenBuffers(1, &buffer);
    glBindBuffer(target, buffer);
    glBufferData(target, static_cast<GLsizeiptr>(bytes), data, GL_STATIC_DRAW);
    glBindBuffer(target, 0);
    return buffer;
}

// An attribute the program optimised away has location -1; pointing the
// vertex array at it would only raise a GL error every frame.
void pointAttribute(GLuint program, const char* name, GLuint buffer, GLint components)
{
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    const GLint location = glGetAttribLocation(program, name);
    if (location < 0)
        return;
    glEnableVertexAttribArray(static_cast<GLuint>(location));
    glVertexAttribPointer(static_cast<GLuint>(location), components, GL_FLOAT, GL_FALSE, 0, nullptr);
}

} // namespace

SceneObject::SceneObject(const glm::mat4& modelMatrix, Material* material, const aiMesh* mesh)
    : modelMatrix(modelMatrix), material(material)
{
    uploadMesh(mesh);
}

SceneObject::~SceneObject()
{
    glDeleteBuffers(1, &positionBuffer);
    glDeleteBuffers(1, &indexBuffer);
    glDeleteBuffers(1, &normalBuffer);
    glDeleteBuffers(1, &texCoordBuffer);
    glDeleteVertexArrays(1, &vao);
    delete[] positions;
    delete[] indices;
    delete[] normals;
    delete[] texCoords;
    delete material; // deletes its program; the texture belongs to the cache
}

void SceneObject::uploadMesh(const aiMesh* mesh)
{
    vertexCount = mesh->mNumVertices;
    positions = new float[3 * static_cast<size_t>(vertexCount)];
    normals = new float[3 * static_cast<size_t>(vertexCount)]();
    texCoords = new float[2 * static_cast<size_t>(vertexCount)]();
    const aiVector3D* uvs = mesh->mTextureCoords[0];
    for (GLuint i = 0; i < vertexCount; ++i) {
        positions[3 * i + 0] = mesh->mVertices[i].x;
        positions[3 * i + 1] = mesh->mVertices[i].y;
        positions[3 * i + 2] = mesh->mVertices[i].z;
        if (mesh->mNormals != nullptr) {
            normals[3 * i + 0] = mesh->mNormals[i].x;
            normals[3 * i + 1] = mesh->mNormals[i].y;
            normals[3 * i + 2] = mesh->mNormals[i].z;
        }
        if (uvs != nullptr) {
            texCoords[2 * i + 0] = uvs[i].x;
            texCoords[2 * i + 1] = uvs[i].y;
        }
    }

    indexCount = 3 * mesh->mNumFaces;
    indices = new GLuint[indexCount];
    for (unsigned j = 0; j < mesh->mNumFaces; ++j) {
        const aiFace& face = mesh->mFaces[j];
        for (unsigned k = 0; k < 3; ++k)
            indices[3 * j + k] = face.mIndices[k];
    }

    positionBuffer = makeBuffer(GL_ARRAY_BUFFER, vertexCount * 3 * sizeof(float), positions);
    indexBuffer = makeBuffer(GL_ELEMENT_ARRAY_BUFFER, indexCount * sizeof(GLuint), indices);
    normalBuffer = makeBuffer(GL_ARRAY_BUFFER, vertexCount * 3 * sizeof(float), normals);
    texCoordBuffer = makeBuffer(GL_ARRAY_BUFFER, vertexCount * 2 * sizeof(float), texCoords);

    const GLuint program = material->shaderProgram->program;
    glGenVertexArrays(1, &vao);
    glBindVertexArray(vao);
    pointAttribute(program, "position", positionBuffer, 3);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indexBuffer);
    pointAttribute(program, "normal", normalBuffer, 3);
    pointAttribute(program, "uv", texCoordBuffer, 2);
    // The vertex array goes first so that it keeps the element buffer.
    glBindVertexArray(0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
}

} // namespace scene
