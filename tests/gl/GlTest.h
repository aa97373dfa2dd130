// The hidden 3.3 core window, the scratch data directory and the read-backs shared by the GL tests.
#pragma once

#include <GL/glew.h>
#include <glm/glm.hpp>
#include <gtest/gtest.h>
#include <string>
#include <vector>

// An RGB8 picture read back from the GL, rows bottom to top as the GL stores them.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb;

    static Image ofTexture(GLuint texture);
    static Image ofWindow();
    // Mean and standard deviation (local contrast) of the luminance, 0..255,
    // over the square of radius r around the pixel.
    glm::vec2 luminance(glm::ivec2 pixel, int r = 2) const;
};

// Every test runs in a scratch directory laid out like data/, with the real
// shaders, a 64 x 64 noise image and the sizes a small settings file gives.
class GlTest : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void SetUp() override;
    void TearDown() override; // no GL error pending, the viewer shut down

    static void writeImage(const std::string& path, int width, int height, const std::vector<unsigned char>& rgb,
                           int channels = 3);
    // Writes the scene and material files and runs the real start-up.
    static void startViewer(const std::string& obj, const std::string& mtl);
    // The pixel where the camera sees a world point.
    static glm::ivec2 pixelOf(const glm::vec3& world);
    static GLint integer(GLenum name);
};

// Appends an OBJ quad from `corner` along `u` then `v`, facing cross(u, v);
// `base` counts the vertices written so far.
void addQuad(std::string& obj, int& base, glm::vec3 corner, glm::vec3 u, glm::vec3 v, float repeat = 1.0f);
void addBox(std::string& obj, int& base, glm::vec3 low, glm::vec3 high);
