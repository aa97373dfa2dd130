// Occlusion from the geometry buffers, blurred at half size and blended into the image.
#include "render/effects/SSAO.h"

#include "app/Globals.h"
#include "camera/Camera.h"
#include "gpu/ShaderProgram.h"
#include "gpu/Uniforms.h"
#include "gpu/Texture.h"
#include "render/RenderPass.h"


namespace render {

SSAO::SSAO(float radius, float ssaoFactor, const std::string& noisePath, int width, int height, float scale)
    : ScreenSpaceEffect(width, height, scale), ssaoFactor(ssaoFactor)
{
    // Read by texelFetch at its full size alone.
    randomTexture = new Texture(noisePath, false);

    ssaoProgram = buildProgram("Shader/ScreenQuadVertex.glsl", "Shader/SSAOFragment.glsl");
    setUniform(ssaoProgram->program, "radius", radius);
    // Unsigned quotients on purpose: the noise tiles a whole number of times.
    const unsigned noiseWidth = static_cast<unsigned>(randomTexture->width);
    const unsigned noiseHeight = static_cast<unsigned>(randomTexture->height);
    setUniform(ssaoProgram->program, "noiseScale",
               glm::vec2(static_cast<float>(static_cast<unsigned>(width) / noiseWidth),
                         static_cast<float>(static_cast<unsigned>(height) / noiseHeight)));

    // The horizontal pass reads the full-size image into a smaller target.
    blurHorizontalProgram = buildBlurProgram(true, scaledBlurSize(blurSize, scale), BlurSource::Larger);
    blurVerticalProgram = buildBlurProgram(false, scaledBlurSize(blurSize, scale));
    blendProgram = buildProgram("Shader/ScreenQuadVertex.glsl", "Shader/BlendSSAOFragment.glsl");
    setUniform(blendProgram->program, "ssaoFactor", ssaoFactor);

    const int blurWidth = width / blurDivisor;
    const int blurHeight = height / blurDivisor;
    buildRenderTarget(width, height, {{GL_RGB, &occlusionTexture}}, occlusionFbo);
    buildRenderTarget(blurWidth, blurHeight, {{GL_RGB, &blurHorizontalTexture}}, blurHorizontalFbo);
    buildRenderTarget(blurWidth, blurHeight, {{GL_RGB, &blurVerticalTexture}}, blurVerticalFbo);
    buildRenderTarget(width, height, {{GL_RGB, &outputTexture}}, outputFbo);
}

SSAO::~SSAO()
{
    delete ssaoProgram;
    delete blurHorizontalProgram;
    delete blurVerticalProgram;
    delete blendProgram;
    if (randomTexture != nullptr) {
        glDeleteTextures(1, &randomTexture->id);
        delete randomTexture;
    }
    deleteRenderTarget(occlusionFbo, {&occlusionTexture});
    deleteRenderTarget(blurHorizontalFbo, {&blurHorizontalTexture});
    deleteRenderTarget(blurVerticalFbo, {&blurVerticalTexture});
    deleteRenderTarget(outputFbo, {&outputTexture});
}

GLuint SSAO::apply(GLuint inputTexture, GLuint, GLuint depthTexture, GLuint normalTexture, GLuint positionTexture,
                   GLuint quadVao, GLsizei quadIndexCount)
{
    // White is "not occluded": whatever the occlusion pass leaves uncovered
    // must not darken the image.
    glClearColor(1.0f, 1.0f, 1.0f, 1.0f);

    glViewport(0, 0, width, height);
    drawFullScreenPass(occlusionFbo, *ssaoProgram,
                       {{randomTexture->id, "randTexture"},
                        {depthTexture, "depthTexture"},
                        {positionTexture, "positionTexture"},
                        {normalTexture, "normTexture"}},
                       quadVao, quadIndexCount, [](GLuint program) {
                           setUniform(program, "PMatrix", camera->projection);
                       });

    glViewport(0, 0, width / blurDivisor, height / blurDivisor);
    drawFullScreenPass(blurHorizontalFbo, *blurHorizontalProgram, {{occlusionTexture, "colorTexture"}}, quadVao,
                       quadIndexCount);
    drawFullScreenPass(blurVerticalFbo, *blurVerticalProgram, {{blurHorizontalTexture, "colorTexture"}}, quadVao,
                       quadIndexCount);

    glViewport(0, 0, width, height);
    drawFullScreenPass(outputFbo, *blendProgram,
                       {{inputTexture, "colorTexture"}, {blurVerticalTexture, "ssaoTexture"}}, quadVao,
                       quadIndexCount);

    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    return outputTexture;
}

} // namespace render
