// The brassfern executable: the viewer and its command line.
#include "app/Application.h"
#include "app/CommandLine.h"
#include "app/DataFolder.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

int usageError(const std::string& error)
{
    std::cerr << "brassfern: " << error << "\n" << viewerUsage << std::endl;
    return 2;
}

bool readable(const std::string& path)
{
    std::error_code error;
    return std::ifstream(path).is_open() && !std::filesystem::is_directory(path, error);
}

} // namespace

int main(int argc, char** argv)
{
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
    // The default file may be missing; one the user names must be there.
    if (!options.settingsPath.empty() && !readable(options.settingsPath))
        return usageError("cannot read the settings file " + options.settingsPath);
    if (!enterDataFolder({&options.scenePath, &options.settingsPath, &options.outputPath}, error)) {
        std::cerr << "brassfern: " << error << std::endl;
        return 1;
    }
    return runViewer(options);
}
