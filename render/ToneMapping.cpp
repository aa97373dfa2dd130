// The linear target of a model's frame and its tone-mapping pass.
#include "render/ToneMapping.h"

#include "app/Globals.h"
#include "base/Fatal.h"
#include "gpu/ShaderProgram.h"
#include "gpu/Uniforms.h"
#include "render/RenderPass.h"
#include "render/Renderer.h"

namespace render {

namespace {

// Makes `texture` at render size in `format` and attaches it as the bound
// framebuffer's first colour; whether the framebuffer is then complete.
bool attachLinear(GLuint texture, GLint format)
{
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, format, renderWidth, renderHeight, 0, GL_RGBA, GL_FLOAT, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glBindTexture(GL_TEXTURE_2D, 0);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, 0);
    return glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
}

} // namespace

ToneMapping::ToneMapping(Renderer& renderer) : renderer(renderer)
{
    toneMapProgram = new ShaderProgram("Shader/ScreenQuadVertex.glsl", "Shader/ScreenQuadFragment.glsl",
                                       "#define TONE_MAP 1\n");
    glUseProgram(toneMapProgram->program);
    setUniform(toneMapProgram->program, "exposure", exposure);
    glUseProgram(0);

    // Three floats in 32 bits hold radiance to three digits, which the
    // eight bits a channel it ends in cannot tell apart, at the bandwidth of
    // the colour target it replaces; half floats where that cannot be drawn to.
    glGenTextures(1, &litTexture);
    glBindFramebuffer(GL_FRAMEBUFFER, renderer.framebuffer);
    if (!attachLinear(litTexture, GL_R11F_G11F_B10F) && !attachLinear(litTexture, GL_RGBA16F))
        fatal({targetFailure}, -1);

    glGenFramebuffers(1, &displayFramebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, displayFramebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, renderer.colorTexture, 0);
    const GLenum drawBuffer = GL_COLOR_ATTACHMENT0;
    glDrawBuffers(1, &drawBuffer);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE)
        fatal({targetFailure}, -1);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    renderer.linearColorTexture = litTexture;
}

ToneMapping::~ToneMapping()
{
    renderer.linearColorTexture = 0;
    glBindFramebuffer(GL_FRAMEBUFFER, renderer.framebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, renderer.colorTexture, 0);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDeleteFramebuffers(1, &displayFramebuffer);
    glDeleteTextures(1, &litTexture);
    delete toneMapProgram;
}

void ToneMapping::apply(GLuint quadVao, GLsizei quadIndexCount) const
{
    // Every pixel is written: nothing to clear, and nothing to blend with.
    glBindFramebuffer(GL_FRAMEBUFFER, displayFramebuffer);
    glDisable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    drawQuad(*toneMapProgram, {{litTexture, "colorTexture"}}, quadVao, quadIndexCount);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
}

} // namespace render
