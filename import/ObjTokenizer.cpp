// Lines that run on past a backslash or past the longest line held.
#include "import/ObjTokenizer.h"

namespace import {

bool LineSplitter::finishUncommonLine(Cursor& line)
{
    if (skipping) {
        // The end of a line already left out.
        skipping = false;
        return false;
    }
    const size_t length = static_cast<size_t>(line.end - line.at);
    const bool continued = length > 0 && line.end[-1] == '\\';
    if (!joining && !continued) {
        if (length < maxLineBytes)
            return true;
        ++leftOut;
        return false;
    }
    if (!joining) {
        joining = true;
        dropping = false;
        joined.clear();
    }
    const size_t kept = continued ? length - 1 : length;
    if (!dropping && joined.size() + kept + 1 >= maxLineBytes) {
        dropping = true;
        ++leftOut;
        std::string().swap(joined);
    }
    if (!dropping) {
        joined.append(line.at, kept);
        // The backslash and the line end part words, as a blank would.
        if (continued)
            joined += ' ';
    }
    if (continued)
        return false;
    joining = false;
    if (dropping)
        return false;
    line = Cursor{joined.data(), joined.data() + joined.size()};
    return true;
}

void LineSplitter::leaveOutLongLine()
{
    if (!(joining && dropping))
        ++leftOut;
    joining = false;
    dropping = false;
    std::string().swap(joined);
    skipping = true;
}

} // namespace import
