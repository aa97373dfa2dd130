// A linked GLSL program built from one vertex file and one fragment file.
#pragma once

#include <GL/glew.h>
#include <string>

class ShaderProgram {
public:
    GLuint program = 0;
    GLuint vertexShader = 0;
    GLuint fragmentShader = 0;

    // Returns only with a linked program; any failure ends the process.
    ShaderProgram(const std::string& vertexPath, const std::string& fragmentPath);
    ~ShaderProgram();

    ShaderProgram(const ShaderProgram&) = delete;
    ShaderProgram& operator=(const ShaderProgram&) = delete;

    void loadShader(const std::string& path, GLenum type, GLuint& shader);
    void link();
};
