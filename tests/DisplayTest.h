// Tests that need an X display skip without one, saying what to do instead.
#pragma once

#include <cstdlib>
#include <gtest/gtest.h>

inline bool haveDisplay()
{
    const char* display = std::getenv("DISPLAY");
    return display != nullptr && *display != '\0';
}

constexpr const char* noDisplayReason = "no display: run under xvfb-run or use scripts/test";

// A plain ctest without a display would otherwise fail every window and GL
// test on "Could not init GLFW", hiding what really broke.
class DisplayTest : public testing::Test {
protected:
    void SetUp() override
    {
        if (!haveDisplay())
            GTEST_SKIP() << noDisplayReason;
    }
};

template <class Param>
class DisplayTestWithParam : public DisplayTest, public testing::WithParamInterface<Param> {
};
