// Storage of the process-wide state, with its values before start-up.
#include "app/Globals.h"
#include "gpu/StartupTimes.h"

GLFWwindow* window = nullptr;
int windowWidth = 900;
int windowHeight = 720;
int framebufferWidth = 900;
int framebufferHeight = 720;
int renderWidth = 1920;
int renderHeight = 1080;
int shadowMapWidth = 1024;
int shadowMapHeight = 1024;
bool fullscreen = false;
Camera* camera = nullptr;
Renderer* renderer = nullptr;
ShadowLight* shadowLight = nullptr;
std::vector<scene::SceneObject*> sceneObjects;
float totalTime = 0.0f;
StartupTimes startupTimes;
