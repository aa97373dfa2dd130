// Pictures against the committed references in tests/golden.
#pragma once

#include "Sandbox.h"

#include <string>

// `picture` against the reference `name` (a path under tests/golden without
// .png), with the tolerance that lets another correct driver through; where
// they differ, both and the difference are left in the build for a look.
// With BRASSFERN_GOLDEN_UPDATE set, the picture becomes the reference.
void expectGoldenMatch(const Picture& picture, const std::string& name);
