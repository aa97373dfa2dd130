// Framing a model, laying its ground and resetting the view, for the first model and every one after it.
#include "app/ShownModel.h"

#include "app/Globals.h"
#include "camera/Camera.h"
#include "camera/Controls.h"
#include "camera/ModelControls.h"
#include "render/Renderer.h"
#include "render/ShadowLight.h"
#include "render/Stage.h"
#include "scene/Framing.h"
#include "scene/SceneObject.h"

namespace {

void placeGroundUnderModel()
{
    if (renderer->stage == nullptr)
        return;
    const scene::Bounds bounds = scene::sceneBounds(sceneObjects);
    renderer->stage->ground = bounds.empty ? render::placeGround(sceneTarget, sceneTarget)
                                           : render::placeGround(glm::vec3(bounds.low), glm::vec3(bounds.high));
}

} // namespace

void makeStage()
{
    if (renderer->stage == nullptr)
        renderer->stage = new render::Stage();
}

void showModel(std::vector<scene::SceneObject*> objects)
{
    // The built-in scene is made to the viewer's units; any other model is
    // placed where the start view frames it.
    scene::frameScene(objects, static_cast<float>(windowWidth) / static_cast<float>(windowHeight));
    for (scene::SceneObject* object : sceneObjects)
        delete object;
    sceneObjects = std::move(objects);
    shadowLight->forgetShadowMap();
    makeStage();
    placeGroundUnderModel();
    if (!tourActive)
        reframeModel();
}
