// What a model given by path stands in: a quiet gradient behind it and a ground under it that takes its shadow.
#pragma once

#include <GL/glew.h>
#include <glm/glm.hpp>

class ShaderProgram;

namespace render {

class LinearFrame;

// Where the ground lies, from the framed model's bounds: a horizontal disc
// just under the lowest point, centred under the model, that fades out
// between `fadeStart` and `fadeEnd` from its centre.
struct GroundPlacement {
    float height = 0.0f;
    glm::vec2 centre{0.0f};
    float fadeStart = 1.0f;
    float fadeEnd = 2.0f;
    float gridSpacing = 1.0f;
};

// The ground for a model whose framed bounds run from `low` to `high`.
GroundPlacement placeGround(const glm::vec3& low, const glm::vec3& high);

class Stage {
public:
    bool groundShown = true;
    GroundPlacement ground;
    // The frame in linear units, for the bloom (owned).
    LinearFrame* linearFrame = nullptr;
    // The light of the surroundings for reflections: modelEnvironment's
    // prefiltered table as an RGB float texture, filtered linearly.
    GLuint environmentTexture = 0;

    // Needs the run's light and renderer: the light stands still for a
    // model, so its uniforms are written once here; the renderer's geometry
    // framebuffer draws in linear units from now on.
    Stage();
    ~Stage();
    Stage(const Stage&) = delete;
    Stage& operator=(const Stage&) = delete;

    // Fills the geometry framebuffer's colour with the backdrop; its cleared
    // position, normal and depth stay, which the effects read as far
    // background.
    void drawBackdrop(GLuint quadVao, GLsizei quadIndexCount) const;

    // The ground into the geometry framebuffer, lit and shadowed like the
    // model and blended into the backdrop as it fades; nothing when hidden.
    void drawGround() const;

private:
    ShaderProgram* backdropProgram = nullptr;
    ShaderProgram* groundProgram = nullptr;
    GLuint groundVao = 0;
    GLuint groundBuffer = 0;
};

} // namespace render
