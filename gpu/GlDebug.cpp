// Printing the driver's debug messages and the errors the frame loop polls.
#include "gpu/GlDebug.h"

#include "base/Printable.h"

#include <GL/glew.h>
#include <iostream>
#include <string>

namespace {

const char* glErrorName(GLenum code)
{
    switch (code) {
    case GL_INVALID_ENUM:
        return "INVALID_ENUM";
    case GL_INVALID_VALUE:
        return "INVALID_VALUE";
    case GL_INVALID_OPERATION:
        return "INVALID_OPERATION";
    case GL_STACK_OVERFLOW:
        return "STACK_OVERFLOW";
    case GL_STACK_UNDERFLOW:
        return "STACK_UNDERFLOW";
    case GL_OUT_OF_MEMORY:
        return "OUT_OF_MEMORY";
    case GL_INVALID_FRAMEBUFFER_OPERATION:
        return "INVALID_FRAMEBUFFER_OPERATION";
    default:
        return nullptr;
    }
}

const char* sourceName(GLenum source)
{
    switch (source) {
    case GL_DEBUG_SOURCE_API:
        return "api";
    case GL_DEBUG_SOURCE_WINDOW_SYSTEM:
        return "window-system";
    case GL_DEBUG_SOURCE_SHADER_COMPILER:
        return "shader-compiler";
    case GL_DEBUG_SOURCE_THIRD_PARTY:
        return "third-party";
    case GL_DEBUG_SOURCE_APPLICATION:
        return "application";
    default:
        return "other";
    }
}

const char* typeName(GLenum type)
{
    switch (type) {
    case GL_DEBUG_TYPE_ERROR:
        return "error";
    case GL_DEBUG_TYPE_DEPRECATED_BEHAVIOR:
        return "deprecated";
    case GL_DEBUG_TYPE_UNDEFINED_BEHAVIOR:
        return "undefined-behaviour";
    case GL_DEBUG_TYPE_PORTABILITY:
        return "portability";
    case GL_DEBUG_TYPE_PERFORMANCE:
        return "performance";
    case GL_DEBUG_TYPE_MARKER:
        return "marker";
    default:
        return "other";
    }
}

const char* severityName(GLenum severity)
{
    switch (severity) {
    case GL_DEBUG_SEVERITY_HIGH:
        return "high";
    case GL_DEBUG_SEVERITY_MEDIUM:
        return "medium";
    case GL_DEBUG_SEVERITY_LOW:
        return "low";
    default:
        return "notification";
    }
}

void GLAPIENTRY printMessage(GLenum source, GLenum type, GLuint id, GLenum severity, GLsizei length,
                             const GLchar* message, const void*)
{
    const std::string text = length >= 0 ? std::string(message, static_cast<size_t>(length)) : std::string(message);
    std::cerr << "GL debug: source " << sourceName(source) << ", type " << typeName(type) << ", severity "
              << severityName(severity) << ", id " << id << ": " << printable(text) << std::endl;
}

} // namespace

bool enableGlDebugOutput()
{
    GLint flags = 0;
    glGetIntegerv(GL_CONTEXT_FLAGS, &flags);
    if (glDebugMessageCallback == nullptr || (flags & GL_CONTEXT_FLAG_DEBUG_BIT) == 0) {
        std::cerr << "brassfern: this GL gives no debug output (no debug context with KHR_debug)" << std::endl;
        return false;
    }
    glEnable(GL_DEBUG_OUTPUT);
    // Each message while the call that caused it is still on the stack.
    glEnable(GL_DEBUG_OUTPUT_SYNCHRONOUS);
    glDebugMessageCallback(printMessage, nullptr);
    glDebugMessageControl(GL_DONT_CARE, GL_DONT_CARE, GL_DONT_CARE, 0, nullptr, GL_TRUE);
    const char marker[] = "debug output on";
    glDebugMessageInsert(GL_DEBUG_SOURCE_APPLICATION, GL_DEBUG_TYPE_MARKER, 0, GL_DEBUG_SEVERITY_NOTIFICATION,
                         static_cast<GLsizei>(sizeof marker - 1), marker);
    return true;
}

void reportGlError()
{
    const GLenum code = glGetError();
    if (const char* name = glErrorName(code))
        std::cout << "GL ERROR DETECTED!!! " << name << " (" << static_cast<unsigned>(code) << ")" << std::endl;
}
