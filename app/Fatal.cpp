// The fatal path: message lines, the console pause, the exit status.
#include "app/Fatal.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <termios.h>
#include <unistd.h>

void consolePause()
{
    if (!isatty(STDIN_FILENO))
        return;
    std::cout << "Press any key to continue . . ." << std::flush;
    termios saved{};
    const bool haveTerminal = tcgetattr(STDIN_FILENO, &saved) == 0;
    if (haveTerminal) {
        termios raw = saved;
        raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
        raw.c_cc[VMIN] = 1;
        raw.c_cc[VTIME] = 0;
        tcsetattr(STDIN_FILENO, TCSANOW, &raw);
    }
    char key = 0;
    [[maybe_unused]] const ssize_t got = read(STDIN_FILENO, &key, 1);
    if (haveTerminal)
        tcsetattr(STDIN_FILENO, TCSANOW, &saved);
    std::cout << std::endl;
}

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
