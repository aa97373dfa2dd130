// The one way the program stops on an unrecoverable error.
#pragma once

#include <initializer_list>
#include <string>

// Writes each line to standard output (flushed), pauses for a key where a
// person is at the console, and ends the process with `status`. Nothing is
// released: the process is going away and the GL state may be broken.
[[noreturn]] void fatal(std::initializer_list<std::string> lines, int status);

// The pause and the exit alone, for callers that wrote their own lines.
[[noreturn]] void fatalExit(int status);
