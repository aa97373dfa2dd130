// Gradient, fractal and cellular noise, optionally periodic so textures tile without seams.
#pragma once

#include <cstdint>

namespace scenegen {

// A period of 0 means the lattice does not wrap. Periods are in lattice cells, so a texture that
// samples x in [0, period) tiles exactly.
double gradientNoise(double x, double y, int periodX, int periodY, uint32_t seed);

// Octaves double both frequency and period, so the sum stays periodic. Result roughly in [-1, 1].
double fbm(double x, double y, int periodX, int periodY, int octaves, double gain, uint32_t seed);

double gradientNoise3(double x, double y, double z, uint32_t seed);
double fbm3(double x, double y, double z, int octaves, double gain, uint32_t seed);

struct CellSample {
    double f1 = 0.0;       // distance to the nearest feature point
    double f2 = 0.0;       // distance to the second nearest
    uint32_t id = 0;       // stable id of the nearest cell (wrapped, so tiles agree)
    double nearestX = 0.0; // nearest feature point, in the caller's coordinates
    double nearestY = 0.0;
};

CellSample cellular(double x, double y, int periodX, int periodY, double jitter, uint32_t seed);

double smoothstep(double edge0, double edge1, double x);

} // namespace scenegen
