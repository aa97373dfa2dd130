// PNG pictures through the image library, into files the viewer opens and closes itself.
#include "app/PictureFile.h"

#include <IL/il.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

bool canWritePicture(const std::string& path, std::string& reason)
{
    struct stat status {};
    if (stat(path.c_str(), &status) == 0) {
        if (S_ISDIR(status.st_mode)) {
            reason = "it is a directory";
            return false;
        }
        if (access(path.c_str(), W_OK) != 0) {
            reason = std::strerror(errno);
            return false;
        }
        return true;
    }
    fs::path folder = fs::path(path).parent_path();
    if (folder.empty())
        folder = ".";
    if (stat(folder.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) {
        reason = "there is no folder " + folder.string();
        return false;
    }
    if (access(folder.c_str(), W_OK | X_OK) != 0) {
        reason = "cannot create files in " + folder.string() + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

bool sameFile(const std::string& a, const std::string& b)
{
    std::error_code error;
    return !a.empty() && !b.empty() && fs::equivalent(a, b, error) && !error;
}

namespace {

// The picture into `fd`, which this closes. False, with the reason, when
// the encoding, a write or the close fails.
bool encodeInto(int fd, int width, int height, const unsigned char* rgb, int channels, std::string& reason)
{
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    FILE* file = fdopen(fd, "wb");
    if (file == nullptr) {
        reason = std::strerror(errno);
        close(fd);
        return false;
    }
    ILuint image = 0;
    ilGenImages(1, &image);
    ilBindImage(image);
    ilTexImage(static_cast<ILuint>(width), static_cast<ILuint>(height), 1, static_cast<ILubyte>(channels),
               channels == 4 ? IL_RGBA : IL_RGB, IL_UNSIGNED_BYTE, const_cast<unsigned char*>(rgb));
    // GL rows run bottom-up; saying so lets the writer store the picture upright.
    ilRegisterOrigin(IL_ORIGIN_LOWER_LEFT);
    // The library's return value is the length written, cut to one byte in
    // the builds that declare it boolean: a picture of a multiple of 256
    // bytes would read as a failure. Its errors and the bytes written tell.
    ilSaveF(IL_PNG, file);
    bool failed = false;
    while (ilGetError() != IL_NO_ERROR)
        failed = true;
    const bool encoded = !failed && std::ftell(file) > 0;
    ilDeleteImages(1, &image);
    errno = 0;
    const bool flushed = std::fflush(file) == 0 && std::ferror(file) == 0;
    const int writeError = errno;
    errno = 0;
    const bool closed = std::fclose(file) == 0;
    const int closeError = errno;
    if (!encoded || !flushed || !closed) {
        const int error = !flushed ? writeError : closeError;
        reason = error != 0 ? std::strerror(error) : "the picture could not be encoded or written";
        return false;
    }
    return true;
}

// Removes what a failed write left at `path`, if the name still holds the
// file created there (`created`, taken from its descriptor): never a file
// another program has put under the name since.
void removeCreated(const std::string& path, const struct stat& created)
{
    struct stat now {};
    if (lstat(path.c_str(), &now) == 0 && now.st_dev == created.st_dev && now.st_ino == created.st_ino)
        unlink(path.c_str());
}

// Writes into `fd`, which was opened at `path`; a file this call created
// goes again when the writing fails.
bool writeOpened(int fd, bool created, const std::string& path, int width, int height, const unsigned char* rgb,
                 std::string& reason, int channels = 3)
{
    struct stat identity {};
    const bool known = created && fstat(fd, &identity) == 0;
    if (encodeInto(fd, width, height, rgb, channels, reason))
        return true;
    if (known)
        removeCreated(path, identity);
    return false;
}

} // namespace

bool writePicture(const std::string& path, int width, int height, const unsigned char* rgb, std::string& reason,
                  int channels)
{
    // Not blocking while opening: a pipe without a reader answers at once.
    // A file that is there is opened as it is; one that is not is created
    // exclusively, so that it is known to be this call's own. Where the name
    // is a link to nothing, the file is made where the link points, as
    // always, but is not this call's to remove.
    int fd = open(path.c_str(), O_WRONLY | O_TRUNC | O_NONBLOCK | O_CLOEXEC);
    bool created = false;
    if (fd < 0 && errno == ENOENT) {
        fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NONBLOCK | O_CLOEXEC, 0666);
        created = fd >= 0;
        if (fd < 0 && errno == EEXIST)
            fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NONBLOCK | O_CLOEXEC, 0666);
    }
    if (fd < 0) {
        reason = std::strerror(errno);
        return false;
    }
    return writeOpened(fd, created, path, width, height, rgb, reason, channels);
}

NewPicture writeNewPicture(const std::string& path, int width, int height, const unsigned char* rgb,
                           std::string& reason)
{
    // O_EXCL alone already refuses a link in the last place of the path;
    // O_NOFOLLOW says so where it is read.
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
        const int error = errno;
        reason = std::strerror(error);
        return error == EEXIST ? NewPicture::taken : NewPicture::failed;
    }
    return writeOpened(fd, true, path, width, height, rgb, reason) ? NewPicture::written : NewPicture::failed;
}
