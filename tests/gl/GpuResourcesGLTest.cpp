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

// The levels the import made are the texture's own, each in its place and
// size, and a texture sampled minified reads them; a picture without them
// gets the GL's, and one read only at full size has none.
TEST_F(GpuResources, TextureTakesTheMipmapLevelsItIsGivenOrMakesThem)
{
    // A 5 x 2 level 0, then 2 x 1 and 1 x 1, each level its own grey.
    const std::vector<unsigned char> base(4 * 5 * 2, 10);
    std::vector<unsigned char> levels(4 * 2, 70);
    levels.insert(levels.end(), {130, 140, 150, 160});
    const Texture given(5, 2, base.data(), false, levels.data());
    EXPECT_EQ(integer(GL_TEXTURE_BINDING_2D), static_cast<GLint>(given.id));
    GLint minify = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minify);
    EXPECT_EQ(minify, GL_LINEAR_MIPMAP_LINEAR);
    std::vector<unsigned char> texels(4 * 2);
    glGetTexImage(GL_TEXTURE_2D, 1, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    EXPECT_EQ(texels, std::vector<unsigned char>(8, 70));
    std::vector<unsigned char> last(4);
    glGetTexImage(GL_TEXTURE_2D, 2, GL_RGBA, GL_UNSIGNED_BYTE, last.data());
    EXPECT_EQ(last, (std::vector<unsigned char>{130, 140, 150, 160}));
    glDeleteTextures(1, &given.id);

    const Texture made(5, 2, base.data());
    glGetTexImage(GL_TEXTURE_2D, 2, GL_RGBA, GL_UNSIGNED_BYTE, last.data());
    EXPECT_EQ(last, (std::vector<unsigned char>{10, 10, 10, 10}));
    glDeleteTextures(1, &made.id);

    writeImage("noise.png", 2, 2, std::vector<unsigned char>(4 * 4, 99), 4);
    const Texture fullSizeOnly("noise.png", false);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minify);
    EXPECT_EQ(minify, GL_NEAREST);
    glDeleteTextures(1, &fullSizeOnly.id);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

} // namespace
