// Drawing the backdrop and the ground of a model given by path into the geometry framebuffer.
#include "render/Stage.h"

#include "app/Globals.h"
#include "camera/Camera.h"
#include "gpu/ShaderProgram.h"
#include "gpu/Uniforms.h"
#include "render/Environment.h"
#include "render/Renderer.h"
#include "render/ShadowLight.h"
#include "render/StageLook.h"
#include "render/LinearFrame.h"

#include <algorithm>
#include <cmath>
#include <glm/gtc/matrix_transform.hpp>

namespace render {


namespace {

// A square from -1 to 1 in x and z, facing up, counter-clockwise seen from
// above: position, normal and texture coordinate (the corner again, which
// the fade and the grid measure in).
constexpr GLfloat groundCorners[4 * 8] = {
    -1.0f, 0.0f, 1.0f,  0.0f, 1.0f, 0.0f, -1.0f, 1.0f,  //
    1.0f,  0.0f, 1.0f,  0.0f, 1.0f, 0.0f, 1.0f,  1.0f,  //
    1.0f,  0.0f, -1.0f, 0.0f, 1.0f, 0.0f, 1.0f,  -1.0f, //
    -1.0f, 0.0f, -1.0f, 0.0f, 1.0f, 0.0f, -1.0f, -1.0f,
};

// Far enough under the lowest point that a face lying on it (the top of a
// flat model) never fights the ground for its pixels, near enough that the
// contact shadow shows no gap.
constexpr float groundDrop = 0.004f;

} // namespace

GroundPlacement placeGround(const glm::vec3& low, const glm::vec3& high)
{
    const glm::vec3 extent = high - low;
    const float radius = std::max(0.5f * glm::length(extent), 1e-6f);
    GroundPlacement ground;
    ground.height = low.y - groundDrop * radius;
    ground.centre = 0.5f * glm::vec2(low.x + high.x, low.z + high.z);
    // Past the footprint of any model, and gone well before the horizon:
    // the start view and every zoom but the farthest see it fade out.
    ground.fadeStart = 1.2f * radius;
    ground.fadeEnd = 3.4f * radius;
    // A power of ten of the model's own units would change with them; the
    // framing made every model the same size, so the grid follows the model.
    ground.gridSpacing = 0.5f * radius;
    return ground;
}

Stage::Stage()
{
    backdropProgram =
        new ShaderProgram("Shader/ScreenQuadVertex.glsl", "Shader/ScreenQuadFragment.glsl", "#define BACKDROP 1\n");
    groundProgram =
        new ShaderProgram("Shader/basicVertex.glsl", "Shader/basicFragment.glsl", "#define GROUND_PLANE 1\n");

    glGenBuffers(1, &groundBuffer);
    glBindBuffer(GL_ARRAY_BUFFER, groundBuffer);
    glBufferData(GL_ARRAY_BUFFER, sizeof(groundCorners), groundCorners, GL_STATIC_DRAW);
    glGenVertexArrays(1, &groundVao);
    glBindVertexArray(groundVao);
    constexpr GLsizei stride = 8 * sizeof(GLfloat);
    for (GLuint location = 0; location < 3; ++location) {
        static constexpr GLint sizes[3] = {3, 3, 2};
        static constexpr size_t offsets[3] = {0, 3, 6};
        glEnableVertexAttribArray(location);
        glVertexAttribPointer(location, sizes[location], GL_FLOAT, GL_FALSE, stride,
                              reinterpret_cast<const void*>(offsets[location] * sizeof(GLfloat)));
    }
    glBindVertexArray(0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);

    // What stays the same from frame to frame: the colours, the ground's
    // surface, and the light, which stands still for a model.
    glUseProgram(backdropProgram->program);
    setUniform(backdropProgram->program, "backdropTop", backdropTop);
    setUniform(backdropProgram->program, "backdropBottom", backdropBottom);
    const GLuint program = groundProgram->program;
    glUseProgram(program);
    setUniform(program, "lightDirection", shadowLight->direction);
    setUniform(program, "lightColor", shadowLight->color);
    setUniform(program, "lightIntensity", shadowLight->intensity);
    setUniform(program, "ambientFactor", glm::vec3(0.35f));
    setUniform(program, "diffuseFactor", glm::vec3(0.75f));
    setUniform(program, "specularFactor", glm::vec3(0.0f));
    setUniform(program, "shininess", 1.0f);
    setUniform(program, "shadowMap", 1);
    glUseProgram(0);

    linearFrame = new LinearFrame(renderer->framebuffer, renderer->width, renderer->height);
    renderer->linearColorTexture = linearFrame->litTexture;
    const EnvironmentLight& light = modelEnvironment();
    glGenTextures(1, &environmentTexture);
    glBindTexture(GL_TEXTURE_2D, environmentTexture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB16F, EnvironmentLight::elevationSteps, EnvironmentLight::roughnessSteps, 0,
                 GL_RGB, GL_FLOAT, light.prefiltered.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glBindTexture(GL_TEXTURE_2D, 0);
}

Stage::~Stage()
{
    glDeleteTextures(1, &environmentTexture);
    renderer->linearColorTexture = 0;
    delete linearFrame;
    glDeleteVertexArrays(1, &groundVao);
    glDeleteBuffers(1, &groundBuffer);
    delete backdropProgram;
    delete groundProgram;
}

void Stage::drawBackdrop(GLuint quadVao, GLsizei quadIndexCount) const
{
    glUseProgram(backdropProgram->program);
    // Behind everything: the depth stays cleared, so the depth of field
    // takes the backdrop for the farthest background.
    glDepthMask(GL_FALSE);
    glDisable(GL_DEPTH_TEST);
    // The normal and the position are cleared to the zeros the effects read
    // as background already; writing them again would double the pass's
    // cost in float targets. The radiance stays at the cleared black, which
    // no glow starts from.
    for (GLuint target : {1u, 2u, LinearFrame::attachment})
        glColorMaski(target, GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
    glBindVertexArray(quadVao);
    glDrawElements(GL_TRIANGLES, quadIndexCount, GL_UNSIGNED_INT, nullptr);
    glBindVertexArray(0);
    for (GLuint target : {1u, 2u, LinearFrame::attachment})
        glColorMaski(target, GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glEnable(GL_DEPTH_TEST);
    glDepthMask(GL_TRUE);
    glUseProgram(0);
}

void Stage::drawGround() const
{
    if (!groundShown)
        return;
    const GLuint program = groundProgram->program;
    const glm::mat4 model = glm::scale(glm::translate(glm::mat4(1.0f), glm::vec3(ground.centre.x, ground.height,
                                                                                   ground.centre.y)),
                                       glm::vec3(ground.fadeEnd, 1.0f, ground.fadeEnd));
    const glm::mat4 modelView = camera->view * model;
    camera->setCameraUniforms(*groundProgram);
    setUniform(program, "modelMatrix", model);
    setUniform(program, "NormalMVMatrix", glm::transpose(glm::inverse(modelView)));
    setUniform(program, "MVMatrix", modelView);
    setUniform(program, "MVPMatrix", camera->projection * modelView);
    setUniform(program, "lightMVP", shadowLight->computeLightMVP(true, model));
    setUniform(program, "groundFade", glm::vec2(ground.fadeStart, ground.fadeEnd) / ground.fadeEnd);
    setUniform(program, "gridCells", ground.fadeEnd / ground.gridSpacing);
    glActiveTexture(GL_TEXTURE1);
    glBindTexture(GL_TEXTURE_2D, shadowLight->shadowMapTexture());
    glActiveTexture(GL_TEXTURE0);
    // The ground is far too dim to glow: it writes no radiance.
    glColorMaski(LinearFrame::attachment, GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
    glBindVertexArray(groundVao);
    glDrawArrays(GL_TRIANGLE_FAN, 0, 4);
    glBindVertexArray(0);
    glColorMaski(LinearFrame::attachment, GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glActiveTexture(GL_TEXTURE1);
    glBindTexture(GL_TEXTURE_2D, 0);
    glActiveTexture(GL_TEXTURE0);
    glUseProgram(0);
}

} // namespace render
