// A model file read in pieces by the readers of our own, telling the progress line how far they are.
#pragma once

#include "base/RegularFile.h"
#include "import/ObjTokenizer.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace import {

// Where a reader is, for the progress line: bytes of the model file read,
// and a call once the file is read and the meshes are being built.
struct ReadProgress {
    std::atomic<unsigned long long>* bytesParsed = nullptr;
    std::atomic<unsigned long long>* bytesTotal = nullptr;
    std::function<void()> building;

    void total(unsigned long long bytes) const
    {
        if (bytesTotal != nullptr)
            *bytesTotal = bytes;
    }
    void parsed(unsigned long long bytes) const
    {
        if (bytesParsed != nullptr)
            *bytesParsed = bytes;
    }
    void build() const
    {
        if (building)
            building();
    }
};

// "1 face", "3 faces": counts in the lines that say what a reader left out.
inline std::string counted(size_t count, const char* one, const char* many)
{
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

// `source`, opened from a model's path: false, with the reason, where it is
// not open (not a regular file); otherwise its size is told to `onRead`
// (as it lies on disk) and to the progress line.
inline bool opened(const RegularFile& source, const std::function<void(unsigned long long)>& onRead,
                   const ReadProgress& progress, std::string& reason)
{
    if (!source.isOpen()) {
        reason = source.failure();
        return false;
    }
    onRead(source.storedBytes());
    progress.total(source.size());
    return true;
}

// Whether `path` ends in the extension `lowercase` (without its dot), in any
// case, as the importer tells formats by name.
inline bool hasExtension(const std::string& path, const char* lowercase)
{
    const std::string extension = std::filesystem::path(path).extension().string();
    if (extension.size() != std::strlen(lowercase) + 1 || extension[0] != '.')
        return false;
    for (size_t i = 1; i < extension.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(extension[i])) != lowercase[i - 1])
            return false;
    return true;
}

// What a reader of our own made of a file.
enum class ReadOutcome {
    read,
    // A file of the format the reader leaves to the importer.
    notHandled,
    failed, // with the reason
};

// Pieces this long keep a reader's buffer out of the way of the model it builds.
constexpr size_t filePieceBytes = size_t(1) << 22;

// The rest of `source` as text, line by line, to `parser`: its
// `lines(text, size, last)` reads the whole lines of `text` and returns the
// bytes it took (with `last`, the end of the text ends a line); its
// `leaveOutLongLine()` hears of a line longer than maxLineBytes, which is
// passed over. `already` holds the bytes a caller read from `source` before
// (at most filePieceBytes). False on a read error, with the reason.
template <typename Parser>
bool readLines(RegularFile& source, Parser& parser, const ReadProgress& progress, std::string& reason,
               std::string_view already = {})
{
    std::vector<char> buffer(std::max(filePieceBytes, already.size()));
    std::copy(already.begin(), already.end(), buffer.begin());
    size_t held = already.size();
    unsigned long long parsed = 0;
    for (;;) {
        // A line longer than the buffer makes it grow, up to the longest
        // line held; one longer still is left out.
        if (held == buffer.size() && buffer.size() < maxLineBytes) {
            buffer.resize(std::min(2 * buffer.size(), maxLineBytes));
        } else if (held == buffer.size()) {
            parser.leaveOutLongLine();
            parsed += held;
            held = 0;
        }
        size_t got = 0;
        if (!source.read(buffer.data() + held, buffer.size() - held, got, reason))
            return false;
        const bool last = got == 0;
        held += got;
        const size_t taken = parser.lines(buffer.data(), held, last);
        std::memmove(buffer.data(), buffer.data() + taken, held - taken);
        held -= taken;
        parsed += taken;
        progress.parsed(parsed);
        if (last)
            return true;
    }
}

} // namespace import
