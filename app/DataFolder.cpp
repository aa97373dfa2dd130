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

bool enterDataFolder(std::initializer_list<std::string*> userPaths, std::string& error, const DataFolderChoice& choice)
{
    // Running in data/ or in a folder laid out like it is how the viewer has
    // always been started with its built-in scene; nothing may change for it.
    if (choice.explicitFolder.empty() && choice.workingDirectoryFirst && holdsProgramFiles("."))
        return true;

    std::vector<fs::path> candidates;
    if (!choice.explicitFolder.empty()) {
        candidates.push_back(choice.explicitFolder);
    } else {
        std::error_code ignored;
        const fs::path executable = fs::read_symlink("/proc/self/exe", ignored);
        if (!executable.empty())
            candidates.push_back(executable.parent_path().parent_path() / "share" / "brassfern");
        candidates.push_back(BRASSFERN_SOURCE_DATA_DIR);
        candidates.push_back(fs::current_path(ignored));
    }

    for (const fs::path& folder : candidates) {
        if (!holdsProgramFiles(folder))
            continue;
        std::error_code failed;
        const fs::path absolute = fs::absolute(folder, failed);
        for (std::string* path : userPaths) {
            if (!path->empty() && !failed)
                *path = fs::absolute(*path, failed).string();
        }
        if (!failed)
            fs::current_path(absolute, failed);
        if (failed) {
            error = "cannot work in " + folder.string() + ": " + failed.message();
            return false;
        }
        return true;
    }
    error = "cannot find the program's files: no Shader folder";
    if (!choice.explicitFolder.empty())
        error += " in " + choice.explicitFolder;
    for (size_t i = 0; choice.explicitFolder.empty() && i < candidates.size(); ++i)
        error += (i == 0 ? " in " : " or in ") + candidates[i].string();
    return false;
}
