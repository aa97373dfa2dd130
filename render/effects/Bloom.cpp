// Bright pass and blur at an eighth of the render size, combined with the image at full size.
#include "render/effects/Bloom.h"

#include "gpu/ShaderProgram.h"
#include "gpu/Uniforms.h"
#include "render/RenderPass.h"

namespace render {

Bloom::Bloom(int width, int height, float scale) : ScreenSpaceEffect(width, height, scale)
{
    brightPassProgram = buildProgram("Shader/ScreenQuadVertex.glsl", "Shader/BrightPassFragment.glsl");
    setUniform(brightPassProgram->program, "threshold", thresholdLuminance);
    linearBrightPassProgram = new ShaderProgram("Shader/ScreenQuadVertex.glsl", "Shader/BrightPassFragment.glsl",
                                                "#define LINEAR_SOURCE 1\n");
    glUseProgram(linearBrightPassProgram->program);
    setUniform(linearBrightPassProgram->program, "threshold", linearThreshold);
    blurHorizontalProgram = buildBlurProgram(true, scaledBlurSize(blurSizeFactor, scale));
    blurVerticalProgram = buildBlurProgram(false, scaledBlurSize(blurSizeFactor, scale));
    bloomProgram = buildProgram("Shader/ScreenQuadVertex.glsl", "Shader/BloomFragment.glsl");
    setUniform(bloomProgram->program, "bloomFactor", bloomFactor);

    const int smallWidth = width / sizeDivisor;
    const int smallHeight = height / sizeDivisor;
    buildRenderTarget(smallWidth, smallHeight, {{GL_RGB, &brightTexture}}, brightFbo);
    buildRenderTarget(smallWidth, smallHeight, {{GL_RGB, &blurHorizontalTexture}}, blurHorizontalFbo);
    buildRenderTarget(smallWidth, smallHeight, {{GL_RGB, &blurVerticalTexture}}, blurVerticalFbo);
    buildRenderTarget(width, height, {{GL_RGB, &outputTexture}}, outputFbo);
}

Bloom::~Bloom()
{
    delete brightPassProgram;
    delete linearBrightPassProgram;
    delete blurHorizontalProgram;
    delete blurVerticalProgram;
    delete bloomProgram;
    deleteRenderTarget(brightFbo, {&brightTexture});
    deleteRenderTarget(blurHorizontalFbo, {&blurHorizontalTexture});
    deleteRenderTarget(blurVerticalFbo, {&blurVerticalTexture});
    deleteRenderTarget(outputFbo, {&outputTexture});
}

GLuint Bloom::apply(GLuint inputTexture, GLuint sceneColorTexture, GLuint, GLuint, GLuint, GLuint quadVao,
                    GLsizei quadIndexCount)
{
    // A model's frame glows from its linear radiance, before the tone curve
    // has brought everything bright to nearly the same white.
    const bool linear = sceneIsLinear && sceneColorTexture != 0;
    glViewport(0, 0, width / sizeDivisor, height / sizeDivisor);
    drawFullScreenPass(brightFbo, linear ? *linearBrightPassProgram : *brightPassProgram,
                       {{linear ? sceneColorTexture : inputTexture, "colorTexture"}}, quadVao, quadIndexCount);
    drawFullScreenPass(blurHorizontalFbo, *blurHorizontalProgram, {{brightTexture, "colorTexture"}}, quadVao,
                       quadIndexCount);
    drawFullScreenPass(blurVerticalFbo, *blurVerticalProgram, {{blurHorizontalTexture, "colorTexture"}}, quadVao,
                       quadIndexCount);

    glViewport(0, 0, width, height);
    drawFullScreenPass(outputFbo, *bloomProgram,
                       {{inputTexture, "colorTexture"}, {blurVerticalTexture, "blurTexture"}}, quadVao,
                       quadIndexCount);
    return outputTexture;
}

} // namespace render
