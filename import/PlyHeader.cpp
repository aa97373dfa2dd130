// Renaming a PLY vertex's diffuse colour properties to the names the importer reads as vertex colours.
#include "import/PlyHeader.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

namespace import {

namespace {

constexpr std::string_view diffusePrefix = "diffuse_";

// The colour channels, with the names the importer reads as each on a vertex.
struct Channel {
    std::string_view name;
    std::string_view shortName; // empty where there is none
};
constexpr Channel channels[4] = {{"red", "r"}, {"green", "g"}, {"blue", "b"}, {"alpha", ""}};

bool isLineEnd(unsigned char c)
{
    return c == '\n' || c == '\r';
}

// The importer's separators within a header line.
bool isBlank(unsigned char c)
{
    return c == ' ' || c == '\t';
}

// The words of one header line, each with its offset in the file.
struct Word {
    std::string_view text;
    size_t at;
};

// One `vertex` element's properties, as far as the colours go.
struct VertexElement {
    bool hasChannel[4] = {false, false, false, false};
    std::vector<size_t> diffuse[4]; // offsets of the `diffuse_` names of each channel
};

void noteProperty(VertexElement& element, const Word& name)
{
    for (int c = 0; c < 4; ++c) {
        if (name.text == channels[c].name || (!channels[c].shortName.empty() && name.text == channels[c].shortName))
            element.hasChannel[c] = true;
        else if (name.text.size() == diffusePrefix.size() + channels[c].name.size() &&
                 name.text.substr(0, diffusePrefix.size()) == diffusePrefix &&
                 name.text.substr(diffusePrefix.size()) == channels[c].name)
            element.diffuse[c].push_back(name.at);
    }
}

bool isPlyMagic(std::string_view word)
{
    return word.size() == 3 && (word[0] == 'p' || word[0] == 'P') && (word[1] == 'l' || word[1] == 'L') &&
           (word[2] == 'y' || word[2] == 'Y');
}

} // namespace

size_t plyDiffuseAsVertexColours(unsigned char* bytes, size_t length)
{
    const std::string_view text(reinterpret_cast<const char*>(bytes), length);
    // Any other file goes by at the cost of a look at its first bytes.
    if (length < 4 || !isPlyMagic(text.substr(0, 3)) || !(isLineEnd(bytes[3]) || isBlank(bytes[3])))
        return length;
    // The cuts: offsets of the prefixes that go, each vertex element's once it is read whole.
    std::vector<size_t> cuts;
    VertexElement vertex;
    bool inVertex = false;
    auto endElement = [&] {
        if (inVertex)
            for (int c = 0; c < 4; ++c)
                if (!vertex.hasChannel[c])
                    cuts.insert(cuts.end(), vertex.diffuse[c].begin(), vertex.diffuse[c].end());
        vertex = VertexElement();
        inVertex = false;
    };
    bool ended = false;
    // The first words of a line: no line this reads has more, however long it is.
    constexpr size_t wordsRead = 3;
    Word words[wordsRead];
    for (size_t line = 0, lineNumber = 0; line < length && !ended; ++lineNumber) {
        size_t count = 0;
        size_t at = line;
        while (at < length && !isLineEnd(bytes[at])) {
            while (at < length && isBlank(bytes[at]))
                ++at;
            const size_t start = at;
            while (at < length && !isBlank(bytes[at]) && !isLineEnd(bytes[at]))
                ++at;
            if (at > start && count < wordsRead)
                words[count++] = {text.substr(start, at - start), start};
        }
        line = at + 1;
        if (lineNumber == 0 || count == 0)
            continue;
        if (words[0].text == "end_header") {
            endElement();
            ended = true;
        } else if (words[0].text == "element") {
            endElement();
            inVertex = count >= 2 && words[1].text == "vertex";
        } else if (words[0].text == "property" && inVertex && count >= 3 && words[1].text != "list") {
            // "property TYPE NAME"; a list ("property list COUNTTYPE TYPE
            // NAME") is never a vertex's colour to the importer.
            noteProperty(vertex, words[2]);
        }
    }
    if (!ended || cuts.empty())
        return length;
    std::sort(cuts.begin(), cuts.end());
    // Each cut takes the prefix out; what lies between moves down.
    size_t write = cuts[0];
    for (size_t i = 0; i < cuts.size(); ++i) {
        const size_t from = cuts[i] + diffusePrefix.size();
        const size_t to = i + 1 < cuts.size() ? cuts[i + 1] : length;
        std::memmove(bytes + write, bytes + from, to - from);
        write += to - from;
    }
    return write;
}

} // namespace import
