// Render-target construction and the full-screen pass shared by the shadow blur and the effects.
#include "render/RenderPass.h"

#include "base/Fatal.h"
#include "gpu/DriverFallbacks.h"
#include "gpu/ShaderConstants.h"
#include "gpu/ShaderProgram.h"
#include "gpu/Uniforms.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

void largestRenderTarget(int& width, int& height)
{
    GLint maxTexture = 0;
    GLint maxRenderbuffer = 0;
    GLint maxViewport[2] = {0, 0};
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxTexture);
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &maxRenderbuffer);
    glGetIntegerv(GL_MAX_VIEWPORT_DIMS, maxViewport);
    width = std::min({maxTexture, maxRenderbuffer, maxViewport[0]});
    height = std::min({maxTexture, maxRenderbuffer, maxViewport[1]});
}

bool fitsRenderTarget(int width, int height)
{
    int largestWidth = 0;
    int largestHeight = 0;
    largestRenderTarget(largestWidth, largestHeight);
    return width > 0 && height > 0 && width <= largestWidth && height <= largestHeight;
}

bool completeOrFourChannels(int width, int height, const std::vector<ColourAttachment>& attachments)
{
    const bool complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    if (complete && !fallbackForced(Fallback::rgbaTargets))
        return true;
    for (const ColourAttachment& attachment : attachments) {
        glBindTexture(GL_TEXTURE_2D, attachment.texture);
        glTexImage2D(GL_TEXTURE_2D, 0, attachment.rgbaInternalFormat, width, height, 0, GL_RGBA, attachment.type,
                     nullptr);
    }
    glBindTexture(GL_TEXTURE_2D, 0);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE)
        return false;
    reportFallback(Fallback::rgbaTargets,
                   complete ? "forced" : "render targets in three-channel formats are incomplete here");
    return true;
}

void buildRenderTarget(int width, int height, std::initializer_list<TargetTexture> textures, GLuint& fbo)
{
    if (!fitsRenderTarget(width, height))
        fatal({targetFailure}, -1);
    glGenFramebuffers(1, &fbo);
    glBindFramebuffer(GL_FRAMEBUFFER, fbo);
    std::vector<GLenum> drawBuffers;
    std::vector<ColourAttachment> attachments;
    for (const TargetTexture& texture : textures) {
        const GLenum format = texture.format;
        GLuint& name = *texture.texture;
        glGenTextures(1, &name);
        glBindTexture(GL_TEXTURE_2D, name);
        glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(format), width, height, 0, format, GL_UNSIGNED_BYTE,
                     nullptr);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        const GLenum attachment = GL_COLOR_ATTACHMENT0 + static_cast<GLenum>(drawBuffers.size());
        glFramebufferTexture2D(GL_FRAMEBUFFER, attachment, GL_TEXTURE_2D, name, 0);
        drawBuffers.push_back(attachment);
        attachments.push_back({name, GL_RGBA8, GL_UNSIGNED_BYTE});
    }
    glDrawBuffers(static_cast<GLsizei>(drawBuffers.size()), drawBuffers.data());
    if (!completeOrFourChannels(width, height, attachments))
        fatal({targetFailure}, -1);
    glBindRenderbuffer(GL_RENDERBUFFER, 0);
    glBindTexture(GL_TEXTURE_2D, 0);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

void deleteRenderTarget(GLuint& fbo, std::initializer_list<GLuint*> textures)
{
    for (GLuint* texture : textures)
        glDeleteTextures(1, texture);
    glDeleteFramebuffers(1, &fbo);
}

ShaderProgram* buildProgram(const char* vertexPath, const char* fragmentPath)
{
    auto* program = new ShaderProgram(vertexPath, fragmentPath);
    glUseProgram(program->program);
    return program;
}

float blurRadius(float blurSize)
{
    return std::max(8.0f * std::sqrt(std::max(blurSize, 0.0f)), 0.5f);
}

float scaledBlurSize(float blurSize, float scale)
{
    return blurSize * scale * scale;
}

int blurTapCount(float blurSize)
{
    return static_cast<int>(std::clamp(std::floor(blurRadius(blurSize)), 1.0f, 12.0f));
}

ShaderProgram* buildBlurProgram(bool horizontal, float blurSize, BlurSource source)
{
    // The radius, the tap count and the source's size are compile-time
    // facts: a loop whose length comes from a uniform, or a branch on one,
    // costs the software rasterizer about twice the taps, since it runs
    // every path.
    const std::string definitions = "#define BLUR_RADIUS " + glslFloat(blurRadius(blurSize)) + "\n" +
                                    "#define BLUR_TAPS " + std::to_string(blurTapCount(blurSize)) + "\n" +
                                    "#define BLUR_SOURCE_LARGER " + (source == BlurSource::Larger ? "1" : "0") + "\n";
    auto* program = new ShaderProgram(
        horizontal ? "Shader/BlurHorizontalVertex.glsl" : "Shader/BlurVerticalVertex.glsl", "Shader/BlurFragment.glsl",
        definitions);
    glUseProgram(program->program);
    setUniform(program->program, "blurSize", blurSize);
    return program;
}

void drawQuad(const ShaderProgram& program, std::initializer_list<PassInput> inputs, GLuint quadVao,
              GLsizei quadIndexCount, const std::function<void(GLuint program)>& setUniforms)
{
    glUseProgram(program.program);
    if (setUniforms)
        setUniforms(program.program);
    GLint unit = 0;
    for (const PassInput& input : inputs) {
        glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(unit));
        glBindTexture(GL_TEXTURE_2D, input.texture);
        setUniform(program.program, input.sampler, unit);
        ++unit;
    }
    glBindVertexArray(quadVao);
    glDrawElements(GL_TRIANGLES, quadIndexCount, GL_UNSIGNED_INT, nullptr);
    glBindVertexArray(0);
    // Only the last unit is cleared; the earlier ones keep their textures,
    // which the next pass rebinds anyway.
    glBindTexture(GL_TEXTURE_2D, 0);
    glUseProgram(0);
}

void drawFullScreenPass(GLuint fbo, const ShaderProgram& program, std::initializer_list<PassInput> inputs,
                        GLuint quadVao, GLsizei quadIndexCount,
                        const std::function<void(GLuint program)>& setUniforms)
{
    glBindFramebuffer(GL_FRAMEBUFFER, fbo);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    drawQuad(program, inputs, quadVao, quadIndexCount, setUniforms);
}
