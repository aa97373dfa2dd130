// Shader programs and textures as the GL holds them after construction and destruction.
#include "GlTest.h"

#include "gpu/ShaderProgram.h"
#include "gpu/Texture.h"

#include <algorithm>

namespace {

using GpuResources = GlTest;

TEST_F(GpuResources, ProgramKeepsBothShadersAttachedAndFragColorAtZeroUntilDeleted)
{
    auto* program = new ShaderProgram("Shader/ScreenQuadVertex.glsl", "Shader/ScreenQuadFragment.glsl");
    const GLuint names[3] = {program->program, program->vertexShader, program->fragmentShader};
    GLuint attached[4] = {};
    GLsizei count = 0;
    glGetAttachedShaders(names[0], 4, &count, attached);
    ASSERT_EQ(count, 2);
    EXPECT_TRUE(std::is_permutation(attached, attached + 2, names + 1));
    EXPECT_EQ(glGetFragDataLocation(names[0], "fragColor"), 0);

    delete program;
    EXPECT_FALSE(glIsProgram(names[0]));
    EXPECT_FALSE(glIsShader(names[1]) || glIsShader(names[2]));
}

TEST_F(GpuResources, TextureIsRgbaOnUnitZeroWithOpaqueAlphaWhenTheImageHasNone)
{
    const std::vector<unsigned char> cases[][2] = {
        {{10, 200, 30}, {10, 200, 30, 255}},
        {{10, 200, 30, 77}, {10, 200, 30, 77}},
    };
    for (const auto& [pixel, expected] : cases) {
        const std::string path = "pixel" + std::to_string(pixel.size()) + ".png";
        writeImage(path, 1, 1, pixel, static_cast<int>(pixel.size()));
        glActiveTexture(GL_TEXTURE3);
        const Texture texture(path);
        EXPECT_EQ(glm::ivec2(texture.width, texture.height), glm::ivec2(1, 1));
        EXPECT_EQ(integer(GL_ACTIVE_TEXTURE), GL_TEXTURE0);
        EXPECT_EQ(static_cast<GLuint>(integer(GL_TEXTURE_BINDING_2D)), texture.id);
        std::vector<unsigned char> texel(4);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texel.data());
        EXPECT_EQ(texel, expected) << pixel.size() << " channels";
        glDeleteTextures(1, &texture.id);
    }
}

} // namespace
