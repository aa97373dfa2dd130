// Building and releasing the light's depth target.
#include "render/ShadowMapTarget.h"

#include "base/Fatal.h"
#include "app/Globals.h"
#include "gpu/DriverFallbacks.h"
#include "gpu/ShaderProgram.h"
#include "render/RenderPass.h"

#include <glm/glm.hpp>

ShadowMapTarget::ShadowMapTarget()
{
    depthProgram = new ShaderProgram("Shader/ShadowMappingVertex.glsl", "Shader/ShadowMappingFragment.glsl");
    if (!fitsRenderTarget(shadowMapWidth, shadowMapHeight))
        fatal({shadowTargetFailure}, -1);
    glGenFramebuffers(1, &fbo);
    glBindFramebuffer(GL_FRAMEBUFFER, fbo);
    glGenTextures(1, &depthTexture);
    glBindTexture(GL_TEXTURE_2D, depthTexture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT32, shadowMapWidth, shadowMapHeight, 0, GL_DEPTH_COMPONENT,
                 GL_FLOAT, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_TEXTURE_2D, depthTexture, 0);
    glDrawBuffer(GL_NONE);
    GLenum status = glCheckFramebufferStatus(GL_FRAMEBUFFER);
    // OpenGL 3.3 also wants the read buffer of a target without colour set
    // to none; drivers that relax the rule (most, llvmpipe among them) accept
    // the target without it, and on those nothing changes.
    if (status != GL_FRAMEBUFFER_COMPLETE || fallbackForced(Fallback::readBufferNone)) {
        glReadBuffer(GL_NONE);
        const bool needed = status != GL_FRAMEBUFFER_COMPLETE;
        status = glCheckFramebufferStatus(GL_FRAMEBUFFER);
        if (status == GL_FRAMEBUFFER_COMPLETE)
            reportFallback(Fallback::readBufferNone, needed ? "the shadow map's target is complete only without a "
                                                              "read buffer"
                                                            : "forced");
    }
    if (status != GL_FRAMEBUFFER_COMPLETE)
        fatal({shadowTargetFailure}, -1);
    glBindTexture(GL_TEXTURE_2D, 0);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

ShaderProgram& ShadowMapTarget::cutOutProgram()
{
    if (cutOut == nullptr) {
        cutOut = new ShaderProgram("Shader/ShadowMappingVertex.glsl", "Shader/ShadowMappingFragment.glsl",
                                   "#define ALPHA_CUTOUT 1\n");
        glUseProgram(cutOut->program);
        glUniform1i(glGetUniformLocation(cutOut->program, "colorTexture"), 0);
        // What a surface without a second set or a transform reads.
        glUniform1i(glGetUniformLocation(cutOut->program, "uvSet"), 0);
        const glm::mat3 identity(1.0f);
        glUniformMatrix3fv(glGetUniformLocation(cutOut->program, "uvTransform"), 1, GL_FALSE, &identity[0][0]);
        glUseProgram(0);
    }
    return *cutOut;
}

ShadowMapTarget::~ShadowMapTarget()
{
    delete depthProgram;
    delete cutOut;
    glDeleteTextures(1, &depthTexture);
    glDeleteFramebuffers(1, &fbo);
}
