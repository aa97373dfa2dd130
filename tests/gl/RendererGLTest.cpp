// The renderer's targets, the effect chain's threading and state, effects on made-up inputs, light matrices, keys.
#include "GlTest.h"

#include "app/Application.h"
#include "app/Globals.h"
#include "camera/Camera.h"
#include "camera/Controls.h"
#include "gpu/ShaderProgram.h"
#include "render/Renderer.h"
#include "render/ShadowLight.h"
#include "render/effects/Bloom.h"
#include "render/effects/DoF.h"
#include "render/effects/SSAO.h"

#include <GLFW/glfw3.h>
#include <algorithm>
#include <functional>
#include <limits>

namespace {

using RendererGL = GlTest;

GLint level0(GLuint texture, GLenum parameter)
{
    GLint value = 0;
    glBindTexture(GL_TEXTURE_2D, texture);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, parameter, &value);
    glBindTexture(GL_TEXTURE_2D, 0);
    return value;
}

glm::ivec2 sizeOf(GLuint texture) { return {level0(texture, GL_TEXTURE_WIDTH), level0(texture, GL_TEXTURE_HEIGHT)}; }

glm::vec4 uniform(GLuint program, const char* name)
{
    glm::vec4 value(0.0f);
    glGetUniformfv(program, glGetUniformLocation(program, name), &value[0]);
    return value;
}

TEST_F(RendererGL, GeometryFramebufferHoldsColourNormalPositionAndDepthAtRenderSize)
{
    renderer = new Renderer();
    const std::tuple<GLenum, GLuint, GLint> cases[] = {
        {GL_COLOR_ATTACHMENT0, renderer->colorTexture, GL_RGB8}, // unsized RGB, 8 bits a channel
        {GL_COLOR_ATTACHMENT1, renderer->normalTexture, GL_RGBA32F},
        {GL_COLOR_ATTACHMENT2, renderer->positionTexture, GL_RGB32F},
        {GL_DEPTH_ATTACHMENT, renderer->depthTexture, GL_DEPTH_COMPONENT24},
    };
    glBindFramebuffer(GL_FRAMEBUFFER, renderer->framebuffer);
    EXPECT_EQ(glCheckFramebufferStatus(GL_FRAMEBUFFER), static_cast<GLenum>(GL_FRAMEBUFFER_COMPLETE));
    for (const auto& [attachment, texture, format] : cases) {
        GLint name = 0;
        glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, attachment, GL_FRAMEBUFFER_ATTACHMENT_OBJECT_NAME, &name);
        EXPECT_EQ(static_cast<GLuint>(name), texture);
        EXPECT_EQ(sizeOf(texture), glm::ivec2(320, 180));
        const GLint actual = level0(texture, GL_TEXTURE_INTERNAL_FORMAT);
        EXPECT_TRUE(actual == format || (format == GL_RGB8 && actual == GL_RGB)) << std::hex << actual;
    }
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(integer(GL_DRAW_BUFFER0 + i), GL_COLOR_ATTACHMENT0 + i);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

TEST_F(RendererGL, EffectTargetsTruncateTheRenderSizeAndTheNoiseTilesWhole)
{
    struct Case {
        glm::ivec2 render, ssao, dof, bloom;
        glm::vec2 noiseScale; // for the 64 x 64 noise image
    };
    const Case cases[] = {
        {{1920, 1080}, {960, 540}, {480, 270}, {240, 135}, {30, 16}},
        {{1366, 768}, {683, 384}, {341, 192}, {170, 96}, {21, 12}},
    };
    for (const Case& c : cases) {
        renderWidth = c.render.x;
        renderHeight = c.render.y;
        const Renderer built;
        const auto& ssao = *static_cast<render::SSAO*>(built.effects[0]);
        const auto& dof = *static_cast<render::DoF*>(built.effects[1]);
        const auto& bloom = *static_cast<render::Bloom*>(built.effects[2]);
        for (GLuint texture : {ssao.blurHorizontalTexture, ssao.blurVerticalTexture})
            EXPECT_EQ(sizeOf(texture), c.ssao);
        for (GLuint texture : {dof.nearBlurHorizontalTexture, dof.farBlurHorizontalTexture,
                               dof.nearBlurVerticalTexture, dof.farBlurVerticalTexture})
            EXPECT_EQ(sizeOf(texture), c.dof);
        for (GLuint texture : {bloom.brightTexture, bloom.blurHorizontalTexture, bloom.blurVerticalTexture})
            EXPECT_EQ(sizeOf(texture), c.bloom);
        for (GLuint texture : {ssao.outputTexture, dof.outputTexture, bloom.outputTexture})
            EXPECT_EQ(sizeOf(texture), c.render);
        EXPECT_EQ(glm::vec2(uniform(ssao.ssaoProgram->program, "noiseScale")), c.noiseScale);
    }
}

// Every switch combination: the result is the last enabled effect's output,
// and that effect read the previous enabled one's output, which its last pass
// leaves bound on a known unit (SSAO blend 0, DoF composite 2, bloom 0).
TEST_F(RendererGL, ChainThreadsEachOutputIntoTheNextEnabledEffectAndRestoresState)
{
    startViewer("", "");
    const GLuint outputs[3] = {static_cast<render::SSAO*>(renderer->effects[0])->outputTexture,
                               static_cast<render::DoF*>(renderer->effects[1])->outputTexture,
                               static_cast<render::Bloom*>(renderer->effects[2])->outputTexture};
    const GLenum inputUnit[3] = {GL_TEXTURE0, GL_TEXTURE2, GL_TEXTURE0};
    for (int mask = 0; mask < 8; ++mask) {
        SCOPED_TRACE("switches " + std::to_string(mask));
        GLuint input = renderer->colorTexture;
        GLuint image = renderer->colorTexture;
        int last = -1;
        for (int i = 0; i < 3; ++i) {
            renderer->effectEnabled[i] = (mask >> i) & 1;
            if (renderer->effectEnabled[i]) {
                input = image;
                image = outputs[i];
                last = i;
            }
        }
        glClearColor(0.2f, 0.4f, 0.6f, 0.8f);
        ASSERT_EQ(renderer->applyEffects(), image);
        if (last < 0)
            continue;
        glActiveTexture(inputUnit[last]);
        EXPECT_EQ(static_cast<GLuint>(integer(GL_TEXTURE_BINDING_2D)), input);
        EXPECT_EQ(integer(GL_CURRENT_PROGRAM) + integer(GL_VERTEX_ARRAY_BINDING), 0);
        glm::ivec4 viewport;
        glGetIntegerv(GL_VIEWPORT, &viewport[0]);
        EXPECT_EQ(viewport, glm::ivec4(0, 0, 320, 180));
        glm::vec4 clear;
        glGetFloatv(GL_COLOR_CLEAR_VALUE, &clear[0]);
        EXPECT_TRUE(!(mask & 1) || clear == glm::vec4(0, 0, 0, 1)) << "SSAO must leave opaque black";
    }
}

TEST_F(RendererGL, DepthOfFieldTakesItsFocusFromTheCameraWhenApplied)
{
    startViewer("", "");
    renderer->effectEnabled = {false, true, false};
    camera->setPosition(0.0f, 7.0f, 400.5f);
    renderer->applyEffects();
    const auto& dof = *static_cast<render::DoF*>(renderer->effects[1]);
    for (GLuint program : {dof.layerProgram->program, dof.compositeProgram->program}) {
        const glm::vec4 range = uniform(program, "range");
        for (int i = 0; i < 4; ++i)
            EXPECT_NEAR(range[i], glm::vec4(-0.5f, 0.0f, 1.5f, 1.7f)[i], 1e-6f);
    }
}

// Runs the viewer's depth of field alone over a flat grey picture, focused 10
// units away: pixels where `inForeground` holds stand 2 units from the camera
// (fully near-blurred) in `foregroundGrey`, the rest at the focus distance in
// `backgroundGrey`.
Image depthOfFieldOver(const std::function<bool(int x, int y)>& inForeground, unsigned char foregroundGrey,
                       unsigned char backgroundGrey)
{
    camera->setPosition(0.0f, 7.0f, 10.0f);
    const auto depthAt = [](float distance) {
        const float n = Camera::nearPlane, f = Camera::farPlane;
        return ((f + n - 2.0f * n * f / distance) / (f - n)) * 0.5f + 0.5f;
    };
    std::vector<unsigned char> color(static_cast<size_t>(renderWidth * renderHeight * 3));
    std::vector<float> depth(static_cast<size_t>(renderWidth * renderHeight));
    for (int y = 0; y < renderHeight; ++y)
        for (int x = 0; x < renderWidth; ++x) {
            const size_t i = static_cast<size_t>(y * renderWidth + x);
            const bool near = inForeground(x, y);
            depth[i] = depthAt(near ? 2.0f : 10.0f);
            std::fill_n(&color[3 * i], 3, near ? foregroundGrey : backgroundGrey);
        }
    GLuint textures[2] = {};
    glGenTextures(2, textures);
    glBindTexture(GL_TEXTURE_2D, textures[0]);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, renderWidth, renderHeight, 0, GL_RGB, GL_UNSIGNED_BYTE, color.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glBindTexture(GL_TEXTURE_2D, textures[1]);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT24, renderWidth, renderHeight, 0, GL_DEPTH_COMPONENT, GL_FLOAT,
                 depth.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glBindTexture(GL_TEXTURE_2D, 0);
    const GLuint result = renderer->effects[1]->apply(textures[0], textures[0], textures[1], 0, 0, renderer->quadVao,
                                                      Renderer::quadIndexCount);
    Image out = Image::ofTexture(result);
    glDeleteTextures(2, textures);
    return out;
}

// A foreground along one border of the picture, everything else at the focus
// distance and evenly grey: the depth of field may blur the border it touches,
// never the opposite one (the depth texture wraps by default).
TEST_F(RendererGL, DepthOfFieldForegroundAtOneBorderLeavesTheOppositeBorderAlone)
{
    startViewer("", "");
    // Wider than the coverage taps reach (three quarter-size texels, 12
    // pixels), so taps that wrapped past the border would land in it.
    const int band = 16;
    for (bool alongBottom : {true, false}) {
        const Image out = depthOfFieldOver([&](int x, int y) { return (alongBottom ? y : x) < band; }, 200, 200);
        for (int along = 10; along < (alongBottom ? renderWidth : renderHeight) - 10; along += 20) {
            const glm::ivec2 opposite =
                alongBottom ? glm::ivec2(along, renderHeight - 1) : glm::ivec2(renderWidth - 1, along);
            EXPECT_NEAR(out.luminance(opposite, 0).x, 200.0f, 4.0f)
                << (alongBottom ? "top row" : "right column") << " at " << along;
        }
        const glm::ivec2 middle(renderWidth / 2, renderHeight / 2);
        EXPECT_NEAR(out.luminance(middle).x, 200.0f, 4.0f) << "in focus, nothing near";
    }
}

// A white foreground over the left half of a black picture in focus. The
// near blur runs at quarter size with a kernel fixed in its own texels, so
// the blurred edge covers the same number of full-size pixels at every render
// size; the coverage that lets it show and scales its colour must match it,
// or the spread is cut short and the foreground dims at its edge.
TEST_F(RendererGL, DepthOfFieldBlursAForegroundEdgeAlikeAtEveryRenderSize)
{
    const glm::ivec2 sizes[] = {{320, 180}, {1280, 720}};
    const int inside = 8, past = 24; // full-size pixels either side of the edge
    std::vector<float> profiles[2];
    for (int s = 0; s < 2; ++s) {
        windowWidth = renderWidth = sizes[s].x;
        windowHeight = renderHeight = sizes[s].y;
        startViewer("", "");
        const int edge = renderWidth / 2;
        const Image out = depthOfFieldOver([edge](int x, int) { return x < edge; }, 255, 0);
        for (int d = -inside; d < past; ++d)
            profiles[s].push_back(out.luminance({edge + d, renderHeight / 2}, 0).x);
        const auto firstDark = std::find_if(profiles[s].begin() + inside, profiles[s].end(),
                                            [](float l) { return l <= 8.0f; });
        EXPECT_GE(firstDark - (profiles[s].begin() + inside), 8)
            << "pixels the blurred foreground spreads past its edge at " << renderHeight << " lines";
        shutdown();
        renderer = nullptr;
        camera = nullptr;
        shadowLight = nullptr;
    }
    for (size_t i = 0; i < profiles[0].size(); ++i) {
        const float small = profiles[0][i], large = profiles[1][i];
        EXPECT_NEAR(small, large, 16.0f) << "luminance " << int(i) - inside << " pixels from the edge";
    }
}

// A flat wall facing the camera fills the picture: every occlusion sample
// lands on the wall at its origin's own depth, in front of nothing, so the
// whole wall must stay open and finite (a not-a-number shows as black), with
// its normals as the geometry pass writes them and where a mesh had none.
TEST_F(RendererGL, SsaoLeavesAWallFacingTheCameraOpen)
{
    startViewer("", "");
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const std::pair<const char*, glm::vec3> cases[] = {
        {"facing the camera", {0.0f, 0.0f, 1.0f}},
        {"no normal", {0.0f, 0.0f, 0.0f}},
        {"a zero normal normalized", {nan, nan, nan}},
    };
    const size_t pixels = static_cast<size_t>(renderWidth * renderHeight);
    std::vector<float> positions(3 * pixels);
    for (int y = 0; y < renderHeight; ++y)
        for (int x = 0; x < renderWidth; ++x) {
            const glm::vec2 ndc = (glm::vec2(x, y) + 0.5f) / glm::vec2(renderWidth, renderHeight) * 2.0f - 1.0f;
            const float z = -10.0f;
            const glm::vec3 p(-z * ndc.x / camera->projection[0][0], -z * ndc.y / camera->projection[1][1], z);
            std::copy_n(&p[0], 3, &positions[3 * static_cast<size_t>(y * renderWidth + x)]);
        }
    const std::vector<float> depth(pixels, 0.5f);
    const std::vector<unsigned char> grey(3 * pixels, 200);
    GLuint textures[4] = {}; // colour, depth, normals, positions
    glGenTextures(4, textures);
    const auto upload = [](GLuint texture, GLint internal, GLenum format, GLenum type, const void* data) {
        glBindTexture(GL_TEXTURE_2D, texture);
        glTexImage2D(GL_TEXTURE_2D, 0, internal, renderWidth, renderHeight, 0, format, type, data);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    };
    upload(textures[0], GL_RGB, GL_RGB, GL_UNSIGNED_BYTE, grey.data());
    upload(textures[1], GL_DEPTH_COMPONENT24, GL_DEPTH_COMPONENT, GL_FLOAT, depth.data());
    upload(textures[3], GL_RGB32F, GL_RGB, GL_FLOAT, positions.data());
    auto& ssao = *static_cast<render::SSAO*>(renderer->effects[0]);
    for (const auto& [name, normal] : cases) {
        std::vector<float> normals(4 * pixels, 1.0f);
        for (size_t i = 0; i < pixels; ++i)
            std::copy_n(&normal[0], 3, &normals[4 * i]);
        upload(textures[2], GL_RGBA32F, GL_RGBA, GL_FLOAT, normals.data());
        glBindTexture(GL_TEXTURE_2D, 0);
        ssao.apply(textures[0], textures[0], textures[1], textures[2], textures[3], renderer->quadVao,
                   Renderer::quadIndexCount);
        const Image visibility = Image::ofTexture(ssao.occlusionTexture);
        const auto darkest = std::min_element(visibility.rgb.begin(), visibility.rgb.end());
        const int at = static_cast<int>(darkest - visibility.rgb.begin()) / 3;
        EXPECT_EQ(int(*darkest), 255) << name << ": occluded at " << at % renderWidth << ", " << at / renderWidth;
    }
    glDeleteTextures(4, textures);
}

TEST_F(RendererGL, LightMatricesMapTheLightBoxOntoClipAndTextureSpace)
{
    startViewer("", "");
    const std::tuple<bool, glm::vec3, glm::vec3> cases[] = {
        {false, {0, 0, 0}, {0.0f, -1.0f / 3.0f, 0.1625f}}, // the origin lies sqrt(66) in front of the light
        {true, {0, 0, 0}, {0.5f, 1.0f / 3.0f, 0.58125f}},
        {false, {4, 7, -1}, {0.0f, -1.0f / 3.0f, 0.0f}},
        {true, {4, 7, -1}, {0.5f, 1.0f / 3.0f, 0.5f}},
    };
    for (const auto& [withBias, world, expected] : cases) {
        const glm::vec4 mapped = shadowLight->computeLightMVP(withBias, glm::mat4(1.0f)) * glm::vec4(world, 1.0f);
        for (int i = 0; i < 3; ++i)
            EXPECT_NEAR(mapped[i] / mapped.w, expected[i], 1e-4f) << "bias " << withBias << " component " << i;
    }
}

TEST_F(RendererGL, NumberKeysToggleEffectsOnReleaseAndEscapeClosesOnPress)
{
    startViewer("", "");
    const std::tuple<int, int, std::vector<bool>> cases[] = {
        {GLFW_KEY_1, GLFW_PRESS, {true, true, true}},    {GLFW_KEY_1, GLFW_RELEASE, {false, true, true}},
        {GLFW_KEY_1, GLFW_RELEASE, {true, true, true}},  {GLFW_KEY_3, GLFW_RELEASE, {true, true, false}},
        {GLFW_KEY_2, GLFW_REPEAT, {true, true, false}},  {GLFW_KEY_4, GLFW_RELEASE, {true, true, false}},
        {GLFW_KEY_5, GLFW_RELEASE, {true, true, false}}, {GLFW_KEY_6, GLFW_RELEASE, {true, true, false}},
    };
    for (const auto& [key, action, expected] : cases) {
        onKey(window, key, 0, action, 0);
        EXPECT_EQ(renderer->effectEnabled, expected) << "key " << key << " action " << action;
    }
    EXPECT_FALSE(glfwWindowShouldClose(window));
    onKey(window, GLFW_KEY_ESCAPE, 0, GLFW_PRESS, 0);
    EXPECT_TRUE(glfwWindowShouldClose(window));
}

} // namespace
