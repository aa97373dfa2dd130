// Whole frames of a small scene: the shadow on the ground and what each effect does to the picture.
#include "GlTest.h"

#include "app/Application.h"
#include "app/Globals.h"
#include "camera/Camera.h"
#include "camera/Controls.h"
#include "render/PassObserver.h"
#include "render/Renderer.h"
#include "render/ShadowLight.h"

#include <GLFW/glfw3.h>
#include <algorithm>
#include <cmath>
#include <glm/gtc/type_ptr.hpp>
#include <vector>

namespace render {
// Failures name the passes instead of dumping their bytes.
void PrintTo(Pass pass, std::ostream* os)
{
    *os << passNames[static_cast<int>(pass)];
}
} // namespace render

namespace {

// A white ground, a tall white box at the origin and, far behind the focus,
// a striped wall for the depth of field to blur. The light stands toward +X,
// +Y and -Z, so the box shades the ground toward -X and +Z.
class FrameGL : public GlTest {
protected:
    void SetUp() override
    {
        GlTest::SetUp();
        if (IsSkipped())
            return;
        writeImage("Textures/FinalScene/white.png", 1, 1, {255, 255, 255});
        writeImage("Textures/FinalScene/stripes.png", 2, 1, {255, 255, 255, 20, 20, 20});
        std::string obj = "usemtl white\n";
        int base = 0;
        addQuad(obj, base, {-20, 0, 20}, {40, 0, 0}, {0, 0, -40});
        addBox(obj, base, {-1, 0, -1}, {1, 8, 1});
        obj += "usemtl stripes\n";
        addQuad(obj, base, {-150, -40, -200}, {300, 0, 0}, {0, 60, -60}, 16.0f);
        startViewer(obj, "newmtl white\nmap_Kd white.png\nnewmtl stripes\nKd 0 0 1\nmap_Kd stripes.png\n");
        ASSERT_EQ(sceneObjects.size(), 2u);
    }

    // The picture the effect chain hands to the window, with the chosen switches.
    static Image frame(bool ssao, bool dof, bool bloom)
    {
        renderer->effectEnabled = {ssao, dof, bloom};
        renderShadowMap();
        renderGeometryPass();
        return Image::ofTexture(renderer->applyEffects());
    }
};

TEST_F(FrameGL, ShadowOfTheBoxDarkensTheGroundInTheWindow)
{
    renderer->effectEnabled = {false, false, false};
    renderFrame();
    const Image shown = Image::ofWindow();
    const float lit = shown.luminance(pixelOf({4, 0, 4})).x;
    EXPECT_GT(lit, 180.0f);
    // Light adds up linearly and is encoded for display, so a shadow lit by
    // the ambient term alone shows at about half the brightness, not a fifth.
    EXPECT_LT(shown.luminance(pixelOf({-3, 0, 0.5f})).x, 0.6f * lit);
}

TEST_F(FrameGL, ShadowOfATallCasterFadesInAcrossTheBlurInsteadOfCuttingIn)
{
    // Close above the far end of the shadow, which the box's top edge casts
    // from 8 units up: the blur spreads it over a penumbra, and the picture
    // must show that as a ramp, not as one step at its outer rim.
    camera->setPosition(-4.6f, 5.0f, 5.0f);
    camera->lookAtTarget({-4.6f, 0.0f, 1.1f});
    const Image shown = frame(false, false, false);
    for (float z : {0.5f, 1.1f, 1.7f}) {
        std::vector<float> profile; // lit ground toward the shadow, 0.05 units apart
        for (float x = -7.5f; x <= -3.5f; x += 0.05f)
            profile.push_back(shown.luminance(pixelOf({x, 0.0f, z}), 0).x);
        const float lit = profile.front(), dark = profile.back();
        ASSERT_GT(lit - dark, 80.0f) << "at z " << z;
        float steepest = 0.0f;
        int rampSamples = 0;
        for (size_t i = 1; i < profile.size(); ++i) {
            steepest = std::max(steepest, profile[i - 1] - profile[i]);
            rampSamples += profile[i] < lit - 0.1f * (lit - dark) && profile[i] > dark + 0.1f * (lit - dark);
        }
        EXPECT_LT(steepest, 0.4f * (lit - dark)) << "a cut at z " << z;
        EXPECT_GE(rampSamples, 5) << "penumbra narrower than 0.25 units at z " << z;
    }
}

TEST_F(FrameGL, SsaoDarkensTheCreaseButHardlyTheOpenGround)
{
    camera->setPosition(7.0f, 3.0f, 3.0f);
    camera->lookAtTarget({1.0f, 0.5f, 0.0f});
    const Image off = frame(false, false, false);
    const Image on = frame(true, false, false);
    const auto kept = [&](glm::vec3 p) { return on.luminance(pixelOf(p), 1).x / off.luminance(pixelOf(p), 1).x; };
    EXPECT_LT(kept({1.1f, 0.0f, 0.0f}), 0.85f) << "where the lit side of the box meets the ground";
    EXPECT_GT(kept({4.0f, 0.0f, -1.0f}), 0.93f) << "open ground";
}

TEST_F(FrameGL, BloomBrightensDarkSurroundingsOfBrightSurfaces)
{
    const Image off = frame(false, false, false);
    const Image on = frame(false, false, true);
    const glm::ivec2 beyondGround = pixelOf({0.0f, 0.0f, -21.0f}); // background by the ground's far edge
    EXPECT_LT(off.luminance(beyondGround, 0).x, 1.0f);
    EXPECT_GT(on.luminance(beyondGround, 0).x, 30.0f);
    const glm::ivec2 litGround = pixelOf({4.0f, 0.0f, 4.0f});
    EXPECT_GE(on.luminance(litGround).x, off.luminance(litGround).x);
}

TEST_F(FrameGL, DepthOfFieldBlursTheFarWallAndKeepsTheFocusSharp)
{
    const Image off = frame(false, false, false);
    const Image on = frame(false, true, false);
    const glm::ivec2 wall = pixelOf({0.0f, -10.0f, -230.0f});
    ASSERT_GT(off.luminance(wall, 4).y, 10.0f) << "the stripes must show without the effect";
    EXPECT_LT(on.luminance(wall, 4).y, 0.3f * off.luminance(wall, 4).y);
    const glm::ivec2 boxEdge = pixelOf({1.0f, 4.0f, 1.0f}); // about as far away as the focus point
    EXPECT_GT(on.luminance(boxEdge, 3).y, 0.9f * off.luminance(boxEdge, 3).y);
    EXPECT_NEAR(on.luminance(boxEdge, 3).x, off.luminance(boxEdge, 3).x, 3.0f);
}

// What a timing tool sees of the real frame: every pass that runs, once, in
// drawing order, each ended before the next begins (timer queries cannot nest).
TEST_F(FrameGL, ObserverSeesEachPassThatRunsOnceInDrawingOrder)
{
    using render::Pass;
    struct Recorder : render::PassObserver {
        std::vector<std::pair<Pass, bool>> events;
        void begin(Pass pass) override { events.emplace_back(pass, true); }
        void end(Pass pass) override { events.emplace_back(pass, false); }
    } recorder;
    const auto expected = [](std::vector<Pass> passes) {
        std::vector<std::pair<Pass, bool>> events;
        for (Pass pass : passes)
            events.insert(events.end(), {{pass, true}, {pass, false}});
        return events;
    };
    render::passObserver = &recorder;
    renderer->effectEnabled = {true, true, true};
    renderFrame();
    EXPECT_EQ(recorder.events, expected({Pass::ShadowDepth, Pass::ShadowMoments, Pass::ShadowBlur, Pass::Geometry,
                                         Pass::Ssao, Pass::DepthOfField, Pass::Bloom, Pass::Final}));
    recorder.events.clear();
    renderer->effectEnabled = {false, true, false};
    renderFrame();
    render::passObserver = nullptr;
    EXPECT_EQ(recorder.events, expected({Pass::ShadowDepth, Pass::ShadowMoments, Pass::ShadowBlur, Pass::Geometry,
                                         Pass::DepthOfField, Pass::Final}));
}

// A window minimised to nothing, or shrunk to one pixel, and then restored:
// frames drawn meanwhile raise no GL error, and the restored window shows the
// same picture as before, during the tour and after it.
TEST_F(FrameGL, WindowShrunkToNothingAndRestoredDrawsTheSamePictureAgain)
{
    struct Shrink {
        int width;
        int height;
        bool tourOver;
    };
    for (const Shrink shrink : {Shrink{0, 0, false}, Shrink{1, 1, false}, Shrink{0, 0, true}, Shrink{1, 1, true}}) {
        SCOPED_TRACE(testing::Message() << shrink.width << " x " << shrink.height
                                        << (shrink.tourOver ? " after the tour" : " during the tour"));
        resetControls();
        if (shrink.tourOver)
            onKey(window, GLFW_KEY_SPACE, 0, GLFW_RELEASE, 0);
        controlCamera(0.5f);
        renderer->effectEnabled = {true, true, true};
        onWindowSize(window, 320, 180);
        renderFrame();
        const Image before = Image::ofWindow();

        onWindowSize(window, shrink.width, shrink.height);
        for (int frame = 0; frame < 2; ++frame) {
            controlCamera(0.0f);
            renderFrame();
            EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        }
        onWindowSize(window, 320, 180);
        controlCamera(0.0f);
        renderFrame();
        const Image after = Image::ofWindow();

        ASSERT_EQ(after.rgb.size(), before.rgb.size());
        size_t differing = 0;
        for (size_t i = 0; i < before.rgb.size(); ++i)
            differing += std::abs(before.rgb[i] - after.rgb[i]) > 8 ? 1 : 0;
        EXPECT_LT(static_cast<double>(differing) / static_cast<double>(before.rgb.size()), 0.01);
        EXPECT_TRUE(std::all_of(glm::value_ptr(camera->projection), glm::value_ptr(camera->projection) + 16,
                                [](float v) { return std::isfinite(v); }));
    }
}

// A picture of N frames draws only the last: during the tour, whose camera
// moves every frame, it is the very picture the frame loop shows N frames in.
TEST_F(FrameGL, PictureOfSeveralFramesIsTheLastFrameTheLoopDraws)
{
    renderer->effectEnabled = {true, true, true};
    for (int frame = 0; frame < 3; ++frame) {
        advanceFrame(pictureFrameSeconds, false);
        renderFrame();
    }
    const Image looped = Image::ofWindow();
    resetControls();
    totalTime = 0.0f;
    drawFrames(3, pictureFrameSeconds);
    EXPECT_EQ(Image::ofWindow().rgb, looped.rgb);
}

} // namespace
