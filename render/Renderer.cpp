// Building the geometry framebuffer and the effect chain, and composing each frame.
#include "render/Renderer.h"

#include "base/Fatal.h"
#include "app/Globals.h"
#include "gpu/ShaderProgram.h"
#include "render/EffectChain.h"
#include "render/PassObserver.h"
#include "render/RenderPass.h"
#include "render/ShadowLight.h"
#include "render/Stage.h"
#include "render/effects/Bloom.h"
#include "render/effects/DoF.h"
#include "render/effects/SSAO.h"
#include "camera/Camera.h"
#include "scene/Material.h"
#include "scene/SceneObject.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace {

constexpr GLfloat quadCorners[12] = {-1.0f, -1.0f, 0.0f, 1.0f, -1.0f, 0.0f, 1.0f, 1.0f, 0.0f, -1.0f, 1.0f, 0.0f};
// Both triangles counter-clockwise, so back-face culling keeps them.
constexpr GLuint quadIndices[6] = {3, 0, 1, 1, 2, 3};

void makeTexture(GLuint& texture, GLint internalFormat, GLenum format, GLenum type, GLint filter, bool clamp)
{
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, internalFormat, renderWidth, renderHeight, 0, format, type, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
    if (clamp) {
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    }
}

} // namespace

render::PassObserver* render::passObserver = nullptr;

Renderer::Renderer()
{
    screenQuadProgram = new ShaderProgram("Shader/ScreenQuadVertex.glsl", "Shader/ScreenQuadFragment.glsl");

    // In the order of effectNames, which names, switches and times them.
    effects.push_back(new render::SSAO(0.5f, 1.0f, "Textures/random.jpg"));
    effects.push_back(new render::DoF(-0.99f, -0.9f, -0.7f, -0.5f));
    effects.push_back(new render::Bloom());
    effectEnabled = allEffectsOn;

    glGenBuffers(1, &quadVertexBuffer);
    glBindBuffer(GL_ARRAY_BUFFER, quadVertexBuffer);
    glBufferData(GL_ARRAY_BUFFER, sizeof(quadCorners), quadCorners, GL_STATIC_DRAW);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glGenBuffers(1, &quadIndexBuffer);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, quadIndexBuffer);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, sizeof(quadIndices), quadIndices, GL_STATIC_DRAW);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);

    glGenVertexArrays(1, &quadVao);
    glBindVertexArray(quadVao);
    glBindBuffer(GL_ARRAY_BUFFER, quadVertexBuffer);
    const GLint location = glGetAttribLocation(screenQuadProgram->program, "position");
    glEnableVertexAttribArray(static_cast<GLuint>(location));
    glVertexAttribPointer(static_cast<GLuint>(location), 3, GL_FLOAT, GL_FALSE, 0, nullptr);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, quadIndexBuffer);
    // The vertex array goes first so that it keeps the element buffer.
    glBindVertexArray(0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);

    if (!fitsRenderTarget(renderWidth, renderHeight))
        fatal({targetFailure}, -1);
    glGenFramebuffers(1, &framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    makeTexture(colorTexture, GL_RGB, GL_RGB, GL_UNSIGNED_BYTE, GL_LINEAR, false);
    makeTexture(normalTexture, GL_RGBA32F, GL_RGBA, GL_UNSIGNED_BYTE, GL_LINEAR, false);
    makeTexture(positionTexture, GL_RGB32F, GL_RGB, GL_FLOAT, GL_NEAREST, true);
    makeTexture(depthTexture, GL_DEPTH_COMPONENT24, GL_DEPTH_COMPONENT, GL_UNSIGNED_BYTE, GL_LINEAR, false);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, colorTexture, 0);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT1, GL_TEXTURE_2D, normalTexture, 0);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT2, GL_TEXTURE_2D, positionTexture, 0);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_TEXTURE_2D, depthTexture, 0);
    const GLenum drawBuffers[3] = {GL_COLOR_ATTACHMENT0, GL_COLOR_ATTACHMENT1, GL_COLOR_ATTACHMENT2};
    glDrawBuffers(3, drawBuffers);
    if (!completeOrFourChannels(renderWidth, renderHeight,
                                {{colorTexture, GL_RGBA8, GL_UNSIGNED_BYTE}, {positionTexture, GL_RGBA32F, GL_FLOAT}}))
        fatal({targetFailure}, -1);
    glBindTexture(GL_TEXTURE_2D, 0);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

Renderer::~Renderer()
{
    // First: it hands the geometry framebuffer its colour texture back.
    delete stage;
    stage = nullptr;
    glDeleteBuffers(1, &quadVertexBuffer);
    glDeleteBuffers(1, &quadIndexBuffer);
    glDeleteTextures(1, &colorTexture);
    glDeleteTextures(1, &depthTexture);
    glDeleteTextures(1, &positionTexture);
    glDeleteTextures(1, &normalTexture);
    glDeleteVertexArrays(1, &quadVao);
    glDeleteFramebuffers(1, &framebuffer);
    deleteRenderTarget(pictureFramebuffer, {&pictureTexture});
    delete screenQuadProgram;
    for (render::ScreenSpaceEffect* effect : effects)
        delete effect;
    effectEnabled.clear();
    effects.clear();
}

GLuint Renderer::applyEffects()
{
    GLuint image = colorTexture;
    for (size_t i = 0; i < effects.size(); ++i) {
        if (!effectEnabled[i])
            continue;
        const render::ObservedPass observed(render::effectPasses[i]);
        effects[i]->sceneIsLinear = linearColorTexture != 0;
        image = effects[i]->apply(image, linearColorTexture != 0 ? linearColorTexture : colorTexture, depthTexture,
                                  normalTexture, positionTexture, quadVao, quadIndexCount);
    }
    return image;
}

void Renderer::drawScreenQuad(GLuint texture)
{
    drawQuad(*screenQuadProgram, {{texture, "colorTexture"}}, quadVao, quadIndexCount);
}

void Renderer::drawIntoPicture()
{
    if (pictureFramebuffer == 0)
        buildRenderTarget(framebufferWidth, framebufferHeight, {{GL_RGBA, &pictureTexture}}, pictureFramebuffer);
}

void renderGeometryPass()
{
    const render::ObservedPass observed(render::Pass::Geometry);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glBindFramebuffer(GL_FRAMEBUFFER, renderer->framebuffer);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glViewport(0, 0, renderWidth, renderHeight);
    if (renderer->stage != nullptr)
        renderer->stage->drawBackdrop(renderer->quadVao, Renderer::quadIndexCount);
    std::vector<std::pair<float, scene::SceneObject*>> seeThrough;
    for (scene::SceneObject* object : sceneObjects) {
        if (object->material != nullptr && object->material->seeThrough) {
            const float depth = (camera->view * object->modelMatrix * glm::vec4(object->centre, 1.0f)).z;
            seeThrough.emplace_back(depth, object);
            continue;
        }
        object->draw();
    }
    Material::releaseSamplers();
    // After the model, so that the ground is shaded only where it shows.
    if (renderer->stage != nullptr)
        renderer->stage->drawGround();
    if (seeThrough.empty())
        return;
    // Over everything else, the farthest first (the camera looks down -z),
    // each over what is behind it without hiding it from the next: their
    // normals, positions and depth are not written while they are drawn.
    // The occlusion is then that of what lies behind a pane, seen through
    // it.
    std::stable_sort(seeThrough.begin(), seeThrough.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    glDepthMask(GL_FALSE);
    glColorMaski(1, GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
    glColorMaski(2, GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
    for (const auto& [depth, object] : seeThrough)
        object->draw();
    Material::releaseSamplers();
    glColorMaski(1, GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glColorMaski(2, GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDepthMask(GL_TRUE);
    // Then their depth alone, where they are more than faint, so that the
    // depth of field keeps a pane as sharp as the model it belongs to
    // instead of blurring it with the backdrop behind it.
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
    const glm::mat4 viewProjection = camera->projection * camera->view;
    for (const auto& [depth, object] : seeThrough)
        drawDepth(*object, viewProjection * object->modelMatrix, 0.1f);
    Material::releaseSamplers();
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
}

void presentImage(GLuint image)
{
    const render::ObservedPass observed(render::Pass::Final);
    glBindFramebuffer(GL_FRAMEBUFFER, renderer->pictureFramebuffer);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    // The window's size wherever its framebuffer has the same.
    glViewport(0, 0, framebufferWidth, framebufferHeight);
    renderer->drawScreenQuad(image);
}

void renderFrame()
{
    renderShadowMap();
    renderGeometryPass();
    presentImage(renderer->applyEffects());
}
