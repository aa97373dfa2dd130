// The fatal path's pause on a real terminal: the modes come back whatever ends it, and a background job never stops.
#include "Sandbox.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdexcept>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* prompt = "Press any key to continue . . .";
// Without a display the viewer's first fatal error comes before any window:
// quick, and the same on every machine.
constexpr const char* fatalLine = "Error: Could not init GLFW\r\n";

// Exit codes of the job-control shell stand-in that are no status of the viewer.
constexpr int viewerStopped = 200;
constexpr int viewerNeverEnded = 201;
constexpr int viewerSignalBase = 128;

Clock::time_point after(double seconds)
{
    return Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

struct Ending {
    bool ended = false;
    bool stopped = false;
    int status = -1; // when it exited
    int signal = 0;  // when a signal ended it
};

// Polls, so that a process that stops or never ends cannot hang the suite.
Ending waitUntil(pid_t pid, Clock::time_point deadline)
{
    Ending ending;
    int status = 0;
    while (Clock::now() < deadline) {
        const pid_t got = waitpid(pid, &status, WNOHANG | WUNTRACED);
        if (got == pid && WIFSTOPPED(status)) {
            ending.stopped = true;
            return ending;
        }
        if (got == pid) {
            ending.ended = true;
            ending.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            ending.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
            return ending;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return ending;
}

// A pseudo-terminal whose slave side the test keeps open, to read the modes
// the viewer leaves behind after it has gone.
class Terminal {
public:
    Terminal()
    {
        if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0)
            throw std::runtime_error("openpty failed");
    }
    Terminal(const Terminal&) = delete;
    Terminal& operator=(const Terminal&) = delete;
    ~Terminal()
    {
        if (pid > 0) {
            kill(-pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        close(master);
        close(slave);
    }

    // `command` runs as the session leader with this terminal as its
    // controlling terminal and its group in the foreground, as a login shell's
    // foreground job would.
    void start(const Sandbox& sandbox, void (*command)(const std::vector<char*>&))
    {
        std::vector<std::string> environment;
        for (char** variable = environ; *variable != nullptr; ++variable) {
            const std::string text = *variable;
            if (text.rfind("DISPLAY=", 0) != 0 && text.rfind("WAYLAND_DISPLAY=", 0) != 0)
                environment.push_back(text);
        }
        std::vector<char*> envp;
        for (std::string& text : environment)
            envp.push_back(text.data());
        envp.push_back(nullptr);

        pid = fork();
        if (pid < 0)
            throw std::runtime_error("fork failed");
        if (pid == 0) {
            if (setsid() < 0 || ioctl(slave, TIOCSCTTY, 0) != 0 || chdir(sandbox.root.c_str()) != 0)
                _exit(127);
            dup2(slave, STDIN_FILENO);
            dup2(slave, STDOUT_FILENO);
            dup2(slave, STDERR_FILENO);
            close(master);
            close(slave);
            command(envp);
            _exit(127);
        }
    }

    Ending wait(double seconds)
    {
        const Ending ending = waitUntil(pid, after(seconds));
        if (ending.ended)
            pid = -1;
        return ending;
    }

    // Reads what the programs wrote until `text` has appeared or the time is up.
    bool readUntil(const std::string& text, double seconds)
    {
        const Clock::time_point deadline = after(seconds);
        while (transcript.find(text) == std::string::npos) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0 || !readSome(static_cast<int>(left.count())))
                return false;
        }
        return true;
    }

    void readRest()
    {
        while (readSome(0)) {
        }
    }

    termios modes() const
    {
        termios modes{};
        if (tcgetattr(slave, &modes) != 0)
            throw std::runtime_error("tcgetattr failed");
        return modes;
    }

    // The pause has taken the terminal once echo is off.
    bool waitForRawModes(double seconds) const
    {
        const Clock::time_point deadline = after(seconds);
        while ((modes().c_lflag & ECHO) != 0) {
            if (Clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    }

    void type(const std::string& keys) const
    {
        ASSERT_EQ(write(master, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
    }

    int master = -1;
    int slave = -1;
    pid_t pid = -1;
    std::string transcript;

private:
    bool readSome(int timeoutMilliseconds)
    {
        pollfd ready{master, POLLIN, 0};
        if (poll(&ready, 1, timeoutMilliseconds) <= 0 || (ready.revents & POLLIN) == 0)
            return false;
        char buffer[256];
        const ssize_t got = read(master, buffer, sizeof buffer);
        if (got <= 0)
            return false;
        transcript.append(buffer, static_cast<size_t>(got));
        return true;
    }
};

void runViewer(const std::vector<char*>& envp)
{
    char* const argv[] = {const_cast<char*>(BRASSFERN_EXE), nullptr};
    execve(BRASSFERN_EXE, argv, envp.data());
}

// The viewer in a group of its own, as a shell with job control starts a job.
pid_t startViewerJob(const std::vector<char*>& envp, bool foreground)
{
    const pid_t viewer = fork();
    if (viewer < 0)
        _exit(127);
    if (viewer == 0) {
        setpgid(0, 0);
        if (foreground)
            tcsetpgrp(STDIN_FILENO, getpgrp());
        // The shell ignores SIGTTOU for itself; the viewer must get it as any
        // job does, or the fault this test looks for could not happen.
        signal(SIGTTOU, SIG_DFL);
        runViewer(envp);
        _exit(127);
    }
    setpgid(viewer, viewer);
    if (foreground)
        tcsetpgrp(STDIN_FILENO, viewer);
    return viewer;
}

// Reports how the viewer ended through this process's own exit code, and ends
// a viewer that stopped or never ended.
[[noreturn]] void reportViewerEnding(pid_t viewer)
{
    const Ending ending = waitUntil(viewer, after(10.0));
    if (!ending.ended) {
        kill(viewer, SIGKILL);
        waitpid(viewer, nullptr, 0);
        _exit(ending.stopped ? viewerStopped : viewerNeverEnded);
    }
    _exit(ending.signal != 0 ? viewerSignalBase + ending.signal : ending.status);
}

constexpr const char* movedMarker = "[moved to the background]";

// `brassfern &` from a shell with job control: the viewer's group is never the
// terminal's foreground group.
void runViewerInBackground(const std::vector<char*>& envp)
{
    reportViewerEnding(startViewerJob(envp, false));
}

// A foreground job that the shell moves to the background (without stopping
// it) while the pause waits; the key typed afterwards still reaches its read.
void runViewerMovedToTheBackgroundMidPause(const std::vector<char*>& envp)
{
    signal(SIGTTOU, SIG_IGN);
    const pid_t viewer = startViewerJob(envp, true);
    const Clock::time_point deadline = after(20.0);
    termios modes{};
    while (tcgetattr(STDIN_FILENO, &modes) == 0 && (modes.c_lflag & ECHO) != 0 && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    tcsetpgrp(STDIN_FILENO, getpgrp());
    const std::string marker = movedMarker;
    if (write(STDOUT_FILENO, marker.data(), marker.size()) < 0)
        _exit(127);
    reportViewerEnding(viewer);
}

void expectSameModes(const termios& before, const termios& after)
{
    EXPECT_NE(after.c_lflag & ECHO, 0u) << "echo left off";
    EXPECT_NE(after.c_lflag & ICANON, 0u) << "line editing left off";
    EXPECT_EQ(after.c_lflag, before.c_lflag);
    EXPECT_EQ(after.c_iflag, before.c_iflag);
    EXPECT_EQ(after.c_oflag, before.c_oflag);
    EXPECT_EQ(after.c_cflag, before.c_cflag);
    for (int i = 0; i < NCCS; ++i)
        EXPECT_EQ(after.c_cc[i], before.c_cc[i]) << "control character " << i;
}

struct EndingSignal {
    const char* name;
    const char* keys; // typed on the terminal; empty: sent with kill()
    int signal;
};

void PrintTo(const EndingSignal& c, std::ostream* out) { *out << c.name; }

class SignalAtThePause : public testing::TestWithParam<EndingSignal> {
};

TEST_P(SignalAtThePause, RestoresTheTerminalModesAndStillEndsByTheSignal)
{
    const EndingSignal& c = GetParam();
    Sandbox sandbox;
    Terminal terminal;
    const termios before = terminal.modes();
    terminal.start(sandbox, runViewer);

    ASSERT_TRUE(terminal.readUntil(prompt, 20.0)) << terminal.transcript;
    EXPECT_EQ(terminal.transcript, std::string(fatalLine) + prompt);
    ASSERT_TRUE(terminal.waitForRawModes(10.0));
    if (*c.keys != '\0')
        terminal.type(c.keys);
    else
        kill(terminal.pid, c.signal);

    const Ending ending = terminal.wait(10.0);
    ASSERT_TRUE(ending.ended) << (ending.stopped ? "stopped" : "still waiting for a key");
    EXPECT_EQ(ending.signal, c.signal) << "exit status " << ending.status;
    expectSameModes(before, terminal.modes());
}

INSTANTIATE_TEST_SUITE_P(Viewer, SignalAtThePause,
                         testing::Values(EndingSignal{"CtrlC", "\x03", SIGINT}, EndingSignal{"Term", "", SIGTERM},
                                         EndingSignal{"Hangup", "", SIGHUP}),
                         [](const testing::TestParamInfo<EndingSignal>& info) { return std::string(info.param.name); });

TEST(PauseOnTerminal, KeyPressEndsItWithTheFatalStatusAndRestoresTheModes)
{
    Sandbox sandbox;
    Terminal terminal;
    const termios before = terminal.modes();
    terminal.start(sandbox, runViewer);

    ASSERT_TRUE(terminal.readUntil(prompt, 20.0)) << terminal.transcript;
    ASSERT_TRUE(terminal.waitForRawModes(10.0));
    terminal.type("x");

    const Ending ending = terminal.wait(10.0);
    ASSERT_TRUE(ending.ended) << (ending.stopped ? "stopped" : "still waiting for a key");
    EXPECT_EQ(ending.signal, 0);
    EXPECT_EQ(ending.status, 1);
    expectSameModes(before, terminal.modes());
    terminal.readRest();
    // Echo was off: the key itself never shows.
    EXPECT_EQ(terminal.transcript, std::string(fatalLine) + prompt + "\r\n");
}

TEST(PauseOnTerminal, BackgroundJobEndsWithTheFatalStatusWithoutPausingOrStopping)
{
    Sandbox sandbox;
    Terminal terminal;
    const termios before = terminal.modes();
    terminal.start(sandbox, runViewerInBackground);

    const Ending ending = terminal.wait(20.0);
    ASSERT_TRUE(ending.ended) << "the job-control stand-in never ended";
    ASSERT_NE(ending.status, viewerStopped) << "the viewer stopped on the terminal (SIGTTOU or SIGTTIN)";
    ASSERT_NE(ending.status, viewerNeverEnded) << "the viewer waited for a key it cannot read";
    EXPECT_EQ(ending.status, 1);
    expectSameModes(before, terminal.modes());
    terminal.readRest();
    EXPECT_EQ(terminal.transcript, fatalLine);
}

TEST(PauseOnTerminal, JobMovedToTheBackgroundMidPauseStillEndsWithTheFatalStatus)
{
    Sandbox sandbox;
    Terminal terminal;
    const termios before = terminal.modes();
    terminal.start(sandbox, runViewerMovedToTheBackgroundMidPause);

    ASSERT_TRUE(terminal.readUntil(movedMarker, 30.0)) << terminal.transcript;
    terminal.type("x");

    const Ending ending = terminal.wait(20.0);
    ASSERT_TRUE(ending.ended) << "the job-control stand-in never ended";
    ASSERT_NE(ending.status, viewerStopped) << "restoring the modes from the background stopped the viewer";
    EXPECT_EQ(ending.status, 1);
    expectSameModes(before, terminal.modes());
}

} // namespace
