// Timer queries around the passes of the real frame, read back a few frames late.
#include "tools/PassTimer.h"

#include <algorithm>

PassTimer::PassTimer()
{
    glGenQueries(framesInFlight * passCount, &queries[0][0]);
}

PassTimer::~PassTimer()
{
    glDeleteQueries(framesInFlight * passCount, &queries[0][0]);
}

void PassTimer::startFrame()
{
    ++frame;
    collect(frame % framesInFlight);
}

void PassTimer::begin(render::Pass pass)
{
    glBeginQuery(GL_TIME_ELAPSED, queries[frame % framesInFlight][static_cast<int>(pass)]);
}

void PassTimer::end(render::Pass pass)
{
    glEndQuery(GL_TIME_ELAPSED);
    issued[frame % framesInFlight][static_cast<int>(pass)] = true;
}

void PassTimer::finish()
{
    for (int k = 1; k <= framesInFlight; ++k)
        collect((frame + k) % framesInFlight);
}

void PassTimer::collect(int slot)
{
    for (int pass = 0; pass < passCount; ++pass) {
        if (!issued[slot][pass])
            continue;
        GLuint64 nanoseconds = 0;
        glGetQueryObjectui64v(queries[slot][pass], GL_QUERY_RESULT, &nanoseconds);
        samples[pass].push_back(static_cast<double>(nanoseconds) / 1.0e6);
        issued[slot][pass] = false;
    }
}

double PassTimer::medianMilliseconds(render::Pass pass) const
{
    std::vector<double> values = samples[static_cast<int>(pass)];
    if (values.empty())
        return 0.0;
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
}
