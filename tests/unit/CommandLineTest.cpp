// The viewer's command line: each mistake is refused with a line naming it, and good lists set what they say.
#include "app/CommandLine.h"

#include <gtest/gtest.h>

namespace {

using Args = std::vector<std::string>;

TEST(ViewerOptions, BadArgumentListsFailWithAReason)
{
    const std::pair<Args, std::string> cases[] = {
        {{"--bogus"}, "unknown option --bogus"},
        {{"-x", "model.obj"}, "unknown option -x"},
        {{"--output"}, "option --output needs a value"},
        {{"--help=1"}, "option --help takes no value"},
        {{"--effects", "11"}, "bad value for --effects: '11'"},
        {{"--effects=1a1"}, "bad value for --effects: '1a1'"},
        {{"--output", "shot.jpg"}, "bad value for --output: 'shot.jpg'"},
        {{"--output", "x.png", "--frames", "+3"}, "bad value for --frames: '+3'"},
        {{"--output", "x.png", "--frames", "0"}, "bad value for --frames: '0'"},
        {{"--frames", "3"}, "option --frames needs --output"},
        {{"--headless", "model.obj"}, "option --headless needs --output"},
        {{"--size", "256", "model.obj"}, "option --size needs --output"},
        {{"--transparent"}, "option --transparent needs --output"},
        {{"--output", "x.png", "--size", "0"}, "bad value for --size: '0'"},
        {{"--output", "x.png", "--size", "4097"}, "bad value for --size: '4097'"},
        {{"--output", "x.png", "--size=256px"}, "bad value for --size: '256px'"},
        {{"--output", "x.png", "--headless=1"}, "option --headless takes no value"},
        {{"--settings="}, "bad value for --settings: ''"},
        {{"a.obj", "b.obj"}, "one scene file at most: a.obj and b.obj"},
        {{""}, "empty scene file name"},
    };
    for (const auto& [args, reason] : cases) {
        ViewerOptions options;
        std::string error;
        EXPECT_FALSE(options.parse(args, error)) << reason;
        EXPECT_EQ(error, reason);
    }
}

TEST(ViewerOptions, GoodArgumentListsSetWhatTheyName)
{
    ViewerOptions options;
    std::string error;
    ASSERT_TRUE(options.parse({"--effects=101", "--output", "Shot.PNG", "--frames", "12", "--no-tour", "--no-ground",
                               "--watch", "--settings", "my.txt", "--", "-model.obj"},
                              error))
        << error;
    EXPECT_EQ(options.effects, (EffectSwitches{true, false, true}));
    EXPECT_EQ(options.outputPath, "Shot.PNG");
    EXPECT_EQ(options.frames, 12);
    EXPECT_TRUE(options.noTour);
    EXPECT_TRUE(options.noGround && options.watch);
    EXPECT_EQ(options.settingsPath, "my.txt");
    EXPECT_EQ(options.scenePath, "-model.obj");
    EXPECT_FALSE(options.help || options.version);

    // A thumbnail is one still frame from the start view, unless told otherwise.
    ViewerOptions thumbnail;
    ASSERT_TRUE(thumbnail.parse({"--headless", "--size=4096", "--transparent", "--output", "t.png", "m.glb"}, error));
    EXPECT_TRUE(thumbnail.headless && thumbnail.transparent && thumbnail.noTour);
    EXPECT_EQ(thumbnail.size, 4096);
    EXPECT_EQ(thumbnail.frames, 1);
    ViewerOptions counted;
    ASSERT_TRUE(counted.parse({"--size", "64", "--frames", "5", "--output", "t.png"}, error));
    EXPECT_EQ(counted.frames, 5);

    ViewerOptions none;
    ASSERT_TRUE(none.parse({}, error));
    EXPECT_EQ(none.scenePath + none.settingsPath + none.outputPath, "");
    EXPECT_FALSE(none.noTour || none.noGround || none.watch || none.headless || none.transparent);
    EXPECT_EQ(none.size, 0);
    EXPECT_EQ(none.frames, 3);
}

} // namespace
