// The light around a model given by path: the stage's sky and ground as an environment, prefiltered once, and the tone curve its frame is shown through.
#pragma once

#include <glm/glm.hpp>
#include <string>
#include <vector>

namespace render {

// The tone curve a model's frame goes through before it is encoded for the
// screen (the Khronos PBR Neutral curve): colours up to 0.76 keep their
// values and hues, apart from a small toe that deepens the darkest; above,
// the peak channel is compressed toward 1 and the colour toward white, so
// that no large area clips.
glm::vec3 neutralToneMap(const glm::vec3& linear);

// sRGB's encoding for the screen, and its decoding, exactly.
glm::vec3 encodeSrgb(const glm::vec3& linear);
glm::vec3 decodeSrgb(const glm::vec3& encoded);

// What the screen shows for a linear colour: tone mapped, then encoded.
glm::vec3 displayOfRadiance(const glm::vec3& radiance);

// The linear colour the screen shows as `display` (each channel 0 to 1,
// below where the tone curve compresses): how the stage's colours, chosen as
// they look, enter a frame lit in linear units.
glm::vec3 radianceOfDisplay(const glm::vec3& display);

// The sun a model is lit by: the irradiance it brings to a surface facing
// it, such that a white matte surface facing it returns 0.75 of the
// compressed range; with the light from the surroundings added, white in
// full light stays below the tone curve's shoulder and the bloom's start.
constexpr float sunIrradiance = 0.75f * 3.14159265f;

// How much brighter the surroundings light a model than the backdrop shows
// them: as a studio's fill light, which the camera does not see, lifts the
// shade. At 1 a white matte surface would take a seventh of the sun's
// light from them, and polished metal would show only the dim backdrop.
constexpr float environmentGain = 2.0f;

// A white panel overhead, as a studio hangs above its table, which the
// camera never sees (the backdrop shows the sky near the horizon): it
// lifts the tops of things a little and gives polished and metal surfaces
// the highlight that shows their shape; without it gold under this grey
// sky reads as khaki and dark metal as black. It fades in between these
// sines of the elevation, to this radiance.
constexpr float panelStart = 0.6f;
constexpr float panelFull = 0.9f;
constexpr float panelRadiance = 1.5f;

// The environment: the backdrop's gradient above the horizon (its bottom
// colour at the horizon, its top at the zenith, interpolated as the
// backdrop is) with the panel added, and below it the ground in full
// light, blending from the backdrop's bottom just under the horizon, where
// the ground has faded out. Radiance, linear, by the sine of the elevation.
glm::vec3 environmentRadiance(float elevation);

// What the lighting needs of the environment, computed once, on the CPU.
struct EnvironmentLight {
    // The light a white matte surface returns (irradiance over pi), as the
    // first three zonal spherical harmonics of its normal's elevation y:
    // constant + linear * y + quadratic * (3 y^2 - 1). The environment
    // depends on elevation alone, so these nine numbers are all of it.
    glm::vec3 constant{0.0f};
    glm::vec3 linear{0.0f};
    glm::vec3 quadratic{0.0f};

    // The environment prefiltered by the GGX lobe of each roughness, with
    // the view along the reflection (the split-sum approximation): RGB
    // floats, `roughnessSteps` rows (roughness 0 to 1) of `elevationSteps`
    // columns (reflection elevation -1 to 1), each sample at a texel centre.
    static constexpr int elevationSteps = 64;
    static constexpr int roughnessSteps = 8;
    std::vector<float> prefiltered;

    // The returned light at the normal's elevation `y`, from the harmonics.
    glm::vec3 diffuse(float y) const { return constant + linear * y + quadratic * (3.0f * y * y - 1.0f); }
    // The table's value nearest to (elevation, roughness).
    glm::vec3 specular(float elevation, float roughness) const;
};

// Computes the environment's light: the harmonics by integrating over the
// sphere, the table by sampling each lobe `samples` times.
EnvironmentLight computeEnvironmentLight(int samples = 512);

// The model programs' environment, computed the first time it is asked for.
const EnvironmentLight& modelEnvironment();

// The #define lines the model programs read the table's layout from.
std::string environmentDefinitions();

} // namespace render
