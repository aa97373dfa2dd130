// Where the texture files a scene's materials name are.
#pragma once

#include <string>

enum class TextureLookup {
    // Under Textures/FinalScene, the name appended as written: the built-in
    // scene's layout.
    sceneFolder,
    // Relative to the scene file's own folder, with backslashes read as the
    // separators that models written on Windows mean them to be; where no
    // file is there, the name alone (drive letters and folders of another
    // machine dropped) beside the model, then in a "textures" folder beside
    // it, either in any case. Found nowhere, the path as written.
    besideModel,
};

// The file the texture `name` of the scene at `scenePath` stands for.
std::string texturePath(const std::string& name, const std::string& scenePath, TextureLookup lookup);
