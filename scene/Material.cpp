// Writing the material and light constants into a scene program.
#include "scene/Material.h"

#include "app/Globals.h"
#include "camera/Camera.h"
#include "gpu/ShaderProgram.h"
#include "gpu/Texture.h"
#include "gpu/Uniforms.h"
#include "render/ShadowLight.h"

#include <string>
#include <utility>

namespace {

// The sampler each texture slot's unit has bound, so that a frame of
// thousands of draws binds only what changes.
GLuint boundSamplers[Material::textureSlots] = {};

void bindSampler(int slot, GLuint sampler)
{
    if (boundSamplers[slot] == sampler)
        return;
    glBindSampler(static_cast<GLuint>(Material::slotUnits[slot]), sampler);
    boundSamplers[slot] = sampler;
}

} // namespace

Material::Material(ShaderProgram* shaderProgram, Texture* texture) : shaderProgram(shaderProgram), texture(texture) {}

Material::~Material()
{
    if (!sharedProgram)
        delete shaderProgram;
}

void Material::setMaterialUniforms(glm::vec3 ambientFactor, glm::vec3 diffuseFactor, glm::vec3 specularFactor,
                                   float shininess)
{
    const GLuint program = shaderProgram->program;
    glUseProgram(program);
    setUniform(program, "ambientFactor", ambientFactor);
    setUniform(program, "diffuseFactor", diffuseFactor);
    setUniform(program, "specularFactor", specularFactor);
    setUniform(program, "shininess", shininess);
    setUniform(program, "near_plane", Camera::nearPlane);
    setUniform(program, "far_plane", Camera::farPlane);
    glUseProgram(0);
}

void Material::setLightUniforms()
{
    const GLuint program = shaderProgram->program;
    glUseProgram(program);
    setUniform(program, "lightDirection", shadowLight->direction);
    setUniform(program, "lightColor", shadowLight->color);
    setUniform(program, "lightIntensity", shadowLight->intensity);
    glUseProgram(0);
}

void Material::bindSurface() const
{
    const GLuint program = shaderProgram->program;
    setUniform(program, "baseColourFactor", baseColour);
    setUniform(program, "metallicFactor", metallic);
    setUniform(program, "roughnessFactor", roughness);
    setUniform(program, "specularStrength", specular);
    setUniform(program, "normalScale", normalScale);
    setUniform(program, "occlusionStrength", occlusionStrength);
    setUniform(program, "emissiveFactor", emissive);
    if (cutOut)
        setUniform(program, "alphaCutoff", alphaCutoff);
    const std::pair<Unit, const Texture*> maps[] = {{surfaceUnit, surfaceTexture},
                                                    {normalUnit, normalTexture},
                                                    {occlusionUnit, occlusionTexture},
                                                    {emissiveUnit, emissiveTexture}};
    for (const auto& [unit, texture] : maps) {
        if (texture == nullptr)
            continue;
        glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(unit));
        glBindTexture(GL_TEXTURE_2D, texture->id);
    }
    glActiveTexture(GL_TEXTURE0);
    for (int slot = 0; slot < textureSlots; ++slot)
        bindSampler(slot, samplers[slot]);
    if (!readsUvMappings)
        return;
    for (int slot = 0; slot < textureSlots; ++slot) {
        const std::string at = "[" + std::to_string(slot) + "]";
        setUniform(program, ("uvSets" + at).c_str(), uvSets[slot]);
        setUniform(program, ("uvTransforms" + at).c_str(), uvTransforms[slot]);
    }
}

void Material::bindColourSampler() const
{
    bindSampler(0, samplers[0]);
}

void Material::releaseSamplers()
{
    for (int slot = 0; slot < textureSlots; ++slot)
        bindSampler(slot, 0);
}
