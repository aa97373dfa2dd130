// The process-wide state every subsystem reads: sizes, window and the long-lived objects.
#pragma once

#include <vector>

struct GLFWwindow;
class Camera;
class Renderer;
class ShadowLight;
namespace scene {
class SceneObject;
}

extern GLFWwindow* window;
extern int windowWidth;
extern int windowHeight;
// The window's framebuffer in pixels: larger than the window on
// high-density screens, where the final pass and pictures take its size.
extern int framebufferWidth;
extern int framebufferHeight;
extern int renderWidth;
extern int renderHeight;
extern int shadowMapWidth;
extern int shadowMapHeight;
extern bool fullscreen;
extern Camera* camera;
extern Renderer* renderer;
extern ShadowLight* shadowLight;
extern std::vector<scene::SceneObject*> sceneObjects;
extern float totalTime;
