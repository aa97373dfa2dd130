// The abstract step of the post-processing chain.
#pragma once

#include <GL/glew.h>

namespace render {

class ScreenSpaceEffect {
public:
    // The render size the effect's targets are made for: its input and its
    // output have it. `scale` is that size over the render size's the
    // effect's look is made for: blurs that reach as far across the picture
    // at every scale have fewer of its pixels to reach over.
    ScreenSpaceEffect(int width, int height, float scale) : width(width), height(height), scale(scale) {}
    virtual ~ScreenSpaceEffect() = default;
    ScreenSpaceEffect(const ScreenSpaceEffect&) = delete;
    ScreenSpaceEffect& operator=(const ScreenSpaceEffect&) = delete;

    // Runs the effect's passes on `inputTexture` and returns its own
    // full-size output texture, valid until the effect runs again. Leaves its
    // last framebuffer bound, the viewport at its render size, no program and
    // no vertex array in use.
    virtual GLuint apply(GLuint inputTexture, GLuint sceneColorTexture, GLuint depthTexture, GLuint normalTexture,
                         GLuint positionTexture, GLuint quadVao, GLsizei quadIndexCount) = 0;

    // Whether sceneColorTexture holds linear radiance (a model's frame
    // before its tone curve) rather than the colours shown.
    bool sceneIsLinear = false;

    const int width;
    const int height;
    const float scale;
};

} // namespace render
