// Writing the material and light constants into a scene program.
#include "scene/Material.h"

#include "app/Globals.h"
#include "camera/Camera.h"
#include "gpu/ShaderProgram.h"
#include "render/RenderPass.h"
#include "render/ShadowLight.h"

Material::Material(ShaderProgram* shaderProgram, Texture* texture) : shaderProgram(shaderProgram), texture(texture) {}

Material::~Material()
{
    delete shaderProgram;
}

void Material::setMaterialUniforms(glm::vec3 ambientFactor, glm::vec3 diffuseFactor, glm::vec3 specularFactor,
                                   float shininess)
{
    const GLuint program = shaderProgram->program;
    glUseProgram(program);
    setUniform(program, "ambientFactor", ambientFactor.x, ambientFactor.y, ambientFactor.z);
    setUniform(program, "diffuseFactor", diffuseFactor.x, diffuseFactor.y, diffuseFactor.z);
    setUniform(program, "specularFactor", specularFactor.x, specularFactor.y, specularFactor.z);
    setUniform(program, "shininess", shininess);
    setUniform(program, "near_plane", Camera::nearPlane);
    setUniform(program, "far_plane", Camera::farPlane);
    glUseProgram(0);
}

void Material::setLightUniforms()
{
    const GLuint program = shaderProgram->program;
    glUseProgram(program);
    const glm::vec3& direction = shadowLight->direction;
    const glm::vec3& color = shadowLight->color;
    setUniform(program, "lightDirection", direction.x, direction.y, direction.z);
    setUniform(program, "lightColor", color.x, color.y, color.z);
    setUniform(program, "lightIntensity", shadowLight->intensity);
    glUseProgram(0);
}
