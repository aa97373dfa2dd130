// The moments pass and the two blur passes that finish the variance shadow map.
#pragma once

#include <GL/glew.h>

class ShaderProgram;

class VarianceShadowBlur {
public:
    ShaderProgram* momentsProgram = nullptr;
    ShaderProgram* blurHorizontalProgram = nullptr;
    ShaderProgram* blurVerticalProgram = nullptr;
    GLuint momentsFbo = 0;
    GLuint momentsTexture = 0;
    GLuint blurFbo = 0;
    GLuint blurTexture = 0;
    GLuint resultFbo = 0;
    GLuint resultTexture = 0; // the finished shadow map

    static constexpr float blurSize = 0.2f;

    VarianceShadowBlur();
    ~VarianceShadowBlur();
    VarianceShadowBlur(const VarianceShadowBlur&) = delete;
    VarianceShadowBlur& operator=(const VarianceShadowBlur&) = delete;

    // Turns the light's depth texture into blurred moments in resultTexture;
    // leaves the result framebuffer bound.
    void apply(GLuint depthTexture);
};
