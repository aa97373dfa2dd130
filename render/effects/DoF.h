// Depth of field around the camera's distance to the scene target.
#pragma once

#include "render/effects/ScreenSpaceEffect.h"

#include <glm/glm.hpp>

class ShaderProgram;

namespace render {

// The four focus limits on the normalised depth scale (distance 1..800
// mapped onto -1..1) for a camera at `cameraPosition`.
glm::vec4 computeFocusRange(const glm::vec3& cameraPosition);

class DoF : public ScreenSpaceEffect {
public:
    int blurDivisor = 4;
    float blurSize = 0.3f;
    ShaderProgram* layerProgram = nullptr;
    ShaderProgram* blurHorizontalProgram = nullptr;
    ShaderProgram* blurVerticalProgram = nullptr;
    ShaderProgram* compositeProgram = nullptr;
    GLuint layerFbo = 0;
    GLuint nearLayerTexture = 0;
    GLuint farLayerTexture = 0;
    GLuint nearBlurHorizontalFbo = 0;
    GLuint nearBlurHorizontalTexture = 0;
    GLuint farBlurHorizontalFbo = 0;
    GLuint farBlurHorizontalTexture = 0;
    GLuint nearBlurVerticalFbo = 0;
    GLuint nearBlurVerticalTexture = 0;
    GLuint farBlurVerticalFbo = 0;
    GLuint farBlurVerticalTexture = 0;
    GLuint outputFbo = 0;
    GLuint outputTexture = 0;

    DoF(float rangeX, float rangeY, float rangeZ, float rangeW, int width, int height, float scale);
    ~DoF() override;

    GLuint apply(GLuint inputTexture, GLuint sceneColorTexture, GLuint depthTexture, GLuint normalTexture,
                 GLuint positionTexture, GLuint quadVao, GLsizei quadIndexCount) override;
};

} // namespace render
