// Writing the viewer's pictures to files, with every failure reported.
#pragma once

#include <string>

// Whether a picture could be created at `path`: an existing file that may be
// written, or a new name in a folder that may be written. The reason when not.
bool canWritePicture(const std::string& path, std::string& reason);

// Whether `a` and `b` name one existing file, through links and relative paths.
bool sameFile(const std::string& a, const std::string& b);

// `rgb` (width x height, rows bottom-up as the GL reads them) as a PNG file
// at `path`, upright. False, with the reason, when the file cannot be
// opened, written or closed: a full disk shows only at the write or the
// close, and a pipe without a reader is refused instead of waited on.
bool writePicture(const std::string& path, int width, int height, const unsigned char* rgb, std::string& reason);
