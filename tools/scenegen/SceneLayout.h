// The showcase scene: a sunlit ruined temple court, assembled into one mesh per material.
#pragma once

#include "MeshBuilder.h"

#include <string>
#include <vector>

namespace scenegen {

struct SceneGroup {
    std::string name;
    std::string material;
    Mesh mesh;
    // Sky and far landscape lie outside the light's shadow box by design.
    bool backdrop = false;
};

struct Scene {
    std::vector<SceneGroup> groups;
    Mesh& mesh(const std::string& groupName);
    size_t triangleCount() const;
};

constexpr float skyDomeRadius = 240.0f;

Scene buildScene();

} // namespace scenegen
