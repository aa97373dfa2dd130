// Polygons of any size and shape cut into triangles, for the OBJ reader and the scene generator.
#pragma once

#include "import/PolygonFacing.h"

#include <cmath>
#include <cstddef>
#include <glm/glm.hpp>
#include <vector>

namespace import {

// How ears are told, and what becomes of a rest that has none.
struct EarRules {
    // An ear's corners must turn by more than this: twice its area.
    double minimumTwiceArea = 0.0;
    // Whether a corner on the edge of an ear keeps it from being cut, as a
    // corner inside it does. A corner at one of the ear's own points never
    // does: a polygon with a hole joined on by a seam has those twice.
    bool edgeBlocks = true;
    // What is left when no ear can be cut (the polygon crosses itself, or
    // what is left is flat): a fan from its first corner, as the importer
    // cuts it, or nothing.
    bool fanTheRest = true;
};

// Ear clipping. A polygon of up to `orderedCorners` corners is cut as it
// always was, the first ear in the order of the corners each time, so that
// what was made of it before (the scene in data/) stays the same to the
// byte. A larger one is cut in rounds around it, testing an ear only
// against the corners near it that are not convex, and a corner only again
// once a neighbour is cut: a polygon of a hundred thousand corners takes a
// fraction of a second, not the hours that searching all corners for every
// ear would take.
class Triangulator {
public:
    static constexpr size_t orderedCorners = 256;

    explicit Triangulator(const EarRules& rules = EarRules()) : rules(rules) {}

    // A counter-clockwise polygon in the plane, cut: triples of offsets
    // into `corners`, each counter-clockwise.
    const std::vector<unsigned>& cut(const std::vector<glm::vec2>& corners);
    const std::vector<unsigned>& cut(const std::vector<glm::dvec2>& corners);

    // The polygon of `count` corners whose points in space `pointAt(i)`
    // gives, seen along the way it faces (Newell's normal, so a concave or
    // slightly bent polygon faces the right way), cut: a fan from its first
    // corner where it is convex, as the importer cuts it; clipped ears where
    // it is not. Triples of offsets, turning as the polygon does.
    template <typename PointAt> const std::vector<unsigned>& cutInSpace(size_t count, PointAt pointAt);

private:
    const std::vector<unsigned>& cutFlat(bool facingKnown);
    void fan(size_t count);
    template <typename Vec2> void clip(const std::vector<Vec2>& corners);
    template <typename Vec2> void clipInOrder(const std::vector<Vec2>& corners);
    template <typename Vec2> void clipInRounds(const std::vector<Vec2>& corners);
    template <typename Vec2> bool isConvex(const std::vector<Vec2>& corners, unsigned k) const;
    template <typename Vec2> bool isEar(const std::vector<Vec2>& corners, unsigned a, unsigned b, unsigned c);
    template <typename Vec2> bool blocks(const std::vector<Vec2>& corners, unsigned k, unsigned a, unsigned b,
                                         unsigned c) const;
    struct Box {
        glm::dvec2 low{0.0};
        glm::dvec2 high{0.0};
        // Its corners in treeCorners, none once all are out; its halves
        // are boxes `halves` and `halves + 1`, or 0 for none.
        unsigned begin = 0;
        unsigned end = 0;
        unsigned halves = 0;
    };
    template <typename Vec2> void treeOfNonConvex(const std::vector<Vec2>& corners);
    template <typename Vec2>
    void growTree(const std::vector<Vec2>& corners, unsigned box, unsigned begin, unsigned end);
    // An ear being tested, with its bounds.
    struct Ear {
        Ear(const glm::dvec2& a, const glm::dvec2& b, const glm::dvec2& c);
        glm::dvec2 corners[3];
        glm::dvec2 low;
        glm::dvec2 high;
    };
    static bool outside(const Box& box, const Ear& ear);
    template <typename Vec2>
    bool treeBlocks(const std::vector<Vec2>& corners, unsigned box, const Ear& ear, unsigned a, unsigned b,
                    unsigned c);
    void unlink(unsigned b);
    void finishRest(bool lastIsEar);

    EarRules rules;
    std::vector<unsigned> triangles;
    std::vector<glm::dvec2> flat;
    // The corners left, as a ring.
    std::vector<unsigned> before;
    std::vector<unsigned> after;
    std::vector<char> gone;
    unsigned first = 0;
    size_t left = 0;
    bool useTree = false;
    // Large polygons: the corners not yet convex, in a tree of boxes.
    static constexpr unsigned cornersPerBox = 8;
    std::vector<Box> boxes;
    std::vector<unsigned> treeCorners;
};

template <typename PointAt> const std::vector<unsigned>& Triangulator::cutInSpace(size_t count, PointAt pointAt)
{
    const glm::dvec3 normal = newellNormal(count, pointAt);
    const glm::dvec3 size = glm::abs(normal);
    const int drop = size.x >= size.y && size.x >= size.z ? 0 : size.y >= size.z ? 1 : 2;
    // Mirrored where it faces down the axis left out, so that it turns
    // counter-clockwise in the plane.
    const double mirror = normal[drop] >= 0.0 ? 1.0 : -1.0;
    flat.resize(count);
    for (size_t i = 0; i < count; ++i) {
        const glm::dvec3 p(pointAt(i));
        flat[i] = drop == 0 ? glm::dvec2(p.y, p.z) : drop == 1 ? glm::dvec2(p.z, p.x) : glm::dvec2(p.x, p.y);
        flat[i].x *= mirror;
    }
    return cutFlat(std::isfinite(normal.x + normal.y + normal.z));
}

} // namespace import
