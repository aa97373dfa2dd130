// Bloom: a soft glow around the bright parts of the image, the last effect of the chain.
#pragma once

#include "render/effects/ScreenSpaceEffect.h"

class ShaderProgram;

namespace render {

class Bloom : public ScreenSpaceEffect {
public:
    static constexpr float thresholdLuminance = 0.5f;
    static constexpr float blurSizeFactor = 1.0f;
    static constexpr float bloomFactor = 1.0f;
    static constexpr int sizeDivisor = 8;

    // Radiance where a model's frame, in linear units, starts to glow:
    // past white in full light, reached by emission and highlights.
    static constexpr float linearThreshold = 1.0f;

    ShaderProgram* brightPassProgram = nullptr;
    // The bright pass over a model's linear frame (see Renderer's
    // linearColorTexture), which it reads instead of its input.
    ShaderProgram* linearBrightPassProgram = nullptr;
    ShaderProgram* blurHorizontalProgram = nullptr;
    ShaderProgram* blurVerticalProgram = nullptr;
    ShaderProgram* bloomProgram = nullptr;
    GLuint brightFbo = 0;
    GLuint brightTexture = 0;
    GLuint blurHorizontalFbo = 0;
    GLuint blurHorizontalTexture = 0;
    GLuint blurVerticalFbo = 0;
    GLuint blurVerticalTexture = 0;
    GLuint outputFbo = 0;
    GLuint outputTexture = 0;

    Bloom(int width, int height, float scale);
    ~Bloom() override;

    GLuint apply(GLuint inputTexture, GLuint sceneColorTexture, GLuint depthTexture, GLuint normalTexture,
                 GLuint positionTexture, GLuint quadVao, GLsizei quadIndexCount) override;
};

} // namespace render
