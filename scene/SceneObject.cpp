// Mesh upload into per-attribute buffers, and the release of everything an object owns.
#include "scene/SceneObject.h"

#include "gpu/DrawPacing.h"
#include "gpu/ShaderProgram.h"
#include "base/StartupTimes.h"
#include "scene/Material.h"
#include "scene/MeshArrays.h"

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

SceneObject::SceneObject(const glm::mat4& modelMatrix, Material* material, const MeshArrays& arrays)
    : modelMatrix(modelMatrix), material(material)
{
    const StartupClock clock(startupTimes.meshUpload);
    uploadArrays(arrays);
}

SceneObject::~SceneObject()
{
    glDeleteBuffers(1, &positionBuffer);
    glDeleteBuffers(1, &indexBuffer);
    glDeleteBuffers(1, &normalBuffer);
    glDeleteBuffers(1, &texCoordBuffer);
    glDeleteBuffers(1, &colourBuffer);
    glDeleteBuffers(1, &tangentBuffer);
    glDeleteBuffers(1, &texCoord1Buffer);
    glDeleteVertexArrays(1, &vao);
    delete[] positions;
    delete[] indices;
    delete[] normals;
    delete[] texCoords;
    delete[] colours;
    delete[] tangents;
    delete[] texCoords1;
    delete material; // and its program, unless shared; the texture belongs to the cache
}

void SceneObject::releaseArraysButPositions()
{
    delete[] indices;
    delete[] normals;
    delete[] texCoords;
    delete[] colours;
    delete[] tangents;
    delete[] texCoords1;
    indices = nullptr;
    normals = nullptr;
    texCoords = nullptr;
    colours = nullptr;
    tangents = nullptr;
    texCoords1 = nullptr;
}

void SceneObject::uploadMesh(const aiMesh* mesh)
{
    const StartupClock clock(startupTimes.meshUpload);
    uploadArrays(copyMeshArrays(mesh));
}

void SceneObject::drawElements() const
{
    const unsigned perPrimitive = primitive == GL_POINTS ? 1 : primitive == GL_LINES ? 2 : 3;
    drawElementsInPieces(primitive, indexCount, perPrimitive);
}

void SceneObject::uploadArrays(const MeshArrays& arrays)
{
    vertexCount = arrays.vertexCount;
    indexCount = arrays.indexCount;
    positions = arrays.positions;
    normals = arrays.normals;
    texCoords = arrays.texCoords;
    indices = arrays.indices;
    colours = arrays.colours;
    tangents = arrays.tangents;
    texCoords1 = arrays.texCoords1;
    primitive = arrays.indicesPerFace == 1 ? GL_POINTS : arrays.indicesPerFace == 2 ? GL_LINES : GL_TRIANGLES;

    if (vertexCount > 0 && positions != nullptr) {
        glm::vec3 lowest(positions[0], positions[1], positions[2]);
        glm::vec3 highest = lowest;
        for (GLuint i = 1; i < vertexCount; ++i) {
            const glm::vec3 at(positions[3 * i], positions[3 * i + 1], positions[3 * i + 2]);
            lowest = glm::min(lowest, at);
            highest = glm::max(highest, at);
        }
        centre = 0.5f * (lowest + highest);
    }
    positionBuffer = makeBuffer(GL_ARRAY_BUFFER, vertexCount * 3 * sizeof(float), positions);
    indexBuffer = makeBuffer(GL_ELEMENT_ARRAY_BUFFER, indexCount * sizeof(GLuint), indices);
    if (normals != nullptr)
        normalBuffer = makeBuffer(GL_ARRAY_BUFFER, vertexCount * 3 * sizeof(float), normals);
    if (texCoords != nullptr)
        texCoordBuffer = makeBuffer(GL_ARRAY_BUFFER, vertexCount * 2 * sizeof(float), texCoords);
    if (colours != nullptr)
        colourBuffer = makeBuffer(GL_ARRAY_BUFFER, vertexCount * 4 * sizeof(float), colours);
    if (tangents != nullptr)
        tangentBuffer = makeBuffer(GL_ARRAY_BUFFER, vertexCount * 4 * sizeof(float), tangents);
    if (texCoords1 != nullptr)
        texCoord1Buffer = makeBuffer(GL_ARRAY_BUFFER, vertexCount * 2 * sizeof(float), texCoords1);

    const GLuint program = material->shaderProgram->program;
    glGenVertexArrays(1, &vao);
    glBindVertexArray(vao);
    pointAttribute(program, "position", positionBuffer, 3);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indexBuffer);
    // Without a buffer an attribute reads its constant value.
    if (normalBuffer != 0)
        pointAttribute(program, "normal", normalBuffer, 3);
    if (texCoordBuffer != 0)
        pointAttribute(program, "uv", texCoordBuffer, 2);
    if (colourBuffer != 0)
        pointAttribute(program, "colour", colourBuffer, 4);
    if (tangentBuffer != 0)
        pointAttribute(program, "tangent", tangentBuffer, 4);
    if (texCoord1Buffer != 0)
        pointAttribute(program, "uv1", texCoord1Buffer, 2);
    // The vertex array goes first so that it keeps the element buffer.
    glBindVertexArray(0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
}

} // namespace scene
