// Finding the program's own files from wherever it was started.
#include "app/DataFolder.h"

#include <filesystem>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

bool holdsProgramFiles(const fs::path& folder)
{
    std::error_code error;
    return fs::is_directory(folder / "Shader", error);
}

} // namespace

bool enterDataFolder(std::initializer_list<std::string*> userPaths, std::string& error)
{
    // Running in data/ or in a folder laid out like it is how the viewer has
    // always been started; nothing may change for it.
    if (holdsProgramFiles("."))
        return true;

    std::vector<fs::path> candidates;
    std::error_code ignored;
    const fs::path executable = fs::read_symlink("/proc/self/exe", ignored);
    if (!executable.empty())
        candidates.push_back(executable.parent_path().parent_path() / "share" / "brassfern");
    candidates.push_back(BRASSFERN_SOURCE_DATA_DIR);

    for (const fs::path& folder : candidates) {
        if (!holdsProgramFiles(folder))
            continue;
        std::error_code failed;
        for (std::string* path : userPaths) {
            if (!path->empty())
                *path = fs::absolute(*path, failed).string();
        }
        if (!failed)
            fs::current_path(folder, failed);
        if (failed) {
            error = "cannot work in " + folder.string() + ": " + failed.message();
            return false;
        }
        return true;
    }
    error = "cannot find the program's files: no Shader folder here";
    for (const fs::path& folder : candidates)
        error += " or in " + folder.string();
    return false;
}
