// Procedural synthesis of every texture the showcase scene uses.
#include "TextureSynth.h"

#include "Noise.h"
#include "Prng.h"

#include <glm/geometric.hpp>
#include <glm/trigonometric.hpp>

#include <algorithm>
#include <cmath>
#include <vector>

namespace scenegen {

namespace {

constexpr double pi = 3.14159265358979;
constexpr double twoPi = 6.28318530717959;

glm::vec3 mix(const glm::vec3& a, const glm::vec3& b, double t) { return a + (b - a) * float(t); }
double clamp01(double x) { return std::clamp(x, 0.0, 1.0); }

// Pixel centre in periodic lattice units, so noise with that period tiles across the image edge.
double latticeCoord(int pixel, int size, int period) { return (pixel + 0.5) / size * period; }

// Anti-aliased stroke drawn with wrap-around, for grass blades and similar marks.
void drawStroke(Image& image, double x0, double y0, double x1, double y1, double width, const glm::vec3& colour,
                double opacity)
{
    const int minX = int(std::floor(std::min(x0, x1) - width - 1));
    const int maxX = int(std::ceil(std::max(x0, x1) + width + 1));
    const int minY = int(std::floor(std::min(y0, y1) - width - 1));
    const int maxY = int(std::ceil(std::max(y0, y1) + width + 1));
    const double dx = x1 - x0, dy = y1 - y0;
    const double lengthSquared = std::max(dx * dx + dy * dy, 1e-9);
    for (int y = minY; y <= maxY; ++y) {
        for (int x = minX; x <= maxX; ++x) {
            const double px = x + 0.5 - x0, py = y + 0.5 - y0;
            const double t = std::clamp((px * dx + py * dy) / lengthSquared, 0.0, 1.0);
            const double distance = std::hypot(px - t * dx, py - t * dy);
            // Blades taper toward the tip.
            const double halfWidth = 0.5 * width * (1.0 - 0.7 * t);
            const double coverage = clamp01(halfWidth + 0.5 - distance);
            if (coverage > 0.0)
                image.blendWrapped(x, y, colour, float(coverage * opacity));
        }
    }
}

// Pointed leaf (or pebble when round) stamped with wrap-around; shade(u, v) gives its colour in
// leaf coordinates, u along the blade in [-1, 1], v across it in [-1, 1].
template <typename Shade>
void stampLeaf(Image& image, double cx, double cy, double length, double width, double angle, double pointiness,
               const Shade& shade, double opacity)
{
    const double reach = length + 2.0;
    const double ca = std::cos(angle), sa = std::sin(angle);
    for (int y = int(std::floor(cy - reach)); y <= int(std::ceil(cy + reach)); ++y) {
        for (int x = int(std::floor(cx - reach)); x <= int(std::ceil(cx + reach)); ++x) {
            const double px = x + 0.5 - cx, py = y + 0.5 - cy;
            const double along = (px * ca + py * sa) / length;
            const double across = (-px * sa + py * ca);
            if (std::fabs(along) >= 1.0)
                continue;
            const double halfWidth = width * std::pow(1.0 - along * along, pointiness);
            const double coverage = clamp01(halfWidth - std::fabs(across) + 0.5);
            if (coverage <= 0.0)
                continue;
            image.blendWrapped(x, y, shade(along, across / std::max(halfWidth, 1e-6)), float(coverage * opacity));
        }
    }
}

// Running-bond masonry shared by the paving and the wall blocks: rows of rectangular stones with
// randomised lengths, each row shifted, scaled so rows and joints meet exactly across the tile edge.
struct BondStyle {
    double tileUnits;       // world size of the texture
    double rowMin, rowMax;  // course heights
    double blockMin, blockMax;
    double jointWidth;
    double bevel;           // width of the worn, darker rim of each stone
    glm::vec3 stone;
    glm::vec3 joint;
    double tint;            // per-stone brightness spread
    double warmth;          // per-stone hue spread
    double crackChance;
    double streaks;         // vertical weathering, for walls
    double moss;
};

struct BondRow {
    double y0 = 0.0, height = 0.0, offset = 0.0;
    std::vector<double> starts;
    std::vector<glm::vec3> tints;
    std::vector<double> crackAngle, crackOffset;
    std::vector<bool> cracked;
};

Image makeBond(int size, const BondStyle& style, uint32_t seed)
{
    Prng rng(seed);
    std::vector<double> heights;
    double total = 0.0;
    while (total < style.tileUnits - 0.5 * style.rowMin) {
        heights.push_back(rng.uniform(style.rowMin, style.rowMax));
        total += heights.back();
    }
    std::vector<BondRow> rows(heights.size());
    double y = 0.0;
    for (size_t r = 0; r < rows.size(); ++r) {
        BondRow& row = rows[r];
        row.y0 = y;
        row.height = heights[r] * style.tileUnits / total;
        y += row.height;
        row.offset = rng.uniform(0.0, style.tileUnits);
        std::vector<double> lengths;
        double rowTotal = 0.0;
        while (rowTotal < style.tileUnits - 0.5 * style.blockMin) {
            lengths.push_back(rng.uniform(style.blockMin, style.blockMax));
            rowTotal += lengths.back();
        }
        double x = 0.0;
        for (double length : lengths) {
            row.starts.push_back(x);
            x += length * style.tileUnits / rowTotal;
            const double brightness = 1.0 + style.tint * rng.uniform(-1.0, 1.0);
            const double warm = style.warmth * rng.uniform(-1.0, 1.0);
            row.tints.push_back(glm::vec3(float(brightness * (1.0 + warm)), float(brightness), float(brightness * (1.0 - warm))));
            row.cracked.push_back(rng.uniform() < style.crackChance);
            row.crackAngle.push_back(rng.uniform(0.0, pi));
            row.crackOffset.push_back(rng.uniform(-0.3, 0.3));
        }
        row.starts.push_back(style.tileUnits);
    }

    const int period = std::max(1, int(std::lround(style.tileUnits)));
    Image image(size, size);
    for (int py = 0; py < size; ++py) {
        for (int px = 0; px < size; ++px) {
            const double wx = (px + 0.5) / size * style.tileUnits;
            const double wy = (py + 0.5) / size * style.tileUnits;
            const double nx = latticeCoord(px, size, period * 2);
            const double ny = latticeCoord(py, size, period * 2);

            size_t r = 0;
            while (r + 1 < rows.size() && wy >= rows[r + 1].y0)
                ++r;
            const BondRow& row = rows[r];
            double rx = std::fmod(wx - row.offset + style.tileUnits, style.tileUnits);
            size_t b = 0;
            while (b + 2 < row.starts.size() && rx >= row.starts[b + 1])
                ++b;
            const double blockLength = row.starts[b + 1] - row.starts[b];
            const double lx = rx - row.starts[b];
            const double ly = wy - row.y0;

            // Joints wander a little so the grid does not look ruled.
            const double wobble = 0.012 * style.tileUnits / 6.0 * fbm(nx * 4, ny * 4, period * 8, period * 8, 3, 0.5, seed + 11);
            const double edge = std::min(std::min(lx, blockLength - lx), std::min(ly, row.height - ly)) + wobble;
            const double halfJoint = 0.5 * style.jointWidth;

            const double grain = fbm(nx * 3, ny * 3, period * 6, period * 6, 5, 0.55, seed + 3);
            const double fine = fbm(nx * 24, ny * 24, period * 48, period * 48, 3, 0.6, seed + 5);
            // Pits and fossil flecks typical of limestone.
            const double pits = smoothstep(0.45, 0.7, gradientNoise(nx * 60, ny * 60, period * 120, period * 120, seed + 9));
            const double blotch = fbm(nx * 0.5, ny * 0.5, period, period, 4, 0.5, seed + 7);
            glm::vec3 stone = style.stone * row.tints[b];
            stone *= float(1.0 + 0.10 * grain + 0.07 * fine - 0.08 * std::max(0.0, blotch) - 0.12 * pits);
            if (style.streaks > 0.0) {
                // Soft run-off stains, wider than tall features so they do not read as wood grain.
                const double streak = fbm(nx * 1.5, ny * 0.5, period * 3, period, 3, 0.5, seed + 13);
                stone *= float(1.0 - style.streaks * smoothstep(0.0, 0.5, streak));
            }
            // Worn rims catch grime and read as rounded arrises.
            const double rim = smoothstep(halfJoint, halfJoint + style.bevel, edge);
            stone *= float(0.72 + 0.28 * rim);

            if (row.cracked[b]) {
                const double ca = std::cos(row.crackAngle[b]), sa = std::sin(row.crackAngle[b]);
                const double cxl = lx - 0.5 * blockLength, cyl = ly - 0.5 * row.height - row.crackOffset[b] * row.height;
                const double crackWobble = 0.04 * fbm(nx * 6, ny * 6, period * 12, period * 12, 3, 0.5, seed + 17);
                const double distance = std::fabs(-cxl * sa + cyl * ca + crackWobble);
                const double along = std::fabs(cxl * ca + cyl * sa);
                const double crack = (1.0 - smoothstep(0.004, 0.014, distance)) * (1.0 - smoothstep(0.2, 0.6, along / blockLength));
                stone = mix(stone, style.joint * 0.8f, 0.8 * crack);
            }

            glm::vec3 jointColour = style.joint * float(0.85 + 0.3 * (0.5 + 0.5 * grain));
            if (style.moss > 0.0) {
                const double mossy = smoothstep(-0.1, 0.35, fbm(nx, ny, period * 2, period * 2, 4, 0.5, seed + 19));
                jointColour = mix(jointColour, glm::vec3(0.20f, 0.27f, 0.10f), style.moss * mossy);
            }
            const double inJoint = 1.0 - smoothstep(halfJoint - 0.004, halfJoint + 0.004, edge);
            image.at(px, py) = mix(stone, jointColour, inJoint);
        }
    }
    return image;
}

} // namespace

Image makeGrassTexture(int size, uint32_t seed)
{
    constexpr int period = 6;
    Image image(size, size);
    const glm::vec3 dark(0.15f, 0.25f, 0.07f);
    const glm::vec3 lush(0.29f, 0.42f, 0.12f);
    const glm::vec3 dry(0.47f, 0.45f, 0.22f);
    for (int py = 0; py < size; ++py) {
        for (int px = 0; px < size; ++px) {
            const double x = latticeCoord(px, size, period), y = latticeCoord(py, size, period);
            const double patches = fbm(x, y, period, period, 5, 0.5, seed);
            const double dryness = smoothstep(0.12, 0.45, fbm(x * 0.5 + 3.1, y * 0.5, period / 2, period / 2, 4, 0.5, seed + 1) + 0.1);
            const double clumps = fbm(x * 8, y * 8, period * 8, period * 8, 3, 0.5, seed + 2);
            glm::vec3 c = mix(dark, lush, clamp01(0.5 + 1.2 * patches));
            c = mix(c, dry, 0.55 * dryness);
            c *= float(0.85 + 0.25 * clumps);
            image.at(px, py) = c;
        }
    }
    // Blades: darker ones first so lighter tips end up on top, as in real turf seen from above.
    // Stroke counts are per tile and stroke sizes scale with the image, so the look does not
    // depend on the resolution it is rendered at.
    constexpr int bladesPerTile = 75000;
    constexpr int flowersPerTile = 340;
    const double scale = size / 1024.0;
    Prng rng(seed + 100);
    const int bladeCount = bladesPerTile;
    for (int i = 0; i < bladeCount; ++i) {
        const double x = rng.uniform(0.0, size), y = rng.uniform(0.0, size);
        const double layer = double(i) / bladeCount;
        const double length = rng.uniform(4.0, 11.0) * scale;
        const double angle = rng.uniform(0.0, twoPi);
        const glm::vec3 under = image.atWrapped(int(x), int(y));
        const double lift = 0.65 + 0.7 * layer + rng.uniform(-0.1, 0.15);
        glm::vec3 colour = under * float(lift);
        if (rng.uniform() < 0.25)
            colour = mix(colour, glm::vec3(0.55f, 0.56f, 0.22f), 0.35);
        drawStroke(image, x, y, x + length * std::cos(angle), y + length * std::sin(angle), 1.6 * scale, colour, 0.8);
    }
    // A sprinkle of small flowers.
    for (int i = 0; i < flowersPerTile; ++i) {
        const double x = rng.uniform(0.0, size), y = rng.uniform(0.0, size);
        const glm::vec3 petal = rng.uniform() < 0.6 ? glm::vec3(0.85f, 0.84f, 0.78f) : glm::vec3(0.88f, 0.74f, 0.25f);
        stampLeaf(image, x, y, 1.8 * scale, 1.8 * scale, 0.0, 0.5, [&](double, double) { return petal; }, 0.9);
    }
    return image;
}

Image makeSandTexture(int size, uint32_t seed)
{
    constexpr int period = 4;
    constexpr int rippleCycles = 18;
    Image image(size, size);
    const glm::vec3 sand(0.80f, 0.72f, 0.55f);
    for (int py = 0; py < size; ++py) {
        for (int px = 0; px < size; ++px) {
            const double x = latticeCoord(px, size, period), y = latticeCoord(py, size, period);
            const double mottling = fbm(x, y, period, period, 6, 0.55, seed);
            const double warp = fbm(x * 0.5, y * 0.5, period / 2, period / 2, 4, 0.5, seed + 1);
            // Wind ripples that fade in and out and bend, rather than a ruled pattern.
            const double ripple = std::sin(twoPi * (double(rippleCycles) * (py + 0.5) / size + 1.6 * warp +
                                                    0.15 * gradientNoise(x * 2, y * 2, period * 2, period * 2, seed + 4)));
            const double rippleStrength = smoothstep(-0.2, 0.4, fbm(x * 0.75, y * 0.75, 3, 3, 3, 0.5, seed + 5));
            const double grain = (hashCell(px, py, seed + 2) & 0xffff) / 65535.0 - 0.5;
            glm::vec3 c = sand * float(1.0 + 0.08 * mottling + 0.035 * ripple * rippleStrength + 0.08 * grain);
            c.b *= float(1.0 - 0.06 * mottling);
            image.at(px, py) = c;
        }
    }
    constexpr int pebblesPerTile = 116;
    Prng rng(seed + 100);
    const int pebbles = pebblesPerTile;
    for (int i = 0; i < pebbles; ++i) {
        const double x = rng.uniform(0.0, size), y = rng.uniform(0.0, size);
        const double radius = rng.uniform(1.2, 4.0) * size / 1024.0;
        const double shade = rng.uniform(0.7, 1.1);
        const glm::vec3 base = rng.uniform() < 0.5 ? glm::vec3(0.64f, 0.58f, 0.49f) : glm::vec3(0.76f, 0.72f, 0.66f);
        stampLeaf(image, x, y, radius * 1.3, radius, rng.uniform(0.0, pi), 0.5,
                  [&](double u, double v) {
                      // Lit from one side, shadowed on the other.
                      return base * float(shade * (1.0 + 0.15 * (v * 0.7 - u * 0.3)));
                  },
                  0.9);
    }
    return image;
}

Image makePavingTexture(int size, uint32_t seed)
{
    BondStyle style;
    style.tileUnits = 8.0;
    style.rowMin = 0.9;
    style.rowMax = 1.5;
    style.blockMin = 1.0;
    style.blockMax = 2.2;
    style.jointWidth = 0.05;
    style.bevel = 0.05;
    style.stone = glm::vec3(0.65f, 0.61f, 0.54f);
    style.joint = glm::vec3(0.24f, 0.22f, 0.19f);
    style.tint = 0.09;
    style.warmth = 0.05;
    style.crackChance = 0.3;
    style.streaks = 0.0;
    style.moss = 0.6;
    return makeBond(size, style, seed);
}

Image makeAshlarTexture(int size, uint32_t seed)
{
    BondStyle style;
    style.tileUnits = 6.0;
    style.rowMin = 0.45;
    style.rowMax = 0.7;
    style.blockMin = 0.8;
    style.blockMax = 1.6;
    style.jointWidth = 0.035;
    style.bevel = 0.04;
    style.stone = glm::vec3(0.74f, 0.66f, 0.52f);
    style.joint = glm::vec3(0.45f, 0.41f, 0.35f);
    style.tint = 0.07;
    style.warmth = 0.025;
    style.crackChance = 0.12;
    style.streaks = 0.1;
    style.moss = 0.25;
    return makeBond(size, style, seed);
}

Image makeMarbleTexture(int size, uint32_t seed)
{
    constexpr int period = 4;
    Image image(size, size);
    const glm::vec3 base(0.88f, 0.86f, 0.81f);
    const glm::vec3 vein(0.56f, 0.56f, 0.58f);
    const glm::vec3 warm(0.86f, 0.80f, 0.70f);
    for (int py = 0; py < size; ++py) {
        for (int px = 0; px < size; ++px) {
            const double x = latticeCoord(px, size, period), y = latticeCoord(py, size, period);
            const double cloud = fbm(x, y, period, period, 6, 0.55, seed);
            const double turbulence = fbm(x * 0.5, y * 0.5, period / 2, period / 2, 6, 0.6, seed + 1);
            // Integer cycles keep the vein bands periodic across the tile; gentle turbulence bends
            // them, and a soft halo around a sharper core keeps them from reading as drawn lines.
            const double bands = std::fabs(std::sin(pi * (1.0 * x + 0.5 * y + 1.6 * turbulence)));
            const double halo = std::pow(1.0 - bands, 10.0);
            const double core = std::pow(1.0 - bands, 70.0);
            const double strength = 0.55 + 0.45 * fbm(x * 2, y * 2, period * 2, period * 2, 3, 0.5, seed + 3);
            const double network = std::pow(1.0 - std::fabs(fbm(x * 1.5, y * 1.5, period * 3 / 2, period * 3 / 2, 5, 0.55, seed + 2)), 14.0);
            glm::vec3 c = base * float(0.95 + 0.07 * cloud);
            c = mix(c, warm, 0.3 * smoothstep(0.0, 0.6, turbulence));
            c = mix(c, vein, clamp01(strength * (0.3 * halo + 0.35 * core) + 0.16 * network));
            image.at(px, py) = c;
        }
    }
    return image;
}

Image makeGraniteTexture(int size, uint32_t seed)
{
    constexpr int grainPeriod = 72;
    constexpr int specklePeriod = 200;
    Image image(size, size);
    // Rose granite: mostly pink feldspar and grey quartz with scattered dark mica.
    const glm::vec3 palette[] = {{0.70f, 0.50f, 0.45f}, {0.66f, 0.47f, 0.42f}, {0.74f, 0.55f, 0.49f}, {0.58f, 0.55f, 0.53f},
                                 {0.64f, 0.60f, 0.57f}, {0.78f, 0.72f, 0.68f}, {0.62f, 0.44f, 0.40f}, {0.30f, 0.27f, 0.27f}};
    for (int py = 0; py < size; ++py) {
        for (int px = 0; px < size; ++px) {
            const double gx = latticeCoord(px, size, grainPeriod), gy = latticeCoord(py, size, grainPeriod);
            const CellSample grain = cellular(gx, gy, grainPeriod, grainPeriod, 0.95, seed);
            glm::vec3 c = palette[grain.id % 8];
            c *= float(0.92 + 0.14 * ((grain.id >> 8) & 0xff) / 255.0);
            const double sx = latticeCoord(px, size, specklePeriod), sy = latticeCoord(py, size, specklePeriod);
            const CellSample speck = cellular(sx, sy, specklePeriod, specklePeriod, 0.9, seed + 1);
            if ((speck.id & 7u) == 0u)
                c = mix(c, glm::vec3(0.12f), 0.75 * (1.0 - smoothstep(0.12, 0.3, speck.f1)));
            const double x = latticeCoord(px, size, 4), y = latticeCoord(py, size, 4);
            c *= float(1.0 + 0.06 * fbm(x, y, 4, 4, 4, 0.5, seed + 2));
            image.at(px, py) = c;
        }
    }
    return image;
}

Image makeBrassTexture(int size, uint32_t seed)
{
    constexpr int period = 4;
    Image image(size, size);
    const glm::vec3 brass(0.74f, 0.56f, 0.27f);
    const glm::vec3 tarnish(0.40f, 0.29f, 0.15f);
    const glm::vec3 verdigris(0.36f, 0.58f, 0.47f);
    for (int py = 0; py < size; ++py) {
        for (int px = 0; px < size; ++px) {
            const double x = latticeCoord(px, size, period), y = latticeCoord(py, size, period);
            const double brushed = gradientNoise(x * 2, y * 60, period * 2, period * 60, seed);
            const double dull = smoothstep(-0.2, 0.4, fbm(x, y, period, period, 5, 0.55, seed + 1));
            const double green = smoothstep(0.25, 0.45, fbm(x * 1.5, y * 1.5, period * 3 / 2, period * 3 / 2, 5, 0.6, seed + 2));
            glm::vec3 c = mix(brass, tarnish, 0.6 * dull);
            c *= float(1.0 + 0.08 * brushed);
            c = mix(c, verdigris, 0.8 * green);
            image.at(px, py) = c;
        }
    }
    return image;
}

Image makeWaterTexture(int size, uint32_t seed)
{
    constexpr int period = 6;
    Image image(size, size);
    const glm::vec3 deep(0.10f, 0.30f, 0.34f);
    const glm::vec3 light(0.52f, 0.76f, 0.78f);
    for (int py = 0; py < size; ++py) {
        for (int px = 0; px < size; ++px) {
            const double x = latticeCoord(px, size, period), y = latticeCoord(py, size, period);
            const double wx = x + 0.4 * fbm(x, y, period, period, 3, 0.5, seed);
            const double wy = y + 0.4 * fbm(x + 5.2, y + 1.3, period, period, 3, 0.5, seed);
            const CellSample a = cellular(wx, wy, period, period, 0.9, seed + 1);
            const CellSample b = cellular(wx * 2 + 0.37, wy * 2 + 0.71, period * 2, period * 2, 0.9, seed + 2);
            const double caustic = (1.0 - smoothstep(0.0, 0.09, a.f2 - a.f1)) * 0.7 + (1.0 - smoothstep(0.0, 0.06, b.f2 - b.f1)) * 0.35;
            const double depth = fbm(x * 0.5, y * 0.5, period / 2, period / 2, 3, 0.5, seed + 3);
            image.at(px, py) = mix(deep * float(1.0 + 0.25 * depth), light, clamp01(caustic));
        }
    }
    return image;
}

Image makeBarkTexture(int size, uint32_t seed)
{
    constexpr int periodAround = 10;
    constexpr int periodAlong = 2;
    Image image(size, size);
    const glm::vec3 plate(0.42f, 0.36f, 0.30f);
    const glm::vec3 fissure(0.12f, 0.10f, 0.08f);
    const glm::vec3 lichen(0.56f, 0.60f, 0.46f);
    for (int py = 0; py < size; ++py) {
        for (int px = 0; px < size; ++px) {
            const double x = latticeCoord(px, size, periodAround), y = latticeCoord(py, size, periodAlong);
            // Stretched along v (up the trunk) so ridges run vertically.
            const double ridge = fbm(x + 0.3 * gradientNoise(x, y * 4, periodAround, periodAlong * 4, seed), y,
                                     periodAround, periodAlong, 4, 0.5, seed + 1);
            const double crevice = 1.0 - smoothstep(0.02, 0.16, std::fabs(ridge));
            const double detail = fbm(x * 4, y * 16, periodAround * 4, periodAlong * 16, 3, 0.5, seed + 2);
            glm::vec3 c = plate * float(0.9 + 0.25 * detail);
            c = mix(c, fissure, 0.85 * crevice);
            const double spots = smoothstep(0.35, 0.5, fbm(x * 2, y * 8, periodAround * 2, periodAlong * 8, 4, 0.5, seed + 3));
            c = mix(c, lichen, 0.5 * spots * (1.0 - crevice));
            image.at(px, py) = c;
        }
    }
    return image;
}

Image makeLeavesTexture(int size, uint32_t seed)
{
    constexpr int period = 4;
    Image image(size, size);
    for (int py = 0; py < size; ++py) {
        for (int px = 0; px < size; ++px) {
            const double x = latticeCoord(px, size, period), y = latticeCoord(py, size, period);
            image.at(px, py) = glm::vec3(0.07f, 0.13f, 0.045f) * float(1.0 + 0.4 * fbm(x, y, period, period, 4, 0.5, seed));
        }
    }
    const glm::vec3 palette[] = {{0.20f, 0.34f, 0.08f}, {0.27f, 0.42f, 0.10f}, {0.34f, 0.46f, 0.13f},
                                 {0.22f, 0.31f, 0.12f}, {0.30f, 0.38f, 0.16f}, {0.40f, 0.48f, 0.16f}};
    constexpr int leavesPerTile = 9500;
    constexpr double clusterTexels = 48.0;
    Prng rng(seed + 100);
    const int leafCount = leavesPerTile;
    for (int i = 0; i < leafCount; ++i) {
        const double layer = double(i) / leafCount;
        const double x = rng.uniform(0.0, size), y = rng.uniform(0.0, size);
        // Clusters: leaves of one twig share a direction.
        const double clusterAngle = twoPi * (hashCell(int(x / (clusterTexels * size / 1024.0)), int(y / (clusterTexels * size / 1024.0)), seed) & 0xffff) / 65535.0;
        const double angle = clusterAngle + rng.uniform(-0.9, 0.9);
        const double length = rng.uniform(9.0, 17.0) * size / 1024.0;
        const glm::vec3& hue = palette[rng.uniformInt(0, 5)];
        const glm::vec3 base = hue * float(0.7 + 0.65 * layer + rng.uniform(-0.08, 0.08));
        stampLeaf(image, x, y, length, length * 0.42, angle, 0.8,
                  [&](double u, double v) {
                      const double rib = 1.0 - smoothstep(0.0, 0.12, std::fabs(v));
                      // Lighter toward the tip and on one half, as if catching light.
                      return base * float((1.0 + 0.18 * u + 0.1 * v) * (1.0 - 0.25 * rib));
                  },
                  0.95);
    }
    return image;
}

Image makeCrateTexture(int size, uint32_t seed)
{
    Image image(size, size);
    constexpr double frame = 0.15;
    constexpr int boards = 4;
    const glm::vec3 wood(0.62f, 0.46f, 0.28f);
    const glm::vec3 gap(0.12f, 0.08f, 0.05f);
    auto grainAt = [&](double along, double across, uint32_t board) {
        const double offset = (hashCell(int(board), 7, seed) & 0xffff) / 65535.0 * 13.0;
        const double warp = 2.5 * fbm(along * 1.5 + offset, across * 6.0, 0, 0, 4, 0.5, seed + 1);
        const double rings = 0.5 + 0.5 * std::sin(twoPi * (across * 18.0 + warp));
        const double tint = 0.9 + 0.2 * ((hashCell(int(board), 3, seed) & 0xff) / 255.0);
        return wood * float(tint * (0.82 + 0.22 * rings));
    };
    for (int py = 0; py < size; ++py) {
        for (int px = 0; px < size; ++px) {
            const double u = (px + 0.5) / size, v = (py + 0.5) / size;
            const double edgeDistance = std::min(std::min(u, 1.0 - u), std::min(v, 1.0 - v));
            glm::vec3 c;
            double seam;
            const double diagonal = std::fabs(u - v) / std::sqrt(2.0);
            if (edgeDistance < frame) {
                // Frame boards: horizontal along top and bottom, vertical at the sides.
                const bool horizontal = std::min(v, 1.0 - v) < std::min(u, 1.0 - u);
                c = horizontal ? grainAt(u, v, v < 0.5 ? 10 : 11) : grainAt(v, u, u < 0.5 ? 12 : 13);
                seam = std::min(frame - edgeDistance, edgeDistance);
                const double mitre = std::fabs(std::min(v, 1.0 - v) - std::min(u, 1.0 - u));
                seam = std::min(seam, mitre / std::sqrt(2.0));
            } else if (diagonal < 0.07) {
                c = grainAt(u + v, u - v, 14) * 1.05f;
                seam = std::min(0.07 - diagonal, edgeDistance - frame);
            } else {
                const double boardPosition = (u - frame) / (1.0 - 2.0 * frame) * boards;
                const int board = std::clamp(int(boardPosition), 0, boards - 1);
                c = grainAt(v, u, uint32_t(board)) * 0.9f;
                const double within = boardPosition - board;
                seam = std::min(std::min(within, 1.0 - within) * (1.0 - 2.0 * frame) / boards,
                                std::min(edgeDistance - frame, diagonal - 0.07));
            }
            c = mix(gap, c, smoothstep(0.002, 0.008, seam));
            // Shadow the inner boards next to the raised frame and brace.
            if (edgeDistance >= frame && diagonal >= 0.07)
                c *= float(0.8 + 0.2 * smoothstep(0.0, 0.04, std::min(edgeDistance - frame, diagonal - 0.07)));
            image.at(px, py) = c;
        }
    }
    // Nail heads at the frame corners and brace ends.
    const double nails[][2] = {{0.07, 0.07}, {0.93, 0.07}, {0.07, 0.93}, {0.93, 0.93}, {0.5, 0.07}, {0.5, 0.93},
                               {0.07, 0.5}, {0.93, 0.5}, {0.2, 0.2}, {0.8, 0.8}};
    for (const auto& nail : nails) {
        stampLeaf(image, nail[0] * size, nail[1] * size, size * 0.012, size * 0.012, 0.0, 0.5,
                  [&](double a, double b) { return glm::vec3(0.16f, 0.15f, 0.14f) * float(1.0 + 0.5 * (a + b)); }, 1.0);
    }
    return image;
}

Image makeLampGlassTexture(int size)
{
    Image image(size, size);
    for (int py = 0; py < size; ++py) {
        for (int px = 0; px < size; ++px) {
            const double u = (px + 0.5) / size, v = (py + 0.5) / size;
            const double edge = std::min(std::min(u, 1.0 - u), std::min(v, 1.0 - v));
            const double glow = 1.0 - std::min(1.0, std::hypot(u - 0.5, v - 0.45) * 1.6);
            glm::vec3 c = mix(glm::vec3(0.98f, 0.86f, 0.60f), glm::vec3(1.0f, 0.98f, 0.90f), glow);
            c = mix(glm::vec3(0.30f, 0.22f, 0.10f), c, smoothstep(0.05, 0.08, edge));
            image.at(px, py) = c;
        }
    }
    return image;
}

Image makeHillsTexture(int width, int height, const glm::vec3& lawnColour, const glm::vec3& hazeColour, uint32_t seed)
{
    constexpr int periodAround = 12;
    Image image(width, height);
    const glm::vec3 forest(0.13f, 0.22f, 0.09f);
    const glm::vec3 field(0.55f, 0.52f, 0.30f);
    const glm::vec3 meadow(0.33f, 0.43f, 0.17f);
    const glm::vec3 olive(0.40f, 0.42f, 0.26f);
    for (int py = 0; py < height; ++py) {
        const double v = (py + 0.5) / height;
        // Contrast fades in away from the lawn, haze takes over toward the horizon.
        const double contrast = smoothstep(0.0, 0.2, v);
        const double haze = 0.08 + 0.6 * std::pow(v, 1.1);
        for (int px = 0; px < width; ++px) {
            const double x = latticeCoord(px, width, periodAround);
            // Stretched across the view: far land is foreshortened along the line of sight.
            const double y = v * 4.0;
            const double landUse = fbm(x, y, periodAround, 0, 5, 0.55, seed);
            const double crops = fbm(x * 3, y * 3, periodAround * 3, 0, 3, 0.5, seed + 4);
            glm::vec3 c = mix(meadow, olive, smoothstep(-0.2, 0.2, crops));
            c = mix(c, field, smoothstep(0.1, 0.3, landUse));
            const double woods = fbm(x * 2 + 7.0, y * 2, periodAround * 2, 0, 5, 0.55, seed + 1);
            c = mix(c, forest, 0.75 * smoothstep(0.0, 0.25, woods));
            c *= float(0.88 + 0.24 * (0.5 + 0.5 * fbm(x * 8, y * 8, periodAround * 8, 0, 3, 0.5, seed + 3)));
            c = mix(lawnColour, c, contrast);
            image.at(px, py) = mix(c, hazeColour, haze);
        }
    }
    return image;
}

glm::vec3 skyHazeColour() { return glm::vec3(0.45f, 0.505f, 0.58f); }

glm::vec2 skyDomeUv(const glm::vec3& direction)
{
    const glm::vec3 d = glm::normalize(direction);
    const float elevation = std::asin(std::clamp(d.y, -1.0f, 1.0f));
    const float lowest = glm::radians(skyLowestElevationDegrees);
    const float halfPi = 1.5707963f;
    const float radius = 0.5f * (halfPi - elevation) / (halfPi - lowest);
    const float horizontal = std::hypot(d.x, d.z);
    if (horizontal < 1e-6f)
        return glm::vec2(0.5f);
    return glm::vec2(0.5f + radius * d.x / horizontal, 0.5f + radius * d.z / horizontal);
}

glm::vec3 skyDomeDirection(const glm::vec2& uv)
{
    const glm::vec2 offset = uv - glm::vec2(0.5f);
    const float radius = glm::length(offset);
    const float lowest = glm::radians(skyLowestElevationDegrees);
    const float halfPi = 1.5707963f;
    const float elevation = halfPi - std::min(radius / 0.5f, 1.0f) * (halfPi - lowest);
    const glm::vec2 across = radius > 1e-6f ? offset / radius : glm::vec2(1.0f, 0.0f);
    return glm::vec3(std::cos(elevation) * across.x, std::sin(elevation), std::cos(elevation) * across.y);
}

Image makeSkyTexture(int size, uint32_t seed)
{
    Image image(size, size);
    const glm::vec3 haze = skyHazeColour();
    const glm::vec3 zenith(0.22f, 0.37f, 0.62f);
    const glm::vec3 sunward = glm::normalize(glm::vec3(4.0f, 0.0f, -1.0f));
    const glm::vec3 cloudLit(0.56f, 0.58f, 0.62f);
    const glm::vec3 cloudShade(0.40f, 0.45f, 0.53f);
    for (int py = 0; py < size; ++py) {
        for (int px = 0; px < size; ++px) {
            const glm::vec2 uv((px + 0.5f) / size, (py + 0.5f) / size);
            const glm::vec3 d = skyDomeDirection(uv);
            const double elevation = std::asin(double(d.y));
            const double height = std::max(0.0, elevation / (0.5 * pi));
            glm::vec3 c = mix(haze, zenith, std::pow(height, 0.5));
            const glm::vec3 flat = glm::normalize(glm::vec3(d.x, 0.0f, d.z) + glm::vec3(1e-6f, 0.0f, 0.0f));
            const double towardSun = std::max(0.0f, glm::dot(flat, sunward));
            c += glm::vec3(0.035f, 0.025f, 0.0f) * float(towardSun * towardSun * (1.0 - height));
            if (elevation > 0.02) {
                // Clouds live on a flat layer overhead, so they foreshorten toward the horizon.
                const double reach = std::cos(elevation) / std::sin(elevation);
                const double cx = d.x / std::max(1e-6, std::hypot(double(d.x), double(d.z))) * reach * 1.6 + 3.7;
                const double cz = d.z / std::max(1e-6, std::hypot(double(d.x), double(d.z))) * reach * 1.6 - 1.3;
                const double body = fbm(cx * 0.6, cz * 1.1, 0, 0, 6, 0.55, seed);
                const double coverage = smoothstep(0.0, 0.4, body + 0.08 * fbm(cx * 0.2, cz * 0.2, 0, 0, 2, 0.5, seed + 1));
                const double thickness = smoothstep(0.15, 0.6, body);
                const double fade = std::exp(-reach / 5.0);
                const glm::vec3 cloud = mix(cloudLit, cloudShade, 0.7 * thickness);
                c = mix(c, cloud, 0.85 * coverage * fade);
            }
            image.at(px, py) = c;
        }
    }
    return image;
}

Image makeSsaoNoiseTexture(int size, uint64_t seed)
{
    Image image(size, size);
    Prng rng(seed);
    // Each texel is one turn of the occlusion kernel, for one two-by-two
    // block of the screen. Neighbouring texels take sixteen evenly spaced
    // turns in an ordered (Bayer) pattern, so that the blur averages any four
    // by four of them into the whole circle; the random part only moves each
    // one within its sixteenth. Both live in the picture rather than in the
    // shader, which then pays one read for them instead of a table lookup per
    // pixel. The turn goes into luminance, the one thing JPEG keeps per pixel:
    // its writer shares chroma between 2 x 2 blocks.
    for (int py = 0; py < size; ++py) {
        for (int px = 0; px < size; ++px) {
            const int a = (px ^ py) & 3;
            const int b = py & 3;
            const int ordered = ((a & 1) << 3) | ((b & 1) << 2) | (a & 2) | ((b & 2) >> 1);
            image.at(px, py) = glm::vec3(float((ordered + rng.uniform()) / 16.0));
        }
    }
    return image;
}

} // namespace scenegen
