// The light's box and view, and the depth pass over every scene object.
#include "render/ShadowLight.h"

#include "app/Globals.h"
#include "gpu/ShaderConstants.h"
#include "gpu/ShaderProgram.h"
#include "gpu/Texture.h"
#include "gpu/Uniforms.h"
#include "render/PassObserver.h"
#include "render/RenderPass.h"
#include "render/ShadowMapTarget.h"
#include "render/VarianceShadowBlur.h"
#include "scene/Material.h"
#include "scene/SceneObject.h"

#include <glm/gtc/matrix_transform.hpp>

const glm::mat4 biasMatrix(0.5f, 0.0f, 0.0f, 0.0f, 0.0f, 0.5f, 0.0f, 0.0f, 0.0f, 0.0f, 0.5f, 0.0f, 0.5f, 0.5f, 0.5f,
                           1.0f);

const glm::vec3 sceneLightPosition(4.0f, 7.0f, -1.0f);

ShadowLight::ShadowLight(const glm::vec3& direction, const glm::vec3& color, float intensity)
    : direction(direction), color(color), intensity(intensity)
{
    shadowTarget = new ShadowMapTarget();
    shadowBlur = new VarianceShadowBlur();
}

ShadowLight::~ShadowLight()
{
    delete shadowTarget;
    delete shadowBlur;
}

glm::mat4 ShadowLight::lightProjection()
{
    return glm::ortho(lightBoxLeft, lightBoxRight, lightBoxBottom, lightBoxTop, lightBoxNear, lightBoxFar);
}

unsigned int ShadowLight::shadowMapTexture() const
{
    return shadowBlur->resultTexture;
}

glm::mat4 ShadowLight::lightView(const glm::vec3& position)
{
    return glm::lookAt(position, glm::vec3(0.0f), glm::vec3(0.0f, 1.0f, 0.0f));
}

glm::mat4 ShadowLight::computeLightMVP(bool withBias, const glm::mat4& model) const
{
    if (withBias)
        return ((biasMatrix * lightProjection()) * lightView(direction)) * model;
    return (lightProjection() * lightView(direction)) * model;
}

// The objects are compared as well as forgotten on a change: a new model's
// objects may stand where the old one's were freed, at the same addresses,
// but hardly all with the same placements, vertex counts, vertex arrays and
// materials as well.
bool ShadowLight::holds(const std::vector<scene::SceneObject*>& objects) const
{
    if (!drawn || drawnDirection != direction || drawnOf.size() != objects.size())
        return false;
    for (size_t i = 0; i < objects.size(); ++i)
        if (drawnOf[i].object != objects[i] || drawnOf[i].modelMatrix != objects[i]->modelMatrix ||
            drawnOf[i].vertexCount != objects[i]->vertexCount || drawnOf[i].vao != objects[i]->vao ||
            drawnOf[i].material != objects[i]->material)
            return false;
    return true;
}

void ShadowLight::remember(const std::vector<scene::SceneObject*>& objects)
{
    drawnOf.clear();
    for (const scene::SceneObject* object : objects)
        drawnOf.push_back({object, object->modelMatrix, object->vertexCount, object->vao, object->material});
    drawnDirection = direction;
    drawn = true;
}

void drawDepth(const scene::SceneObject& object, const glm::mat4& mvp, float seeThroughCutoff)
{
    const Material* material = object.material;
    const bool cutOut = material != nullptr && (material->cutOut || material->seeThrough);
    ShaderProgram& program = cutOut ? shadowLight->shadowTarget->cutOutProgram() : *shadowLight->shadowTarget->depthProgram;
    glUseProgram(program.program);
    setUniform(program.program, "lightMVP", mvp);
    if (cutOut) {
        setUniform(program.program, "baseAlpha", material->baseColour.a);
        setUniform(program.program, "alphaCutoff", material->cutOut ? material->alphaCutoff : seeThroughCutoff);
        setUniform(program.program, "uvSet", material->uvSets[0]);
        setUniform(program.program, "uvTransform", material->uvTransforms[0]);
        glActiveTexture(GL_TEXTURE0);
        glBindTexture(GL_TEXTURE_2D, material->texture->id);
        material->bindColourSampler();
    }
    const bool twoSided = material != nullptr && material->twoSided;
    if (twoSided)
        glDisable(GL_CULL_FACE);
    glBindVertexArray(object.vao);
    object.drawElements();
    glBindVertexArray(0);
    if (twoSided)
        glEnable(GL_CULL_FACE);
    glUseProgram(0);
}

void renderShadowMap()
{
    if (shadowLight->keepsShadowMap && shadowLight->holds(sceneObjects))
        return;
    ++shadowLight->shadowMapsDrawn;
    // Moments must not be weighted by any alpha: blending is for the scene pass.
    glDisable(GL_BLEND);
    const ShadowMapTarget& target = *shadowLight->shadowTarget;
    {
        const render::ObservedPass observed(render::Pass::ShadowDepth);
        glBindFramebuffer(GL_FRAMEBUFFER, target.fbo);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glViewport(0, 0, shadowMapWidth, shadowMapHeight);
        // A see-through surface casts where it is at least half opaque.
        for (const scene::SceneObject* object : sceneObjects)
            drawDepth(*object, shadowLight->computeLightMVP(false, object->modelMatrix), 0.5f);
        Material::releaseSamplers();
    }
    shadowLight->shadowBlur->apply(target.depthTexture);
    if (shadowLight->keepsShadowMap)
        shadowLight->remember(sceneObjects);
}
