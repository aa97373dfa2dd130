// Writing the viewer's pictures to files, with every failure reported.
#pragma once

#include <string>

// Whether a picture could be created at `path`: an existing file that may be
// written, or a new name in a folder that may be written. The reason when not.
bool canWritePicture(const std::string& path, std::string& reason);

// Whether `a` and `b` name one existing file, through links and relative paths.
bool sameFile(const std::string& a, const std::string& b);

// `rgb` (width x height, rows bottom-up as the GL reads them; RGBA where
// `channels` is 4, the alpha kept in the file) as a PNG file
// at `path`, upright: the file the user named, written over where it is
// there. False, with the reason, when the file cannot be opened, written or
// closed: a full disk shows only at the write or the close, and a pipe
// without a reader is refused instead of waited on. A file this call created
// is removed again when its writing fails, so that no partial picture is left.
bool writePicture(const std::string& path, int width, int height, const unsigned char* rgb, std::string& reason,
                  int channels = 3);

enum class NewPicture {
    written,
    taken, // something, a link included, already has the name
    failed,
};

// The same into a file created at `path` for it, never one that is there
// already, nor through a link: a name the viewer chose must not write over
// a file, or through a link planted under that name into another one.
NewPicture writeNewPicture(const std::string& path, int width, int height, const unsigned char* rgb,
                           std::string& reason);
