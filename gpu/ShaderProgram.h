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
    // definitions: preprocessor lines ("#define NAME value\n" each) both
    // stages see right after their #version line, after the shared constants
    // (ShaderConstants.h) every program sees, for the numbers a shader needs
    // at compile time (a loop's trip count); line numbers in compile errors
    // still match the files.
    ShaderProgram(const std::string& vertexPath, const std::string& fragmentPath,
                  const std::string& definitions = std::string());
    ~ShaderProgram();

    ShaderProgram(const ShaderProgram&) = delete;
    ShaderProgram& operator=(const ShaderProgram&) = delete;

    void loadShader(const std::string& path, GLenum type, GLuint& shader);
    void link();

    // The definition lines it was built with, which tell apart the
    // variants of one pair of files.
    const std::string& definitionLines() const { return definitions; }

private:
    std::string definitions;
};
