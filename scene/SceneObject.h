// One drawable mesh of the scene: geometry on the GPU, model matrix and material.
#pragma once

#include <GL/glew.h>
#include <glm/glm.hpp>

struct aiMesh;
class Material;

namespace scene {

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

    // Takes ownership of `material`; `mesh` is only read during construction.
    SceneObject(const glm::mat4& modelMatrix, Material* material, const aiMesh* mesh);
    virtual ~SceneObject();
    SceneObject(const SceneObject&) = delete;
    SceneObject& operator=(const SceneObject&) = delete;

    virtual void update(float elapsedSeconds) = 0;
    virtual void draw() = 0;

    // Copies the mesh into owned arrays and static buffers recorded in `vao`.
    // Needs a mesh that findMeshProblem passes; missing normals or texture
    // coordinates are uploaded as zeros rather than read.
    void uploadMesh(const aiMesh* mesh);
};

} // namespace scene
