// Reading the forgiving key:value settings file.
#include "app/ResolutionSettings.h"

#include "base/Printable.h"
#include "base/RegularFile.h"

#include <cctype>
#include <climits>
#include <sstream>
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

// A line as it may appear in a one-line message: at most its first 60
// bytes, cut between characters, escaped as everything echoed is; a
// megabyte line would bury everything else.
std::string printableExcerpt(const std::string& text)
{
    constexpr size_t longest = 60;
    if (text.size() <= longest)
        return printable(text);
    size_t cut = longest;
    // Back to the start of a UTF-8 sequence, so that a character cut in two
    // does not show as its bytes.
    for (size_t back = 0; back < 3 && cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80; ++back)
        --cut;
    return printable(text.substr(0, cut)) + "...";
}

} // namespace

ResolutionSettings::Number ResolutionSettings::parseInteger(const std::string& text)
{
    Number number;
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
        number.digits = true;
        magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude > limit) {
            magnitude = limit; // keep scanning digits, but never past the range
            number.clamped = true;
        }
    }
    number.trailing = i < text.size();
    number.value = static_cast<int>(negative ? -magnitude : magnitude);
    return number;
}

void ResolutionSettings::applyLine(const std::string& line)
{
    const std::vector<std::string> pieces = splitAtColons(line);
    if (pieces.size() != 2) {
        const std::string text = trim(line);
        if (text.empty())
            return;
        if (line.find(':') == std::string::npos)
            note(text, "has no colon and is ignored");
        else if (pieces.size() < 2)
            note(text, "has no value and is ignored");
        else
            note(text, "has more than one colon and is ignored");
        return;
    }
    const std::string key = trim(pieces[0]);
    const std::string value = trim(pieces[1]);
    const std::string text = key + ":" + value;
    if (key == "fullscreen") {
        if (value == "on")
            fullscreen = true;
        else if (value == "off")
            fullscreen = false;
        else
            note(text, "is neither on nor off and is ignored");
        return;
    }
    int* field = nullptr;
    const char* kind = nullptr;
    if (key == "win_width" || key == "win_height") {
        field = key == "win_width" ? &win_width : &win_height;
        kind = "window size";
    } else if (key == "res_width" || key == "res_height") {
        field = key == "res_width" ? &res_width : &res_height;
        kind = "render size";
    } else if (key == "sm_width" || key == "sm_height") {
        field = key == "sm_width" ? &sm_width : &sm_height;
        kind = "shadow-map size";
    } else {
        note(text, "has an unknown key and is ignored");
        return;
    }
    const Number number = parseInteger(value);
    *field = number.value;
    plainTargetLines.erase(key);

    // Only a GL knows how large a target may be; a window has a fixed limit.
    const bool isWindow = field == &win_width || field == &win_height;
    const bool usable = isWindow ? *field >= 1 && *field <= maxWindowSide : *field >= 1 && !number.clamped;
    if (!number.digits) {
        note(text, "is not a number");
    } else if (!usable) {
        const std::string range = isWindow ? " (1 to " + std::to_string(maxWindowSide) + ")" : "";
        note(text, std::string("is not a ") + kind + range);
    } else {
        if (number.trailing)
            note(text, "is read as " + std::to_string(*field));
        if (!isWindow)
            plainTargetLines[key] = text;
    }
}

void ResolutionSettings::note(const std::string& text, const std::string& reason)
{
    found.push_back(printableExcerpt(text) + " " + reason);
}

std::vector<std::string> ResolutionSettings::targetProblems(int largestWidth, int largestHeight) const
{
    const struct {
        const char* key;
        int value;
        int largest;
    } sizes[] = {{"res_width", res_width, largestWidth},
                 {"res_height", res_height, largestHeight},
                 {"sm_width", sm_width, largestWidth},
                 {"sm_height", sm_height, largestHeight}};
    std::vector<std::string> problems;
    for (const auto& size : sizes) {
        const auto line = plainTargetLines.find(size.key);
        if (line != plainTargetLines.end() && size.value > size.largest)
            problems.push_back(printableExcerpt(line->second) + " is larger than this GL's render targets (" +
                               std::to_string(size.largest) + ")");
    }
    return problems;
}

ResolutionSettings::ResolutionSettings() : ResolutionSettings(path) {}

ResolutionSettings::ResolutionSettings(const std::string& file)
{
    RegularFile source(file);
    if (!source.isOpen()) {
        // A missing file leaves the defaults, and a directory has always been
        // read as an empty file, both without a word.
        if (source.failure() == "not a regular file")
            found.push_back("is not a regular file and is ignored");
        return;
    }
    // Anything longer is no settings file: what fits is read.
    std::string text;
    std::string reason;
    if (!source.readAll(text, maxFileBytes, reason) && text.size() == maxFileBytes)
        found.push_back("is longer than " + std::to_string(maxFileBytes) + " bytes; the rest is ignored");
    std::istringstream in(text);
    read(in);
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
