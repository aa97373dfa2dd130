// The two building blocks of every off-screen pass: a render target and a full-screen draw.
#pragma once

#include <GL/glew.h>
#include <functional>
#include <initializer_list>
#include <vector>

class ShaderProgram;

// One sampler input of a full-screen pass; inputs are bound to units 0, 1, 2...
// in the order given.
struct PassInput {
    GLuint texture;
    const char* sampler;
};

// The fatal line of a render target that cannot be made or completed. The
// shadow map's ends in a blank: it always has, it tells that target's
// failure apart in the output, and what reads the output matches it exactly.
inline constexpr const char* targetFailure = "Failed to initialize FBO!";
inline constexpr const char* shadowTargetFailure = "Failed to initialize FBO! ";

// Whether the GL can hold a render target of this size at all. Drivers have
// been seen to corrupt their own stack when asked for a texture far past
// their limits, so a size that cannot fit is reported as an incomplete
// target without ever being allocated.
bool fitsRenderTarget(int width, int height);

// The widest and the tallest render target the current GL takes.
void largestRenderTarget(int& width, int& height);

// One colour texture of a render target: its format (unsized GL_RGB or
// GL_RGBA, 8 bits per channel) and where its name goes.
struct TargetTexture {
    GLenum format;
    GLuint* texture;
};

// A colour texture of the bound framebuffer, and the four-channel format
// every driver renders to that stands in for its three-channel one.
struct ColourAttachment {
    GLuint texture;
    GLint rgbaInternalFormat; // GL_RGBA8 or GL_RGBA32F
    GLenum type;              // of the (absent) pixels it was made with
};

// Whether the bound framebuffer is complete. Where it is not (OpenGL 3.3
// requires no driver to render to GL_RGB or GL_RGB32F), or the fallback is
// forced, every one of `attachments` is made again, `width` x `height`, in
// its four-channel format, and the framebuffer checked again.
bool completeOrFourChannels(int width, int height, const std::vector<ColourAttachment>& attachments);

// Builds a framebuffer with the given colour textures (linear, clamped) on
// attachments 0, 1... in order; an incomplete result, even in four-channel
// formats, or a size that cannot fit, ends the process with "Failed to
// initialize FBO!". Leaves framebuffer and texture 0 bound.
void buildRenderTarget(int width, int height, std::initializer_list<TargetTexture> textures, GLuint& fbo);

// Releases what buildRenderTarget made: the textures, then the framebuffer.
void deleteRenderTarget(GLuint& fbo, std::initializer_list<GLuint*> textures);

// Builds a program and leaves it current, ready for its constant uniforms.
ShaderProgram* buildProgram(const char* vertexPath, const char* fragmentPath);

// The blur's radius in target pixels for a blurSize, 8 sqrt(blurSize) and at
// least half a pixel, and its taps on each side of the centre, one target
// pixel apart out to the radius: at least 1, at most 12.
float blurRadius(float blurSize);
int blurTapCount(float blurSize);

// The blurSize whose radius is `scale` times blurSize's: the same blur
// across a picture drawn at `scale` of the size.
float scaledBlurSize(float blurSize, float scale);

// What a blur pass reads: an image of its target's size, or a larger one
// that it downsamples on the way.
enum class BlurSource { TargetSize, Larger };

// One axis of the separable blur, with its constant "blurSize" written.
ShaderProgram* buildBlurProgram(bool horizontal, float blurSize, BlurSource source = BlurSource::TargetSize);

// Runs `program` over the screen quad into whatever framebuffer is bound,
// with the inputs on units 0..n-1 and the uniforms `setUniforms` writes,
// then unbinds the program, the vertex array and the texture of the last
// unit.
void drawQuad(const ShaderProgram& program, std::initializer_list<PassInput> inputs, GLuint quadVao,
              GLsizei quadIndexCount, const std::function<void(GLuint program)>& setUniforms = {});

// Binds `fbo`, clears it, runs `program` over the screen quad with the
// inputs on units 0..n-1 and the uniforms `setUniforms` writes, then unbinds
// the program, the vertex array and the texture of the last unit. The
// framebuffer stays bound and the viewport is the caller's.
void drawFullScreenPass(GLuint fbo, const ShaderProgram& program, std::initializer_list<PassInput> inputs,
                        GLuint quadVao, GLsizei quadIndexCount,
                        const std::function<void(GLuint program)>& setUniforms = {});
