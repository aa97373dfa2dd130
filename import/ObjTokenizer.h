// OBJ and MTL text as lines and words: line ends of every kind, continued lines, numbers and indices.
#pragma once

#include <charconv>
#include <cmath>
#include <cstring>
#include <string>
#include <string_view>
#include <system_error>

namespace import {

// No line is held longer than this: a file of one endless line (a sparse
// file of zero bytes, a binary named .obj) would otherwise be gathered whole
// before a word of it is read. The longest real lines, faces of a few
// hundred thousand corners, take a few megabytes.
constexpr size_t maxLineBytes = size_t(64) << 20;

inline bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

// A place in one line of text.
struct Cursor {
    const char* at;
    const char* end;

    void skipSpace()
    {
        while (at < end && isSpace(*at))
            ++at;
    }
    bool done()
    {
        skipSpace();
        return at == end;
    }
    // The next run of non-blank characters.
    std::string_view word()
    {
        skipSpace();
        const char* start = at;
        while (at < end && !isSpace(*at))
            ++at;
        return std::string_view(start, static_cast<size_t>(at - start));
    }
    // The rest of the line without the blanks around it.
    std::string rest()
    {
        skipSpace();
        const char* last = end;
        while (last > at && isSpace(last[-1]))
            --last;
        return std::string(at, last);
    }
    // A number, or false with the cursor where it was. What is not finite
    // reads as zero: one such coordinate would otherwise void the framing
    // and every normal it touches.
    bool number(float& value)
    {
        skipSpace();
        const char* start = at + (at < end && *at == '+' ? 1 : 0);
        const auto result = std::from_chars(start, end, value);
        if (result.ec == std::errc::invalid_argument)
            return false;
        if (result.ec == std::errc::result_out_of_range || !std::isfinite(value))
            value = 0.0f;
        // What follows the digits in the same word ("3.1+e2") is passed
        // over, as the importer does.
        at = result.ptr;
        while (at < end && !isSpace(*at))
            ++at;
        return true;
    }
    // Up to `most` numbers into `values`; how many there were.
    int numbers(float* values, int most)
    {
        int read = 0;
        while (read < most && number(values[read]))
            ++read;
        return read;
    }
    bool integer(long long& value)
    {
        const char* start = at + (at < end && *at == '+' ? 1 : 0);
        const auto result = std::from_chars(start, end, value);
        if (result.ec != std::errc())
            return false;
        at = result.ptr;
        return true;
    }
};

// Text cut into lines as the importer cuts it: a line ends at LF, CR LF or
// a CR alone (old Mac files), and a backslash just before the end joins the
// next line on, comments too. The importer glues the two lines ("f 1 2\"
// and "3" read "f 1 23", another vertex or none); here the backslash parts
// the words as the blank that writers mean by it. A line longer than
// maxLineBytes, joined or not, is left out. Text may come in pieces: what
// `split` does not take is handed again with more after it.
class LineSplitter {
public:
    // Calls `onLine(Cursor)` for each whole line of `text` and returns the
    // bytes taken. With `last`, the end of the text ends a line.
    template <typename OnLine> size_t split(const char* text, size_t size, bool last, OnLine&& onLine);

    // For a caller whose buffer of maxLineBytes holds no line end: the line
    // is left out, up to its end in text still to come. The caller drops
    // what it holds.
    void leaveOutLongLine();

    size_t linesLeftOut() const { return leftOut; }

private:
    // Whether `line`, just ended, is read: not when it goes on in the next
    // or is left out. A joined line comes back pointing into `joined`.
    bool finishLine(Cursor& line)
    {
        const size_t length = static_cast<size_t>(line.end - line.at);
        if (!skipping && !joining && length < maxLineBytes && (length == 0 || line.end[-1] != '\\'))
            return true;
        return finishUncommonLine(line);
    }
    bool finishUncommonLine(Cursor& line);

    // The lines a backslash joined so far, the backslash a blank.
    std::string joined;
    bool joining = false;
    // The joined line grew too long and is being left out.
    bool dropping = false;
    // The rest of a line already left out is passed over.
    bool skipping = false;
    size_t leftOut = 0;
};

template <typename OnLine> size_t LineSplitter::split(const char* text, size_t size, bool last, OnLine&& onLine)
{
    const char* const end = text + size;
    const char* at = text;
    // The next LF and the next CR, each found once for all the lines before
    // it: a search per line would run to the end of the text each time in a
    // file without the one or the other.
    auto find = [&at, end](char c) {
        const void* found = std::memchr(at, c, static_cast<size_t>(end - at));
        return found != nullptr ? static_cast<const char*>(found) : end;
    };
    const char* newline = find('\n');
    const char* carriage = find('\r');
    while (at < end) {
        if (newline < at)
            newline = find('\n');
        if (carriage < at)
            carriage = find('\r');
        const char* lineEnd = end;
        const char* next = end;
        if (newline < carriage) {
            lineEnd = newline;
            next = newline + 1;
        } else if (carriage < end) {
            // CR LF, or a CR alone (whose LF may come with the next text).
            lineEnd = carriage;
            next = carriage + 1;
            if (next < end && *next == '\n') {
                ++next;
            } else if (next == end && !last) {
                at = skipping ? carriage : at;
                break;
            }
        } else if (!last) {
            // The line may go on in what comes next.
            at = skipping ? end : at;
            break;
        }
        Cursor line{at, lineEnd};
        at = next;
        if (finishLine(line))
            onLine(line);
    }
    // A backslash on the last line joins nothing more on.
    if (last && at == end && joining) {
        joining = false;
        if (!dropping)
            onLine(Cursor{joined.data(), joined.data() + joined.size()});
    }
    return static_cast<size_t>(at - text);
}

} // namespace import
