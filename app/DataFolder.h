// Where the program's own files (shaders, the noise image, the default settings) are.
#pragma once

#include <initializer_list>
#include <string>

struct DataFolderChoice {
    // Given with --data: the only folder tried.
    std::string explicitFolder;
    // The working directory's Shader folder counts only where the built-in
    // scene is shown, which is read from there. With a model of the user's,
    // a folder that happens to hold shaders must not change the picture.
    bool workingDirectoryFirst = true;
};

// The program reads its own files by paths relative to the working directory.
// Unless the working directory is the one to use (see DataFolderChoice), this
// makes each non-empty path of `userPaths` absolute and moves into the first
// folder that has a Shader folder: the explicit one alone when given; else
// share/brassfern beside the executable's folder (an installed program), the
// source tree's data folder (a program in its build folder), and last the
// working directory. False, with the reason in `error`, when none has it.
bool enterDataFolder(std::initializer_list<std::string*> userPaths, std::string& error,
                     const DataFolderChoice& choice = DataFolderChoice());
