// fuzz_settings: any bytes as the settings file. Nothing may crash or throw, a field whose key
// the bytes never spell keeps its default, and reading the same text twice changes nothing more.
#include "app/ResolutionSettings.h"

#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

namespace {

bool sameFields(const ResolutionSettings& a, const ResolutionSettings& b)
{
    return a.fullscreen == b.fullscreen && a.win_width == b.win_width && a.win_height == b.win_height &&
           a.res_width == b.res_width && a.res_height == b.res_height && a.sm_width == b.sm_width &&
           a.sm_height == b.sm_height;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Built once: the constructor also looks for the real file.
    static const ResolutionSettings defaults;
    const std::string text(reinterpret_cast<const char*>(data), size);

    ResolutionSettings once = defaults;
    std::istringstream in(text);
    once.read(in);

    ResolutionSettings twice = once;
    std::istringstream again(text);
    twice.read(again);
    if (!sameFields(once, twice))
        std::abort();

    const std::pair<const char*, bool> unnamed[] = {
        {"fullscreen", once.fullscreen == defaults.fullscreen}, {"win_width", once.win_width == defaults.win_width},
        {"win_height", once.win_height == defaults.win_height}, {"res_width", once.res_width == defaults.res_width},
        {"res_height", once.res_height == defaults.res_height}, {"sm_width", once.sm_width == defaults.sm_width},
        {"sm_height", once.sm_height == defaults.sm_height},
    };
    for (const auto& [key, unchanged] : unnamed) {
        if (text.find(key) == std::string::npos && !unchanged)
            std::abort();
    }
    return 0;
}
