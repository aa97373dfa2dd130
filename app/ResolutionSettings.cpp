// Reading the forgiving key:value settings file.
#include "app/ResolutionSettings.h"

#include <cctype>
#include <climits>
#include <fstream>
#include <vector>

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::string trim(const std::string& text)
{
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

// Pieces between colons; an empty text after the last colon is no piece, so
// "sm_width:2048:" still has two pieces.
std::vector<std::string> splitAtColons(const std::string& line)
{
    std::vector<std::string> pieces;
    size_t start = 0;
    for (;;) {
        const size_t colon = line.find(':', start);
        if (colon == std::string::npos) {
            if (start < line.size())
                pieces.push_back(line.substr(start));
            return pieces;
        }
        pieces.push_back(line.substr(start, colon - start));
        start = colon + 1;
    }
}

} // namespace

int ResolutionSettings::parseInteger(const std::string& text)
{
    size_t i = 0;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    long long magnitude = 0;
    const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude > limit)
            magnitude = limit; // keep scanning digits, but never past the range
    }
    return static_cast<int>(negative ? -magnitude : magnitude);
}

void ResolutionSettings::applyLine(const std::string& line)
{
    const std::vector<std::string> pieces = splitAtColons(line);
    if (pieces.size() != 2)
        return;
    const std::string key = trim(pieces[0]);
    const std::string value = trim(pieces[1]);
    if (key == "fullscreen") {
        if (value == "on")
            fullscreen = true;
        else if (value == "off")
            fullscreen = false;
    } else if (key == "win_width") {
        win_width = parseInteger(value);
    } else if (key == "win_height") {
        win_height = parseInteger(value);
    } else if (key == "res_width") {
        res_width = parseInteger(value);
    } else if (key == "res_height") {
        res_height = parseInteger(value);
    } else if (key == "sm_width") {
        sm_width = parseInteger(value);
    } else if (key == "sm_height") {
        sm_height = parseInteger(value);
    }
}

ResolutionSettings::ResolutionSettings()
{
    std::ifstream file(path);
    if (file.is_open())
        read(file);
}

void ResolutionSettings::read(std::istream& in)
{
    // A directory opens like a file but fails its first read; getline turns
    // that failure into the bad state instead of an exception, which ends
    // the loop with the defaults standing.
    std::string line;
    while (std::getline(in, line))
        applyLine(line);
}
