// A texture's smaller levels, made in the import process.
#pragma once

#include "import/ModelData.h"

#include <cstddef>
#include <vector>

namespace import {

// The bytes of levels 1 to the last (1 x 1) of a width x height RGBA8
// texture, one after another, each halved (rounding down, at least 1) from
// the one before: what a full mipmap chain adds to its first level.
size_t mipmapBytes(int width, int height);

// Those levels of `image` (RGBA8, `image.space` set): each texel the mean of
// the area of the level 0 it covers, sRGB colours averaged as the light
// they stand for. A software GL builds a program to make them the first
// time it is asked, which took 80 ms of a small model's first picture; here
// they are made while the viewer is still starting.
std::vector<unsigned char> makeMipmaps(const ModelImage& image);

} // namespace import
