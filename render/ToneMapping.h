// A model's frame in linear units: the floating-point target its geometry pass draws into, and the tone curve that brings it to the screen.
#pragma once

#include <GL/glew.h>

class Renderer;
class ShaderProgram;

namespace render {

// While it lives, the geometry framebuffer's colour is its floating-point
// texture: the model, the backdrop and the ground write linear radiance
// there, unclipped. `apply` then tone maps the frame into the renderer's
// colour texture, which the effects take as the built-in scene's (display
// values); only the bloom's bright pass reads the linear frame, so that it
// takes what is truly bright.
class ToneMapping {
public:
    // Radiance is shown at this scale: the sun and the surroundings are
    // set in the units the tone curve expects (see Environment.h).
    static constexpr float exposure = 1.0f;

    GLuint litTexture = 0;         // linear radiance, render size
    GLuint displayFramebuffer = 0; // draws into the renderer's colour texture
    ShaderProgram* toneMapProgram = nullptr;

    // Attaches the linear target to `renderer`'s geometry framebuffer; an
    // incomplete framebuffer ends the process with the target failure line.
    explicit ToneMapping(Renderer& renderer);
    // Gives the geometry framebuffer its colour texture back.
    ~ToneMapping();
    ToneMapping(const ToneMapping&) = delete;
    ToneMapping& operator=(const ToneMapping&) = delete;

    // The frame through the tone curve into the renderer's colour texture.
    void apply(GLuint quadVao, GLsizei quadIndexCount) const;

private:
    Renderer& renderer;
};

} // namespace render
