// The ground a model stands on, and the watch that tells when its file has been written.
#include "app/FileWatch.h"
#include "render/Stage.h"

#include <gtest/gtest.h>

namespace {

TEST(Ground, LiesJustUnderTheLowestPointCentredUnderTheModelAndFadesPastItsFootprint)
{
    const glm::vec3 low(-3.0f, 2.0f, 10.0f);
    const glm::vec3 high(5.0f, 6.0f, 12.0f);
    const render::GroundPlacement ground = render::placeGround(low, high);
    const float radius = 0.5f * glm::length(high - low);
    EXPECT_LT(ground.height, low.y);
    EXPECT_GT(ground.height, low.y - 0.01f * radius);
    EXPECT_EQ(ground.centre, glm::vec2(1.0f, 11.0f));
    // The whole footprint stands on unfaded ground, and the fade ends.
    EXPECT_GE(ground.fadeStart, glm::length(glm::vec2(high.x - low.x, high.z - low.z)) / 2.0f);
    EXPECT_GT(ground.fadeEnd, ground.fadeStart);
    EXPECT_GT(ground.gridSpacing, 0.0f);

    // A model without extent still gets a ground of some size under it.
    const render::GroundPlacement point = render::placeGround(low, low);
    EXPECT_LE(point.height, low.y);
    EXPECT_GT(point.fadeEnd, point.fadeStart);
}

FileStamp written(long long size, long long at)
{
    return FileStamp{true, size, at};
}

TEST(FileWatch, OpensOnceForEachChangeThatHasSettled)
{
    FileWatch watch(0.3);
    watch.reset(written(100, 1));
    EXPECT_FALSE(watch.settled(written(100, 1), 0.0));
    EXPECT_FALSE(watch.settled(written(100, 1), 5.0));

    // Written in steps: each step starts the wait again.
    EXPECT_FALSE(watch.settled(written(0, 2), 6.0));
    EXPECT_FALSE(watch.settled(written(50, 3), 6.2));
    EXPECT_FALSE(watch.settled(written(120, 4), 6.4));
    EXPECT_FALSE(watch.settled(written(120, 4), 6.6));
    EXPECT_TRUE(watch.settled(written(120, 4), 6.71));
    // Once only.
    EXPECT_FALSE(watch.settled(written(120, 4), 9.0));

    // Replaced by a rename: gone for a moment, then back with new content.
    EXPECT_FALSE(watch.settled(FileStamp{}, 10.0));
    EXPECT_FALSE(watch.settled(FileStamp{}, 11.0));
    EXPECT_FALSE(watch.settled(written(130, 5), 11.1));
    EXPECT_TRUE(watch.settled(written(130, 5), 11.5));

    // A change undone before it settled is no change.
    EXPECT_FALSE(watch.settled(written(1, 6), 12.0));
    EXPECT_FALSE(watch.settled(written(130, 5), 12.1));
    EXPECT_FALSE(watch.settled(written(130, 5), 13.0));
}

} // namespace
