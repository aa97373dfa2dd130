// What each screen-space effect's GPU time is counted as, in the order the frame applies them.
#pragma once

#include "base/EffectSwitches.h"
#include "render/PassObserver.h"

#include <array>

namespace render {

// The renderer builds its effects in the order of effectNames.
inline constexpr std::array<Pass, effectCount> effectPasses{Pass::Ssao, Pass::DepthOfField, Pass::Bloom};

} // namespace render
