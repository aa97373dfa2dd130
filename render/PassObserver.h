// A measuring tool's view of the frame: told where each pass begins and ends.
#pragma once

namespace render {

// The frame's passes in drawing order.
enum class Pass { ShadowDepth, ShadowMoments, ShadowBlur, Geometry, Ssao, DepthOfField, Bloom, Final, Count };

constexpr const char* passNames[] = {"shadow_depth", "shadow_moments", "shadow_blur", "geometry",
                                     "ssao",         "dof",            "bloom",       "final"};

// The viewer sets none. A tool that times the passes sets one, so that it
// measures the real frame instead of a copy of it that could drift away.
class PassObserver {
public:
    virtual ~PassObserver() = default;
    virtual void begin(Pass pass) = 0;
    virtual void end(Pass pass) = 0;
};

extern PassObserver* passObserver;

// Brackets one pass for the observer, if there is one.
class ObservedPass {
public:
    explicit ObservedPass(Pass pass) : pass(pass)
    {
        if (passObserver != nullptr)
            passObserver->begin(pass);
    }
    ~ObservedPass()
    {
        if (passObserver != nullptr)
            passObserver->end(pass);
    }
    ObservedPass(const ObservedPass&) = delete;
    ObservedPass& operator=(const ObservedPass&) = delete;

private:
    const Pass pass;
};

} // namespace render
