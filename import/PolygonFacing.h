// Which way a polygon faces, whatever its shape.
#pragma once

#include <cstddef>
#include <glm/glm.hpp>

namespace import {

// Newell's normal of the polygon whose `corners` points `pointAt(i)` gives,
// in double: along the facing, twice the area long; zero for a polygon
// without area. Right for concave and slightly bent polygons too.
template <typename PointAt> glm::dvec3 newellNormal(size_t corners, PointAt pointAt)
{
    glm::dvec3 normal(0.0);
    for (size_t i = 0; i < corners; ++i) {
        const glm::dvec3 a(pointAt(i));
        const glm::dvec3 b(pointAt((i + 1) % corners));
        normal += glm::dvec3((a.y - b.y) * (a.z + b.z), (a.z - b.z) * (a.x + b.x), (a.x - b.x) * (a.y + b.y));
    }
    return normal;
}

} // namespace import
