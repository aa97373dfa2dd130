// Ear clipping: the ring of corners left, the test of an ear, and the tree of corners that keeps large polygons fast.
#include "import/Triangulator.h"

#include <algorithm>

namespace import {

namespace {

// Twice the signed area of a, b, c: positive where they turn
// counter-clockwise. Written as the scene generator always wrote it, in the
// corners' own precision, so that its polygons cut as they did.
template <typename Vec2> typename Vec2::value_type turn(const Vec2& a, const Vec2& b, const Vec2& c)
{
    return (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
}

} // namespace

const std::vector<unsigned>& Triangulator::cut(const std::vector<glm::vec2>& corners)
{
    clip(corners);
    return triangles;
}

const std::vector<unsigned>& Triangulator::cut(const std::vector<glm::dvec2>& corners)
{
    clip(corners);
    return triangles;
}

const std::vector<unsigned>& Triangulator::cutFlat(bool facingKnown)
{
    const size_t n = flat.size();
    bool convex = facingKnown;
    for (size_t i = 0; i < n && convex; ++i)
        convex = turn(flat[i], flat[(i + 1) % n], flat[(i + 2) % n]) >= 0.0;
    if (convex || !facingKnown)
        fan(n);
    else
        clip(flat);
    return triangles;
}

void Triangulator::fan(size_t count)
{
    triangles.clear();
    for (size_t i = 1; i + 1 < count; ++i)
        triangles.insert(triangles.end(), {0u, static_cast<unsigned>(i), static_cast<unsigned>(i + 1)});
}

template <typename Vec2> void Triangulator::clip(const std::vector<Vec2>& corners)
{
    const size_t n = corners.size();
    triangles.clear();
    if (n < 3)
        return;
    before.resize(n);
    after.resize(n);
    gone.assign(n, 0);
    for (size_t i = 0; i < n; ++i) {
        before[i] = static_cast<unsigned>((i + n - 1) % n);
        after[i] = static_cast<unsigned>((i + 1) % n);
    }
    first = 0;
    left = n;
    useTree = n > orderedCorners;
    if (!useTree)
        clipInOrder(corners);
    else
        clipInRounds(corners);
    if (left > 3) {
        finishRest(false);
        return;
    }
    // The last three: an ear, or a rest.
    finishRest(isConvex(corners, after[first]));
}

// The first ear in the order of the corners, each time, searched for from
// the first corner again after every cut: polygons this small cost little
// either way, and any shortcut could choose other ears where corners meet
// or lie on a line.
template <typename Vec2> void Triangulator::clipInOrder(const std::vector<Vec2>& corners)
{
    unsigned at = first;
    size_t tried = 0;
    while (left > 3 && tried < left) {
        const unsigned a = before[at];
        const unsigned c = after[at];
        if (!isEar(corners, a, at, c)) {
            at = c;
            ++tried;
            continue;
        }
        triangles.insert(triangles.end(), {a, at, c});
        unlink(at);
        at = first;
        tried = 0;
    }
}

// Rounds around the polygon: every other corner where ears follow each
// other, which keeps triangles short, then only the corners beside a cut.
// When none is left to try, every corner once more: a polygon that crosses
// itself can have ears the cuts did not make.
template <typename Vec2> void Triangulator::clipInRounds(const std::vector<Vec2>& corners)
{
    treeOfNonConvex(corners);
    std::vector<unsigned> now(left);
    for (size_t i = 0; i < left; ++i)
        now[i] = static_cast<unsigned>(i);
    std::vector<unsigned> next;
    // The round in which a corner was last queued for the next one.
    std::vector<unsigned> queuedIn(corners.size(), 0);
    unsigned round = 1;
    bool everyCorner = true;
    while (left > 3) {
        for (unsigned b : now) {
            if (left <= 3)
                break;
            if (gone[b] || queuedIn[b] == round)
                continue;
            const unsigned a = before[b];
            const unsigned c = after[b];
            if (!isEar(corners, a, b, c))
                continue;
            triangles.insert(triangles.end(), {a, b, c});
            unlink(b);
            for (unsigned beside : {a, c})
                if (queuedIn[beside] != round) {
                    queuedIn[beside] = round;
                    next.push_back(beside);
                }
        }
        if (next.empty()) {
            // Nothing was cut: after a round of every corner, none is an
            // ear; after a round of some, every corner left once more.
            if (everyCorner)
                return;
            for (unsigned k = first, i = 0; i < left; k = after[k], ++i)
                next.push_back(k);
            everyCorner = true;
        } else {
            everyCorner = false;
        }
        now.swap(next);
        next.clear();
        ++round;
    }
}

template <typename Vec2> bool Triangulator::isConvex(const std::vector<Vec2>& corners, unsigned k) const
{
    using Scalar = typename Vec2::value_type;
    return turn(corners[before[k]], corners[k], corners[after[k]]) > static_cast<Scalar>(rules.minimumTwiceArea);
}

template <typename Vec2> bool Triangulator::isEar(const std::vector<Vec2>& corners, unsigned a, unsigned b, unsigned c)
{
    using Scalar = typename Vec2::value_type;
    if (!(turn(corners[a], corners[b], corners[c]) > static_cast<Scalar>(rules.minimumTwiceArea)))
        return false;
    if (useTree) {
        const Ear ear{glm::dvec2(corners[a]), glm::dvec2(corners[b]), glm::dvec2(corners[c])};
        return !treeBlocks(corners, 0, ear, a, b, c);
    }
    for (unsigned k = after[c]; k != a; k = after[k])
        if (blocks(corners, k, a, b, c))
            return false;
    return true;
}

template <typename Vec2>
bool Triangulator::blocks(const std::vector<Vec2>& p, unsigned k, unsigned a, unsigned b, unsigned c) const
{
    if (k == a || k == b || k == c || p[k] == p[a] || p[k] == p[b] || p[k] == p[c])
        return false;
    using Scalar = typename Vec2::value_type;
    const Scalar ab = turn(p[a], p[b], p[k]);
    const Scalar bc = turn(p[b], p[c], p[k]);
    const Scalar ca = turn(p[c], p[a], p[k]);
    if (rules.edgeBlocks)
        return ab >= Scalar(0) && bc >= Scalar(0) && ca >= Scalar(0);
    return ab > Scalar(0) && bc > Scalar(0) && ca > Scalar(0);
}

// For a simple polygon a corner inside an ear means a corner that is not
// convex inside it too, and a convex corner never turns back: only those
// that were not convex at the start need looking at, and only until they
// are cut or turn convex. They go into a tree of boxes, halved along the
// longer side down to a few corners, since the corners of real polygons lie
// along lines: dense there, none elsewhere.
template <typename Vec2> void Triangulator::treeOfNonConvex(const std::vector<Vec2>& corners)
{
    treeCorners.clear();
    for (unsigned k = 0; k < corners.size(); ++k)
        if (!isConvex(corners, k))
            treeCorners.push_back(k);
    boxes.assign(1, Box());
    growTree(corners, 0, 0, static_cast<unsigned>(treeCorners.size()));
}

template <typename Vec2>
void Triangulator::growTree(const std::vector<Vec2>& corners, unsigned box, unsigned begin, unsigned end)
{
    glm::dvec2 low(0.0);
    glm::dvec2 high = low;
    for (unsigned i = begin; i < end; ++i) {
        const glm::dvec2 p(corners[treeCorners[i]]);
        low = i == begin ? p : glm::min(low, p);
        high = i == begin ? p : glm::max(high, p);
    }
    boxes[box] = Box{low, high, begin, end, 0};
    if (end - begin <= cornersPerBox)
        return;
    const int axis = high.x - low.x >= high.y - low.y ? 0 : 1;
    const unsigned middle = begin + (end - begin) / 2;
    std::nth_element(treeCorners.begin() + begin, treeCorners.begin() + middle, treeCorners.begin() + end,
                     [&](unsigned p, unsigned q) { return corners[p][axis] < corners[q][axis]; });
    const unsigned halves = static_cast<unsigned>(boxes.size());
    boxes[box].halves = halves;
    boxes.resize(boxes.size() + 2);
    growTree(corners, halves, begin, middle);
    growTree(corners, halves + 1, middle, end);
}

Triangulator::Ear::Ear(const glm::dvec2& a, const glm::dvec2& b, const glm::dvec2& c)
    : corners{a, b, c}, low(glm::min(glm::min(a, b), c)), high(glm::max(glm::max(a, b), c))
{
}

// Whether no point of the box can be in the ear: the box is beside its
// bounds, or wholly outside one of its edges (the corner of the box
// farthest inside that edge is not inside).
bool Triangulator::outside(const Box& box, const Ear& ear)
{
    if (box.high.x < ear.low.x || box.high.y < ear.low.y || box.low.x > ear.high.x || box.low.y > ear.high.y)
        return true;
    for (int edge = 0; edge < 3; ++edge) {
        const glm::dvec2& from = ear.corners[edge];
        const glm::dvec2 along = ear.corners[(edge + 1) % 3] - from;
        const glm::dvec2 farthest(along.y <= 0.0 ? box.high.x : box.low.x, along.x >= 0.0 ? box.high.y : box.low.y);
        if (turn(from, from + along, farthest) < 0.0)
            return true;
    }
    return false;
}

template <typename Vec2>
bool Triangulator::treeBlocks(const std::vector<Vec2>& corners, unsigned box, const Ear& ear, unsigned a, unsigned b,
                              unsigned c)
{
    if (boxes[box].begin == boxes[box].end || outside(boxes[box], ear))
        return false;
    const unsigned halves = boxes[box].halves;
    if (halves == 0) {
        Box& leaf = boxes[box];
        for (unsigned i = leaf.begin; i < leaf.end;) {
            const unsigned k = treeCorners[i];
            if (gone[k] || isConvex(corners, k)) {
                // Out of the tree for good.
                treeCorners[i] = treeCorners[--leaf.end];
                continue;
            }
            if (blocks(corners, k, a, b, c))
                return true;
            ++i;
        }
        return false;
    }
    if (treeBlocks(corners, halves, ear, a, b, c) || treeBlocks(corners, halves + 1, ear, a, b, c))
        return true;
    // Both halves emptied: so is this box.
    if (boxes[halves].begin == boxes[halves].end && boxes[halves + 1].begin == boxes[halves + 1].end)
        boxes[box].end = boxes[box].begin;
    return false;
}

void Triangulator::unlink(unsigned b)
{
    const unsigned a = before[b];
    const unsigned c = after[b];
    after[a] = c;
    before[c] = a;
    gone[b] = 1;
    if (b == first)
        first = c;
    --left;
}

void Triangulator::finishRest(bool lastIsEar)
{
    if (left == 3 && !lastIsEar && !rules.fanTheRest)
        return;
    if (left > 3 && !rules.fanTheRest)
        return;
    const unsigned a = first;
    for (unsigned b = after[a]; after[b] != a; b = after[b])
        triangles.insert(triangles.end(), {a, b, after[b]});
}

} // namespace import
