// SPDX-License-Identifier: GPL-3.0-or-later
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <csignal>

#include "cli/terminal.h"

namespace kavren::cli {

namespace {

// What a signal that ends the program at the prompt must put back: the
// terminal's settings from before echo was turned off. Set only while the
// prompt is up.
int g_promptTerminal = -1;
termios g_promptSaved{};
constexpr std::array<int, 4> kEndingSignals{SIGINT, SIGTERM, SIGQUIT, SIGHUP};
std::array<struct sigaction, kEndingSignals.size()> g_previous{};

// Restores echo, then lets the signal do what it did before (end the
// program, as a rule). Only async-signal-safe calls.
void restoreAndRaise(int signal) {
    if (g_promptTerminal >= 0)
        ::tcsetattr(g_promptTerminal, TCSANOW, &g_promptSaved);
    for (std::size_t i = 0; i < kEndingSignals.size(); ++i) {
        if (kEndingSignals[i] == signal)
            ::sigaction(signal, &g_previous[i], nullptr);
    }
    ::raise(signal);
}

// Catches the ending signals while it lives, so that Ctrl+C at the prompt
// does not leave the terminal without echo.
class EchoGuard final {
public:
    EchoGuard(int tty, const termios& saved) {
        g_promptTerminal = tty;
        g_promptSaved = saved;
        struct sigaction action {};
        action.sa_handler = restoreAndRaise;
        sigemptyset(&action.sa_mask);
        for (std::size_t i = 0; i < kEndingSignals.size(); ++i)
            ::sigaction(kEndingSignals[i], &action, &g_previous[i]);
    }
    ~EchoGuard() {
        for (std::size_t i = 0; i < kEndingSignals.size(); ++i)
            ::sigaction(kEndingSignals[i], &g_previous[i], nullptr);
        g_promptTerminal = -1;
    }
    EchoGuard(const EchoGuard&) = delete;
    EchoGuard& operator=(const EchoGuard&) = delete;
};

}  // namespace

// The controlling terminal, with echo off while the line is typed.
std::optional<std::string> readHiddenLine(const std::string& promptText, std::string& error) {
    const int tty = ::open("/dev/tty", O_RDWR | O_CLOEXEC);
    if (tty < 0) {
        error = "no terminal to ask on; use --password-file or --password-env";
        return std::nullopt;
    }
    termios saved{};
    const bool isTerminal = ::tcgetattr(tty, &saved) == 0;
    std::optional<EchoGuard> guard;
    if (isTerminal) {
        guard.emplace(tty, saved);
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
    guard.reset();
    ::close(tty);
    return finishedLine(std::move(line), ended, error);
}

bool standardErrorIsTerminal() {
    return ::isatty(STDERR_FILENO) == 1;
}

}  // namespace kavren::cli
