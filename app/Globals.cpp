// Storage of the process-wide state, with its values before start-up.
#include "app/Globals.h"
#include "app/ResolutionSettings.h"

GLFWwindow* window = nullptr;
int windowWidth = DefaultSizes::windowWidth;
int windowHeight = DefaultSizes::windowHeight;
int framebufferWidth = DefaultSizes::windowWidth;
int framebufferHeight = DefaultSizes::windowHeight;
int renderWidth = DefaultSizes::renderWidth;
int renderHeight = DefaultSizes::renderHeight;
int shadowMapWidth = DefaultSizes::shadowMapWidth;
int shadowMapHeight = DefaultSizes::shadowMapHeight;
bool fullscreen = false;
Camera* camera = nullptr;
Renderer* renderer = nullptr;
ShadowLight* shadowLight = nullptr;
std::vector<scene::SceneObject*> sceneObjects;
float totalTime = 0.0f;
