// Numbers the C++ code and the shaders must agree on, each in one place: the
// shader loader writes them as #define lines after every file's #version.
#pragma once

#include <string>

// The directional light's orthographic box, in units of its view space.
constexpr float lightBoxLeft = -45.0f;
constexpr float lightBoxRight = 45.0f;
constexpr float lightBoxBottom = -25.0f;
constexpr float lightBoxTop = 50.0f;
constexpr float lightBoxNear = -50.0f;
constexpr float lightBoxFar = 50.0f;

// The shadow map's fine channels split the light box's depth into this many
// bands (see the moments shader for why).
constexpr int shadowBandCount = 16;

// `value` as a GLSL float literal: always with a decimal point, at full
// precision.
std::string glslFloat(float value);

// The lines the shaders see: LIGHT_BOX_DEPTH (the box's depth in units) and
// SHADOW_BAND_COUNT, both as float literals.
std::string shaderConstantDefinitions();
