// Where the program's own files (shaders, the noise image, the default settings) are.
#pragma once

#include <initializer_list>
#include <string>

// The program reads its own files by paths relative to the working directory.
// When that directory has no Shader folder, this makes each non-empty path of
// `userPaths` absolute and moves into the first folder that has one:
// share/brassfern beside the executable's folder (an installed program), then
// the source tree's data folder (a program in its build folder). False, with
// the reason in `error`, when none has it.
bool enterDataFolder(std::initializer_list<std::string*> userPaths, std::string& error);
