// Reading, compiling and linking shader files, with the fatal reports.
#include "gpu/ShaderProgram.h"

#include "base/Fatal.h"
#include "base/Printable.h"
#include "base/RegularFile.h"
#include "gpu/ShaderConstants.h"
#include "base/StartupTimes.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <vector>

namespace {

// The log as text up to its terminating NUL, escaped line by line: it
// quotes the shader's text, which comes from a file. A length of 0 gives "".
std::string infoLog(GLuint object, PFNGLGETSHADERIVPROC getLength, PFNGLGETSHADERINFOLOGPROC getLog)
{
    GLint length = 0;
    getLength(object, GL_INFO_LOG_LENGTH, &length);
    std::vector<char> log(static_cast<size_t>(length > 0 ? length : 1), '\0');
    if (length > 0)
        getLog(object, length, nullptr, log.data());
    return printableLines(log.data());
}

// No shader is near this; a link to /dev/zero or a huge file would
// otherwise be read until memory runs out.
constexpr unsigned long long maxShaderBytes = 1ULL << 20;

[[noreturn]] void failToLoad(const std::string& path, const std::string& reason)
{
    std::cout << "Error: Could not load shader: " << printable(path) << std::endl;
    std::cerr << "Message: " << reason << std::endl;
    fatalExit(1);
}

// The definitions go after the #version line, which must stay first, and
// "#line 2" gives the file's own second line its number back.
std::string withDefinitions(const std::string& text, const std::string& definitions)
{
    const size_t versionEnd = text.rfind("#version", 0) == 0 ? text.find('\n') : std::string::npos;
    if (versionEnd == std::string::npos)
        return definitions + "#line 1\n" + text;
    return text.substr(0, versionEnd + 1) + definitions + "#line 2\n" + text.substr(versionEnd + 1);
}

// Where BRASSFERN_SHADER_DUMP names a folder, every stage's text goes there
// exactly as the GL is handed it, for the reference compiler to check.
void dumpStage(const std::string& path, GLenum type, const std::string& text)
{
    static const char* const folder = std::getenv("BRASSFERN_SHADER_DUMP");
    static int count = 0;
    if (folder == nullptr || *folder == '\0')
        return;
    const std::string name = std::filesystem::path(path).stem().string() + "." + std::to_string(++count) +
                             (type == GL_VERTEX_SHADER ? ".vert" : ".frag");
    std::ofstream(std::filesystem::path(folder) / name, std::ios::binary) << text;
}

} // namespace

ShaderProgram::ShaderProgram(const std::string& vertexPath, const std::string& fragmentPath,
                             const std::string& definitions)
    : definitions(definitions)
{
    const StartupClock clock(startupTimes.programBuilds);
    program = glCreateProgram();
    if (program == 0)
        fatal({"Error: Could not create program"}, 1);
    loadShader(vertexPath, GL_VERTEX_SHADER, vertexShader);
    loadShader(fragmentPath, GL_FRAGMENT_SHADER, fragmentShader);
    link();
}

ShaderProgram::~ShaderProgram()
{
    // Deleting the program first lets the driver free the attached shaders
    // at once when they are deleted next.
    glDeleteProgram(program);
    glDeleteShader(vertexShader);
    glDeleteShader(fragmentShader);
}

void ShaderProgram::loadShader(const std::string& path, GLenum type, GLuint& shader)
{
    // A pipe or a device under the shader folder is refused, not waited on.
    RegularFile file(path);
    if (!file.isOpen())
        failToLoad(path, file.isDirectory() ? std::strerror(EISDIR) : file.failure());
    std::string text;
    std::string reason;
    if (!file.readAll(text, maxShaderBytes, reason))
        failToLoad(path, reason);
    text = withDefinitions(text, shaderConstantDefinitions() + definitions);
    dumpStage(path, type, text);

    shader = glCreateShader(type);
    if (shader == 0)
        fatal({"Error: Could not create shader: " + printable(path)}, 1);
    const char* source = text.c_str();
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);

    GLint compiled = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
    if (compiled != GL_FALSE)
        return;
    fatal({infoLog(shader, glGetShaderiv, glGetShaderInfoLog)}, 1);
}

void ShaderProgram::link()
{
    glAttachShader(program, vertexShader);
    glAttachShader(program, fragmentShader);
    glBindFragDataLocation(program, 0, "fragColor");
    glLinkProgram(program);

    GLint linked = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    if (linked != GL_FALSE)
        return;
    fatal({"Failed to link shader program!", infoLog(program, glGetProgramiv, glGetProgramInfoLog)}, -1);
}
