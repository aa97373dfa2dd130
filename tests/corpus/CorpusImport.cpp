// corpus_import: the viewer's start-up, one frame and shutdown, built with the sanitizers.
#include "app/Application.h"
#include "app/Window.h"
#include "gpu/GlDebug.h"
#include "render/Renderer.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>

int main()
{
    openWindow(false);
    initScene();
    renderFrame();
    // The driver draws lazily; finishing makes it read every buffer the scene handed over.
    glFinish();
    reportGlError();
    shutdown();
    glfwTerminate();
    return 0;
}
