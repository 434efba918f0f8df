// SPDX-License-Identifier: GPL-3.0-or-later
#include <windows.h>

#include "cli/terminal.h"

namespace kavren::cli {

// The console window the program runs in, with echo off while the line is
// typed (the counterpart of the POSIX controlling terminal).
std::optional<std::string> readHiddenLine(const std::string& promptText, std::string& error) {
    const HANDLE input = ::CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                       nullptr, OPEN_EXISTING, 0, nullptr);
    const HANDLE output = ::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_WRITE,
                                        nullptr, OPEN_EXISTING, 0, nullptr);
    if (input == INVALID_HANDLE_VALUE || output == INVALID_HANDLE_VALUE) {
        if (input != INVALID_HANDLE_VALUE)
            ::CloseHandle(input);
        if (output != INVALID_HANDLE_VALUE)
            ::CloseHandle(output);
        error = "no console to ask on; use --password-file or --password-env";
        return std::nullopt;
    }
    DWORD saved = 0;
    const bool isConsole = ::GetConsoleMode(input, &saved) != 0;
    if (isConsole)
        ::SetConsoleMode(input,
                         (saved & ~static_cast<DWORD>(ENABLE_ECHO_INPUT)) | ENABLE_LINE_INPUT);
    DWORD written = 0;
    ::WriteFile(output, promptText.data(), static_cast<DWORD>(promptText.size()), &written,
                nullptr);
    std::string line;
    char ch = 0;
    DWORD read = 0;
    bool ended = false;
    while (::ReadFile(input, &ch, 1, &read, nullptr) != 0 && read == 1) {
        if (ch == '\n') {
            ended = true;
            break;
        }
        line.push_back(ch);
    }
    ch = 0;
    // Echo was off, so the line end the user typed was not shown either.
    ::WriteFile(output, "\r\n", 2, &written, nullptr);
    if (isConsole)
        ::SetConsoleMode(input, saved);
    ::CloseHandle(input);
    ::CloseHandle(output);
    return finishedLine(std::move(line), ended, error);
}

bool standardErrorIsTerminal() {
    DWORD mode = 0;
    return ::GetConsoleMode(::GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

}  // namespace kavren::cli
