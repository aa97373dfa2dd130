// The geometry framebuffer, the screen quad and the effect chain.
#pragma once

#include <GL/glew.h>
#include <vector>

class ShaderProgram;
namespace render {
class ScreenSpaceEffect;
}

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
    std::vector<bool> effectEnabled;
    ShaderProgram* screenQuadProgram = nullptr;

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
};

// One frame into the window's back buffer: shadows, geometry, effects, final quad.
void renderFrame();

// The steps of renderFrame after the shadows, for tools that time them apart.
void renderGeometryPass();
void presentImage(GLuint image);
