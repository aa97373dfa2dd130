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
#include "render/LinearFrame.h"
#include "camera/Camera.h"
#include "scene/Material.h"
#include "scene/SceneObject.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace {

constexpr GLfloat quadCorners[12] = {-1.0f, -1.0f, 0.0f, 1.0f, -1.0f, 0.0f, 1.0f, 1.0f, 0.0f, -1.0f, 1.0f, 0.0f};
// Both triangles counter-clockwise, so back-face culling keeps them.
constexpr GLuint quadIndices[6] = {3, 0, 1, 1, 2, 3};

void makeTexture(GLuint& texture, int width, int height, GLint internalFormat, GLenum format, GLenum type,
                 GLint filter, bool clamp)
{
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, internalFormat, width, height, 0, format, type, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
    if (clamp) {
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    }
}

// The geometry framebuffer and the effects, `width` x `height`; an
// incomplete framebuffer or a broken shader ends the process.
// `scale`: the size over the render size, which the effects' blurs follow.
void buildFrameTargets(FrameTargets& targets, int width, int height, float scale)
{
    targets.width = width;
    targets.height = height;
    // In the order of effectNames, which names, switches and times them.
    targets.effects.push_back(new render::SSAO(0.5f, 1.0f, "Textures/random.jpg", width, height, scale));
    targets.effects.push_back(new render::DoF(-0.99f, -0.9f, -0.7f, -0.5f, width, height, scale));
    targets.effects.push_back(new render::Bloom(width, height, scale));

    if (!fitsRenderTarget(width, height))
        fatal({targetFailure}, -1);
    glGenFramebuffers(1, &targets.framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, targets.framebuffer);
    makeTexture(targets.colorTexture, width, height, GL_RGB, GL_RGB, GL_UNSIGNED_BYTE, GL_LINEAR, false);
    makeTexture(targets.normalTexture, width, height, GL_RGBA32F, GL_RGBA, GL_UNSIGNED_BYTE, GL_LINEAR, false);
    makeTexture(targets.positionTexture, width, height, GL_RGB32F, GL_RGB, GL_FLOAT, GL_NEAREST, true);
    makeTexture(targets.depthTexture, width, height, GL_DEPTH_COMPONENT24, GL_DEPTH_COMPONENT, GL_UNSIGNED_BYTE,
                GL_LINEAR, false);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, targets.colorTexture, 0);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT1, GL_TEXTURE_2D, targets.normalTexture, 0);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT2, GL_TEXTURE_2D, targets.positionTexture, 0);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_TEXTURE_2D, targets.depthTexture, 0);
    const GLenum drawBuffers[3] = {GL_COLOR_ATTACHMENT0, GL_COLOR_ATTACHMENT1, GL_COLOR_ATTACHMENT2};
    glDrawBuffers(3, drawBuffers);
    if (!completeOrFourChannels(width, height,
                                {{targets.colorTexture, GL_RGBA8, GL_UNSIGNED_BYTE},
                                 {targets.positionTexture, GL_RGBA32F, GL_FLOAT}}))
        fatal({targetFailure}, -1);
    glBindTexture(GL_TEXTURE_2D, 0);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

void releaseFrameTargets(FrameTargets& targets)
{
    glDeleteTextures(1, &targets.colorTexture);
    glDeleteTextures(1, &targets.depthTexture);
    glDeleteTextures(1, &targets.positionTexture);
    glDeleteTextures(1, &targets.normalTexture);
    glDeleteFramebuffers(1, &targets.framebuffer);
    for (render::ScreenSpaceEffect* effect : targets.effects)
        delete effect;
    targets = FrameTargets();
}

} // namespace

render::PassObserver* render::passObserver = nullptr;

Renderer::Renderer()
{
    screenQuadProgram = new ShaderProgram("Shader/ScreenQuadVertex.glsl", "Shader/ScreenQuadFragment.glsl");

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

    buildFrameTargets(*this, renderWidth, renderHeight, 1.0f);
    effectEnabled = allEffectsOn;
}

Renderer::~Renderer()
{
    if (swapped)
        swapTargets();
    // First: it hands the geometry framebuffer its colour texture back.
    delete stage;
    stage = nullptr;
    delete movingLinearFrame;
    glDeleteBuffers(1, &quadVertexBuffer);
    glDeleteBuffers(1, &quadIndexBuffer);
    glDeleteVertexArrays(1, &quadVao);
    releaseFrameTargets(*this);
    releaseFrameTargets(moving);
    deleteRenderTarget(pictureFramebuffer, {&pictureTexture});
    delete screenQuadProgram;
    effectEnabled.clear();
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

void Renderer::drawMovingFramesAt(float scale)
{
    if (moving.framebuffer != 0 || swapped)
        return;
    // Never so small that the effects' eighth-size targets vanish.
    const auto side = [scale](int full) {
        return std::max(std::min(full, 64), static_cast<int>(std::lround(static_cast<float>(full) * scale)));
    };
    const int movingWidth = side(width);
    const int movingHeight = side(height);
    buildFrameTargets(moving, movingWidth, movingHeight, static_cast<float>(movingHeight) / static_cast<float>(height));
}

bool Renderer::cameraMoved(const glm::mat4& view, const glm::mat4& projection)
{
    // The first frame has nothing to have moved from.
    const bool moved = posed && (view != lastView || projection != lastProjection);
    posed = true;
    lastView = view;
    lastProjection = projection;
    return moved && moving.framebuffer != 0;
}

void Renderer::swapTargets()
{
    FrameTargets& self = *this;
    std::swap(self, moving);
    swapped = !swapped;
    if (!swapped) {
        glPointSize(pointSize);
        glLineWidth(lineWidth);
        return;
    }
    // The model's radiance target goes with its framebuffer, made for the
    // smaller one the first time a stage asks for it.
    if (moving.linearColorTexture != 0 && movingLinearFrame == nullptr)
        movingLinearFrame = new render::LinearFrame(framebuffer, width, height);
    linearColorTexture = moving.linearColorTexture != 0 ? movingLinearFrame->litTexture : 0;
    // Points and lines keep their width on the screen. Lines are only ever
    // narrowed: a width above one is an error in a forward-compatible
    // context, where it is one already.
    const float factor = static_cast<float>(height) / static_cast<float>(moving.height);
    glGetFloatv(GL_POINT_SIZE, &pointSize);
    glGetFloatv(GL_LINE_WIDTH, &lineWidth);
    glPointSize(std::max(1.0f, std::round(pointSize * factor)));
    glLineWidth(std::max(1.0f, std::min(lineWidth, std::round(lineWidth * factor))));
}

void renderGeometryPass()
{
    const render::ObservedPass observed(render::Pass::Geometry);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glBindFramebuffer(GL_FRAMEBUFFER, renderer->framebuffer);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glViewport(0, 0, renderer->width, renderer->height);
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

void renderFrame(FrameDetail detail)
{
    const bool moved = renderer->cameraMoved(camera->view, camera->projection);
    const bool small = moved && detail == FrameDetail::followCamera;
    if (small)
        renderer->swapTargets();
    renderShadowMap();
    renderGeometryPass();
    presentImage(renderer->applyEffects());
    if (small)
        renderer->swapTargets();
}
