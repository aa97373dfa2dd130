// The geometry framebuffer, the screen quad and the effect chain.
#pragma once

#include "base/EffectSwitches.h"

#include <GL/glew.h>
#include <vector>

class ShaderProgram;
namespace render {
class ScreenSpaceEffect;
class Stage;
} // namespace render

class Renderer {
public:
    GLuint framebuffer = 0;
    GLuint colorTexture = 0;
    GLuint normalTexture = 0;
    GLuint positionTexture = 0;
    GLuint depthTexture = 0;
    GLuint quadVao = 0;
    GLuint quadVertexBuffer = 0;
    GLuint quadIndexBuffer = 0;
    std::vector<render::ScreenSpaceEffect*> effects;
    EffectSwitches effectEnabled;
    ShaderProgram* screenQuadProgram = nullptr;
    // Where the final pass draws for a picture instead of the window (0: the
    // window), framebuffer-sized.
    GLuint pictureFramebuffer = 0;
    GLuint pictureTexture = 0;
    // The backdrop and ground of a model given by path (owned); the built-in
    // scene has none and keeps its black background.
    render::Stage* stage = nullptr;
    // A model's frame before its tone curve, while the stage draws it in
    // linear units (0 otherwise, as for the built-in scene): the geometry
    // framebuffer's fourth target then, and what the bloom's bright pass
    // reads.
    GLuint linearColorTexture = 0;

    static constexpr GLsizei quadIndexCount = 6;

    // Needs the render size in the process-wide state; an incomplete
    // framebuffer or a broken shader ends the process.
    Renderer();
    ~Renderer();
    Renderer(const Renderer&) = delete;
    Renderer& operator=(const Renderer&) = delete;

    // Runs every enabled effect in chain order and returns the texture that
    // holds the frame's final image (borrowed from its owner).
    GLuint applyEffects();

    // Draws `texture` over the whole current viewport.
    void drawScreenQuad(GLuint texture);

    // From now on the final pass draws into pictureFramebuffer, made at the
    // framebuffer's size; an incomplete one ends the process with
    // targetFailure's line.
    void drawIntoPicture();
};

// One frame: shadows, geometry, effects, and the final quad into the
// window's back buffer or the picture framebuffer.
void renderFrame();

// The steps of renderFrame after the shadows, for tools that time them apart.
void renderGeometryPass();
void presentImage(GLuint image);
