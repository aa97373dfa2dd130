// The fatal path: message lines, the console pause, the exit status.
#include "base/Fatal.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <iterator>
#include <termios.h>
#include <unistd.h>

namespace {

// The modes the pause changed, for a signal handler to put back: a person who
// gives up with Ctrl-C must not be left with a terminal that neither echoes
// nor edits lines.
termios modesBeforePause{};

constexpr int endingSignals[] = {SIGINT, SIGTERM, SIGHUP};

void restoreModesAndEnd(int signal)
{
    // Only async-signal-safe calls. SIGTTOU is blocked for the whole pause, so
    // this tcsetattr cannot stop the process either.
    tcsetattr(STDIN_FILENO, TCSANOW, &modesBeforePause);
    // Die of the signal itself, so that the parent still sees what ended us;
    // it is delivered as soon as this handler returns.
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

bool inForegroundOfTerminal()
{
    // A process outside the terminal's foreground group has no one to press a
    // key for it, and touching the terminal would stop it (SIGTTOU, SIGTTIN).
    return tcgetpgrp(STDIN_FILENO) == getpgrp();
}

void waitForKey()
{
    char key = 0;
    while (read(STDIN_FILENO, &key, 1) < 0 && errno == EINTR) {
    }
}

// Waits for one key press when standard input is a terminal and this process
// is in its foreground; returns at once otherwise, so a launcher, a pipe, CI or
// a background job never hangs or stops on a fatal error. The terminal's modes
// come back even when SIGINT, SIGTERM or SIGHUP ends the wait.
void consolePause()
{
    if (!isatty(STDIN_FILENO))
        return;

    // Blocked, SIGTTOU and SIGTTIN cannot stop us if the shell moves us to the
    // background mid-pause: tcsetattr proceeds and read fails with EIO, so the
    // process still ends.
    sigset_t jobControl;
    sigset_t previousMask;
    sigemptyset(&jobControl);
    sigaddset(&jobControl, SIGTTOU);
    sigaddset(&jobControl, SIGTTIN);
    sigprocmask(SIG_BLOCK, &jobControl, &previousMask);
    if (!inForegroundOfTerminal()) {
        sigprocmask(SIG_SETMASK, &previousMask, nullptr);
        return;
    }

    std::cout << "Press any key to continue . . ." << std::flush;
    const bool haveTerminal = tcgetattr(STDIN_FILENO, &modesBeforePause) == 0;
    struct sigaction previousActions[std::size(endingSignals)]{};
    if (haveTerminal) {
        struct sigaction restore{};
        restore.sa_handler = restoreModesAndEnd;
        sigemptyset(&restore.sa_mask);
        for (int signal : endingSignals)
            sigaddset(&restore.sa_mask, signal);
        for (size_t i = 0; i < std::size(endingSignals); ++i) {
            sigaction(endingSignals[i], nullptr, &previousActions[i]);
            // A signal the launcher chose to ignore (nohup, a shell without
            // job control) must stay harmless.
            if (previousActions[i].sa_handler != SIG_IGN)
                sigaction(endingSignals[i], &restore, nullptr);
        }
        termios raw = modesBeforePause;
        raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
        raw.c_cc[VMIN] = 1;
        raw.c_cc[VTIME] = 0;
        tcsetattr(STDIN_FILENO, TCSANOW, &raw);
    }
    waitForKey();
    if (haveTerminal) {
        tcsetattr(STDIN_FILENO, TCSANOW, &modesBeforePause);
        for (size_t i = 0; i < std::size(endingSignals); ++i)
            sigaction(endingSignals[i], &previousActions[i], nullptr);
    }
    std::cout << std::endl;
    sigprocmask(SIG_SETMASK, &previousMask, nullptr);
}

} // namespace

void fatalExit(int status)
{
    std::cout.flush();
    std::cerr.flush();
    consolePause();
    std::cout.flush();
    // _Exit: static destructors would touch importer and GL state that may be
    // half built; the operating system reclaims everything anyway.
    std::_Exit(status);
}

void fatal(std::initializer_list<std::string> lines, int status)
{
    for (const std::string& line : lines)
        std::cout << line << std::endl;
    fatalExit(status);
}
