// Scene checks run before writing: shadow-box containment, face orientation, camera-tour clearance.
#pragma once

#include "MeshBuilder.h"

#include <glm/mat4x4.hpp>

#include <vector>

namespace scenegen {

// The viewer's own orthographic light transform.
glm::mat4 lightBoxTransform();
glm::vec3 lightDirection(); // unit vector toward the light
// limit < 1 shrinks the box (in clip units) to leave a margin.
bool insideLightBox(const glm::vec3& position, float limit = 1.0f);
// How far the ground plane stays inside the box along a horizontal direction (angle from +Z toward +X).
float lightBoxGroundReach(float angle, float limit);
// How far, in world units along the box's sides, a point lies outside the box shrunk to limit;
// negative inside. Unlike the reach it is well conditioned near the box's corners.
float lightBoxOverhang(const glm::vec3& position, float limit);
size_t countOutsideLightBox(const Mesh& mesh);

// Triangles whose counter-clockwise face normal points away from their vertex normals.
size_t countMisorientedTriangles(const Mesh& mesh);
// For inward-facing domes: triangles whose front side does not face the given centre.
size_t countTrianglesNotFacing(const Mesh& mesh, const glm::vec3& centre);

// The eye along each of the viewer's four tour shots, samplesPerPath + 1
// points from the shot's first frame to its last.
std::vector<std::vector<glm::vec3>> tourCameraPaths(int samplesPerPath);

double pointTriangleDistance(const glm::vec3& p, const glm::vec3& a, const glm::vec3& b, const glm::vec3& c);
// Smallest distance from any point to any triangle of the meshes.
double clearance(const std::vector<const Mesh*>& meshes, const std::vector<glm::vec3>& points);

} // namespace scenegen
