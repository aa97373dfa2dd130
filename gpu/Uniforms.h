// Writing a program's uniforms by name.
#pragma once

#include <GL/glew.h>
#include <glm/glm.hpp>

// Each write looks the location up by name on the spot: the design keeps no
// table of locations anywhere, so a program is addressed only through the
// names its shaders declare. A name the program lacks (a uniform its shader
// never uses is compiled away) has location -1, which the GL ignores.
// `program` must be the current program.
void setUniform(GLuint program, const char* name, int value);
void setUniform(GLuint program, const char* name, float value);
void setUniform(GLuint program, const char* name, const glm::vec2& value);
void setUniform(GLuint program, const char* name, const glm::vec3& value);
void setUniform(GLuint program, const char* name, const glm::vec4& value);
// Column-major, as GLM stores it, not transposed.
void setUniform(GLuint program, const char* name, const glm::mat3& value);
void setUniform(GLuint program, const char* name, const glm::mat4& value);
