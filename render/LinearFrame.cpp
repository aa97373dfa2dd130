// The floating-point target of a model's frame, beside the geometry framebuffer's colour.
#include "render/LinearFrame.h"

#include "app/Globals.h"
#include "base/Fatal.h"
#include "render/RenderPass.h"

namespace render {

namespace {

// Makes `texture` at render size in `format` and attaches it as the bound
// framebuffer's linear target; whether the framebuffer is then complete.
bool attachLinear(GLuint texture, GLint format)
{
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, format, renderWidth, renderHeight, 0, GL_RGBA, GL_FLOAT, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glBindTexture(GL_TEXTURE_2D, 0);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0 + LinearFrame::attachment, GL_TEXTURE_2D, texture, 0);
    return glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
}

void setDrawBuffers(GLsizei count)
{
    const GLenum drawBuffers[4] = {GL_COLOR_ATTACHMENT0, GL_COLOR_ATTACHMENT1, GL_COLOR_ATTACHMENT2,
                                   GL_COLOR_ATTACHMENT0 + LinearFrame::attachment};
    glDrawBuffers(count, drawBuffers);
}

} // namespace

LinearFrame::LinearFrame(GLuint framebuffer) : framebuffer(framebuffer)
{
    // Three floats in 32 bits hold radiance to three digits, at the
    // bandwidth of an eight-bit colour; half floats where that cannot be
    // drawn to.
    glGenTextures(1, &litTexture);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    setDrawBuffers(4);
    if (!attachLinear(litTexture, GL_R11F_G11F_B10F) && !attachLinear(litTexture, GL_RGBA16F))
        fatal({targetFailure}, -1);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

LinearFrame::~LinearFrame()
{
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0 + attachment, GL_TEXTURE_2D, 0, 0);
    setDrawBuffers(3);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDeleteTextures(1, &litTexture);
}

} // namespace render
