// One drawable mesh of the scene: geometry on the GPU, model matrix and material.
#pragma once

#include <GL/glew.h>
#include <glm/glm.hpp>

struct aiMesh;
class Material;

namespace scene {

struct MeshArrays;

class SceneObject {
public:
    glm::mat4 modelMatrix{1.0f};
    GLuint vertexCount = 0;
    GLuint indexCount = 0;
    float* positions = nullptr;
    GLuint* indices = nullptr;
    float* normals = nullptr;
    float* texCoords = nullptr;
    GLuint vao = 0;
    Material* material = nullptr;
    GLuint positionBuffer = 0;
    GLuint indexBuffer = 0;
    GLuint normalBuffer = 0;
    GLuint texCoordBuffer = 0;
    // A model's meshes may be points or lines, and may carry a colour a
    // vertex (0 and null when they do not).
    GLenum primitive = GL_TRIANGLES;
    float* colours = nullptr;
    GLuint colourBuffer = 0;
    // A model's meshes with a normal map carry tangents (0 and null otherwise).
    float* tangents = nullptr;
    GLuint tangentBuffer = 0;
    // The middle of the mesh's bounds, in object space: where see-through
    // surfaces are sorted by their distance from the eye.
    glm::vec3 centre{0.0f};
    // Those whose textures read a second set of coordinates carry it (0 and null otherwise).
    float* texCoords1 = nullptr;
    GLuint texCoord1Buffer = 0;

    // Takes ownership of `material`; `mesh` is only read during construction.
    SceneObject(const glm::mat4& modelMatrix, Material* material, const aiMesh* mesh);
    // Takes ownership of `material` and of the arrays.
    SceneObject(const glm::mat4& modelMatrix, Material* material, const MeshArrays& arrays);
    virtual ~SceneObject();
    SceneObject(const SceneObject&) = delete;
    SceneObject& operator=(const SceneObject&) = delete;

    virtual void update(float elapsedSeconds) = 0;
    virtual void draw() = 0;

    // Copies the mesh into owned arrays and static buffers recorded in `vao`.
    // Needs a mesh that findMeshProblem passes; missing normals or texture
    // coordinates are uploaded as zeros rather than read.
    void uploadMesh(const aiMesh* mesh);

    // Frees the arrays the buffers now hold, all but the positions, which
    // the framing reads.
    void releaseArraysButPositions();

    // The draw call of every pass: this object's faces as its primitive.
    void drawElements() const;

private:
    // Takes the arrays over and fills the buffers and `vao` from them.
    void uploadArrays(const MeshArrays& arrays);
};

} // namespace scene
