// A model given by path in the frame loop's own steps: the camera driven through the input callbacks, and a dropped file.
#include "GlTest.h"

#include "app/Application.h"
#include "app/Globals.h"
#include "app/ModelSwap.h"
#include "app/ShownModel.h"
#include "camera/Camera.h"
#include "camera/Controls.h"
#include "camera/ModelControls.h"
#include "render/PassObserver.h"
#include "render/Renderer.h"
#include "render/ShadowLight.h"
#include "render/Stage.h"
#include "scene/Framing.h"
#include "scene/ModelObjects.h"

#include <GLFW/glfw3.h>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <map>
#include <fstream>
#include <thread>

namespace {

std::string boxObj(glm::vec3 low, glm::vec3 high)
{
    std::string obj;
    int base = 0;
    addBox(obj, base, low, high);
    return obj;
}

class ModelViewGL : public GlTest {
protected:
    void SetUp() override
    {
        GlTest::SetUp();
        if (IsSkipped())
            return;
        std::ofstream("cube.obj") << boxObj(glm::vec3(0.0f), glm::vec3(1.0f));
        ASSERT_EQ(initScene("cube.obj"), ModelOutcome::shown);
        modelControls = true;
        tourActive = false;
        // The pointer goes where it is put only over a window on the screen.
        glfwShowWindow(window);
    }
    void TearDown() override
    {
        acceptDrops(nullptr);
        modelControls = false;
        glfwHideWindow(window);
        GlTest::TearDown();
    }

    // A drag of (dx, dy) pixels with `button`, seen by one frame.
    static void drag(int button, double dx, double dy)
    {
        onMouseButton(window, button, GLFW_PRESS, 0);
        glfwSetCursorPos(window, windowWidth / 2 + dx, windowHeight / 2 + dy);
        advanceFrame(1.0f / 30.0f, false);
        onMouseButton(window, button, GLFW_RELEASE, 0);
    }

    static float degreesFromUp()
    {
        const glm::vec3 offset = camera->position() - orbitPivot;
        return glm::degrees(std::acos(offset.y / glm::length(offset)));
    }

    // Polls the swap as the frame loop does until it has swapped or given up.
    static bool swapped(ModelSwap& swap)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (std::chrono::steady_clock::now() < deadline) {
            const bool busy = swap.busy();
            if (swap.poll())
                return true;
            if (!busy)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }
};

TEST_F(ModelViewGL, DragsTiltAndPanAndFReframesThroughTheCallbacks)
{
    const float startFromUp = degreesFromUp();
    const float distance = glm::length(camera->position() - orbitPivot);
    // Down by 40 pixels: looks down from higher, at the same distance.
    drag(GLFW_MOUSE_BUTTON_LEFT, 0.0, 40.0);
    EXPECT_NEAR(degreesFromUp(), startFromUp - 40.0f * tiltDegreesPerPixel, 0.05f);
    EXPECT_NEAR(glm::length(camera->position() - orbitPivot), distance, 1e-3f * distance);
    EXPECT_EQ(camera->turnVelocity, 0.0);
    // Far past the pole, and far past the other: stopped short of both.
    // (The pointer stays on the screen: a long drag is many short ones.)
    for (int step = 0; step < 20; ++step)
        drag(GLFW_MOUSE_BUTTON_LEFT, 0.0, 80.0);
    EXPECT_NEAR(degreesFromUp(), tiltMarginDegrees, 0.05f);
    for (int step = 0; step < 20; ++step)
        drag(GLFW_MOUSE_BUTTON_LEFT, 0.0, -80.0);
    EXPECT_NEAR(degreesFromUp(), 180.0f - tiltMarginDegrees, 0.05f);

    onKey(window, GLFW_KEY_F, 0, GLFW_RELEASE, 0);
    EXPECT_LT(glm::length(camera->position() - startEye), 1e-4f);
    // The model follows the cursor across the view, with the right button
    // and the middle one alike.
    const glm::ivec2 before = pixelOf(sceneTarget);
    drag(GLFW_MOUSE_BUTTON_RIGHT, 60.0, 0.0);
    EXPECT_NEAR(pixelOf(sceneTarget).x - before.x, 60, 2);
    EXPECT_NEAR(pixelOf(sceneTarget).y, before.y, 2);
    drag(GLFW_MOUSE_BUTTON_MIDDLE, 0.0, 30.0);
    // Window rows run down, the GL's up.
    EXPECT_NEAR(pixelOf(sceneTarget).y - before.y, -30, 2);
    EXPECT_NE(orbitPivot, sceneTarget);

    onKey(window, GLFW_KEY_F, 0, GLFW_RELEASE, 0);
    EXPECT_EQ(orbitPivot, sceneTarget);
    EXPECT_LT(glm::length(camera->position() - startEye), 1e-4f);
}

TEST_F(ModelViewGL, DroppedFileReplacesTheModelFramedOnItsGroundAndABrokenOneChangesNothing)
{
    ModelSwap swap;
    acceptDrops(&swap);
    const GLFWdropfun drop = glfwSetDropCallback(window, nullptr);
    ASSERT_NE(drop, nullptr);
    glfwSetDropCallback(window, drop);
    drag(GLFW_MOUSE_BUTTON_RIGHT, 40.0, 10.0);

    // A tower four times as tall as it is wide, far from the origin.
    std::ofstream("tower.obj") << boxObj(glm::vec3(100.0f, 0.0f, 0.0f), glm::vec3(101.0f, 4.0f, 1.0f));
    const char* towerFirst[] = {"tower.obj", "cube.obj"};
    drop(window, 2, towerFirst);
    ASSERT_TRUE(swapped(swap));
    const scene::Bounds tower = scene::sceneBounds(sceneObjects);
    EXPECT_NEAR((tower.high.y - tower.low.y) / (tower.high.x - tower.low.x), 4.0, 1e-3);
    EXPECT_NEAR(glm::length(glm::vec3(tower.centre()) - sceneTarget), 0.0f, 1e-3f);
    ASSERT_NE(renderer->stage, nullptr);
    EXPECT_LT(renderer->stage->ground.height, tower.low.y);
    EXPECT_GT(renderer->stage->ground.height, tower.low.y - 0.1);
    EXPECT_EQ(orbitPivot, sceneTarget);
    EXPECT_EQ(swap.shownPath(), "tower.obj");
    renderFrame();
    const Image shown = Image::ofWindow();

    // A file that is not there, and one the importer refuses: the tower stays.
    const std::vector<scene::SceneObject*> objects = sceneObjects;
    std::ofstream("broken.obj") << "v 0 0 0\nf 1 2 3\n";
    for (const char* path : {"missing.obj", "broken.obj"}) {
        drop(window, 1, &path);
        EXPECT_FALSE(swapped(swap)) << path;
        EXPECT_EQ(sceneObjects, objects) << path;
        EXPECT_EQ(swap.shownPath(), "tower.obj");
    }
    renderFrame();
    EXPECT_EQ(Image::ofWindow().rgb, shown.rgb);
}

// The size of what each pass of a frame drew into: the viewport it ended
// with and the colour target bound then.
struct TargetSizes : render::PassObserver {
    std::map<render::Pass, std::pair<glm::ivec2, glm::ivec2>> sizes;
    void begin(render::Pass) override {}
    void end(render::Pass pass) override
    {
        if (pass < render::Pass::Geometry || pass > render::Pass::Bloom)
            return;
        GLint viewport[4] = {0, 0, 0, 0};
        glGetIntegerv(GL_VIEWPORT, viewport);
        GLint texture = 0;
        glGetFramebufferAttachmentParameteriv(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0,
                                              GL_FRAMEBUFFER_ATTACHMENT_OBJECT_NAME, &texture);
        glm::ivec2 target(0);
        glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(texture));
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &target.x);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &target.y);
        glBindTexture(GL_TEXTURE_2D, 0);
        sizes[pass] = {glm::ivec2(viewport[2], viewport[3]), target};
    }
    // Every pass from the geometry to the bloom drew `size` into a target of that size.
    void expectAll(glm::ivec2 size) const
    {
        for (render::Pass pass : {render::Pass::Geometry, render::Pass::Ssao, render::Pass::DepthOfField,
                                  render::Pass::Bloom}) {
            ASSERT_EQ(sizes.count(pass), 1u) << render::passNames[static_cast<int>(pass)];
            EXPECT_EQ(sizes.at(pass).first, size) << render::passNames[static_cast<int>(pass)] << " viewport";
            EXPECT_EQ(sizes.at(pass).second, size) << render::passNames[static_cast<int>(pass)] << " target";
        }
    }
};

float meanDifference(const Image& a, const Image& b)
{
    double sum = 0.0;
    for (size_t i = 0; i < a.rgb.size(); ++i)
        sum += std::abs(a.rgb[i] - b.rgb[i]);
    return static_cast<float>(sum / static_cast<double>(a.rgb.size()));
}

// While the camera moves, every target of the frame is the smaller one, and
// the picture is the same view, only coarser, filling the whole window. The
// first frame after the camera rests is whole again, exactly as if no moving
// frame had ever been drawn, and a frame to be saved is whole even in motion.
TEST_F(ModelViewGL, MovingFramesAreSmallerAndTheFirstStillFrameIsWholeAgain)
{
    renderer->effectEnabled = {true, true, true};
    renderer->drawMovingFramesAt(movingRenderScale);
    const glm::ivec2 whole(renderWidth, renderHeight);
    const glm::ivec2 small(std::lround(renderWidth * movingRenderScale), std::lround(renderHeight * movingRenderScale));
    ASSERT_EQ(glm::ivec2(renderer->movingWidth(), renderer->movingHeight()), small);
    TargetSizes observed;
    render::passObserver = &observed;
    const Camera start = *camera;
    renderFrame();
    observed.expectAll(whole);
    const Image first = Image::ofWindow();

    drag(GLFW_MOUSE_BUTTON_LEFT, 0.0, 40.0);
    observed.sizes.clear();
    renderFrame();
    observed.expectAll(small);
    const Image moving = Image::ofWindow();
    renderFrame();
    observed.expectAll(whole);
    const Image rested = Image::ofWindow();
    EXPECT_NE(moving.rgb, rested.rgb);
    EXPECT_LT(meanDifference(moving, rested), 4.5f) << "the coarse frame is not the same picture";

    *camera = start;
    renderFrame(FrameDetail::whole);
    observed.expectAll(whole);
    *camera = start;
    renderFrame();
    observed.expectAll(whole);
    render::passObserver = nullptr;
    EXPECT_EQ(Image::ofWindow().rgb, first.rgb);
}

// A model's shadow map is drawn once while only the camera moves, and the
// frames drawn with the kept one are those drawn with one made anew; a new
// model's first frame draws its own.
TEST_F(ModelViewGL, TheShadowMapIsKeptWhileOnlyTheCameraMoves)
{
    renderer->effectEnabled = {true, true, true};
    renderFrame();
    const unsigned long long drawn = shadowLight->shadowMapsDrawn;
    drag(GLFW_MOUSE_BUTTON_LEFT, 30.0, 20.0);
    renderFrame();
    const Camera rested = *camera;
    renderFrame();
    EXPECT_EQ(shadowLight->shadowMapsDrawn, drawn);
    const Image kept = Image::ofWindow();
    shadowLight->forgetShadowMap();
    *camera = rested;
    renderFrame();
    EXPECT_EQ(shadowLight->shadowMapsDrawn, drawn + 1);
    EXPECT_EQ(Image::ofWindow().rgb, kept.rgb);

    std::ofstream("tall.obj") << boxObj(glm::vec3(0.0f), glm::vec3(0.5f, 3.0f, 0.5f));
    ModelOutcome outcome = ModelOutcome::failed;
    showModel(importModel("tall.obj", nullptr, outcome));
    ASSERT_EQ(outcome, ModelOutcome::shown);
    renderFrame();
    EXPECT_EQ(shadowLight->shadowMapsDrawn, drawn + 2);
    renderFrame();
    EXPECT_EQ(shadowLight->shadowMapsDrawn, drawn + 2);
}

} // namespace
