// Text from files and command lines made safe to echo on a terminal.
#pragma once

#include <string>

// `text` with every control character (C0, DEL and the C1 range, which some
// terminals obey even when UTF-8 encoded) and every byte that is not part of
// valid UTF-8 written as \xNN, and every character that changes the text
// around it without showing itself (Unicode's format characters, such as
// the bidirectional overrides and the zero-width ones, and the line and
// paragraph separators) written as \uNNNN (\UNNNNNNNN past U+FFFF). A mesh
// or file name would otherwise reach the terminal raw and could retitle it,
// clear it, hide the lines before it or read as another name. Text already
// printable comes back as it was.
std::string printable(const std::string& text);

// Text of several lines, such as a compiler's log, each line made printable
// and the line breaks between them kept.
std::string printableLines(const std::string& text);
