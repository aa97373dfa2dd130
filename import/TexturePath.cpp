// Resolving the texture names of materials to files.
#include "import/TexturePath.h"

#include <algorithm>
#include <filesystem>

namespace {

constexpr const char* textureDirectory = "Textures/FinalScene";

} // namespace

std::string texturePath(const std::string& name, const std::string& scenePath, TextureLookup lookup)
{
    if (lookup == TextureLookup::sceneFolder)
        return std::string(textureDirectory) + "/" + name;
    std::string portable = name;
    std::replace(portable.begin(), portable.end(), '\\', '/');
    // An absolute name stays as it is; "./" and "../" fold into the folder.
    return (std::filesystem::path(scenePath).parent_path() / portable).lexically_normal().string();
}
