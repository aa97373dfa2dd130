// A scene object's shader program and colour texture, with its lighting constants.
#pragma once

#include <GL/glew.h>
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

    // A model's surface, as the model programs light it (the built-in
    // scene's materials have none): the factors of import::ModelMaterial,
    // the base colour already settled for the mesh (white where a classic
    // material's picture or vertex colours stand in for it), and the
    // textures its program reads (shared, owned by the texture cache; null
    // where the program reads none).
    bool modelSurface = false;
    glm::vec4 baseColour{1.0f};
    float metallic = 0.0f;
    float roughness = 1.0f;
    float specular = 1.0f;
    float normalScale = 1.0f;
    float occlusionStrength = 1.0f;
    glm::vec3 emissive{0.0f};
    Texture* surfaceTexture = nullptr;
    Texture* normalTexture = nullptr;
    Texture* occlusionTexture = nullptr;
    Texture* emissiveTexture = nullptr;
    // The base colour's alpha (with its texture's and the vertex colours')
    // as a cut-out below `alphaCutoff`, or as the opacity of a surface seen
    // through; neither for an opaque one.
    bool cutOut = false;
    bool seeThrough = false;
    float alphaCutoff = 0.5f;
    // A triangle mesh that came without normals is lit facet by facet, by
    // the plane of each triangle as drawn.
    bool facetNormals = false;
    // How each texture is read, by slot (import::ModelMaterial's order:
    // colour, surface, normal, occlusion, emissive): the sampler object its
    // unit reads through (0: the texture's own parameters), its set of
    // texture coordinates (0 or 1) and their transform, which the program
    // reads where it is built to (`readsUvMappings`).
    static constexpr int textureSlots = 5;
    GLuint samplers[textureSlots] = {};
    int uvSets[textureSlots] = {};
    glm::mat3 uvTransforms[textureSlots] = {glm::mat3(1.0f), glm::mat3(1.0f), glm::mat3(1.0f), glm::mat3(1.0f),
                                            glm::mat3(1.0f)};
    bool readsUvMappings = false;

    // The texture units the model programs read each texture from.
    enum Unit : int { colourUnit = 0, shadowUnit = 1, surfaceUnit = 2, normalUnit = 3, occlusionUnit = 4,
                      emissiveUnit = 5, environmentUnit = 6 };
    static constexpr Unit slotUnits[textureSlots] = {colourUnit, surfaceUnit, normalUnit, occlusionUnit,
                                                     emissiveUnit};

    Material(ShaderProgram* shaderProgram, Texture* texture);
    ~Material();
    Material(const Material&) = delete;
    Material& operator=(const Material&) = delete;

    // Both write their uniforms once into the program and leave program 0 bound.
    void setMaterialUniforms(glm::vec3 ambientFactor, glm::vec3 diffuseFactor, glm::vec3 specularFactor,
                             float shininess);
    void setLightUniforms();

    // A model surface's factors into the current program, and its textures
    // and samplers onto their units, for the next draw.
    void bindSurface() const;
    // The colour texture's sampler alone onto its unit, for the depth
    // passes that cut the holes of its alpha.
    void bindColourSampler() const;
    // The units' samplers back to none, for the passes after the model's
    // that read other textures on the same units.
    static void releaseSamplers();
};
