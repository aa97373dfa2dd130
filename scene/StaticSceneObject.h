// A scene object that never moves: the only kind the imported scene has.
#pragma once

#include "scene/SceneObject.h"

namespace scene {

class StaticSceneObject : public SceneObject {
public:
    StaticSceneObject(const aiMesh* mesh, Material* material);
    // A model's mesh where its node places it; takes the arrays over.
    StaticSceneObject(const glm::mat4& modelMatrix, const MeshArrays& arrays, Material* material);
    ~StaticSceneObject() override = default;

    void update(float elapsedSeconds) override;
    // Draws into whatever framebuffer, viewport and state the caller set.
    void draw() override;
};

} // namespace scene
