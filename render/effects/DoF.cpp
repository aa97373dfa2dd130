// Near and far layers split by depth, blurred at quarter size and recomposed around the focus.
#include "render/effects/DoF.h"

#include "app/Globals.h"
#include "camera/Camera.h"
#include "gpu/ShaderConstants.h"
#include "gpu/ShaderProgram.h"
#include "gpu/Uniforms.h"
#include "render/RenderPass.h"

#include <cmath>

namespace render {

glm::vec4 computeFocusRange(const glm::vec3& cameraPosition)
{
    const float dx = sceneTarget.x - cameraPosition.x;
    const float dy = sceneTarget.y - cameraPosition.y;
    const float dz = sceneTarget.z - cameraPosition.z;
    const float distance = static_cast<float>(std::sqrt(static_cast<double>((dy * dy + dx * dx) + dz * dz)));
    const float f = (distance - 1.0f) * 2.0f / 799.0f - 1.0f;
    const double fd = f;
    const float x = static_cast<float>((fd - 1.0) * 0.5);
    const float z = static_cast<float>((fd + 1.0) * 1.5 + fd);
    const float w = static_cast<float>(static_cast<double>(z) + 0.2);
    return glm::vec4(x, f, z, w);
}

DoF::DoF(float rangeX, float rangeY, float rangeZ, float rangeW, int width, int height, float scale)
    : ScreenSpaceEffect(width, height, scale)
{
    layerProgram = buildProgram("Shader/BlurHorizontalVertex.glsl", "Shader/DoFLayerSeparationFragment.glsl");
    setUniform(layerProgram->program, "range", glm::vec4(rangeX, rangeY, rangeZ, rangeW));
    setUniform(layerProgram->program, "near_plane", Camera::nearPlane);
    setUniform(layerProgram->program, "far_plane", Camera::farPlane);
    setUniform(layerProgram->program, "clear_color", glm::vec4(0.0f, 0.0f, 0.0f, 1.0f));

    // The horizontal pass reads the full-size image into a smaller target.
    blurHorizontalProgram = buildBlurProgram(true, scaledBlurSize(blurSize, scale), BlurSource::Larger);
    blurVerticalProgram = buildBlurProgram(false, scaledBlurSize(blurSize, scale));

    // The near layer's coverage is gathered as far out as its blur reaches.
    compositeProgram = new ShaderProgram("Shader/BlurHorizontalVertex.glsl", "Shader/DoFShaderFragment.glsl",
                                         scale == 1.0f ? "" : "#define NEAR_RING_TEXELS " + glslFloat(3.0f * scale) + "\n");
    glUseProgram(compositeProgram->program);
    setUniform(compositeProgram->program, "range", glm::vec4(rangeX, rangeY, rangeZ, rangeW));
    setUniform(compositeProgram->program, "near_plane", Camera::nearPlane);
    setUniform(compositeProgram->program, "far_plane", Camera::farPlane);

    const int blurWidth = width / blurDivisor;
    const int blurHeight = height / blurDivisor;
    buildRenderTarget(width, height, {{GL_RGBA, &nearLayerTexture}, {GL_RGBA, &farLayerTexture}}, layerFbo);
    buildRenderTarget(blurWidth, blurHeight, {{GL_RGB, &nearBlurHorizontalTexture}}, nearBlurHorizontalFbo);
    buildRenderTarget(blurWidth, blurHeight, {{GL_RGB, &farBlurHorizontalTexture}}, farBlurHorizontalFbo);
    buildRenderTarget(blurWidth, blurHeight, {{GL_RGB, &nearBlurVerticalTexture}}, nearBlurVerticalFbo);
    buildRenderTarget(blurWidth, blurHeight, {{GL_RGB, &farBlurVerticalTexture}}, farBlurVerticalFbo);
    buildRenderTarget(width, height, {{GL_RGB, &outputTexture}}, outputFbo);
}

DoF::~DoF()
{
    delete layerProgram;
    delete compositeProgram;
    delete blurHorizontalProgram;
    delete blurVerticalProgram;
    deleteRenderTarget(layerFbo, {&nearLayerTexture, &farLayerTexture});
    deleteRenderTarget(nearBlurHorizontalFbo, {&nearBlurHorizontalTexture});
    deleteRenderTarget(farBlurHorizontalFbo, {&farBlurHorizontalTexture});
    deleteRenderTarget(nearBlurVerticalFbo, {&nearBlurVerticalTexture});
    deleteRenderTarget(farBlurVerticalFbo, {&farBlurVerticalTexture});
    deleteRenderTarget(outputFbo, {&outputTexture});
}

GLuint DoF::apply(GLuint inputTexture, GLuint, GLuint depthTexture, GLuint, GLuint, GLuint quadVao,
                  GLsizei quadIndexCount)
{
    const glm::vec4 range = computeFocusRange(camera->position());
    const auto setRange = [&range](GLuint program) {
        setUniform(program, "range", range);
    };

    glViewport(0, 0, width, height);
    drawFullScreenPass(layerFbo, *layerProgram, {{inputTexture, "colorTexture"}, {depthTexture, "depthTexture"}},
                       quadVao, quadIndexCount, setRange);

    glViewport(0, 0, width / blurDivisor, height / blurDivisor);
    drawFullScreenPass(nearBlurHorizontalFbo, *blurHorizontalProgram, {{nearLayerTexture, "colorTexture"}}, quadVao,
                       quadIndexCount);
    drawFullScreenPass(farBlurHorizontalFbo, *blurHorizontalProgram, {{farLayerTexture, "colorTexture"}}, quadVao,
                       quadIndexCount);
    drawFullScreenPass(nearBlurVerticalFbo, *blurVerticalProgram, {{nearBlurHorizontalTexture, "colorTexture"}},
                       quadVao, quadIndexCount);
    drawFullScreenPass(farBlurVerticalFbo, *blurVerticalProgram, {{farBlurHorizontalTexture, "colorTexture"}},
                       quadVao, quadIndexCount);

    glViewport(0, 0, width, height);
    drawFullScreenPass(outputFbo, *compositeProgram,
                       {{depthTexture, "depthTexture"},
                        {nearBlurVerticalTexture, "nearTexture"},
                        {inputTexture, "focusTexture"},
                        {farBlurVerticalTexture, "farTexture"}},
                       quadVao, quadIndexCount, setRange);
    return outputTexture;
}

} // namespace render
