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

// Waits for one key press when standard input is a terminal and this process
// is in its foreground; returns at once otherwise, so a launcher, a pipe, CI or
// a background job never hangs or stops on a fatal error. The terminal's modes
// come back even when SIGINT, SIGTERM or SIGHUP ends the wait.
void consolePause();
