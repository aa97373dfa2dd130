// The brassfern executable: the viewer and its command line.
#include "app/Application.h"
#include "app/CommandLine.h"
#include "app/DataFolder.h"
#include "app/PictureFile.h"
#include "base/FreedMemory.h"
#include "base/Printable.h"
#include "scene/ModelObjects.h"
#include "scene/SceneImport.h"

#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

namespace {

int usageError(const std::string& error)
{
    std::cerr << "brassfern: " << printable(error) << "\n" << viewerUsage << std::endl;
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    keepFreedMemory();
    ViewerOptions options;
    std::string error;
    if (!options.parse(std::vector<std::string>(argv + 1, argv + argc), error))
        return usageError(error);
    if (options.help) {
        std::cout << viewerHelp();
        return 0;
    }
    if (options.version) {
        std::cout << viewerVersion() << std::endl;
        return 0;
    }
    // The default file may be missing; one the user names must be there, and
    // be a file: a pipe or a device would block or never end.
    if (!options.settingsPath.empty() && !canOpenModel(options.settingsPath, error))
        return usageError("cannot read the settings file " + options.settingsPath);
    if (!options.outputPath.empty()) {
        for (const std::string* input : {&options.scenePath, &options.settingsPath})
            if (sameFile(*input, options.outputPath))
                return usageError("--output " + options.outputPath + " would overwrite " + *input);
        // Known before the first frame, not after the last.
        if (!canWritePicture(options.outputPath, error)) {
            std::cerr << "brassfern: cannot write " << printable(options.outputPath) << ": " << printable(error)
                      << std::endl;
            return 1;
        }
    }
    std::error_code noFolder;
    options.startFolder = std::filesystem::current_path(noFolder).string();
    DataFolderChoice data;
    data.explicitFolder = options.dataPath;
    data.workingDirectoryFirst = options.scenePath.empty();
    if (!enterDataFolder({&options.scenePath, &options.settingsPath, &options.outputPath}, error, data)) {
        std::cerr << "brassfern: " << printable(error) << std::endl;
        return 1;
    }
    return runViewer(options);
}
