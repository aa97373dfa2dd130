// The depth-only framebuffer the light renders the scene into.
#pragma once

#include <GL/glew.h>

class ShaderProgram;

class ShadowMapTarget {
public:
    GLuint fbo = 0;
    GLuint depthTexture = 0;
    ShaderProgram* depthProgram = nullptr;

    // The depth program of surfaces whose alpha cuts holes in their shadow,
    // built the first time a model has one.
    ShaderProgram& cutOutProgram();

    ShadowMapTarget();
    ~ShadowMapTarget();
    ShadowMapTarget(const ShadowMapTarget&) = delete;
    ShadowMapTarget& operator=(const ShadowMapTarget&) = delete;

private:
    ShaderProgram* cutOut = nullptr;
};
