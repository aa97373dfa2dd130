// Resolving the texture names of materials to files.
#include "import/TexturePath.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <utility>
#include <vector>
#include <system_error>

namespace fs = std::filesystem;

namespace {

constexpr const char* textureDirectory = "Textures/FinalScene";

// A folder the user keeps a model in may be a download folder of
// thousands: a search reads this many names at most.
constexpr size_t maxNamesSearched = 20000;

bool isRegularFile(const fs::path& path)
{
    std::error_code error;
    return fs::is_regular_file(path, error);
}

std::string lowerCase(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The names in `folder`, lower-cased, with their paths: read once for all
// the textures a model misses there, again only once the folder changes.
const std::vector<std::pair<std::string, fs::path>>& namesIn(const fs::path& folder)
{
    struct Listing {
        fs::file_time_type written;
        std::vector<std::pair<std::string, fs::path>> names;
    };
    static std::map<std::string, Listing> listings;
    std::error_code error;
    const fs::file_time_type written = fs::last_write_time(folder, error);
    auto known = listings.find(folder.string());
    if (known != listings.end() && !error && known->second.written == written)
        return known->second.names;
    Listing listing{written, {}};
    for (fs::directory_iterator entry(folder, error), end;
         !error && entry != end && listing.names.size() < maxNamesSearched; entry.increment(error))
        listing.names.emplace_back(lowerCase(entry->path().filename().string()), entry->path());
    Listing& stored = listings[folder.string()];
    stored = std::move(listing);
    return stored.names;
}

// The entry of `folder` called `name` in any case ("IMAGE1.JPG" for
// "IMAGE1.jpg"), a regular file or (`wantFolder`) a folder; empty when none.
fs::path entryIgnoringCase(const fs::path& folder, const std::string& name, bool wantFolder)
{
    const fs::path exact = folder / name;
    std::error_code error;
    if (wantFolder ? fs::is_directory(exact, error) : isRegularFile(exact))
        return exact;
    const std::string wanted = lowerCase(name);
    for (const auto& [lower, path] : namesIn(folder)) {
        if (lower != wanted)
            continue;
        std::error_code kind;
        if (wantFolder ? fs::is_directory(path, kind) : fs::is_regular_file(path, kind))
            return path;
    }
    return {};
}

} // namespace

std::string texturePath(const std::string& name, const std::string& scenePath, TextureLookup lookup)
{
    if (lookup == TextureLookup::sceneFolder)
        return std::string(textureDirectory) + "/" + name;
    std::string portable = name;
    std::replace(portable.begin(), portable.end(), '\\', '/');
    const fs::path folder = fs::path(scenePath).parent_path();
    // An absolute name stays as it is; "./" and "../" fold into the folder.
    const std::string asWritten = (folder / portable).lexically_normal().string();
    if (isRegularFile(asWritten))
        return asWritten;
    // Written on another machine ("D:\projects\...\wood.jpg"), or by a
    // program that did not mind case: the name alone, beside the model, then
    // in a textures folder beside it, in any case.
    const std::string alone = portable.substr(portable.find_last_of("/:") == std::string::npos
                                                  ? 0
                                                  : portable.find_last_of("/:") + 1);
    if (!alone.empty() && alone != "." && alone != "..") {
        const fs::path lookIn = folder.empty() ? fs::path(".") : folder;
        fs::path found = entryIgnoringCase(lookIn, alone, false);
        if (found.empty()) {
            const fs::path textures = entryIgnoringCase(lookIn, "textures", true);
            if (!textures.empty())
                found = entryIgnoringCase(textures, alone, false);
        }
        if (!found.empty())
            return (folder.empty() ? found.lexically_relative(".") : found).lexically_normal().string();
    }
    // Found nowhere: the path as the file names it, for the line that says so.
    return asWritten;
}
