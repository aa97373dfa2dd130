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

bool writePicture(const std::string& path, int width, int height, const unsigned char* rgb, std::string& reason)
{
    // Not blocking while opening: a pipe without a reader answers at once.
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) {
        reason = std::strerror(errno);
        return false;
    }
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
    ilTexImage(static_cast<ILuint>(width), static_cast<ILuint>(height), 1, 3, IL_RGB, IL_UNSIGNED_BYTE,
               const_cast<unsigned char*>(rgb));
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
