// The settings file's line rules, defaults and file handling.
#include "app/ResolutionSettings.h"

#include <gtest/gtest.h>

TEST(Settings, Placeholder)
{
    ResolutionSettings settings;
    EXPECT_EQ(settings.win_width, 900);
}
