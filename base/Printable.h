// Text from files and command lines made safe to echo on a terminal.
#pragma once

#include <string>

// `text` with every control character (C0, DEL and the C1 range, which some
// terminals obey even when UTF-8 encoded) and every byte that is not part of
// valid UTF-8 written as \xNN. A mesh or file name would otherwise reach the
// terminal raw and could retitle it, clear it or hide the lines before it.
std::string printable(const std::string& text);
