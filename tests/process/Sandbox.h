// Temporary working directories laid out like data/, the programs run inside them, and their pictures.
#pragma once

#include <filesystem>
#include <string>
#include <sys/types.h>
#include <vector>

struct RunResult {
    int status = -1; // exit status when the process ended by itself
    int signal = 0;  // the signal that ended it, 0 when none did
    bool timedOut = false;
    long peakKilobytes = 0; // the largest resident size of the process or of any it waited for
    double seconds = 0.0;
    std::string out;
    std::string err;
};

// A process started in the background; one still running when this goes is killed.
class Child {
public:
    Child(pid_t pid, std::filesystem::path output);
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    ~Child();
    RunResult wait(double timeoutSeconds); // kills the process when the time is up
    std::string errSoFar() const;          // what it has written to standard error until now

    const pid_t pid;

private:
    std::filesystem::path output;
    bool reaped = false;
};

// Holds the shaders, a small settings file, the noise image and the empty
// scene folders; each test adds or breaks what it needs.
class Sandbox {
public:
    Sandbox();
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;
    ~Sandbox();

    void write(const std::string& relative, const std::string& text) const;
    void writeImage(const std::string& relative, int width, int height, std::vector<unsigned char> rgb) const;
    void remove(const std::string& relative) const { std::filesystem::remove_all(root / relative); }

    // Standard input is /dev/null: the fatal path must not wait for a key.
    Child start(const std::vector<std::string>& argv, const std::vector<std::string>& env = {}) const;
    RunResult run(const std::vector<std::string>& argv, double timeoutSeconds = 60.0,
                  const std::vector<std::string>& env = {}) const;
    RunResult shell(const std::string& command) const { return run({"/bin/sh", "-c", command}, 30.0); }

    std::filesystem::path root;

private:
    mutable int runs = 0;
};

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb; // rows top-down, as the picture is seen

    const unsigned char* at(int x, int y) const { return &rgb[3 * (static_cast<size_t>(y) * width + x)]; }
};

// An empty picture when the file cannot be read.
Picture readPicture(const std::filesystem::path& path);
bool writePicture(const std::filesystem::path& path, const Picture& picture);

// A model's picture with its backdrop turned black, for the measures below
// that tell a model from a black background: a pixel within 6 levels of
// its row's left end is backdrop. The backdrop is the same across a row,
// and the framing leaves the left end of every row clear of the model (not
// of a ground: shoot with --no-ground).
Picture withoutBackdrop(const Picture& picture);
// The picture of `path`, its backdrop turned black.
Picture readModelPicture(const std::filesystem::path& path);

// Shares of a picture's pixels: lit ones (some channel above 12), and brown
// ones (red over green over blue, as wood and stone textures are).
double litShare(const Picture& picture);
double brownShare(const Picture& picture);

// How a picture compares with a reference drawn by another correct driver,
// which may move an edge by a pixel, round a level differently or shift all
// levels a little: a pixel matches when its reference's 3 x 3 neighbourhood
// holds one within 8 levels in every channel, and 8 x 8 blocks are compared
// by their means once the whole picture's shift is taken out. A changed
// picture (an effect off, the bloom half as strong again) moves many blocks;
// another driver moves few and little.
struct PictureMatch {
    double unmatchedShare = 1.0; // pixels without a match, 0..1
    double movedBlockShare = 1.0; // blocks whose mean moved by more than 2 levels, 0..1
    double shift = 0.0;           // the mean difference over the picture, in levels
    bool matches = false;
};
PictureMatch matchPicture(const Picture& shot, const Picture& reference);

// The picture at half its size, each pixel the mean of four.
Picture halved(const Picture& picture);

// The share of pixels in which some channel differs by more than `levels`; 1 when the sizes differ.
double differingShare(const Picture& a, const Picture& b, int levels = 8);

std::string readText(const std::filesystem::path& path);
std::vector<std::string> splitLines(const std::string& text);

// A lit green floor and, raised above it, a red platform that fills the
// middle of the picture from the start pose. Without `platformTextured` the
// platform's material names no diffuse texture.
void writeFloorAndPlatformScene(const Sandbox& sandbox, bool platformTextured = true);
