// Moments from light depth, blurred horizontally then vertically at shadow-map size.
#include "render/VarianceShadowBlur.h"

#include "app/Globals.h"
#include "gpu/ShaderProgram.h"
#include "render/PassObserver.h"
#include "render/RenderPass.h"
#include "render/Renderer.h"

VarianceShadowBlur::VarianceShadowBlur()
{
    momentsProgram = new ShaderProgram("Shader/ScreenQuadVertex.glsl", "Shader/VarianceShadowMappingFragment.glsl");
    blurHorizontalProgram = buildBlurProgram(true, blurSize);
    blurVerticalProgram = buildBlurProgram(false, blurSize);

    buildRenderTarget(shadowMapWidth, shadowMapHeight, {{GL_RGB, &momentsTexture}}, momentsFbo);
    buildRenderTarget(shadowMapWidth, shadowMapHeight, {{GL_RGB, &blurTexture}}, blurFbo);
    buildRenderTarget(shadowMapWidth, shadowMapHeight, {{GL_RGB, &resultTexture}}, resultFbo);
}

VarianceShadowBlur::~VarianceShadowBlur()
{
    delete momentsProgram;
    delete blurHorizontalProgram;
    delete blurVerticalProgram;
    deleteRenderTarget(momentsFbo, {&momentsTexture});
    deleteRenderTarget(blurFbo, {&blurTexture});
    deleteRenderTarget(resultFbo, {&resultTexture});
}

void VarianceShadowBlur::apply(GLuint depthTexture)
{
    glViewport(0, 0, shadowMapWidth, shadowMapHeight);
    {
        const render::ObservedPass observed(render::Pass::ShadowMoments);
        drawFullScreenPass(momentsFbo, *momentsProgram, {{depthTexture, "shadowMap"}}, renderer->quadVao,
                           Renderer::quadIndexCount);
    }
    const render::ObservedPass observed(render::Pass::ShadowBlur);
    drawFullScreenPass(blurFbo, *blurHorizontalProgram, {{momentsTexture, "colorTexture"}}, renderer->quadVao,
                       Renderer::quadIndexCount);
    drawFullScreenPass(resultFbo, *blurVerticalProgram, {{blurTexture, "colorTexture"}}, renderer->quadVao,
                       Renderer::quadIndexCount);
}
