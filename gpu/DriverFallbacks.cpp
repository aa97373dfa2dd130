// Reading which fallbacks are forced, and saying which were taken.
#include "gpu/DriverFallbacks.h"

#include "base/Printable.h"

#include <cstdlib>
#include <iostream>
#include <set>
#include <sstream>
#include <string>

namespace {

const char* nameOf(Fallback fallback)
{
    switch (fallback) {
    case Fallback::forwardCompatible:
        return "forward-compatible";
    case Fallback::readBufferNone:
        return "read-buffer";
    case Fallback::rgbaTargets:
        return "rgba-targets";
    case Fallback::framebufferScale:
        return "framebuffer-scale";
    }
    return "";
}

} // namespace

bool fallbackForced(Fallback fallback)
{
    static const std::set<std::string> forced = [] {
        constexpr Fallback all[] = {Fallback::forwardCompatible, Fallback::readBufferNone, Fallback::rgbaTargets,
                                    Fallback::framebufferScale};
        std::set<std::string> known;
        std::string knownList;
        for (Fallback each : all) {
            known.insert(nameOf(each));
            knownList += std::string(knownList.empty() ? "" : ", ") + nameOf(each);
        }
        std::set<std::string> names;
        const char* list = std::getenv("BRASSFERN_FORCE_FALLBACKS");
        std::istringstream words(list != nullptr ? list : "");
        for (std::string name; std::getline(words, name, ',');) {
            // A misspelt name would otherwise leave a check believed done
            // undone; an empty one (a trailing comma) forces nothing.
            if (!name.empty() && known.count(name) == 0 && names.count(name) == 0)
                std::cerr << "brassfern: BRASSFERN_FORCE_FALLBACKS names no fallback '" << printable(name)
                          << "'; the fallbacks are " << knownList << std::endl;
            names.insert(name);
        }
        return names;
    }();
    return forced.count(nameOf(fallback)) != 0;
}

void reportFallback(Fallback fallback, const char* why)
{
    static std::set<Fallback> reported;
    if (reported.insert(fallback).second)
        std::cerr << "brassfern: GL fallback " << nameOf(fallback) << ": " << why << std::endl;
}
