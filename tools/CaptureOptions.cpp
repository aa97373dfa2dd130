// Parsing the capture tool's options strictly: a typo must not give a plausible picture.
#include "tools/CaptureOptions.h"

#include <cstdlib>
#include <sstream>

namespace {

bool parseFloat(const std::string& text, float& value)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    value = std::strtof(text.c_str(), &end);
    return end == text.c_str() + text.size();
}

bool parseInt(const std::string& text, int& value)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    const long parsed = std::strtol(text.c_str(), &end, 10);
    if (end != text.c_str() + text.size() || parsed < 1 || parsed > 100000)
        return false;
    value = static_cast<int>(parsed);
    return true;
}

bool parseVector(const std::string& text, glm::vec3& value)
{
    std::stringstream stream(text);
    std::string part;
    int count = 0;
    while (std::getline(stream, part, ',')) {
        if (count == 3 || !parseFloat(part, value[count]))
            return false;
        ++count;
    }
    return count == 3;
}

} // namespace

bool CaptureOptions::parse(const std::vector<std::string>& args, std::string& error)
{
    bool haveEye = false;
    bool haveAt = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& flag = args[i];
        if (flag == "-h" || flag == "--help") {
            help = true;
            continue;
        }
        if (flag == "--no-ground") {
            noGround = true;
            continue;
        }
        if (flag == "--moving") {
            moving = true;
            continue;
        }
        if (!flag.empty() && flag[0] != '-') {
            if (!modelPath.empty()) {
                error = "one model at a time: " + flag;
                return false;
            }
            modelPath = flag;
            continue;
        }
        if (i + 1 >= args.size()) {
            error = "missing value after " + flag;
            return false;
        }
        const std::string& value = args[++i];
        bool ok = true;
        if (flag == "--eye") {
            ok = parseVector(value, eye);
            haveEye = true;
        } else if (flag == "--at") {
            ok = parseVector(value, at);
            haveAt = true;
        } else if (flag == "--frames") {
            ok = parseInt(value, frames);
        } else if (flag == "--bench") {
            ok = parseInt(value, benchFrames);
        } else if (flag == "--out") {
            outPath = value;
            ok = !value.empty();
        } else if (flag == "--window") {
            const size_t x = value.find('x');
            ok = x != std::string::npos && parseInt(value.substr(0, x), windowWidth) &&
                 parseInt(value.substr(x + 1), windowHeight);
        } else if (flag == "--effects") {
            ok = parseEffectSwitches(value, effects);
        } else if (flag == "--tour-time") {
            ok = parseFloat(value, tourTime) && tourTime >= 0.0f && tourTime <= 3600.0f;
        } else if (flag == "--dt") {
            ok = parseFloat(value, dt) && dt > 0.0f && dt <= 1.0f;
        } else {
            error = "unknown option " + flag;
            return false;
        }
        if (!ok) {
            error = "bad value for " + flag + ": " + value;
            return false;
        }
    }
    if (help)
        return true;
    if (haveEye != haveAt) {
        error = "--eye and --at go together";
        return false;
    }
    if (moving && benchFrames == 0) {
        error = "--moving goes with --bench";
        return false;
    }
    freeCamera = haveEye;
    if (freeCamera && tourTime >= 0.0f) {
        error = "--eye/--at and --tour-time exclude each other";
        return false;
    }
    return true;
}
