// The stage's environment integrated for diffuse light and prefiltered for reflections, and the tone curve, on the CPU.
#include "render/Environment.h"

#include "gpu/ShaderConstants.h"
#include "render/StageLook.h"

#include <algorithm>
#include <cmath>

namespace render {

namespace {

constexpr float pi = 3.14159265358979f;

// The PBR Neutral curve's constants: where compression starts, and how
// much of the compressed part goes toward white.
constexpr float startCompression = 0.8f - 0.04f;
constexpr float desaturation = 0.15f;

// The ground in full light as its program draws it (display values): its
// grey, lit by its ambient share facing up and by the model's light.
glm::vec3 litGroundDisplay()
{
    const glm::vec3 grey(0.40f, 0.41f, 0.42f);
    const glm::vec3 toLight = glm::normalize(modelLightPosition);
    const float lit = 0.35f * 0.9f + 0.75f * std::max(toLight.y, 0.0f);
    return glm::pow(glm::pow(grey, glm::vec3(2.2f)) * lit, glm::vec3(1.0f / 2.2f));
}

// Bit-reversed fractions: evenly spread sample positions without a seed.
float radicalInverse(unsigned bits)
{
    bits = (bits << 16u) | (bits >> 16u);
    bits = ((bits & 0x55555555u) << 1u) | ((bits & 0xAAAAAAAAu) >> 1u);
    bits = ((bits & 0x33333333u) << 2u) | ((bits & 0xCCCCCCCCu) >> 2u);
    bits = ((bits & 0x0F0F0F0Fu) << 4u) | ((bits & 0xF0F0F0F0u) >> 4u);
    bits = ((bits & 0x00FF00FFu) << 8u) | ((bits & 0xFF00FF00u) >> 8u);
    return static_cast<float>(bits) * 2.3283064365386963e-10f;
}

// The environment seen along a GGX lobe of `roughness` around the
// direction of elevation `elevation`, the view along it, weighted by the
// cosine of each sample with that direction.
glm::vec3 prefilter(float elevation, float roughness, int samples)
{
    if (roughness <= 0.0f)
        return environmentRadiance(elevation);
    const float alpha = roughness * roughness;
    const float across = std::sqrt(std::max(0.0f, 1.0f - elevation * elevation));
    const glm::vec3 normal(across, elevation, 0.0f);
    const glm::vec3 tangent(-elevation, across, 0.0f);
    const glm::vec3 bitangent(0.0f, 0.0f, 1.0f);
    glm::vec3 sum(0.0f);
    float weight = 0.0f;
    for (int i = 0; i < samples; ++i) {
        const float u = (static_cast<float>(i) + 0.5f) / static_cast<float>(samples);
        const float v = radicalInverse(static_cast<unsigned>(i));
        const float phi = 2.0f * pi * u;
        const float cosTheta = std::sqrt((1.0f - v) / (1.0f + (alpha * alpha - 1.0f) * v));
        const float sinTheta = std::sqrt(std::max(0.0f, 1.0f - cosTheta * cosTheta));
        const glm::vec3 half =
            tangent * (sinTheta * std::cos(phi)) + bitangent * (sinTheta * std::sin(phi)) + normal * cosTheta;
        const glm::vec3 light = 2.0f * glm::dot(normal, half) * half - normal;
        const float cosine = glm::dot(normal, light);
        if (cosine <= 0.0f)
            continue;
        sum += environmentRadiance(std::clamp(light.y, -1.0f, 1.0f)) * cosine;
        weight += cosine;
    }
    return weight > 0.0f ? sum / weight : environmentRadiance(elevation);
}

} // namespace

glm::vec3 neutralToneMap(const glm::vec3& linear)
{
    glm::vec3 colour = linear;
    const float lowest = std::min({colour.r, colour.g, colour.b});
    const float offset = lowest < 0.08f ? lowest - 6.25f * lowest * lowest : 0.04f;
    colour -= offset;
    const float peak = std::max({colour.r, colour.g, colour.b});
    if (peak < startCompression)
        return colour;
    const float d = 1.0f - startCompression;
    const float newPeak = 1.0f - d * d / (peak + d - startCompression);
    colour *= newPeak / peak;
    const float g = 1.0f - 1.0f / (desaturation * (peak - newPeak) + 1.0f);
    return glm::mix(colour, glm::vec3(newPeak), g);
}

glm::vec3 encodeSrgb(const glm::vec3& linear)
{
    glm::vec3 out;
    for (int i = 0; i < 3; ++i) {
        const float c = std::clamp(linear[i], 0.0f, 1.0f);
        out[i] = c <= 0.0031308f ? 12.92f * c : 1.055f * std::pow(c, 1.0f / 2.4f) - 0.055f;
    }
    return out;
}

glm::vec3 decodeSrgb(const glm::vec3& encoded)
{
    glm::vec3 out;
    for (int i = 0; i < 3; ++i) {
        const float c = std::clamp(encoded[i], 0.0f, 1.0f);
        out[i] = c <= 0.04045f ? c / 12.92f : std::pow((c + 0.055f) / 1.055f, 2.4f);
    }
    return out;
}

glm::vec3 displayOfRadiance(const glm::vec3& radiance)
{
    return encodeSrgb(neutralToneMap(radiance));
}

glm::vec3 radianceOfDisplay(const glm::vec3& display)
{
    // The curve below its shoulder takes the same offset from every channel,
    // set by the lowest: 0.04, or in the toe 6.25 x^2 less than x.
    const glm::vec3 shown = decodeSrgb(display);
    const float lowest = std::min({shown.r, shown.g, shown.b});
    const float before = lowest < 0.04f ? 0.4f * std::sqrt(std::max(lowest, 0.0f)) : lowest + 0.04f;
    return shown + (before - lowest);
}

glm::vec3 environmentRadiance(float elevation)
{
    const glm::vec3 horizon = radianceOfDisplay(backdropBottom);
    if (elevation >= 0.0f) {
        const float t = std::clamp((elevation - panelStart) / (panelFull - panelStart), 0.0f, 1.0f);
        return environmentGain * radianceOfDisplay(glm::mix(backdropBottom, backdropTop, std::min(elevation, 1.0f))) +
               glm::vec3(panelRadiance * t * t * (3.0f - 2.0f * t));
    }
    const float t = std::clamp(-elevation / 0.3f, 0.0f, 1.0f);
    return environmentGain * glm::mix(horizon, radianceOfDisplay(litGroundDisplay()), t * t * (3.0f - 2.0f * t));
}

glm::vec3 EnvironmentLight::specular(float elevation, float roughness) const
{
    const int column = static_cast<int>(std::lround((std::clamp(elevation, -1.0f, 1.0f) * 0.5f + 0.5f) *
                                                    static_cast<float>(elevationSteps - 1)));
    const int row = static_cast<int>(std::lround(std::clamp(roughness, 0.0f, 1.0f) *
                                                 static_cast<float>(roughnessSteps - 1)));
    const float* at = &prefiltered[3 * static_cast<size_t>(row * elevationSteps + column)];
    return glm::vec3(at[0], at[1], at[2]);
}

EnvironmentLight computeEnvironmentLight(int samples)
{
    EnvironmentLight light;
    // The zonal harmonics' projections, by the midpoint rule over elevation
    // (the solid angle of a band of elevation is 2 pi dy).
    constexpr int bands = 4096;
    glm::vec3 projection[3] = {glm::vec3(0.0f), glm::vec3(0.0f), glm::vec3(0.0f)};
    for (int i = 0; i < bands; ++i) {
        const float y = -1.0f + 2.0f * (static_cast<float>(i) + 0.5f) / bands;
        const glm::vec3 radiance = environmentRadiance(y) * (2.0f * pi * 2.0f / bands);
        projection[0] += radiance * 0.282095f;
        projection[1] += radiance * (0.488603f * y);
        projection[2] += radiance * (0.315392f * (3.0f * y * y - 1.0f));
    }
    // Irradiance is each band convolved with the cosine (pi, 2 pi / 3 and
    // pi / 4), evaluated with the same basis; over pi for a white surface.
    light.constant = projection[0] * 0.282095f;
    light.linear = projection[1] * (2.0f / 3.0f * 0.488603f);
    light.quadratic = projection[2] * (0.25f * 0.315392f);

    light.prefiltered.reserve(3 * EnvironmentLight::elevationSteps * EnvironmentLight::roughnessSteps);
    for (int row = 0; row < EnvironmentLight::roughnessSteps; ++row)
        for (int column = 0; column < EnvironmentLight::elevationSteps; ++column) {
            const float roughness = static_cast<float>(row) / (EnvironmentLight::roughnessSteps - 1);
            const float elevation = -1.0f + 2.0f * static_cast<float>(column) / (EnvironmentLight::elevationSteps - 1);
            const glm::vec3 radiance = prefilter(elevation, roughness, samples);
            light.prefiltered.insert(light.prefiltered.end(), {radiance.r, radiance.g, radiance.b});
        }
    return light;
}

const EnvironmentLight& modelEnvironment()
{
    static const EnvironmentLight light = computeEnvironmentLight();
    return light;
}

std::string environmentDefinitions()
{
    return "#define ENVIRONMENT_ELEVATION_STEPS " +
           glslFloat(static_cast<float>(EnvironmentLight::elevationSteps)) + "\n#define ENVIRONMENT_ROUGHNESS_STEPS " +
           glslFloat(static_cast<float>(EnvironmentLight::roughnessSteps)) + "\n";
}

} // namespace render
