// A file named from outside, opened for reading only if it is a regular file, never blocking, read within a limit.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Which file an open one is, however a path named it ("./a", "b/../a", a
// link to it): the device and the inode it has there.
struct FileIdentity {
    unsigned long long device = 0;
    unsigned long long inode = 0;

    bool operator<(const FileIdentity& other) const
    {
        return device != other.device ? device < other.device : inode < other.inode;
    }
};

// Files come from strangers and from command lines: a pipe without a writer
// would hold the viewer forever, /dev/zero would fill its memory, and a
// directory opens like an empty file. Every file the viewer and its import
// process read is opened through this.
class RegularFile {
public:
    // Opens `path` without blocking; anything but a regular file is closed
    // again at once, with the reason.
    explicit RegularFile(const std::string& path);
    ~RegularFile();
    RegularFile(const RegularFile&) = delete;
    RegularFile& operator=(const RegularFile&) = delete;

    bool isOpen() const { return fd >= 0; }
    // Why it is not open: the system's words ("No such file or directory"),
    // "it is a directory" or "not a regular file".
    const std::string& failure() const { return why; }
    bool isDirectory() const { return directory; }
    // The size when it was opened. A file that changes while it is read is
    // read as far as it goes, never past a caller's limit.
    unsigned long long size() const { return bytes; }
    // What the file takes on disk: a sparse file claims gigabytes it does
    // not hold, and budgets that grow with what is read must not trust that.
    unsigned long long storedBytes() const { return stored; }
    FileIdentity identity() const { return id; }

    // Up to `size` bytes, fewer only at the end of the file. False on a read
    // error, with the system's words in `reason`.
    bool read(char* into, size_t size, size_t& got, std::string& reason);

    // The whole file, if it holds at most `limit` bytes, counted as read
    // (files under /proc report no size). False, with the reason, past the
    // limit or on a read error; `text` then holds what was read.
    bool readAll(std::string& text, unsigned long long limit, std::string& reason);
    bool readAll(std::vector<unsigned char>& data, unsigned long long limit, std::string& reason);

    // Hands the open descriptor over to the caller, who closes it.
    int release();
    // The open descriptor, still the file's own (to map it).
    int descriptor() const { return fd; }

private:
    template <typename Bytes> bool readInto(Bytes& data, unsigned long long limit, std::string& reason);

    int fd = -1;
    bool directory = false;
    unsigned long long bytes = 0;
    unsigned long long stored = 0;
    FileIdentity id;
    std::string why;
};

// "12 MB" for the lines that tell a size limit.
std::string megabytesText(unsigned long long bytes);
