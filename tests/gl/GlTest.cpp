// The GL test fixture: context, scratch directory, image and scene files, read-backs.
#include "GlTest.h"

#include "DisplayTest.h"

#include "app/Application.h"
#include "app/Globals.h"
#include "camera/Camera.h"
#include "camera/Controls.h"

#include <GLFW/glfw3.h>
#include <IL/il.h>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>

namespace fs = std::filesystem;

namespace {
fs::path previousDirectory;
fs::path scratchDirectory;
} // namespace

Image Image::ofTexture(GLuint texture)
{
    Image image;
    glBindTexture(GL_TEXTURE_2D, texture);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &image.width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &image.height);
    image.rgb.resize(static_cast<size_t>(image.width * image.height * 3));
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, image.rgb.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    return image;
}

Image Image::ofWindow()
{
    Image image{windowWidth, windowHeight, std::vector<unsigned char>(static_cast<size_t>(windowWidth * windowHeight * 3))};
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, windowWidth, windowHeight, GL_RGB, GL_UNSIGNED_BYTE, image.rgb.data());
    return image;
}

glm::vec2 Image::luminance(glm::ivec2 pixel, int r) const
{
    EXPECT_TRUE(glm::all(glm::greaterThanEqual(pixel, glm::ivec2(r))) && pixel.x + r < width && pixel.y + r < height)
        << "patch at " << pixel.x << ", " << pixel.y << " leaves the picture";
    pixel = glm::clamp(pixel, glm::ivec2(r), glm::ivec2(width, height) - r - 1);
    glm::vec2 sums(0.0f);
    for (int y = pixel.y - r; y <= pixel.y + r; ++y)
        for (int x = pixel.x - r; x <= pixel.x + r; ++x) {
            const unsigned char* p = &rgb[static_cast<size_t>((y * width + x) * 3)];
            const float l = 0.2126f * p[0] + 0.7152f * p[1] + 0.0722f * p[2];
            sums += glm::vec2(l, l * l);
        }
    const glm::vec2 mean = sums / float((2 * r + 1) * (2 * r + 1));
    return {mean.x, std::sqrt(std::max(mean.y - mean.x * mean.x, 0.0f))};
}

void GlTest::SetUpTestSuite()
{
    // One context for the process, made when the first test runs: listing the
    // tests needs no display.
    if (window == nullptr && glfwInit()) {
        glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 3);
        glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 3);
        glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
        glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
        window = glfwCreateWindow(320, 180, "gl_tests", nullptr, nullptr);
        glfwMakeContextCurrent(window);
        glewExperimental = GL_TRUE;
        if (window != nullptr && glewInit() == GLEW_OK)
            ilInit();
    }
    char name[] = "/tmp/brassfern-gl-XXXXXX";
    scratchDirectory = mkdtemp(name);
    previousDirectory = fs::current_path();
    fs::copy(fs::path(BRASSFERN_DATA_DIR) / "Shader", scratchDirectory / "Shader");
    fs::create_directories(scratchDirectory / "Textures" / "FinalScene");
    fs::create_directories(scratchDirectory / "SceneObjects" / "FinalScene");
    fs::current_path(scratchDirectory);
    std::mt19937 random(7);
    std::vector<unsigned char> noise(64 * 64 * 3);
    for (unsigned char& value : noise)
        value = static_cast<unsigned char>(random());
    if (window != nullptr)
        writeImage("Textures/random.jpg", 64, 64, noise);
}

void GlTest::TearDownTestSuite()
{
    fs::current_path(previousDirectory);
    fs::remove_all(scratchDirectory);
}

void GlTest::SetUp()
{
    if (window == nullptr && !haveDisplay())
        GTEST_SKIP() << noDisplayReason;
    ASSERT_NE(window, nullptr) << "no OpenGL 3.3 core context";
    windowWidth = renderWidth = framebufferWidth = 320;
    windowHeight = renderHeight = framebufferHeight = 180;
    shadowMapWidth = shadowMapHeight = 256;
    resetControls();
    glGetError(); // GLEW's own INVALID_ENUM on core contexts
}

void GlTest::TearDown()
{
    if (window == nullptr)
        return;
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    if (renderer != nullptr)
        shutdown();
    renderer = nullptr;
    camera = nullptr;
    shadowLight = nullptr;
    glfwSetWindowShouldClose(window, 0);
}

void GlTest::writeImage(const std::string& path, int width, int height, const std::vector<unsigned char>& rgb,
                        int channels)
{
    ILuint image = 0;
    ilGenImages(1, &image);
    ilBindImage(image);
    ilTexImage(static_cast<ILuint>(width), static_cast<ILuint>(height), 1, static_cast<ILubyte>(channels),
               channels == 4 ? IL_RGBA : IL_RGB, IL_UNSIGNED_BYTE, const_cast<unsigned char*>(rgb.data()));
    ilEnable(IL_FILE_OVERWRITE);
    EXPECT_TRUE(ilSaveImage(path.c_str())) << path;
    ilDeleteImages(1, &image);
}

void GlTest::startViewer(const std::string& obj, const std::string& mtl)
{
    std::ofstream("SceneObjects/FinalScene/final_scene.obj") << "mtllib final_scene.mtl\n" << obj;
    std::ofstream("SceneObjects/FinalScene/final_scene.mtl") << mtl;
    initScene();
}

glm::ivec2 GlTest::pixelOf(const glm::vec3& world)
{
    const glm::vec4 clip = camera->projection * camera->view * glm::vec4(world, 1.0f);
    return glm::ivec2((glm::vec2(clip) / clip.w * 0.5f + 0.5f) * glm::vec2(renderWidth, renderHeight));
}

GLint GlTest::integer(GLenum name)
{
    GLint value = 0;
    glGetIntegerv(name, &value);
    return value;
}

void addQuad(std::string& obj, int& base, glm::vec3 corner, glm::vec3 u, glm::vec3 v, float repeat)
{
    const glm::vec3 n = glm::normalize(glm::cross(u, v));
    const glm::vec3 corners[4] = {corner, corner + u, corner + u + v, corner + v};
    const float s[4] = {0, repeat, repeat, 0};
    const float t[4] = {0, 0, repeat, repeat};
    char line[160];
    for (int i = 0; i < 4; ++i) {
        std::snprintf(line, sizeof line, "v %g %g %g\nvt %g %g\nvn %g %g %g\n", corners[i].x, corners[i].y,
                      corners[i].z, s[i], t[i], n.x, n.y, n.z);
        obj += line;
    }
    std::snprintf(line, sizeof line, "f %d/%d/%d %d/%d/%d %d/%d/%d %d/%d/%d\n", base + 1, base + 1, base + 1, base + 2,
                  base + 2, base + 2, base + 3, base + 3, base + 3, base + 4, base + 4, base + 4);
    obj += line;
    base += 4;
}

void addBox(std::string& obj, int& base, glm::vec3 low, glm::vec3 high)
{
    const glm::vec3 d = high - low;
    addQuad(obj, base, {low.x, high.y, high.z}, {d.x, 0, 0}, {0, 0, -d.z});  // top
    addQuad(obj, base, low, {d.x, 0, 0}, {0, 0, d.z});                        // bottom
    addQuad(obj, base, {low.x, low.y, high.z}, {d.x, 0, 0}, {0, d.y, 0});    // +Z
    addQuad(obj, base, {high.x, low.y, low.z}, {-d.x, 0, 0}, {0, d.y, 0});   // -Z
    addQuad(obj, base, {high.x, low.y, high.z}, {0, 0, -d.z}, {0, d.y, 0});  // +X
    addQuad(obj, base, low, {0, 0, d.z}, {0, d.y, 0});                        // -X
}
