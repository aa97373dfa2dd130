// The screen-space effects in the order the frame applies them, each with what names and switches it.
#pragma once

#include "render/PassObserver.h"

// The key codes alone: GLEW must bring the GL declarations in first.
#ifndef GLFW_INCLUDE_NONE
#define GLFW_INCLUDE_NONE
#endif
#include <GLFW/glfw3.h>
#include <array>
#include <cstddef>
#include <string>

namespace render {

struct EffectLink {
    const char* name;
    int key;   // the key that switches it on and off
    Pass pass; // what its GPU time is counted as
};

// The renderer builds its effects in this order, and --effects gives them
// their digits in it.
inline constexpr std::array<EffectLink, 3> effectChain{{
    {"ambient occlusion", GLFW_KEY_1, Pass::Ssao},
    {"depth of field", GLFW_KEY_2, Pass::DepthOfField},
    {"bloom", GLFW_KEY_3, Pass::Bloom},
}};
inline constexpr size_t effectCount = effectChain.size();

// Which effects are on, in the chain's order.
using EffectSwitches = std::array<bool, effectCount>;
inline constexpr EffectSwitches allEffectsOn{true, true, true};

// The value of --effects: a digit, 0 or 1, for each effect in the chain's
// order. False, with `switches` unchanged, for anything else.
bool parseEffectSwitches(const std::string& digits, EffectSwitches& switches);

} // namespace render
