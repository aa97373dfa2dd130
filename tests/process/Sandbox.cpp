// Temporary working directories, child processes with a deadline, and picture files read through DevIL.
#include "Sandbox.h"

#include <IL/il.h>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

void initImageLibrary()
{
    static const bool ready = [] {
        ilInit();
        ilEnable(IL_FILE_OVERWRITE);
        // Rows top-down whatever the file stores, so that (x, y) is what a user sees.
        ilEnable(IL_ORIGIN_SET);
        return ilOriginFunc(IL_ORIGIN_UPPER_LEFT);
    }();
    (void)ready;
}

std::vector<unsigned char> solid(int pixels, unsigned char r, unsigned char g, unsigned char b)
{
    std::vector<unsigned char> rgb;
    for (int i = 0; i < pixels; ++i)
        rgb.insert(rgb.end(), {r, g, b});
    return rgb;
}

} // namespace

Child::Child(pid_t pid, fs::path output) : pid(pid), output(std::move(output)) {}

Child::~Child()
{
    if (!reaped) {
        kill(-pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
}

RunResult Child::wait(double timeoutSeconds)
{
    RunResult result;
    const auto start = std::chrono::steady_clock::now();
    const auto deadline = start + std::chrono::duration<double>(timeoutSeconds);
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, WNOHANG, &usage) != pid) {
        if (std::chrono::steady_clock::now() > deadline) {
            result.timedOut = true;
            kill(-pid, SIGKILL);
            wait4(pid, &status, 0, &usage);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    reaped = true;
    result.peakKilobytes = usage.ru_maxrss;
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    result.out = readText(output.string() + ".out");
    result.err = readText(output.string() + ".err");
    return result;
}

std::string Child::errSoFar() const
{
    return readText(output.string() + ".err");
}

Sandbox::Sandbox()
{
    std::string pattern = (fs::temp_directory_path() / "brassfern-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    root = pattern;
    fs::copy(fs::path(BRASSFERN_DATA_DIR) / "Shader", root / "Shader");
    fs::create_directories(root / "Textures/FinalScene");
    fs::create_directories(root / "SceneObjects/FinalScene");
    fs::create_directories(root / "run");
    write("Settings/resolution.txt",
          "res_width:320\nres_height:180\nsm_width:256\nsm_height:256\nwin_width:160\nwin_height:120\n");
    // Fixed noise, so that every run sees the same occlusion pattern.
    std::vector<unsigned char> noise(64 * 64 * 3);
    unsigned state = 12345;
    for (unsigned char& value : noise)
        value = static_cast<unsigned char>((state = state * 1103515245u + 12345u) >> 16);
    writeImage("Textures/random.jpg", 64, 64, noise);
}

Sandbox::~Sandbox()
{
    std::error_code ignored;
    fs::remove_all(root, ignored);
}

void Sandbox::write(const std::string& relative, const std::string& text) const
{
    fs::create_directories((root / relative).parent_path());
    std::ofstream(root / relative, std::ios::binary) << text;
}

void Sandbox::writeImage(const std::string& relative, int width, int height, std::vector<unsigned char> rgb) const
{
    initImageLibrary();
    fs::create_directories((root / relative).parent_path());
    ILuint image = 0;
    ilGenImages(1, &image);
    ilBindImage(image);
    ilTexImage(static_cast<ILuint>(width), static_cast<ILuint>(height), 1, 3, IL_RGB, IL_UNSIGNED_BYTE, rgb.data());
    ilRegisterOrigin(IL_ORIGIN_UPPER_LEFT); // rows top-down, as they were given
    const bool saved = ilSaveImage((root / relative).c_str()) != IL_FALSE;
    ilDeleteImages(1, &image);
    if (!saved)
        throw std::runtime_error("cannot write " + relative);
}

Child Sandbox::start(const std::vector<std::string>& argv, const std::vector<std::string>& env) const
{
    const fs::path output = root / "run" / std::to_string(++runs);
    const pid_t pid = fork();
    if (pid < 0)
        throw std::runtime_error("fork failed");
    if (pid == 0) {
        // A group of its own, so that a timeout also ends what a shell started.
        setpgid(0, 0);
        const int in = open("/dev/null", O_RDONLY);
        const int out = open((output.string() + ".out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = open((output.string() + ".err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0 || err < 0 || chdir(root.c_str()) != 0)
            _exit(127);
        dup2(in, STDIN_FILENO);
        dup2(out, STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        // A load on a busy machine can pass the second after which the
        // progress line shows, and most tests read standard error exactly:
        // those about the line ask for it themselves.
        setenv("BRASSFERN_PROGRESS_AFTER", "600", 0);
        for (const std::string& assignment : env)
            putenv(const_cast<char*>(assignment.c_str()));
        std::vector<char*> args;
        for (const std::string& arg : argv)
            args.push_back(const_cast<char*>(arg.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    setpgid(pid, pid);
    return Child(pid, output);
}

RunResult Sandbox::run(const std::vector<std::string>& argv, double timeoutSeconds,
                       const std::vector<std::string>& env) const
{
    return start(argv, env).wait(timeoutSeconds);
}

Picture readPicture(const fs::path& path)
{
    initImageLibrary();
    Picture picture;
    ILuint image = 0;
    ilGenImages(1, &image);
    ilBindImage(image);
    if (ilLoadImage(path.c_str()) && ilConvertImage(IL_RGB, IL_UNSIGNED_BYTE)) {
        picture.width = ilGetInteger(IL_IMAGE_WIDTH);
        picture.height = ilGetInteger(IL_IMAGE_HEIGHT);
        const unsigned char* data = ilGetData();
        picture.rgb.assign(data, data + 3 * static_cast<size_t>(picture.width) * picture.height);
    }
    ilDeleteImages(1, &image);
    while (ilGetError() != IL_NO_ERROR) {
    }
    return picture;
}

bool writePicture(const fs::path& path, const Picture& picture)
{
    initImageLibrary();
    ILuint image = 0;
    ilGenImages(1, &image);
    ilBindImage(image);
    ilTexImage(static_cast<ILuint>(picture.width), static_cast<ILuint>(picture.height), 1, 3, IL_RGB,
               IL_UNSIGNED_BYTE, const_cast<unsigned char*>(picture.rgb.data()));
    ilRegisterOrigin(IL_ORIGIN_UPPER_LEFT); // rows top-down, as a Picture holds them
    const bool saved = ilSaveImage(path.c_str()) != IL_FALSE;
    ilDeleteImages(1, &image);
    return saved;
}

namespace {

template <typename Counts> double shareOf(const Picture& picture, Counts counts)
{
    size_t counted = 0;
    for (size_t i = 0; i + 2 < picture.rgb.size(); i += 3)
        counted += counts(picture.rgb[i], picture.rgb[i + 1], picture.rgb[i + 2]);
    return picture.rgb.empty() ? 0.0 : static_cast<double>(counted) / static_cast<double>(picture.rgb.size() / 3);
}

} // namespace

Picture withoutBackdrop(const Picture& picture)
{
    Picture model = picture;
    for (int y = 0; y < picture.height; ++y) {
        const unsigned char* backdrop = picture.at(0, y);
        for (int x = 0; x < picture.width; ++x) {
            unsigned char* p = &model.rgb[3 * (static_cast<size_t>(y) * picture.width + x)];
            if (std::abs(p[0] - backdrop[0]) <= 6 && std::abs(p[1] - backdrop[1]) <= 6 &&
                std::abs(p[2] - backdrop[2]) <= 6)
                p[0] = p[1] = p[2] = 0;
        }
    }
    return model;
}

Picture readModelPicture(const std::filesystem::path& path)
{
    return withoutBackdrop(readPicture(path));
}

double litShare(const Picture& picture)
{
    return shareOf(picture, [](int r, int g, int b) { return std::max({r, g, b}) > 12; });
}

double brownShare(const Picture& picture)
{
    return shareOf(picture, [](int r, int g, int b) { return r >= 20 && r > g + 4 && g > b + 4; });
}

PictureMatch matchPicture(const Picture& shot, const Picture& reference)
{
    PictureMatch match;
    if (shot.width != reference.width || shot.height != reference.height || shot.rgb.empty())
        return match;
    const int w = shot.width;
    const int h = shot.height;
    constexpr int levels = 8;
    size_t unmatched = 0;
    double shift[3] = {0.0, 0.0, 0.0};
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const unsigned char* p = shot.at(x, y);
            bool found = false;
            for (int dy = -1; dy <= 1 && !found; ++dy)
                for (int dx = -1; dx <= 1 && !found; ++dx) {
                    if (x + dx < 0 || x + dx >= w || y + dy < 0 || y + dy >= h)
                        continue;
                    const unsigned char* q = reference.at(x + dx, y + dy);
                    found = std::abs(p[0] - q[0]) <= levels && std::abs(p[1] - q[1]) <= levels &&
                            std::abs(p[2] - q[2]) <= levels;
                }
            unmatched += !found;
            const unsigned char* q = reference.at(x, y);
            for (int c = 0; c < 3; ++c)
                shift[c] += p[c] - q[c];
        }
    }
    for (double& channel : shift)
        channel /= static_cast<double>(w) * h;
    constexpr int block = 8;
    size_t blocks = 0;
    size_t moved = 0;
    for (int by = 0; by + block <= h; by += block) {
        for (int bx = 0; bx + block <= w; bx += block, ++blocks) {
            double sum[3] = {0.0, 0.0, 0.0};
            for (int y = by; y < by + block; ++y)
                for (int x = bx; x < bx + block; ++x)
                    for (int c = 0; c < 3; ++c)
                        sum[c] += shot.at(x, y)[c] - reference.at(x, y)[c];
            bool far = false;
            for (int c = 0; c < 3; ++c)
                far = far || std::abs(sum[c] / (block * block) - shift[c]) > 2.0;
            moved += far;
        }
    }
    match.unmatchedShare = static_cast<double>(unmatched) / (static_cast<double>(w) * h);
    match.movedBlockShare = blocks == 0 ? 0.0 : static_cast<double>(moved) / static_cast<double>(blocks);
    match.shift = (shift[0] + shift[1] + shift[2]) / 3.0;
    match.matches = match.unmatchedShare <= 0.003 && match.movedBlockShare <= 0.1 && std::abs(match.shift) <= 3.0;
    return match;
}

Picture halved(const Picture& picture)
{
    Picture half{picture.width / 2, picture.height / 2, {}};
    half.rgb.resize(3 * static_cast<size_t>(half.width) * half.height);
    for (int y = 0; y < half.height; ++y)
        for (int x = 0; x < half.width; ++x)
            for (int c = 0; c < 3; ++c)
                half.rgb[3 * (static_cast<size_t>(y) * half.width + x) + c] = static_cast<unsigned char>(
                    (picture.at(2 * x, 2 * y)[c] + picture.at(2 * x + 1, 2 * y)[c] + picture.at(2 * x, 2 * y + 1)[c] +
                     picture.at(2 * x + 1, 2 * y + 1)[c] + 2) /
                    4);
    return half;
}

double differingShare(const Picture& a, const Picture& b, int levels)
{
    if (a.width != b.width || a.height != b.height || a.rgb.empty())
        return 1.0;
    size_t differing = 0;
    for (size_t pixel = 0; pixel < a.rgb.size(); pixel += 3) {
        for (size_t c = pixel; c < pixel + 3; ++c) {
            if (std::abs(a.rgb[c] - b.rgb[c]) > levels) {
                ++differing;
                break;
            }
        }
    }
    return static_cast<double>(differing) / static_cast<double>(a.rgb.size() / 3);
}

std::string readText(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

std::vector<std::string> splitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);)
        lines.push_back(line);
    return lines;
}

void writeFloorAndPlatformScene(const Sandbox& sandbox, bool platformTextured)
{
    sandbox.write("SceneObjects/FinalScene/final_scene.obj",
                  "mtllib final_scene.mtl\n"
                  "v -30 0 -30\nv 30 0 -30\nv 30 0 30\nv -30 0 30\nv -6 5 -6\nv 6 5 -6\nv 6 5 6\nv -6 5 6\n"
                  "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\nvn 0 1 0\n"
                  "o floor\nusemtl floor\nf 1/1/1 4/4/1 3/3/1 2/2/1\n"
                  "o platform\nusemtl platform\nf 5/1/1 8/4/1 7/3/1 6/2/1\n");
    sandbox.write("SceneObjects/FinalScene/final_scene.mtl",
                  std::string("newmtl floor\nmap_Kd floor.png\nnewmtl platform\n") +
                      (platformTextured ? "map_Kd platform.png\n" : ""));
    sandbox.writeImage("Textures/FinalScene/floor.png", 4, 4, solid(16, 40, 200, 40));
    sandbox.writeImage("Textures/FinalScene/platform.png", 4, 4, solid(16, 230, 40, 40));
}
