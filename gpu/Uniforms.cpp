#include "gpu/Uniforms.h"

#include <glm/gtc/type_ptr.hpp>

void setUniform(GLuint program, const char* name, int value)
{
    glUniform1i(glGetUniformLocation(program, name), value);
}

void setUniform(GLuint program, const char* name, float value)
{
    glUniform1f(glGetUniformLocation(program, name), value);
}

void setUniform(GLuint program, const char* name, const glm::vec2& value)
{
    glUniform2f(glGetUniformLocation(program, name), value.x, value.y);
}

void setUniform(GLuint program, const char* name, const glm::vec3& value)
{
    glUniform3f(glGetUniformLocation(program, name), value.x, value.y, value.z);
}

void setUniform(GLuint program, const char* name, const glm::vec4& value)
{
    glUniform4f(glGetUniformLocation(program, name), value.x, value.y, value.z, value.w);
}

void setUniform(GLuint program, const char* name, const glm::mat3& value)
{
    glUniformMatrix3fv(glGetUniformLocation(program, name), 1, GL_FALSE, glm::value_ptr(value));
}

void setUniform(GLuint program, const char* name, const glm::mat4& value)
{
    glUniformMatrix4fv(glGetUniformLocation(program, name), 1, GL_FALSE, glm::value_ptr(value));
}
