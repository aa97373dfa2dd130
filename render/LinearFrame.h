// A model's frame in linear units: the floating-point target its surfaces write their radiance to, beside the colours
// shown, for the bloom to take what is truly bright.
#pragma once

#include <GL/glew.h>

namespace render {

// While it lives, the geometry framebuffer has a fourth colour target, in
// floating point, that a model's surfaces write their linear radiance to,
// unclipped. The colour target keeps what the screen shows: each surface
// goes through the tone curve as it is shaded, which for opaque surfaces is
// the same as a pass over the frame afterwards and costs no pass of its own
// (a whole-frame pass took a third of this frame's time on a software
// rasterizer). The backdrop and the ground, never bright enough to glow,
// leave it at the cleared black. Only the bloom's bright pass reads it.
class LinearFrame {
public:
    GLuint litTexture = 0; // linear radiance, render size

    // Attaches the linear target, `width` x `height`, to the geometry
    // framebuffer `framebuffer` of that size; an incomplete framebuffer ends
    // the process with the target failure line.
    LinearFrame(GLuint framebuffer, int width, int height);
    // Takes it off again.
    ~LinearFrame();
    LinearFrame(const LinearFrame&) = delete;
    LinearFrame& operator=(const LinearFrame&) = delete;

    // The colour target the radiance goes to, and the one that draws that
    // write no radiance mask off.
    static constexpr GLuint attachment = 3;

private:
    GLuint framebuffer;
};

} // namespace render
