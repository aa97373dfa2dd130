// The capture tool's strict option parsing: good lists set fields, bad ones fail with a reason.
#include "tools/CaptureOptions.h"

#include <gtest/gtest.h>
#include <tuple>

namespace {

using Args = std::vector<std::string>;

TEST(CaptureOptions, BadArgumentListsFailWithAReason)
{
    struct Case {
        Args args;
        std::string reason;
    };
    const Case cases[] = {
        {{"--bogus", "1"}, "unknown option --bogus"},
        {{"--frames"}, "missing value after --frames"},
        {{"--frames", "0"}, "bad value for --frames: 0"},
        {{"--effects", "11"}, "bad value for --effects: 11"},
        {{"--effects", "1a1"}, "bad value for --effects: 1a1"},
        {{"--window", "640"}, "bad value for --window: 640"},
        {{"--eye", "1,2"}, "bad value for --eye: 1,2"},
        {{"--at", "1,2,3,4"}, "bad value for --at: 1,2,3,4"},
        {{"--dt", "0"}, "bad value for --dt: 0"},
        {{"--eye", "1,2,3"}, "--eye and --at go together"},
        {{"--eye", "1,2,3", "--at", "0,7,0", "--tour-time", "3"}, "--eye/--at and --tour-time exclude each other"},
        {{"--moving", "model.glb"}, "--moving goes with --bench"},
    };
    for (const Case& c : cases) {
        CaptureOptions options;
        std::string error;
        EXPECT_FALSE(options.parse(c.args, error)) << c.reason;
        EXPECT_EQ(error, c.reason);
    }
}

TEST(CaptureOptions, GoodArgumentListsSetWhatTheyName)
{
    CaptureOptions options;
    std::string error;
    ASSERT_TRUE(options.parse({"--effects", "101", "--window", "640x360", "--eye", "1,2.5,-3", "--at", "0,7,0",
                               "--frames", "5", "--dt", "0.5", "--bench", "7", "--out", "shot.png"},
                              error))
        << error;
    EXPECT_EQ(options.effects, (EffectSwitches{true, false, true}));
    EXPECT_EQ(glm::ivec2(options.windowWidth, options.windowHeight), glm::ivec2(640, 360));
    EXPECT_TRUE(options.freeCamera);
    EXPECT_EQ(options.benchFrames, 7);
    EXPECT_EQ(options.eye, glm::vec3(1.0f, 2.5f, -3.0f));
    EXPECT_EQ(std::make_tuple(options.frames, options.dt, options.outPath),
              std::make_tuple(5, 0.5f, std::string("shot.png")));

    CaptureOptions moving;
    ASSERT_TRUE(moving.parse({"--bench", "8", "--moving", "model.glb"}, error)) << error;
    EXPECT_TRUE(moving.moving);
    EXPECT_EQ(moving.modelPath, "model.glb");

    CaptureOptions tour;
    ASSERT_TRUE(tour.parse({"--tour-time", "12"}, error)) << error;
    EXPECT_FALSE(tour.freeCamera);
    EXPECT_EQ(tour.tourTime, 12.0f);
}

} // namespace
