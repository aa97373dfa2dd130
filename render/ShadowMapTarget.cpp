// Building and releasing the light's depth target.
#include "render/ShadowMapTarget.h"

#include "app/Fatal.h"
#include "app/Globals.h"
#include "gpu/ShaderProgram.h"
#include "render/RenderPass.h"

ShadowMapTarget::ShadowMapTarget()
{
    depthProgram = new ShaderProgram("Shader/ShadowMappingVertex.glsl", "Shader/ShadowMappingFragment.glsl");
    if (!fitsRenderTarget(shadowMapWidth, shadowMapHeight))
        fatal({"Failed to initialize FBO! "}, -1);
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
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE)
        fatal({"Failed to initialize FBO! "}, -1);
    glBindTexture(GL_TEXTURE_2D, 0);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

ShadowMapTarget::~ShadowMapTarget()
{
    delete depthProgram;
    glDeleteTextures(1, &depthTexture);
    glDeleteFramebuffers(1, &fbo);
}
