// Timing the frame's passes one by one with GL_TIME_ELAPSED queries.
#include "tools/PassTimer.h"

#include "app/Globals.h"
#include "render/Renderer.h"
#include "render/ShadowLight.h"
#include "render/effects/ScreenSpaceEffect.h"

#include <GL/glew.h>
#include <algorithm>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

namespace {

double timePass(const std::function<void()>& pass)
{
    GLuint query = 0;
    glGenQueries(1, &query);
    glBeginQuery(GL_TIME_ELAPSED, query);
    pass();
    glEndQuery(GL_TIME_ELAPSED);
    GLuint64 nanoseconds = 0;
    glGetQueryObjectui64v(query, GL_QUERY_RESULT, &nanoseconds);
    glDeleteQueries(1, &query);
    return static_cast<double>(nanoseconds) / 1.0e6;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

} // namespace

void printPassTimes(int frames)
{
    static const char* effectNames[] = {"ssao", "dof", "bloom"};
    std::vector<std::string> names = {"shadow", "geometry"};
    for (size_t i = 0; i < renderer->effects.size(); ++i) {
        if (renderer->effectEnabled[i])
            names.push_back(i < 3 ? effectNames[i] : "effect");
    }
    names.push_back("final");
    names.push_back("frame");
    std::vector<std::vector<double>> samples(names.size());

    for (int frame = 0; frame < frames; ++frame) {
        size_t slot = 0;
        double total = 0.0;
        const auto record = [&](const std::function<void()>& pass) {
            const double ms = timePass(pass);
            samples[slot++].push_back(ms);
            total += ms;
        };
        record(renderShadowMap);
        record(renderGeometryPass);
        GLuint image = renderer->colorTexture;
        for (size_t i = 0; i < renderer->effects.size(); ++i) {
            if (!renderer->effectEnabled[i])
                continue;
            record([&] {
                image = renderer->effects[i]->apply(image, renderer->colorTexture, renderer->depthTexture,
                                                    renderer->normalTexture, renderer->positionTexture,
                                                    renderer->quadVao, Renderer::quadIndexCount);
            });
        }
        record([&] { presentImage(image); });
        samples[slot].push_back(total);
    }
    for (size_t i = 0; i < names.size(); ++i)
        std::cout << "gpu-ms " << names[i] << " " << median(samples[i]) << std::endl;
}
