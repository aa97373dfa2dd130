// Writing the material and light constants into a scene program.
#include "scene/Material.h"

#include "app/Globals.h"
#include "camera/Camera.h"
#include "gpu/ShaderProgram.h"
#include "gpu/Texture.h"
#include "gpu/Uniforms.h"
#include "render/ShadowLight.h"

#include <utility>

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
}
