// The display settings read from Settings/resolution.txt.
#pragma once

#include <istream>
#include <string>

class ResolutionSettings {
public:
    bool fullscreen = false;
    int win_width = 900;
    int win_height = 720;
    int res_width = 1920;
    int res_height = 1080;
    int sm_width = 1024;
    int sm_height = 1024;

    // Defaults, then whatever the file sets. A missing or unreadable file is
    // not an error: the defaults stand.
    ResolutionSettings();

    // Applies every line of `in`, as the constructor does with the file.
    void read(std::istream& in);

    static constexpr const char* path = "Settings/resolution.txt";

private:
    // Applies one line of the file.
    void applyLine(const std::string& line);

    // Decimal conversion that tolerates trailing text ("1280px" is 1280) and
    // clamps to the 32-bit range instead of overflowing.
    static int parseInteger(const std::string& text);
};
