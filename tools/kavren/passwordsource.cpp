#include "tools/kavren/passwordsource.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "config/secretwipe.h"

namespace kavren::cli {

namespace {

void stripLineEnd(std::string& text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
}

// Reads one line from the controlling terminal with echo off; the terminal's
// settings are put back also when reading fails.
std::optional<std::string> askTerminal(const std::string& promptText, std::string& error) {
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
    if (!ended && line.empty()) {
        error = "no password was typed";
        return std::nullopt;
    }
    stripLineEnd(line);
    return line;
}

}  // namespace

std::optional<std::string> readSecret(const SecretSource& source, const std::string& promptText,
                                      bool confirm, std::string& error) {
    if (!source.file.empty()) {
        std::ifstream in(source.file, std::ios::binary);
        if (!in) {
            error = "cannot read the password file " + source.file;
            return std::nullopt;
        }
        std::string line;
        std::getline(in, line);
        stripLineEnd(line);
        return line;
    }
    if (!source.envName.empty()) {
        const char* value = std::getenv(source.envName.c_str());
        if (value == nullptr) {
            error = "the environment variable " + source.envName + " is not set";
            return std::nullopt;
        }
        return std::string(value);
    }
    if (!source.prompt) {
        error = "no password source";
        return std::nullopt;
    }
    auto first = askTerminal(promptText, error);
    if (!first || !confirm)
        return first;
    auto second = askTerminal("Again: ", error);
    if (!second) {
        config::wipeString(*first);
        return std::nullopt;
    }
    const bool same = *first == *second;
    config::wipeString(*second);
    if (!same) {
        config::wipeString(*first);
        error = "the two entries differ";
        return std::nullopt;
    }
    return first;
}

}  // namespace kavren::cli
