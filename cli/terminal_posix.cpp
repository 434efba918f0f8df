// SPDX-License-Identifier: GPL-3.0-or-later
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include "cli/terminal.h"

namespace kavren::cli {

// The controlling terminal, with echo off while the line is typed.
std::optional<std::string> readHiddenLine(const std::string& promptText, std::string& error) {
    const int tty = ::open("/dev/tty", O_RDWR | O_CLOEXEC);
    if (tty < 0) {
        error = "no terminal to ask on; use --password-file or --password-env";
        return std::nullopt;
    }
    termios saved{};
    const bool isTerminal = ::tcgetattr(tty, &saved) == 0;
    if (isTerminal) {
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        quiet.c_lflag |= ECHONL;
        ::tcsetattr(tty, TCSAFLUSH, &quiet);
    }
    [[maybe_unused]] const ssize_t shown = ::write(tty, promptText.data(), promptText.size());
    std::string line;
    char ch = 0;
    bool ended = false;
    while (::read(tty, &ch, 1) == 1) {
        if (ch == '\n') {
            ended = true;
            break;
        }
        line.push_back(ch);
    }
    ch = 0;
    if (isTerminal)
        ::tcsetattr(tty, TCSAFLUSH, &saved);
    ::close(tty);
    return finishedLine(std::move(line), ended, error);
}

bool standardErrorIsTerminal() {
    return ::isatty(STDERR_FILENO) == 1;
}

}  // namespace kavren::cli
