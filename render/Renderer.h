// The geometry framebuffer, the screen quad and the effect chain.
#pragma once

#include "base/EffectSwitches.h"

#include <GL/glew.h>
#include <glm/glm.hpp>
#include <vector>

class ShaderProgram;
namespace render {
class LinearFrame;
class ScreenSpaceEffect;
class Stage;
} // namespace render

// The geometry framebuffer and the effect chain that reads it, at one render
// size.
struct FrameTargets {
    int width = 0;
    int height = 0;
    GLuint framebuffer = 0;
    GLuint colorTexture = 0;
    GLuint normalTexture = 0;
    GLuint positionTexture = 0;
    GLuint depthTexture = 0;
    std::vector<render::ScreenSpaceEffect*> effects;
    // A model's frame before its tone curve, while the stage draws it in
    // linear units (0 otherwise, as for the built-in scene): the geometry
    // framebuffer's fourth target then, and what the bloom's bright pass
    // reads.
    GLuint linearColorTexture = 0;
};

// The part of the render size, along each side, that a frame drawn while the
// camera moves has: a sixth of the pixels and of their cost, which leaves the
// shadow map (the same at every size) room within a quarter of a still frame.
inline constexpr float movingRenderScale = 0.4f;

// Its targets are the frame's: those at the render size, or for the length
// of a moving frame the smaller ones.
class Renderer : public FrameTargets {
public:
    GLuint quadVao = 0;
    GLuint quadVertexBuffer = 0;
    GLuint quadIndexBuffer = 0;
    EffectSwitches effectEnabled;
    ShaderProgram* screenQuadProgram = nullptr;
    // Where the final pass draws for a picture instead of the window (0: the
    // window), framebuffer-sized.
    GLuint pictureFramebuffer = 0;
    GLuint pictureTexture = 0;
    // The backdrop and ground of a model given by path (owned); the built-in
    // scene has none and keeps its black background.
    render::Stage* stage = nullptr;

    static constexpr GLsizei quadIndexCount = 6;

    // Needs the render size in the process-wide state; an incomplete
    // framebuffer or a broken shader ends the process.
    Renderer();
    ~Renderer();
    Renderer(const Renderer&) = delete;
    Renderer& operator=(const Renderer&) = delete;

    // Runs every enabled effect in chain order and returns the texture that
    // holds the frame's final image (borrowed from its owner).
    GLuint applyEffects();

    // Draws `texture` over the whole current viewport.
    void drawScreenQuad(GLuint texture);

    // From now on the final pass draws into pictureFramebuffer, made at the
    // framebuffer's size; an incomplete one ends the process with
    // targetFailure's line.
    void drawIntoPicture();

    // From now on a frame whose camera has moved since the last frame is
    // drawn at `scale` of the render size along each side, through targets
    // of its own made here once; the first still frame after it is whole
    // again. The built-in scene's frames never are: it is never asked.
    void drawMovingFramesAt(float scale);

    // Whether the frame about to be drawn with this camera pose is a moving
    // one; remembers the pose for the next frame's question.
    bool cameraMoved(const glm::mat4& view, const glm::mat4& projection);

    // The smaller targets trade places with the render size's, and back.
    void swapTargets();

    // The size of the moving frames' targets (0 x 0 until asked for).
    int movingWidth() const { return moving.width; }
    int movingHeight() const { return moving.height; }

private:
    FrameTargets moving;
    render::LinearFrame* movingLinearFrame = nullptr;
    bool swapped = false;
    // The point size and line width of the render size, while swapped.
    GLfloat pointSize = 1.0f;
    GLfloat lineWidth = 1.0f;
    bool posed = false;
    glm::mat4 lastView{1.0f};
    glm::mat4 lastProjection{1.0f};
};

// Whether a frame may be drawn at the moving frames' scale.
enum class FrameDetail {
    followCamera, // smaller while the camera moves, where the renderer draws moving frames
    whole,        // at the render size: a frame that is saved
};

// One frame: shadows, geometry, effects, and the final quad into the
// window's back buffer or the picture framebuffer.
void renderFrame(FrameDetail detail = FrameDetail::followCamera);

// The steps of renderFrame after the shadows, for tools that time them apart.
void renderGeometryPass();
void presentImage(GLuint image);
