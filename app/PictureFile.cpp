// PNG pictures, into files the viewer opens and closes itself.
#include "app/PictureFile.h"

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <png.h>
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

// A picture is written in the time a user waits for it (the last step of
// `--output`, a screenshot key): zlib's third level with the Paeth filter
// took a third of the time of the image library's writer (its sixth level,
// every filter tried on each row) for files a fifth larger. Rows run
// bottom-up as the GL reads them and are stored upright. libpng reports
// errors by a long jump, so nothing here has a destructor to skip.
// The library's own words would reach the terminal bare; the caller says
// what failed, with the system's reason.
void ignoreWarning(png_structp, png_const_charp) {}
[[noreturn]] void quietError(png_structp png, png_const_charp) { png_longjmp(png, 1); }

bool encodePng(FILE* file, int width, int height, const unsigned char* rgb, int channels)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, quietError, ignoreWarning);
    if (png == nullptr)
        return false;
    png_infop info = png_create_info_struct(png);
    if (info == nullptr || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_compression_level(png, 3);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_PAETH);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 channels == 4 ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    const size_t rowBytes = static_cast<size_t>(width) * static_cast<size_t>(channels);
    for (int row = height - 1; row >= 0; --row)
        png_write_row(png, rgb + static_cast<size_t>(row) * rowBytes);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

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
    errno = 0;
    const bool encoded = width > 0 && height > 0 && encodePng(file, width, height, rgb, channels);
    const int encodeError = errno;
    errno = 0;
    const bool flushed = std::fflush(file) == 0 && std::ferror(file) == 0;
    const int writeError = errno;
    errno = 0;
    const bool closed = std::fclose(file) == 0;
    const int closeError = errno;
    if (!encoded || !flushed || !closed) {
        const int error = !encoded ? encodeError : !flushed ? writeError : closeError;
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
