// A scene object's shader program and colour texture, with its lighting constants.
#pragma once

#include <glm/glm.hpp>

class ShaderProgram;
class Texture;

class Material {
public:
    ShaderProgram* shaderProgram = nullptr; // owned unless `sharedProgram`
    Texture* texture = nullptr;             // shared, owned by the texture cache
    // A program several materials use; its owner (the import's program
    // cache) deletes it.
    bool sharedProgram = false;
    // Drawn from both sides: back faces are not culled in any pass.
    bool twoSided = false;

    Material(ShaderProgram* shaderProgram, Texture* texture);
    ~Material();
    Material(const Material&) = delete;
    Material& operator=(const Material&) = delete;

    // Both write their uniforms once into the program and leave program 0 bound.
    void setMaterialUniforms(glm::vec3 ambientFactor, glm::vec3 diffuseFactor, glm::vec3 specularFactor,
                             float shininess);
    void setLightUniforms();
};
