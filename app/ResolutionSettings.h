// The display settings read from Settings/resolution.txt.
#pragma once

#include <istream>
#include <map>
#include <string>
#include <vector>

// The sizes where no settings file sets them.
struct DefaultSizes {
    static constexpr int windowWidth = 900;
    static constexpr int windowHeight = 720;
    static constexpr int renderWidth = 1920;
    static constexpr int renderHeight = 1080;
    static constexpr int shadowMapWidth = 1024;
    static constexpr int shadowMapHeight = 1024;
};

class ResolutionSettings {
public:
    bool fullscreen = false;
    int win_width = DefaultSizes::windowWidth;
    int win_height = DefaultSizes::windowHeight;
    int res_width = DefaultSizes::renderWidth;
    int res_height = DefaultSizes::renderHeight;
    int sm_width = DefaultSizes::shadowMapWidth;
    int sm_height = DefaultSizes::shadowMapHeight;

    // Defaults, then whatever the file sets. A missing or unreadable file is
    // not an error: the defaults stand.
    ResolutionSettings();
    explicit ResolutionSettings(const std::string& file);

    // Applies every line of `in`, as the constructor does with the file.
    void read(std::istream& in);

    // Every line read so far that is ignored, or whose value cannot be used as
    // written, in file order, each as the line and why ("win_width:-5 is not a
    // window size (1 to 16384)"). The values are applied exactly as they
    // would be without this: reporting them is the caller's business.
    const std::vector<std::string>& problems() const { return found; }

    // The render and shadow-map sizes that nothing else reported and that are
    // larger than the largest render target a GL takes, as problems() words them.
    std::vector<std::string> targetProblems(int largestWidth, int largestHeight) const;

    static constexpr const char* path = "Settings/resolution.txt";
    // The most of a settings file that is read.
    static constexpr size_t maxFileBytes = 1 << 20;
    // The largest window side that GL drivers commonly draw into whole.
    static constexpr int maxWindowSide = 16384;

private:
    struct Number {
        int value = 0;
        bool digits = false;   // any at all: "abc" and "-" are 0 without any
        bool trailing = false; // text after the digits, which is ignored
        bool clamped = false;  // beyond the 32-bit range
    };

    // Applies one line of the file.
    void applyLine(const std::string& line);
    // Records a problem with a line, given as key:value or as the whole line.
    void note(const std::string& text, const std::string& reason);

    // Decimal conversion that tolerates trailing text ("1280px" is 1280) and
    // clamps to the 32-bit range instead of overflowing.
    static Number parseInteger(const std::string& text);

    std::vector<std::string> found;
    // For each target size key, its last line, when that line had nothing else
    // wrong with it: only a GL context can still refuse its value.
    std::map<std::string, std::string> plainTargetLines;
};
