// The directional light, its shadow matrices and the per-frame shadow passes.
#pragma once

#include <glm/glm.hpp>
#include <vector>

class ShadowMapTarget;
class VarianceShadowBlur;

namespace scene {
class SceneObject;
}

// Maps the clip cube [-1, 1]^3 onto texture space [0, 1]^3.
extern const glm::mat4 biasMatrix;

// Where the scene's light stands; it shines from there toward the origin.
extern const glm::vec3 sceneLightPosition;

class ShadowLight {
public:
    glm::vec3 direction;
    glm::vec3 color;
    float intensity;
    ShadowMapTarget* shadowTarget = nullptr;
    VarianceShadowBlur* shadowBlur = nullptr;

    // A model's shadow map is kept from frame to frame while what it is drawn
    // of stays the same: the light stands still for a model and the camera
    // has no part in it, so a drag redraws the frame without it (a third of
    // a moving frame). The built-in scene draws it every frame.
    bool keepsShadowMap = false;
    // How often the shadow map has been drawn.
    unsigned long long shadowMapsDrawn = 0;

    ShadowLight(const glm::vec3& direction, const glm::vec3& color, float intensity);
    ~ShadowLight();
    ShadowLight(const ShadowLight&) = delete;
    ShadowLight& operator=(const ShadowLight&) = delete;

    // The light's projection x view x model, with the texture-space bias
    // when the result is used to look the shadow map up.
    glm::mat4 computeLightMVP(bool withBias, const glm::mat4& model) const;

    // The blurred shadow map the scene pass looks shadows up in.
    unsigned int shadowMapTexture() const;

    // The fixed box the shadow map covers: 90 across, 75 up, 100 deep.
    static glm::mat4 lightProjection();
    // The view from a light standing at `position`, looking at the origin.
    static glm::mat4 lightView(const glm::vec3& position);

    // The next frame draws the shadow map anew: the objects have changed.
    void forgetShadowMap() { drawnOf.clear(); drawn = false; }
    // Whether the shadow map holds `objects` as they stand now, with the
    // light where it is; `remember` notes that it does.
    bool holds(const std::vector<scene::SceneObject*>& objects) const;
    void remember(const std::vector<scene::SceneObject*>& objects);

private:
    // The objects (and where they stood) the shadow map was last drawn of.
    struct DrawnObject {
        const scene::SceneObject* object;
        glm::mat4 modelMatrix;
        unsigned vertexCount;
        unsigned vao;
        const void* material;
    };
    std::vector<DrawnObject> drawnOf;
    glm::vec3 drawnDirection{0.0f};
    bool drawn = false;
};

// The shadow work of one frame: depth pass, moments and the two blurs.
void renderShadowMap();

// The depth of `object` as `mvp` projects it, into whatever target is
// bound, with the holes of its alpha: a cut-out's below its cutoff, a
// see-through surface's below `seeThroughCutoff`.
void drawDepth(const scene::SceneObject& object, const glm::mat4& mvp, float seeThroughCutoff);
