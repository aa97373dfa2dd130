// Screen-space ambient occlusion, the first effect of the chain.
#pragma once

#include "render/effects/ScreenSpaceEffect.h"

#include <string>

class ShaderProgram;
class Texture;

namespace render {

class SSAO : public ScreenSpaceEffect {
public:
    float ssaoFactor;
    int blurDivisor = 2;
    float blurSize = 0.07f;
    ShaderProgram* ssaoProgram = nullptr;
    ShaderProgram* blurHorizontalProgram = nullptr;
    ShaderProgram* blurVerticalProgram = nullptr;
    ShaderProgram* blendProgram = nullptr;
    GLuint occlusionFbo = 0;
    GLuint occlusionTexture = 0;
    GLuint blurHorizontalFbo = 0;
    GLuint blurHorizontalTexture = 0;
    GLuint blurVerticalFbo = 0;
    GLuint blurVerticalTexture = 0;
    GLuint outputFbo = 0;
    GLuint outputTexture = 0;
    Texture* randomTexture = nullptr;

    SSAO(float radius, float ssaoFactor, const std::string& noisePath, int width, int height, float scale);
    ~SSAO() override;

    GLuint apply(GLuint inputTexture, GLuint sceneColorTexture, GLuint depthTexture, GLuint normalTexture,
                 GLuint positionTexture, GLuint quadVao, GLsizei quadIndexCount) override;
};

} // namespace render
