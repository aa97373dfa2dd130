// The ground a model stands on, and the watch that tells when its file has been written.
#include "app/FileWatch.h"
#include "render/Stage.h"

#include <gtest/gtest.h>
#include <sstream>
#include <vector>

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
    FileStamp stamp;
    stamp.present = true;
    stamp.size = size;
    stamp.modifiedNanoseconds = at;
    return stamp;
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

FileStamp replacedBy(const char* what)
{
    FileStamp stamp;
    stamp.instead = what;
    return stamp;
}

struct StateStep {
    double seconds;
    FileStamp stamp;
    bool opens;
    std::string line; // what the watch says at this step, "" for nothing
};

// A watched file that stops being one to read says so once it has lasted,
// once for each state it takes; passing through one on its way back, or
// staying in one, says nothing.
TEST(FileWatch, SaysOnceForEachStateThatIsNoFileToRead)
{
    const std::string gone = "brassfern: /m/a\\x1bb.obj no longer exists; the model shown stays\n";
    const auto replaced = [](const std::string& what) {
        return "brassfern: /m/a\\x1bb.obj is no longer a regular file (" + what + "); the model shown stays\n";
    };
    const StateStep steps[] = {
        {0.0, written(100, 1), false, ""},
        // Moved away for a moment by a save: nothing to say.
        {1.0, FileStamp{}, false, ""},
        {1.2, written(120, 2), false, ""},
        {1.6, written(120, 2), true, ""},
        {2.0, replacedBy("a FIFO"), false, ""},
        {2.2, replacedBy("a FIFO"), false, ""},
        {2.4, replacedBy("a FIFO"), false, replaced("a FIFO")},
        {60.0, replacedBy("a FIFO"), false, ""},
        {61.0, replacedBy("a directory"), false, ""},
        {61.4, replacedBy("a directory"), false, replaced("a directory")},
        {62.0, FileStamp{}, false, ""},
        {62.4, FileStamp{}, false, gone},
        // Back as it was: nothing new to open, and the next loss is news again.
        {64.0, written(120, 2), false, ""},
        {65.0, FileStamp{}, false, ""},
        {65.4, FileStamp{}, false, gone},
        {66.0, written(130, 3), false, ""},
        {66.4, written(130, 3), true, ""},
    };
    FileWatch watch(0.3);
    watch.reset(written(100, 1));
    for (const StateStep& step : steps) {
        std::ostringstream said;
        EXPECT_EQ(watch.settled(step.stamp, step.seconds, &said, "/m/a\x1b" "b.obj"), step.opens) << step.seconds;
        EXPECT_EQ(said.str(), step.line) << step.seconds;
    }

    // Watched from a start where the file was not there: that is no news.
    watch.reset(FileStamp{});
    std::ostringstream said;
    EXPECT_FALSE(watch.settled(FileStamp{}, 70.0, &said, "m.obj"));
    EXPECT_FALSE(watch.settled(FileStamp{}, 71.0, &said, "m.obj"));
    EXPECT_EQ(said.str(), "");
}

} // namespace
