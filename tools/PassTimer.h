// GPU time of each pass of the real frame, from GL_TIME_ELAPSED queries.
#pragma once

#include "render/PassObserver.h"

#include <GL/glew.h>
#include <vector>

// Set as the renderer's pass observer while frames are timed. A query's
// result is read only when its slot comes round again, a few frames later,
// so that reading never waits for the GPU.
class PassTimer : public render::PassObserver {
public:
    PassTimer();
    ~PassTimer() override;
    PassTimer(const PassTimer&) = delete;
    PassTimer& operator=(const PassTimer&) = delete;

    // Before each timed frame.
    void startFrame();
    void begin(render::Pass pass) override;
    void end(render::Pass pass) override;
    // After the last frame: the results still outstanding.
    void finish();

    // Median over the timed frames in milliseconds; 0 for a pass that never ran.
    double medianMilliseconds(render::Pass pass) const;

private:
    static constexpr int framesInFlight = 3;
    static constexpr int passCount = static_cast<int>(render::Pass::Count);

    void collect(int slot);

    GLuint queries[framesInFlight][passCount] = {};
    bool issued[framesInFlight][passCount] = {};
    int frame = -1;
    std::vector<double> samples[passCount];
};
