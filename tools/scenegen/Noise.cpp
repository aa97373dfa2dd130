// Gradient, fractal and cellular noise used by the texture and terrain generators.
#include "Noise.h"

#include "Prng.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace scenegen {

namespace {

constexpr double twoPi = 6.283185307179586;
constexpr int gradientCount = 256;

struct GradientTable {
    std::array<double, gradientCount> x{};
    std::array<double, gradientCount> y{};
    GradientTable()
    {
        for (int i = 0; i < gradientCount; ++i) {
            const double angle = twoPi * (i + 0.5) / gradientCount;
            x[i] = std::cos(angle);
            y[i] = std::sin(angle);
        }
    }
};

const GradientTable& gradients()
{
    static const GradientTable table;
    return table;
}

int wrapIndex(int i, int period)
{
    if (period <= 0)
        return i;
    const int m = i % period;
    return m < 0 ? m + period : m;
}

double fade(double t) { return t * t * t * (t * (t * 6.0 - 15.0) + 10.0); }
double lerp(double a, double b, double t) { return a + (b - a) * t; }

// The twelve cube-edge directions give isotropic-enough 3D gradient noise without a table build.
constexpr double edgeDirections[12][3] = {
    {1, 1, 0}, {-1, 1, 0}, {1, -1, 0}, {-1, -1, 0}, {1, 0, 1}, {-1, 0, 1},
    {1, 0, -1}, {-1, 0, -1}, {0, 1, 1}, {0, -1, 1}, {0, 1, -1}, {0, -1, -1}};

} // namespace

double smoothstep(double edge0, double edge1, double x)
{
    const double t = std::clamp((x - edge0) / (edge1 - edge0), 0.0, 1.0);
    return t * t * (3.0 - 2.0 * t);
}

double gradientNoise(double x, double y, int periodX, int periodY, uint32_t seed)
{
    const GradientTable& table = gradients();
    const double floorX = std::floor(x);
    const double floorY = std::floor(y);
    const int x0 = int(floorX);
    const int y0 = int(floorY);
    const double fx = x - floorX;
    const double fy = y - floorY;

    auto corner = [&](int ix, int iy, double dx, double dy) {
        const uint32_t h = hashCell(wrapIndex(ix, periodX), wrapIndex(iy, periodY), seed) & (gradientCount - 1);
        return table.x[h] * dx + table.y[h] * dy;
    };
    const double n00 = corner(x0, y0, fx, fy);
    const double n10 = corner(x0 + 1, y0, fx - 1.0, fy);
    const double n01 = corner(x0, y0 + 1, fx, fy - 1.0);
    const double n11 = corner(x0 + 1, y0 + 1, fx - 1.0, fy - 1.0);
    const double u = fade(fx);
    const double v = fade(fy);
    // sqrt(2) brings the theoretical extremes of 2D gradient noise to about +-1.
    return 1.41421356 * lerp(lerp(n00, n10, u), lerp(n01, n11, u), v);
}

double fbm(double x, double y, int periodX, int periodY, int octaves, double gain, uint32_t seed)
{
    double sum = 0.0;
    double amplitude = 1.0;
    double norm = 0.0;
    for (int octave = 0; octave < octaves; ++octave) {
        sum += amplitude * gradientNoise(x, y, periodX, periodY, seed + uint32_t(octave) * 1013u);
        norm += amplitude;
        amplitude *= gain;
        x *= 2.0;
        y *= 2.0;
        periodX *= 2;
        periodY *= 2;
    }
    return sum / norm;
}

double gradientNoise3(double x, double y, double z, uint32_t seed)
{
    const double floorX = std::floor(x);
    const double floorY = std::floor(y);
    const double floorZ = std::floor(z);
    const int x0 = int(floorX);
    const int y0 = int(floorY);
    const int z0 = int(floorZ);
    const double fx = x - floorX;
    const double fy = y - floorY;
    const double fz = z - floorZ;

    auto corner = [&](int dx, int dy, int dz) {
        const double* g = edgeDirections[hashCell3(x0 + dx, y0 + dy, z0 + dz, seed) % 12u];
        return g[0] * (fx - dx) + g[1] * (fy - dy) + g[2] * (fz - dz);
    };
    const double u = fade(fx);
    const double v = fade(fy);
    const double w = fade(fz);
    const double a = lerp(lerp(corner(0, 0, 0), corner(1, 0, 0), u), lerp(corner(0, 1, 0), corner(1, 1, 0), u), v);
    const double b = lerp(lerp(corner(0, 0, 1), corner(1, 0, 1), u), lerp(corner(0, 1, 1), corner(1, 1, 1), u), v);
    return lerp(a, b, w);
}

double fbm3(double x, double y, double z, int octaves, double gain, uint32_t seed)
{
    double sum = 0.0;
    double amplitude = 1.0;
    double norm = 0.0;
    for (int octave = 0; octave < octaves; ++octave) {
        sum += amplitude * gradientNoise3(x, y, z, seed + uint32_t(octave) * 7919u);
        norm += amplitude;
        amplitude *= gain;
        x *= 2.0;
        y *= 2.0;
        z *= 2.0;
    }
    return sum / norm;
}

CellSample cellular(double x, double y, int periodX, int periodY, double jitter, uint32_t seed)
{
    const int cx = int(std::floor(x));
    const int cy = int(std::floor(y));
    CellSample best;
    best.f1 = 1e9;
    best.f2 = 1e9;
    for (int dy = -2; dy <= 2; ++dy) {
        for (int dx = -2; dx <= 2; ++dx) {
            const int ix = cx + dx;
            const int iy = cy + dy;
            const uint32_t h = hashCell(wrapIndex(ix, periodX), wrapIndex(iy, periodY), seed);
            const double ox = 0.5 + jitter * ((h & 0xffffu) / 65535.0 - 0.5);
            const double oy = 0.5 + jitter * (((h >> 16) & 0xffffu) / 65535.0 - 0.5);
            const double px = ix + ox;
            const double py = iy + oy;
            const double d = std::hypot(px - x, py - y);
            if (d < best.f1) {
                best.f2 = best.f1;
                best.f1 = d;
                best.id = hashCell(wrapIndex(ix, periodX), wrapIndex(iy, periodY), seed ^ 0xA5A5A5A5u);
                best.nearestX = px;
                best.nearestY = py;
            } else if (d < best.f2) {
                best.f2 = d;
            }
        }
    }
    return best;
}

} // namespace scenegen
