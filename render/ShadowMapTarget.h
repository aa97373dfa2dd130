// The depth-only framebuffer the light renders the scene into.
#pragma once

#include <GL/glew.h>

class ShaderProgram;

class ShadowMapTarget {
public:
    GLuint fbo = 0;
    GLuint depthTexture = 0;
    ShaderProgram* depthProgram = nullptr;

    ShadowMapTarget();
    ~ShadowMapTarget();
    ShadowMapTarget(const ShadowMapTarget&) = delete;
    ShadowMapTarget& operator=(const ShadowMapTarget&) = delete;
};
