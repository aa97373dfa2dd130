// Large concave polygons cut into triangles that cover them exactly, in a time that does not grow with the
// square of their corners.
#include "import/Triangulator.h"

#include <chrono>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>

namespace {

using Outline = std::vector<glm::dvec2>;

constexpr double pi = 3.14159265358979323846;

double twiceArea(const glm::dvec2& a, const glm::dvec2& b, const glm::dvec2& c)
{
    return (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
}

// An arc of a ring, outer edge then inner: a "C".
Outline ringArc(size_t corners)
{
    Outline outline;
    for (size_t i = 0; i < corners; ++i) {
        const size_t k = i < corners / 2 ? i : corners - 1 - i;
        const double angle = 0.2 + 5.8 * static_cast<double>(k) / static_cast<double>(corners / 2 - 1);
        outline.push_back((i < corners / 2 ? 2.0 : 1.5) * glm::dvec2(std::cos(angle), std::sin(angle)));
    }
    return outline;
}

// Teeth on a bar, the outline turning clockwise.
Outline comb(size_t corners)
{
    Outline outline = {{0, -1}, {0, 0}};
    for (size_t tooth = 0; outline.size() + 4 <= corners; ++tooth) {
        const double x = static_cast<double>(tooth);
        outline.insert(outline.end(), {{x, 10}, {x + 0.5, 10}, {x + 0.5, 0.5}, {x + 1, 0.5}});
    }
    outline.push_back({outline.back().x, -1});
    return outline;
}

// A band wound round ten times.
Outline spiral(size_t corners)
{
    Outline outline;
    const size_t half = corners / 2;
    for (size_t i = 0; i < corners; ++i) {
        const double angle = 20.0 * pi * static_cast<double>(i < half ? i : corners - 1 - i) / half;
        outline.push_back((angle + (i < half ? 1.0 : 1.5)) * glm::dvec2(std::cos(angle), std::sin(angle)));
    }
    return outline;
}

struct Shape {
    const char* name;
    std::function<Outline(size_t)> make;
};

TEST(Triangulator, LargeConcavePolygonsAreCoveredExactlyAndQuickly)
{
    const Shape shapes[] = {{"ring arc", ringArc}, {"comb", comb}, {"spiral", spiral}};
    for (const Shape& shape : shapes)
        for (size_t corners : {import::Triangulator::orderedCorners, import::Triangulator::orderedCorners + 2,
                               size_t(100000)}) {
            const Outline outline = shape.make(corners);
            double area = 0.0;
            for (size_t i = 0; i < outline.size(); ++i)
                area += twiceArea({0, 0}, outline[i], outline[(i + 1) % outline.size()]);
            import::Triangulator triangulator;
            const auto start = std::chrono::steady_clock::now();
            const std::vector<unsigned>& triangles =
                triangulator.cutInSpace(outline.size(), [&](size_t i) { return glm::dvec3(outline[i], 0.0); });
            const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            ASSERT_EQ(triangles.size(), 3 * (outline.size() - 2)) << shape.name << " " << corners;
            // All turning as the outline does, and together as large: no
            // triangle outside it, none over another.
            double covered = 0.0;
            size_t turnedOver = 0;
            for (size_t t = 0; t < triangles.size(); t += 3) {
                const double each =
                    twiceArea(outline[triangles[t]], outline[triangles[t + 1]], outline[triangles[t + 2]]);
                turnedOver += each * area < 0.0;
                covered += each;
            }
            EXPECT_EQ(turnedOver, 0u) << shape.name << " " << corners;
            EXPECT_NEAR(covered, area, 1e-9 * std::fabs(area)) << shape.name << " " << corners;
            // Well under a second; searching every corner for each ear
            // would take many minutes.
            EXPECT_LT(seconds, 10.0) << shape.name << " " << corners;
        }
}

} // namespace
