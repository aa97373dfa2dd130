// EGL with no window system: Mesa's surfaceless platform first, an EGL device second.
#include "app/HeadlessContext.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <cstring>
#include <filesystem>
#include <GL/gl.h>
#include <vector>

namespace {

EGLDisplay display = EGL_NO_DISPLAY;
EGLContext context = EGL_NO_CONTEXT;
EGLSurface surface = EGL_NO_SURFACE;

bool hasExtension(const char* list, const char* name)
{
    if (list == nullptr)
        return false;
    const size_t length = std::strlen(name);
    for (const char* at = std::strstr(list, name); at != nullptr; at = std::strstr(at + length, name))
        if ((at == list || at[-1] == ' ') && (at[length] == ' ' || at[length] == '\0'))
            return true;
    return false;
}

// The platforms to try, in order: surfaceless needs nothing at all; a device
// is what a machine with a render node but no Mesa extension offers.
std::vector<EGLDisplay> candidateDisplays()
{
    std::vector<EGLDisplay> displays;
    const char* clientExtensions = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    const auto getPlatformDisplay =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (getPlatformDisplay == nullptr)
        return displays;
    if (hasExtension(clientExtensions, "EGL_MESA_platform_surfaceless"))
        displays.push_back(getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr));
    const auto queryDevices = reinterpret_cast<PFNEGLQUERYDEVICESEXTPROC>(eglGetProcAddress("eglQueryDevicesEXT"));
    if (hasExtension(clientExtensions, "EGL_EXT_platform_device") && queryDevices != nullptr) {
        EGLDeviceEXT devices[8];
        EGLint count = 0;
        if (queryDevices(8, devices, &count))
            for (EGLint i = 0; i < count; ++i)
                displays.push_back(getPlatformDisplay(EGL_PLATFORM_DEVICE_EXT, devices[i], nullptr));
    }
    return displays;
}

// A context on `candidate`, made current; false leaves nothing behind.
bool openOn(EGLDisplay candidate, bool debugContext)
{
    EGLint major = 0;
    EGLint minor = 0;
    if (candidate == EGL_NO_DISPLAY || !eglInitialize(candidate, &major, &minor))
        return false;
    const EGLint configAttributes[] = {EGL_SURFACE_TYPE,    EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
                                       EGL_RED_SIZE,        8,               EGL_GREEN_SIZE,      8,
                                       EGL_BLUE_SIZE,       8,               EGL_DEPTH_SIZE,      24,
                                       EGL_NONE};
    EGLConfig config = nullptr;
    EGLint configs = 0;
    // The debug attribute is EGL 1.5's; a display that reports 1.4 (softpipe
    // does) refuses the whole context over it, so it gets the older flag.
    std::vector<EGLint> contextAttributes = {EGL_CONTEXT_MAJOR_VERSION, 3, EGL_CONTEXT_MINOR_VERSION, 3,
                                             EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT};
    if (debugContext) {
        if (major > 1 || minor >= 5)
            contextAttributes.insert(contextAttributes.end(), {EGL_CONTEXT_OPENGL_DEBUG, EGL_TRUE});
        else if (hasExtension(eglQueryString(candidate, EGL_EXTENSIONS), "EGL_KHR_create_context"))
            contextAttributes.insert(contextAttributes.end(), {EGL_CONTEXT_FLAGS_KHR, EGL_CONTEXT_OPENGL_DEBUG_BIT_KHR});
    }
    contextAttributes.push_back(EGL_NONE);
    if (eglBindAPI(EGL_OPENGL_API) && eglChooseConfig(candidate, configAttributes, &config, 1, &configs) &&
        configs > 0)
        context = eglCreateContext(candidate, config, EGL_NO_CONTEXT, contextAttributes.data());
    if (context != EGL_NO_CONTEXT) {
        // Without a surface where the display allows it: the frames go into
        // framebuffer objects. Otherwise the smallest pbuffer there is.
        if (!hasExtension(eglQueryString(candidate, EGL_EXTENSIONS), "EGL_KHR_surfaceless_context")) {
            const EGLint pbufferAttributes[] = {EGL_WIDTH, 1, EGL_HEIGHT, 1, EGL_NONE};
            surface = eglCreatePbufferSurface(candidate, config, pbufferAttributes);
        }
        if (eglMakeCurrent(candidate, surface, surface, context)) {
            display = candidate;
            return true;
        }
        if (surface != EGL_NO_SURFACE)
            eglDestroySurface(candidate, surface);
        eglDestroyContext(candidate, context);
    }
    surface = EGL_NO_SURFACE;
    context = EGL_NO_CONTEXT;
    eglTerminate(candidate);
    return false;
}

} // namespace

bool openHeadlessContext(bool debugContext, std::string& reason)
{
    const std::vector<EGLDisplay> displays = candidateDisplays();
    if (displays.empty()) {
        reason = "EGL offers neither a surfaceless platform nor a device";
        return false;
    }
    for (EGLDisplay candidate : displays)
        if (openOn(candidate, debugContext))
            return true;
    reason = "EGL gives no OpenGL 3.3 core context without a display";
    return false;
}

bool headlessContextOpen()
{
    return context != EGL_NO_CONTEXT;
}

bool headlessDrawsAsFast()
{
    if (context == EGL_NO_CONTEXT)
        return false;
    using GetString = const GLubyte* (*)(GLenum);
    const auto getString = reinterpret_cast<GetString>(eglGetProcAddress("glGetString"));
    const GLubyte* name = getString != nullptr ? getString(GL_RENDERER) : nullptr;
    const char* renderer = name != nullptr ? reinterpret_cast<const char*>(name) : "";
    const bool software = std::strstr(renderer, "llvmpipe") != nullptr || std::strstr(renderer, "softpipe") != nullptr ||
                          std::strstr(renderer, "swrast") != nullptr;
    if (!software)
        return true;
    // A render node is a GPU the display's GL may use where this one did
    // not (one whose driver is not Mesa's, above all).
    std::error_code error;
    for (std::filesystem::directory_iterator node("/dev/dri", error), end; !error && node != end;
         node.increment(error))
        if (node->path().filename().string().rfind("renderD", 0) == 0)
            return false;
    return true;
}

void closeHeadlessContext()
{
    if (display == EGL_NO_DISPLAY)
        return;
    eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    if (surface != EGL_NO_SURFACE)
        eglDestroySurface(display, surface);
    eglDestroyContext(display, context);
    eglTerminate(display);
    eglReleaseThread();
    display = EGL_NO_DISPLAY;
    context = EGL_NO_CONTEXT;
    surface = EGL_NO_SURFACE;
}
