// Which screen-space effects are on: the one switch board the keys and the command line change and the renderer reads.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

// The effects in the order the frame applies them, as a user knows them.
inline constexpr std::array<const char*, 3> effectNames{"ambient occlusion", "depth of field", "bloom"};
inline constexpr size_t effectCount = effectNames.size();

// One switch an effect, in that order. A list, not a fixed array: a number
// key flips the switch of its place only while the list reaches that far.
using EffectSwitches = std::vector<bool>;
inline const EffectSwitches allEffectsOn(effectCount, true);

// The value of --effects: a digit, 0 or 1, for each effect in order. False,
// with `switches` unchanged, for anything else.
bool parseEffectSwitches(const std::string& digits, EffectSwitches& switches);
