// Procedural synthesis of every texture the showcase scene uses.
#pragma once

#include "Image.h"

#include <glm/vec2.hpp>
#include <glm/vec3.hpp>

#include <cstdint>

namespace scenegen {

// Tileable surface textures. The world size each one covers is set where it is mapped (SceneLayout).
Image makeGrassTexture(int size, uint32_t seed);
Image makeSandTexture(int size, uint32_t seed);
Image makePavingTexture(int size, uint32_t seed);
Image makeAshlarTexture(int size, uint32_t seed);
Image makeMarbleTexture(int size, uint32_t seed);
Image makeGraniteTexture(int size, uint32_t seed);
Image makeBrassTexture(int size, uint32_t seed);
Image makeWaterTexture(int size, uint32_t seed);
Image makeBarkTexture(int size, uint32_t seed);
Image makeLeavesTexture(int size, uint32_t seed);

// One crate side or one lantern pane per texture, mapped 0..1 across the face.
Image makeCrateTexture(int size, uint32_t seed);
Image makeLampGlassTexture(int size);

// Distant land, wrapping in u (around the horizon); v runs outward from where it meets the lawn,
// whose average colour it starts from, to the haze at the foot of the sky.
Image makeHillsTexture(int width, int height, const glm::vec3& lawnColour, const glm::vec3& hazeColour, uint32_t seed);

// Sky dome texture in the azimuthal projection of skyDomeUv.
Image makeSkyTexture(int size, uint32_t seed);
glm::vec3 skyHazeColour();

// Azimuthal equidistant mapping: the zenith at the centre, elevation falling linearly outward to
// skyLowestElevationDegrees at the inscribed circle.
constexpr float skyLowestElevationDegrees = -20.0f;
glm::vec2 skyDomeUv(const glm::vec3& direction);
glm::vec3 skyDomeDirection(const glm::vec2& uv);

// Per pixel an independent random rotation, as a grey level: angle / 2 pi.
Image makeSsaoNoiseTexture(int size, uint64_t seed);

} // namespace scenegen
