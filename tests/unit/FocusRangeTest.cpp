// The depth-of-field focus limits as a function of the camera's distance to the scene target.
#include "camera/Camera.h"
#include "render/effects/DoF.h"

#include <gtest/gtest.h>

namespace {

TEST(FocusRange, FollowsTheDistanceToTheSceneTargetOnlyAndIncreasesStrictly)
{
    const std::pair<glm::vec3, glm::vec4> cases[] = {
        {{0, 7, 400.5f}, {-0.5f, 0.0f, 1.5f, 1.7f}}, {{400.5f, 7, 0}, {-0.5f, 0.0f, 1.5f, 1.7f}},
        {{0, 8, 0}, {-1.0f, -1.0f, -1.0f, -0.8f}},  {{0, 7, -800}, {0.0f, 1.0f, 4.0f, 4.2f}}};
    for (const auto& [position, expected] : cases) {
        const glm::vec4 range = render::computeFocusRange(position);
        for (int i = 0; i < 4; ++i)
            EXPECT_NEAR(range[i], expected[i], 1e-6f) << "camera at z " << position.z << ", limit " << i;
    }
    for (float distance : {1.01f, 2.0f, 28.0f, 400.0f, 799.0f, 2000.0f}) {
        const glm::vec4 range = render::computeFocusRange(sceneTarget + glm::vec3(0.0f, distance, 0.0f));
        EXPECT_TRUE(range.x < range.y && range.y < range.z && range.z < range.w) << distance;
    }
}

} // namespace
