// Drawing a static object with its matrices, camera uniforms, colour texture and shadow map.
#include "scene/StaticSceneObject.h"

#include "app/Globals.h"
#include "camera/Camera.h"
#include "gpu/ShaderProgram.h"
#include "gpu/Texture.h"
#include "gpu/Uniforms.h"
#include "render/Renderer.h"
#include "render/ShadowLight.h"
#include "render/Stage.h"
#include "scene/Material.h"


namespace scene {

StaticSceneObject::StaticSceneObject(const aiMesh* mesh, Material* material)
    : SceneObject(glm::mat4(1.0f), material, mesh)
{
}

StaticSceneObject::StaticSceneObject(const glm::mat4& modelMatrix, const MeshArrays& arrays, Material* material)
    : SceneObject(modelMatrix, material, arrays)
{
}

void StaticSceneObject::update(float) {}

void StaticSceneObject::draw()
{
    const GLuint program = material->shaderProgram->program;
    const glm::mat4& model = modelMatrix;
    const glm::mat4& view = camera->view;
    const glm::mat4 modelView = view * model;

    // A model's meshes share one program. Still bound, it was bound by the
    // mesh drawn just before in this pass (every other pass binds its own),
    // with this frame's camera and samplers already written: each further
    // mesh then sets only what is its own. On the software rasterizer,
    // rebinding and unbinding around every one of ten thousand draws cost a
    // third of the frame.
    GLint current = 0;
    if (material->sharedProgram)
        glGetIntegerv(GL_CURRENT_PROGRAM, &current);
    const bool continuing = material->sharedProgram && static_cast<GLuint>(current) == program;

    if (!continuing)
        glUseProgram(program);
    setUniform(program, "modelMatrix", model);
    setUniform(program, "normalMatrix", glm::transpose(glm::inverse(model)));
    setUniform(program, "NormalMVMatrix", glm::transpose(glm::inverse(modelView)));
    setUniform(program, "MVMatrix", modelView);
    setUniform(program, "MVPMatrix", (camera->projection * view) * model);
    setUniform(program, "lightMVP", shadowLight->computeLightMVP(true, model));
    // Leaves the program bound, which the sampler writes below rely on.
    if (!continuing)
        camera->setCameraUniforms(*material->shaderProgram);

    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, material->texture->id);
    if (!continuing) {
        setUniform(program, "colorTexture", 0);
        glActiveTexture(GL_TEXTURE1);
        glBindTexture(GL_TEXTURE_2D, shadowLight->shadowMapTexture());
        setUniform(program, "shadowMap", 1);
        // A model's reflections; its programs read their samplers' units
        // from constants written when they were built.
        if (material->modelSurface && renderer->stage != nullptr) {
            glActiveTexture(GL_TEXTURE0 + Material::environmentUnit);
            glBindTexture(GL_TEXTURE_2D, renderer->stage->environmentTexture);
            glActiveTexture(GL_TEXTURE1);
        }
    }
    if (material->modelSurface)
        material->bindSurface();

    // A two-sided surface shows its back too; culling is the run-wide state.
    if (material->twoSided)
        glDisable(GL_CULL_FACE);
    glBindVertexArray(vao);
    drawElements();
    glBindVertexArray(0);
    if (material->twoSided)
        glEnable(GL_CULL_FACE);
    if (material->sharedProgram)
        return;
    glBindTexture(GL_TEXTURE_2D, 0);
    glUseProgram(0);
}

} // namespace scene
