// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/passwordsource.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "cli/terminal.h"
#include "usecases/secretwipe.h"

namespace kavren::cli {

namespace {

void stripLineEnd(std::string& text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
}

}  // namespace

std::string passwordFileWarning(const std::string& path) {
    const auto mode = modeReadableByOthers(path);
    if (!mode)
        return {};
    char octal[8];
    std::snprintf(octal, sizeof octal, "%04o", *mode);
    return "password file '" + path + "' is readable by others (mode " + octal + ")";
}

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
    auto first = readHiddenLine(promptText, error);
    if (!first || !confirm)
        return first;
    auto second = readHiddenLine("Again: ", error);
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
