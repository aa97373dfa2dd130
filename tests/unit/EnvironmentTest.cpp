// The tone curve a model's frame is shown through and the stage's light as an environment: the properties the
// pictures rely on, over the whole range rather than at a few points.
#include "render/Environment.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace {

float peak(const glm::vec3& c)
{
    return std::max({c.r, c.g, c.b});
}

// Brighter light never shows darker, nothing reaches full white however
// bright, and hues below the shoulder keep their ratios.
TEST(ToneCurve, RisesWithoutClippingAndKeepsHuesBelowItsShoulder)
{
    float before = -1.0f;
    for (float radiance = 0.0f; radiance < 64.0f; radiance = radiance * 1.05f + 0.001f) {
        const float shown = peak(render::neutralToneMap(glm::vec3(radiance)));
        EXPECT_GE(shown, before) << radiance;
        EXPECT_LT(shown, 1.0f) << radiance;
        before = shown;
    }
    const glm::vec3 orange = render::neutralToneMap(glm::vec3(0.6f, 0.3f, 0.15f));
    EXPECT_NEAR((orange.r - orange.b) / (orange.g - orange.b), 3.0f, 1e-3f);
    // Past the shoulder a saturated colour goes toward white.
    const glm::vec3 hot = render::neutralToneMap(glm::vec3(8.0f, 1.0f, 0.5f));
    EXPECT_GT(hot.b / hot.r, 0.5f / 8.0f);
}

// The stage's colours are chosen as they look: their radiance, shown through
// the curve, looks as chosen, so the backdrop and the light it gives agree.
TEST(ToneCurve, DisplayAndRadianceRoundTripBelowTheShoulder)
{
    for (float r = 0.0f; r <= 0.85f; r += 0.05f)
        for (float g : {0.0f, 0.2f, 0.5f, 0.8f}) {
            const glm::vec3 display(r, g, 0.3f);
            const glm::vec3 back = render::displayOfRadiance(render::radianceOfDisplay(display));
            EXPECT_NEAR(back.r, display.r, 2e-3f) << r << " " << g;
            EXPECT_NEAR(back.g, display.g, 2e-3f) << r << " " << g;
            EXPECT_NEAR(back.b, display.b, 2e-3f) << r << " " << g;
        }
}

// A mirror sees the environment itself and a rough surface a blur of it;
// the harmonics a matte surface is lit by agree with a direct sum of the
// environment over the half sphere it faces.
TEST(EnvironmentLight, PrefilteringKeepsTheMirrorAndBlursTheRough)
{
    const render::EnvironmentLight light = render::computeEnvironmentLight(256);
    using Table = render::EnvironmentLight;
    ASSERT_EQ(light.prefiltered.size(), 3u * Table::elevationSteps * Table::roughnessSteps);
    float mirrorSpread = 0.0f;
    float roughSpread = 0.0f;
    for (int column = 0; column < Table::elevationSteps; ++column) {
        const float elevation = (static_cast<float>(column) + 0.5f) / Table::elevationSteps * 2.0f - 1.0f;
        const glm::vec3 mirror = light.specular(elevation, 0.0f);
        const glm::vec3 seen = render::environmentRadiance(elevation);
        // The table's first row is a near mirror, not a perfect one: it softens
        // the panel's edge a little.
        EXPECT_NEAR(mirror.g, seen.g, 0.2f * seen.g + 1e-3f) << elevation;
        mirrorSpread = std::max(mirrorSpread, std::abs(mirror.g - light.specular(0.0f, 0.0f).g));
        roughSpread = std::max(roughSpread, std::abs(light.specular(elevation, 1.0f).g - light.specular(0.0f, 1.0f).g));
    }
    EXPECT_LT(roughSpread, 0.6f * mirrorSpread);

    // The irradiance of a normal pointing along y, summed directly.
    for (float y : {-1.0f, -0.3f, 0.0f, 0.5f, 1.0f}) {
        glm::vec3 sum(0.0f);
        const int steps = 400;
        const float pi = 3.14159265f;
        for (int i = 0; i < steps; ++i)
            for (int j = 0; j < steps / 2; ++j) {
                const float theta = (static_cast<float>(j) + 0.5f) / (steps / 2) * pi; // from +y
                const float phi = (static_cast<float>(i) + 0.5f) / steps * 2.0f * pi;
                const glm::vec3 direction(std::sin(theta) * std::cos(phi), std::cos(theta),
                                          std::sin(theta) * std::sin(phi));
                const glm::vec3 normal(std::sqrt(1.0f - y * y), y, 0.0f);
                const float facing = std::max(0.0f, glm::dot(direction, normal));
                sum += render::environmentRadiance(direction.y) * facing * std::sin(theta) * (pi / (steps / 2)) *
                       (2.0f * pi / steps);
            }
        const glm::vec3 returned = sum / pi;
        const glm::vec3 harmonics = light.diffuse(y);
        // Three bands of harmonics smooth the panel's edge: a few per cent.
        EXPECT_NEAR(harmonics.g, returned.g, 0.06f * returned.g) << y;
    }
}

} // namespace
