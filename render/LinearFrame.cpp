// The floating-point target of a model's frame, beside the geometry framebuffer's colour.
#include "render/LinearFrame.h"

#include "base/Fatal.h"
#include "render/RenderPass.h"

namespace render {

namespace {

// Makes `texture` `width` x `height` in `format` and attaches it as the bound
// framebuffer's linear target; whether the framebuffer is then complete.
bool attachLinear(GLuint texture, GLint format, int width, int height)
{
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, format, width, height, 0, GL_RGBA, GL_FLOAT, nullptr);
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

LinearFrame::LinearFrame(GLuint framebuffer, int width, int height) : framebuffer(framebuffer)
{
    // Three floats in 32 bits hold radiance to three digits, at the
    // bandwidth of an eight-bit colour; half floats where that cannot be
    // drawn to.
    glGenTextures(1, &litTexture);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    setDrawBuffers(4);
    if (!attachLinear(litTexture, GL_R11F_G11F_B10F, width, height) &&
        !attachLinear(litTexture, GL_RGBA16F, width, height))
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
